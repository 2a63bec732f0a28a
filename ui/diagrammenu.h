#pragma once

#include <QMenu>
#include <QPointF>

class DiagramScene;

class DiagramMenu : public QMenu
{
    Q_OBJECT

public:
    DiagramMenu(DiagramScene* scene, QWidget* parent);

    void execAt(const QPoint& screenPos, const QPointF& scenePos);

public slots:
    void selectAll();
    void addEntity();

private:
    DiagramScene* const scene;
    QPointF scenePos;
};
