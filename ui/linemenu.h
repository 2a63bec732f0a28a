#pragma once

#include <QMenu>

class Line;

class LineMenu : public QMenu
{
    Q_OBJECT

public:
    explicit LineMenu(QWidget* parent);

    void execFor(Line* line, const QPoint& screenPos);

public slots:
    void selectLineSlot();
    void editLineSlot();
    void deleteLineSlot();

private:
    Line* line = nullptr;
};
