#include "scene/diagramscene.h"

#include "app/application.h"
#include "items/connector.h"
#include "items/diagramchange.h"
#include "items/diagramgeometry.h"
#include "items/entity.h"
#include "items/line.h"
#include "scene/activationfilter.h"
#include "scene/diagramchangecommand.h"
#include "ui/diagrammenu.h"
#include "ui/entityeditwindow.h"
#include "ui/entitymenu.h"
#include "ui/lineeditwindow.h"
#include "ui/linemenu.h"

#include <QApplication>
#include <QGraphicsSceneMouseEvent>
#include <QPainterPath>
#include <QTransform>
#include <QUndoStack>

#include <algorithm>
#include <utility>

const QColor backgroundColor(255, 255, 255, 255);

namespace {

constexpr int undoLimit = 1000;
// The toolkit picks a depth from the item count, about 2^18 cells for a
// diagram of 10,000 entities: every entity then lies in dozens of cells, and a
// view of the whole diagram spends 40 ms collecting its items from them. A
// fixed 2^10 cells of some 300 x 300 units keeps that near 8 ms while a point
// still meets only a few entities' items.
constexpr int indexDepth = 10;

} // namespace

DiagramScene::DiagramScene(Application* application, QObject* parent)
    : QGraphicsScene(parent)
    , application(application)
    , diagramMenu(new DiagramMenu(this, nullptr))
    , entityEditWindow(new EntityEditWindow(nullptr))
    , entityMenu(new EntityMenu(nullptr))
    , lineEditWindow(new LineEditWindow(nullptr))
    , lineMenu(new LineMenu(nullptr))
    , history(new QUndoStack(this))
{
    history->setUndoLimit(undoLimit);
    setBackgroundBrush(QBrush(backgroundColor, Qt::SolidPattern));
    setSceneRect(0, 0, 10000, 10000);
    setBspTreeDepth(indexDepth);
    installEventFilter(new ActivationFilter(this));
    if (!application)
        return;
    connect(application, &Application::changedMode, this, &DiagramScene::addLineEndModeDisableSlot);
    connect(application, &Application::changedMode, this, [this] { update(); });
}

// The items go while the scene is still whole: they tell it as they go.
DiagramScene::~DiagramScene()
{
    clearDiagram();
    delete entityEditWindow;
    delete entityMenu;
    delete lineEditWindow;
    delete lineMenu;
    delete diagramMenu;
}

Entity* DiagramScene::createEntity(int x, int y, bool returnToSelectMode)
{
    const DiagramChange change(this, {}, QStringLiteral("Place entity"));
    markModified();
    auto* entity = remember(new Entity(application, x, y, entityEditWindow, entityMenu, nullptr), nextAddition);
    if (returnToSelectMode)
        application->setMode(SelectMode);
    return entity;
}

Entity* DiagramScene::createEntity(const DiagramFile::EntityRecord& record)
{
    markModified();
    return remember(new Entity(application, record, entityEditWindow, entityMenu, nullptr), nextAddition);
}

Line* DiagramScene::createLine(const DiagramFile::LineRecord& record)
{
    markModified();
    return remember(new Line(record, lineEditWindow, lineMenu, nullptr), nextAddition);
}

Line* DiagramScene::createLine(Connector* start, Connector* end)
{
    markModified();
    auto* line = remember(new Line(start, end, lineEditWindow, lineMenu, nullptr), nextAddition);
    if (start && pendingLine) {
        line->setName(pendingLine->name());
        line->setMultiplicityA(pendingLine->multiplicityA());
        line->setMultiplicityB(pendingLine->multiplicityB());
    }
    return line;
}

// An item made again under its old number goes back to its old place among
// the items stacked with it.
template<typename Item>
Item* DiagramScene::remember(Item* item, quint64 number)
{
    addItem(item);
    const auto above = itemsByOrder.upperBound(number);
    if (above != itemsByOrder.end())
        item->stackBefore(above.value());
    addedOrder.insert(item, number);
    itemsByOrder.insert(number, item);
    nextAddition = std::max(nextAddition, number + 1);
    item->setRegistry(this);
    item->setDetailShown(detailShown);
    return item;
}

