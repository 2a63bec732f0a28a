#pragma once

#include "items/diagramfile.h"
#include "items/itemregistry.h"

#include <QColor>
#include <QGraphicsScene>
#include <QHash>

class Application;
class Connector;
class DiagramMenu;
class Entity;
class EntityEditWindow;
class EntityMenu;
class Line;
class LineEditWindow;
class LineMenu;

extern const QColor backgroundColor;

// Without an application the scene holds a diagram to be drawn, not edited:
// nothing is marked modified and the connectors look as in select mode.
class DiagramScene : public QGraphicsScene, private ItemRegistry
{
    Q_OBJECT

public:
    DiagramScene(Application* application, QObject* parent);
    ~DiagramScene() override;

    Entity* createEntity(int x, int y, bool returnToSelectMode);
    Entity* createEntity(const DiagramFile::EntityRecord& record);
    Line* createLine(Connector* start, Connector* end);
    Line* createLine(const DiagramFile::LineRecord& record);
    Connector* findConnectorAt(const QPointF& scenePos) const;
    void clearDiagram();
    void itemsInSceneRect(QList<Entity*>& entities, QList<Line*>& lines) const;

public slots:
    void deleteSelected();
    void addLineEndModeDisableSlot();

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent* event) override;

private:
    void forget(const QGraphicsItem* item) override;
    void connectorRemoved(const Connector* connector) override;
    bool allowsConnectorCounts(const Entity* entity, int hor, int ver) const override;
    void markModified();
    void leftPress(QGraphicsSceneMouseEvent* event);
    void rightPress(QGraphicsSceneMouseEvent* event);
    void passToItemMenu(QGraphicsSceneMouseEvent* event);
    void startLine(QGraphicsSceneMouseEvent* event);
    void finishLine(const QPointF& scenePos);
    bool canFinishAt(const Connector* target) const;
    template<typename Item>
    Item* remember(Item* item);

    Application* const application;
    DiagramMenu* const diagramMenu;
    EntityEditWindow* const entityEditWindow;
    EntityMenu* const entityMenu;
    LineEditWindow* const lineEditWindow;
    LineMenu* const lineMenu;
    bool addLineEndMode = false;
    Line* pendingLine = nullptr;
    // Entities and lines with the order they were added in, which with their
    // z-values gives the toolkit's stacking order without asking the scene
    // for all its items.
    QHash<const QGraphicsItem*, quint64> addedOrder;
    quint64 nextAddition = 0;
};
