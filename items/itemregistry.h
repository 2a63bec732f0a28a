#pragma once

#include <QList>

class Connector;
class Entity;
class QGraphicsItem;
class QString;

// The one way an item speaks to the diagram it belongs to. The scene hands
// itself to each entity and line it adds (Entity::setRegistry,
// Line::setRegistry); an item that was never added, such as the pending line
// of add-line mode, has no registry and tells nobody. A registry deletes its
// items while it is still whole, so an item never reaches a registry that is
// being destroyed.
class ItemRegistry
{
public:
    // An entity or line is being deleted.
    virtual void forget(const QGraphicsItem* item) = 0;
    // A connector of a registered entity is being deleted.
    virtual void connectorRemoved(const Connector* connector) = 0;
    // Whether the entity may take these counts without the diagram holding
    // more connectors than a diagram file may.
    virtual bool allowsConnectorCounts(const Entity* entity, int hor, int ver) const = 0;
    // A change of the user's begins: these items as they are now (an entity
    // with all its lines), and whatever is added until the change ends, make
    // one undo step with this text. A change still open when the next begins
    // ends first. Only a drag, which spans mouse events, calls these directly;
    // everything else uses DiagramChange.
    virtual int beginChange(const QList<QGraphicsItem*>& items, const QString& text) = 0;
    virtual void endChange(int change) = 0;
    virtual bool isChangeOpen(int change) const = 0;
    // Items that join an open change (the toolkit drags every selected
    // entity, whichever were selected when the drag began) as they are now.
    virtual void includeInChange(int change, const QList<QGraphicsItem*>& items) = 0;

protected:
    ~ItemRegistry() = default;
};