void DiagramScene::setDetailShown(bool shown)
{
    if (shown == detailShown)
        return;
    detailShown = shown;
    for (QGraphicsItem* item : std::as_const(itemsByOrder)) {
        if (Entity* entity = qgraphicsitem_cast<Entity*>(item))
            entity->setDetailShown(shown);
        else if (Line* line = qgraphicsitem_cast<Line*>(item))
            line->setDetailShown(shown);
    }
}

void DiagramScene::markModified()
{
    if (application)
        application->setModified(true);
}

void DiagramScene::forget(const QGraphicsItem* item)
{
    itemsByOrder.remove(addedOrder.take(item));
}

// The same items, in the same order (topmost first), as the scene's query for
// item shapes that intersect the scene rectangle, but without testing every
// connector and text: only items that straddle the border need their shape.
void DiagramScene::itemsInSceneRect(QList<Entity*>& entities, QList<Line*>& lines) const
{
    QList<QPair<quint64, QGraphicsItem*>> inside;
    QPainterPath border;
    border.addRect(sceneRect());
    for (auto it = itemsByOrder.cbegin(); it != itemsByOrder.cend(); ++it) {
        QGraphicsItem* item = it.value();
        const QRectF bounds = item->sceneBoundingRect();
        if (!sceneRect().intersects(bounds))
            continue;
        if (sceneRect().contains(bounds) || item->collidesWithPath(item->mapFromScene(border)))
            inside.append(qMakePair(it.key(), item));
    }
    // The toolkit stacks siblings by z-value first and, among equal ones, by
    // the order they were added in.
    std::sort(inside.begin(), inside.end(), [](const auto& a, const auto& b) {
        const qreal za = a.second->zValue();
        const qreal zb = b.second->zValue();
        return za != zb ? za > zb : a.first > b.first;
    });
    for (const auto& [order, item] : std::as_const(inside)) {
        if (Entity* entity = qgraphicsitem_cast<Entity*>(item))
            entities.append(entity);
        else if (Line* line = qgraphicsitem_cast<Line*>(item))
            lines.append(line);
    }
}

// Whether the entity may have these connector counts without taking the
// diagram past the most connectors a file may hold.
bool DiagramScene::allowsConnectorCounts(const Entity* entity, int hor, int ver) const
{
    return connectorsBeside(entity) + Entity::connectorsFor(hor, ver) <= maxConnectorsPerDiagram;
}

qint64 DiagramScene::connectorsBeside(const Entity* entity) const
{
    qint64 total = 0;
    for (const QGraphicsItem* item : itemsByOrder) {
        if (const Entity* other = qgraphicsitem_cast<const Entity*>(item); other && other != entity)
            total += other->totalConnectorCount();
    }
    return total;
}

QList<QGraphicsItem*> DiagramScene::addDiagram(const DiagramFile::Diagram& diagram)
{
    QList<QGraphicsItem*> added;
    QList<Entity*> entities;
    for (const DiagramFile::EntityRecord& record : diagram.entities) {
        entities.append(createEntity(record));
        added.append(entities.last());
    }
    for (DiagramFile::LineRecord record : diagram.lines) {
        DiagramFile::resolve(record, entities);
        added.append(createLine(record));
    }
    return added;
}

