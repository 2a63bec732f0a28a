#pragma once

#include <QList>
#include <QString>

class ItemRegistry;
class QGraphicsItem;

// One change of the user's, from its start to the end of this object's scope:
// what the items were when it began and what the change left becomes one undo
// step. Items outside any diagram (no registry) record nothing.
class DiagramChange
{
public:
    DiagramChange(ItemRegistry* registry, const QList<QGraphicsItem*>& items, const QString& text);
    ~DiagramChange();

    DiagramChange(const DiagramChange&) = delete;
    DiagramChange& operator=(const DiagramChange&) = delete;

private:
    ItemRegistry* const registry;
    const int change;
};
