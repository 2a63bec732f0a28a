#pragma once

class Connector;
class Entity;
class QGraphicsItem;

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

protected:
    ~ItemRegistry() = default;
};