bool DiagramScene::paste(const DiagramFile::Diagram& diagram)
{
    qint64 connectors = connectorsBeside(nullptr);
    for (const DiagramFile::EntityRecord& record : std::as_const(diagram.entities))
        connectors += Entity::connectorsFor(record.horConnectorCount, record.verConnectorCount);
    if (diagram.entities.isEmpty() || connectors > maxConnectorsPerDiagram)
        return false;
    addLineEndModeDisableSlot();
    const DiagramChange change(this, {}, QStringLiteral("Paste"));
    const QList<QGraphicsItem*> pasted = addDiagram(diagram);
    QList<Entity*> entities;
    for (QGraphicsItem* item : pasted) {
        if (Entity* entity = qgraphicsitem_cast<Entity*>(item))
            entities.append(entity);
    }
    Entity::keepInsideScene(entities);
    for (Entity* entity : std::as_const(entities))
        entity->updateLinePositions();
    clearSelection();
    for (QGraphicsItem* item : pasted)
        item->setSelected(true);
    return true;
}

Connector* DiagramScene::findConnectorAt(const QPointF& scenePos) const
{
    for (QGraphicsItem* item : items(scenePos)) {
        if (item->type() == Connector::Type)
            return static_cast<Connector*>(item);
    }
    return nullptr;
}

// Leaving the line end state first means the pending line is never held
// after clear() has deleted it with the other items.
void DiagramScene::clearDiagram()
{
    addLineEndModeDisableSlot();
    openChange.reset();
    clear();
    history->clear();
}

void DiagramScene::connectorRemoved(const Connector* connector)
{
    if (pendingLine && pendingLine->startConnector() == connector)
        addLineEndModeDisableSlot();
}

void DiagramScene::selectAll()
{
    QList<Entity*> entities;
    QList<Line*> lines;
    itemsInSceneRect(entities, lines);
    for (Entity* entity : std::as_const(entities))
        entity->setSelected(true);
    for (Line* line : std::as_const(lines))
        line->setSelected(true);
}

// Lines go first, so that no selected line is reached after an entity already
// took it along. A deletion counts as a change to the diagram.
void DiagramScene::deleteSelected()
{
    QList<QGraphicsItem*> selected = selectedItems();
    const DiagramChange change(this, selected, QStringLiteral("Delete"));
    const bool deletesAny = !selected.isEmpty();
    for (auto it = selected.begin(); it != selected.end();) {
        if ((*it)->type() == Line::Type) {
            delete *it;
            it = selected.erase(it);
        } else {
            ++it;
        }
    }
    qDeleteAll(selected);
    addLineEndModeDisableSlot();
    if (deletesAny)
        markModified();
}

void DiagramScene::addLineEndModeDisableSlot()
{
    addLineEndMode = false;
    delete pendingLine;
    pendingLine = nullptr;
    lineEndMergeKey = 0;
}

void DiagramScene::mousePressEvent(QGraphicsSceneMouseEvent* event)
{
    if (itemAt(event->scenePos(), QTransform()))
        markModified();
    if (event->button() == Qt::LeftButton)
        leftPress(event);
    else if (event->button() == Qt::RightButton)
        rightPress(event);
}

void DiagramScene::leftPress(QGraphicsSceneMouseEvent* event)
{
    switch (application->getMode()) {
    case AddEntityMode: {
        const QPointF p = event->scenePos();
        createEntity(DiagramGeometry::wholeUnits(p.x()), DiagramGeometry::wholeUnits(p.y()), true);
        QGraphicsScene::mousePressEvent(event);
        break;
    }
    case AddLineMode:
        if (addLineEndMode)
            finishLine(event->scenePos());
        else
            startLine(event);
        break;
    case SelectMode:
        QGraphicsScene::mousePressEvent(event);
        break;
    }
}

void DiagramScene::rightPress(QGraphicsSceneMouseEvent* event)
{
    if (addLineEndMode)
        addLineEndModeDisableSlot();
    else if (!itemAt(event->scenePos(), QTransform()))
        diagramMenu->execAt(event->screenPos(), event->scenePos());
    else
        passToItemMenu(event);
}

// The item's context menu takes the release, so the item must not keep the
// mouse: the next press would go to it wherever it lands.
void DiagramScene::passToItemMenu(QGraphicsSceneMouseEvent* event)
{
    QGraphicsScene::mousePressEvent(event);
    if (QGraphicsItem* grabber = mouseGrabberItem())
        grabber->ungrabMouse();
}

