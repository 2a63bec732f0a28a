#include "items/diagramchange.h"

#include "items/itemregistry.h"

DiagramChange::DiagramChange(ItemRegistry* registry, const QList<QGraphicsItem*>& items, const QString& text)
    : registry(registry)
    , change(registry ? registry->beginChange(items, text) : 0)
{
}

DiagramChange::~DiagramChange()
{
    if (registry)
        registry->endChange(change);
}
