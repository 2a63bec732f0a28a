#pragma once

#include "items/diagramfile.h"
#include "items/itemregistry.h"

#include "scene/diagramsnapshot.h"

#include <QColor>
#include <QGraphicsScene>
#include <QHash>
#include <QMap>

#include <optional>

class Application;
class Connector;
class DiagramMenu;
class Entity;
class EntityEditWindow;
class EntityMenu;
class Line;
class LineEditWindow;
class LineMenu;
class QUndoStack;

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
    // Makes the records' entities and lines as new items, in their order.
    QList<QGraphicsItem*> addDiagram(const DiagramFile::Diagram& diagram);
    // Adds the records as one step of the history, moves them into the canvas
    // as a drag keeps entities there, and selects them. Refused when the
    // diagram would hold more connectors than a file may.
    bool paste(const DiagramFile::Diagram& diagram);
    void clearDiagram();
    void itemsInSceneRect(QList<Entity*>& entities, QList<Line*>& lines) const;

    // The undo history: one step per change of the user's. Clearing the scene
    // clears it.
    QUndoStack* undoStack() const;
    // Each leaves the line end state and ends a change still open (a drag)
    // first, then answers whether it took a step.
    bool undo();
    bool redo();
    // Brings the snapshot's items from the states of `from` to those of `to`,
    // making and deleting them as needed (the steps of the undo history).
    void restore(const DiagramSnapshot& from, const DiagramSnapshot& to);

    // Whether the items draw their texts and connectors (a view zoomed far
    // out shows bars in place of texts); items added later follow it.
    void setDetailShown(bool shown);

public slots:
    void deleteSelected();
    // Every entity and line that a save would keep.
    void selectAll();
    void addLineEndModeDisableSlot();

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseDoubleClickEvent(QGraphicsSceneMouseEvent* event) override;

private:
    void forget(const QGraphicsItem* item) override;
    void connectorRemoved(const Connector* connector) override;
    bool allowsConnectorCounts(const Entity* entity, int hor, int ver) const override;
    qint64 connectorsBeside(const Entity* entity) const;
    int beginChange(const QList<QGraphicsItem*>& items, const QString& text) override;
    void endChange(int change) override;
    bool isChangeOpen(int change) const override;
    void includeInChange(int change, const QList<QGraphicsItem*>& items) override;
    QSet<quint64> numbersOf(const QList<QGraphicsItem*>& items) const;
    void endOpenChange();
    bool takeStep(bool (QUndoStack::*possible)() const, void (QUndoStack::*step)());
    DiagramSnapshot snapshotOf(const QSet<quint64>& numbers) const;
    DiagramSnapshot::EntityState stateOf(const Entity* entity) const;
    DiagramSnapshot::LineState stateOf(const Line* line) const;
    DiagramSnapshot::End endOf(const Connector* connector) const;
    Connector* connectorAt(const DiagramSnapshot::End& end) const;
    Entity* makeEntity(quint64 number, const DiagramSnapshot::EntityState& state);
    Line* makeLine(quint64 number, const DiagramSnapshot::LineState& state);
    void markModified();
    void leftPress(QGraphicsSceneMouseEvent* event);
    void rightPress(QGraphicsSceneMouseEvent* event);
    void passToItemMenu(QGraphicsSceneMouseEvent* event);
    void startLine(QGraphicsSceneMouseEvent* event);
    void finishLine(const QPointF& scenePos);
    bool canFinishAt(const Connector* target) const;
    template<typename Item>
    Item* remember(Item* item, quint64 number);

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
    // The same numbers identify items across undo and redo: an item made
    // again takes the number, and so the place in the stacking order, it had.
    QHash<const QGraphicsItem*, quint64> addedOrder;
    QMap<quint64, QGraphicsItem*> itemsByOrder;
    quint64 nextAddition = 0;
    bool detailShown = true;

    struct OpenChange {
        int number = 0;
        QString text;
        DiagramSnapshot before;
        quint64 firstAddition = 0;
        int mergeKey = 0;
    };
    QUndoStack* const history;
    std::optional<OpenChange> openChange;
    int lastChange = 0;
    // While a detached line end is carried, the key that makes the detach and
    // the finish one step.
    int lineEndMergeKey = 0;
    int lastMergeKey = 0;
};