// A press on a connector that already carries a line detaches that end: the
// old line is deleted at once and the pending line carries its texts.
void DiagramScene::startLine(QGraphicsSceneMouseEvent* event)
{
    Connector* k = findConnectorAt(event->scenePos());
    if (!k) {
        QGraphicsScene::mousePressEvent(event);
        return;
    }
    if (k->isFree()) {
        pendingLine = new Line(k, nullptr, nullptr, nullptr, nullptr);
    } else {
        Line* old = k->line();
        const DiagramChange change(this, {old}, QStringLiteral("Move line end"));
        lineEndMergeKey = ++lastMergeKey;
        openChange->mergeKey = lineEndMergeKey;
        pendingLine = new Line(old->otherConnector(k), nullptr, nullptr, nullptr, nullptr);
        pendingLine->setName(old->name());
        pendingLine->setMultiplicityA(old->multiplicityA());
        pendingLine->setMultiplicityB(old->multiplicityB());
        delete old;
        const QPointF start = pendingLine->line().p1();
        pendingLine->setLine(QLineF(start, k->centre()));
        pendingLine->updatePosition();
    }
    addItem(pendingLine);
    addLineEndMode = true;
}

void DiagramScene::finishLine(const QPointF& scenePos)
{
    Connector* target = findConnectorAt(scenePos);
    if (!canFinishAt(target))
        return;
    const DiagramChange change(this, {}, QStringLiteral("Draw line"));
    openChange->mergeKey = lineEndMergeKey;
    createLine(pendingLine->startConnector(), target);
    addLineEndModeDisableSlot();
}

bool DiagramScene::canFinishAt(const Connector* target) const
{
    if (!target || !target->isFree())
        return false;
    const Entity* startEntity = pendingLine->startConnector()->entity();
    return target->entity() != startEntity && !target->entity()->isConnectedTo(startEntity);
}

// A double click that opened an edit window leaves the release to that
// window, so the item must not keep the mouse: the next press would go to it
// wherever it lands, and the next drag would start from stale positions.
void DiagramScene::mouseDoubleClickEvent(QGraphicsSceneMouseEvent* event)
{
    QGraphicsScene::mouseDoubleClickEvent(event);
    QGraphicsItem* grabber = mouseGrabberItem();
    if (grabber && QApplication::activeModalWidget())
        grabber->ungrabMouse();
}

void DiagramScene::mouseMoveEvent(QGraphicsSceneMouseEvent* event)
{
    if (application->getMode() == AddLineMode && addLineEndMode) {
        pendingLine->setLine(QLineF(pendingLine->line().p1(), event->scenePos()));
        pendingLine->updatePosition();
        return;
    }
    QGraphicsScene::mouseMoveEvent(event);
}

QUndoStack* DiagramScene::undoStack() const
{
    return history;
}

bool DiagramScene::undo()
{
    return takeStep(&QUndoStack::canUndo, &QUndoStack::undo);
}

bool DiagramScene::redo()
{
    return takeStep(&QUndoStack::canRedo, &QUndoStack::redo);
}

bool DiagramScene::takeStep(bool (QUndoStack::*possible)() const, void (QUndoStack::*step)())
{
    addLineEndModeDisableSlot();
    endOpenChange();
    if (!(history->*possible)())
        return false;
    (history->*step)();
    return true;
}

int DiagramScene::beginChange(const QList<QGraphicsItem*>& items, const QString& text)
{
    endOpenChange();
    openChange = OpenChange{++lastChange, text, snapshotOf(numbersOf(items)), nextAddition, 0};
    return lastChange;
}

