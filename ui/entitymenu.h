#pragma once

#include <QMenu>

class Entity;

class EntityMenu : public QMenu
{
    Q_OBJECT

public:
    explicit EntityMenu(QWidget* parent);

    void execFor(Entity* entity, const QPoint& screenPos);

public slots:
    void selectEntitySlot();
    void editEntitySlot();
    void deleteEntitySlot();
    void addConnectorsSlot();
    void deleteConnectorsSlot();

private:
    Entity* entity = nullptr;
};
