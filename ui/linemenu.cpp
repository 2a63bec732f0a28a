#include "ui/linemenu.h"

#include "items/diagramchange.h"
#include "items/line.h"

#include <QAction>

LineMenu::LineMenu(QWidget* parent)
    : QMenu(parent)
{
    QAction* select = addAction(QStringLiteral("Select"));
    QAction* edit = addAction(QStringLiteral("Edit"));
    QAction* remove = addAction(QStringLiteral("Delete"));
    connect(select, &QAction::triggered, this, &LineMenu::selectLineSlot);
    connect(edit, &QAction::triggered, this, &LineMenu::editLineSlot);
    connect(remove, &QAction::triggered, this, &LineMenu::deleteLineSlot);
}

void LineMenu::execFor(Line* line, const QPoint& screenPos)
{
    this->line = line;
    exec(screenPos);
}

void LineMenu::selectLineSlot()
{
    line->setSelected(true);
}

void LineMenu::editLineSlot()
{
    line->openEditWindow();
}

void LineMenu::deleteLineSlot()
{
    const DiagramChange change(line->registry(), {line}, QStringLiteral("Delete"));
    delete line;
    line = nullptr;
}