void DiagramScene::includeInChange(int change, const QList<QGraphicsItem*>& items)
{
    if (!isChangeOpen(change))
        return;
    // Called on every mouse move of a drag: the lines of an item are looked
    // up only when the item itself is new to the change.
    QList<QGraphicsItem*> newcomers;
    for (QGraphicsItem* item : items) {
        if (addedOrder.contains(item) && !openChange->before.covered.contains(addedOrder.value(item)))
            newcomers.append(item);
    }
    if (newcomers.isEmpty())
        return;
    const QSet<quint64> joining = numbersOf(newcomers) - openChange->before.covered;
    const DiagramSnapshot joined = snapshotOf(joining);
    DiagramSnapshot& before = openChange->before;
    before.covered |= joining;
    before.entities.insert(joined.entities);
    before.lines.insert(joined.lines);
}

// An entity comes with every line it carries.
QSet<quint64> DiagramScene::numbersOf(const QList<QGraphicsItem*>& items) const
{
    QSet<quint64> numbers;
    for (const QGraphicsItem* item : items) {
        if (!addedOrder.contains(item))
            continue;
        numbers.insert(addedOrder.value(item));
        const Entity* entity = qgraphicsitem_cast<const Entity*>(item);
        for (int side = 0; entity && side < Entity::sideCount; ++side) {
            for (int i = 0; i < entity->connectorCount(side); ++i) {
                if (const Line* line = entity->connectorAt(side, i)->line())
                    numbers.insert(addedOrder.value(line));
            }
        }
    }
    return numbers;
}

// Whatever was added since the change began belongs to it; a change that left
// everything as it was is no step.
void DiagramScene::endChange(int change)
{
    if (!openChange || openChange->number != change)
        return;
    OpenChange ended = std::move(*openChange);
    openChange.reset();
    QSet<quint64> covered = ended.before.covered;
    for (auto it = itemsByOrder.lowerBound(ended.firstAddition); it != itemsByOrder.end(); ++it)
        covered.insert(it.key());
    const DiagramSnapshot after = snapshotOf(covered);
    ended.before.covered = covered;
    if (after != ended.before)
        history->push(new DiagramChangeCommand(this, ended.before, after, ended.text, ended.mergeKey));
}

bool DiagramScene::isChangeOpen(int change) const
{
    return openChange && openChange->number == change;
}

void DiagramScene::endOpenChange()
{
    if (openChange)
        endChange(openChange->number);
}

DiagramSnapshot DiagramScene::snapshotOf(const QSet<quint64>& numbers) const
{
    DiagramSnapshot snapshot;
    snapshot.covered = numbers;
    for (const quint64 number : numbers) {
        const QGraphicsItem* item = itemsByOrder.value(number);
        if (const Entity* entity = qgraphicsitem_cast<const Entity*>(item))
            snapshot.entities.insert(number, stateOf(entity));
        else if (const Line* line = qgraphicsitem_cast<const Line*>(item))
            snapshot.lines.insert(number, stateOf(line));
    }
    return snapshot;
}

DiagramSnapshot::EntityState DiagramScene::stateOf(const Entity* entity) const
{
    DiagramSnapshot::EntityState state;
    state.pos = entity->pos();
    state.z = entity->zValue();
    state.record.x = DiagramGeometry::wholeUnits(state.pos.x());
    state.record.y = DiagramGeometry::wholeUnits(state.pos.y());
    state.record.name = entity->name();
    state.record.horConnectorCount = entity->horConnectorCount();
    state.record.verConnectorCount = entity->verConnectorCount();
    for (int i = 0; i < entity->attributeCount(); ++i)
        state.record.attributes.append(entity->attributeName(i));
    return state;
}

DiagramSnapshot::LineState DiagramScene::stateOf(const Line* line) const
{
    return {line->zValue(),           line->name(), line->multiplicityA(), line->multiplicityB(),
            endOf(line->startConnector()), endOf(line->endConnector())};
}

DiagramSnapshot::End DiagramScene::endOf(const Connector* connector) const
{
    return {addedOrder.value(connector->entity()), connector->side(), connector->index()};
}

Connector* DiagramScene::connectorAt(const DiagramSnapshot::End& end) const
{
    return static_cast<Entity*>(itemsByOrder.value(end.entity))->connectorAt(end.side, end.index);
}

