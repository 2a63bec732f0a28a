#pragma once

#include "items/diagramfile.h"

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

class DiagramScene : public QGraphicsScene
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
    void connectorRemoved(const Connector* connector);
    void itemsInSceneRect(QList<Entity*>& entities, QList<Line*>& lines) const;
    void forget(const QGraphicsItem* item);
    bool allowsConnectorCounts(const Entity* entity, int hor, int ver) const;
    static DiagramScene* of(const QGraphicsItem* item);

    bool isAddLineEndMode() const;
    Line* getPendingLine() const;
    EntityEditWindow* getEntityEditWindow() const;
    EntityMenu* getEntityMenu() const;
    LineEditWindow* getLineEditWindow() const;
    LineMenu* getLineMenu() const;
    DiagramMenu* getDiagramMenu() const;

public slots:
    void deleteSelected();
    void addLineEndModeDisableSlot();

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent* event) override;

private:
    void leftPress(QGraphicsSceneMouseEvent* event);
    void rightPress(QGraphicsSceneMouseEvent* event);
    void passToItemMenu(QGraphicsSceneMouseEvent* event);
    void startLine(QGraphicsSceneMouseEvent* event);
    void finishLine(const QPointF& scenePos);
    bool canFinishAt(const Connector* target) const;
    template<typename Item>
    Item* remember(Item* item);

    Application* application;
    DiagramMenu* diagramMenu;
    EntityEditWindow* entityEditWindow;
    EntityMenu* entityMenu;
    LineEditWindow* lineEditWindow;
    LineMenu* lineMenu;
    bool addLineEndMode;
    Line* pendingLine;
    // Entities and lines with the order they were added in, which with their
    // z-values gives the toolkit's stacking order without asking the scene
    // for all its items.
    QHash<const QGraphicsItem*, quint64> addedOrder;
    quint64 nextAddition = 0;
};