Entity* DiagramScene::makeEntity(quint64 number, const DiagramSnapshot::EntityState& state)
{
    markModified();
    auto* entity = remember(new Entity(application, state.record, entityEditWindow, entityMenu, nullptr), number);
    entity->setPos(state.pos);
    entity->setZValue(state.z);
    return entity;
}

Line* DiagramScene::makeLine(quint64 number, const DiagramSnapshot::LineState& state)
{
    DiagramFile::LineRecord record;
    record.name = state.name;
    record.multiplicityA = state.multiplicityA;
    record.multiplicityB = state.multiplicityB;
    record.start = connectorAt(state.start);
    record.end = connectorAt(state.end);
    markModified();
    auto* line = remember(new Line(record, lineEditWindow, lineMenu, nullptr), number);
    line->setZValue(state.z);
    return line;
}

namespace {

void setState(Entity* entity, const DiagramSnapshot::EntityState& state)
{
    entity->setPos(state.pos);
    entity->setZValue(state.z);
    const DiagramFile::EntityRecord& record = state.record;
    if (entity->name() != record.name)
        entity->setName(record.name);
    QStringList attributes;
    for (int i = 0; i < entity->attributeCount(); ++i)
        attributes.append(entity->attributeName(i));
    if (attributes != record.attributes) {
        entity->clearAttributes();
        for (const QString& text : record.attributes)
            entity->addAttribute(text);
    }
    if (entity->horConnectorCount() != record.horConnectorCount)
        entity->setHorConnectorCount(record.horConnectorCount);
    if (entity->verConnectorCount() != record.verConnectorCount)
        entity->setVerConnectorCount(record.verConnectorCount);
}

void attach(Line* line, Connector* start, Connector* end)
{
    line->setStartConnector(start);
    start->setLine(line);
    line->setEndConnector(end);
    end->setLine(line);
}

} // namespace

// Lines that stay let go of their connectors before any entity changes its
// counts, since a resized side renumbers its connectors; they attach again to
// the connectors their state names once every entity is in its state.
void DiagramScene::restore(const DiagramSnapshot& from, const DiagramSnapshot& to)
{
    for (auto it = from.lines.cbegin(); it != from.lines.cend(); ++it) {
        if (!to.lines.contains(it.key()))
            delete itemsByOrder.value(it.key());
    }
    for (auto it = from.entities.cbegin(); it != from.entities.cend(); ++it) {
        if (!to.entities.contains(it.key()))
            delete itemsByOrder.value(it.key());
    }
    QList<Line*> staying;
    for (auto it = to.lines.cbegin(); it != to.lines.cend(); ++it) {
        if (!from.lines.contains(it.key()))
            continue;
        auto* line = static_cast<Line*>(itemsByOrder.value(it.key()));
        line->startConnector()->clearLine();
        line->endConnector()->clearLine();
        staying.append(line);
    }
    QList<Entity*> entities;
    for (auto it = to.entities.cbegin(); it != to.entities.cend(); ++it) {
        if (from.entities.contains(it.key())) {
            auto* entity = static_cast<Entity*>(itemsByOrder.value(it.key()));
            setState(entity, it.value());
            entities.append(entity);
        } else {
            entities.append(makeEntity(it.key(), it.value()));
        }
    }
    for (Line* line : std::as_const(staying)) {
        const DiagramSnapshot::LineState& state = to.lines.value(addedOrder.value(line));
        line->setZValue(state.z);
        line->setName(state.name);
        line->setMultiplicityA(state.multiplicityA);
        line->setMultiplicityB(state.multiplicityB);
        attach(line, connectorAt(state.start), connectorAt(state.end));
        line->updatePosition();
    }
    for (auto it = to.lines.cbegin(); it != to.lines.cend(); ++it) {
        if (!from.lines.contains(it.key()))
            makeLine(it.key(), it.value());
    }
    for (Entity* entity : std::as_const(entities))
        entity->updateLayout();
}
