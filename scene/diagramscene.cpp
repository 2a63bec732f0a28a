#include "scene/diagramscene.h"

#include "app/application.h"
#include "items/connector.h"
#include "items/entity.h"
#include "items/line.h"
#include "scene/activationfilter.h"
#include "ui/diagrammenu.h"
#include "ui/entityeditwindow.h"
#include "ui/entitymenu.h"
#include "ui/lineeditwindow.h"
#include "ui/linemenu.h"

#include <QGraphicsSceneMouseEvent>
#include <QPainterPath>
#include <QTransform>

#include <algorithm>
#include <utility>

const QColor backgroundColor(255, 255, 255, 255);

DiagramScene::DiagramScene(Application* application, QObject* parent)
    : QGraphicsScene(parent)
    , application(application)
    , diagramMenu(new DiagramMenu(this, nullptr))
    , entityEditWindow(new EntityEditWindow(nullptr))
    , entityMenu(new EntityMenu(nullptr))
    , lineEditWindow(new LineEditWindow(nullptr))
    , lineMenu(new LineMenu(nullptr))
{
    setBackgroundBrush(QBrush(backgroundColor, Qt::SolidPattern));
    setSceneRect(0, 0, 10000, 10000);
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
    markModified();
    auto* entity = remember(new Entity(application, x, y, entityEditWindow, entityMenu, nullptr));
    if (returnToSelectMode)
        application->setMode(SelectMode);
    return entity;
}

Entity* DiagramScene::createEntity(const DiagramFile::EntityRecord& record)
{
    markModified();
    return remember(new Entity(application, record, entityEditWindow, entityMenu, nullptr));
}

Line* DiagramScene::createLine(const DiagramFile::LineRecord& record)
{
    markModified();
    return remember(new Line(record, lineEditWindow, lineMenu, nullptr));
}

Line* DiagramScene::createLine(Connector* start, Connector* end)
{
    markModified();
    auto* line = remember(new Line(start, end, lineEditWindow, lineMenu, nullptr));
    if (start && pendingLine) {
        line->setName(pendingLine->name());
        line->setMultiplicityA(pendingLine->multiplicityA());
        line->setMultiplicityB(pendingLine->multiplicityB());
    }
    return line;
}

template<typename Item>
Item* DiagramScene::remember(Item* item)
{
    addItem(item);
    addedOrder.insert(item, nextAddition++);
    item->setRegistry(this);
    return item;
}

void DiagramScene::markModified()
{
    if (application)
        application->setModified(true);
}

void DiagramScene::forget(const QGraphicsItem* item)
{
    addedOrder.remove(item);
}

// The same items, in the same order (topmost first), as the scene's query for
// item shapes that intersect the scene rectangle, but without testing every
// connector and text: only items that straddle the border need their shape.
void DiagramScene::itemsInSceneRect(QList<Entity*>& entities, QList<Line*>& lines) const
{
    QList<QPair<quint64, QGraphicsItem*>> inside;
    QPainterPath border;
    border.addRect(sceneRect());
    for (auto it = addedOrder.cbegin(); it != addedOrder.cend(); ++it) {
        auto* item = const_cast<QGraphicsItem*>(it.key());
        const QRectF bounds = item->sceneBoundingRect();
        if (!sceneRect().intersects(bounds))
            continue;
        if (sceneRect().contains(bounds) || item->collidesWithPath(item->mapFromScene(border)))
            inside.append(qMakePair(it.value(), item));
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
    qint64 total = 0;
    for (auto it = addedOrder.cbegin(); it != addedOrder.cend(); ++it) {
        if (const Entity* other = qgraphicsitem_cast<const Entity*>(it.key()); other && other != entity)
            total += other->totalConnectorCount();
    }
    return total + Entity::connectorsFor(hor, ver) <= maxConnectorsPerDiagram;
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
    clear();
}

void DiagramScene::connectorRemoved(const Connector* connector)
{
    if (pendingLine && pendingLine->startConnector() == connector)
        addLineEndModeDisableSlot();
}

// Lines go first, so that no selected line is reached after an entity already
// took it along. A deletion counts as a change to the diagram.
void DiagramScene::deleteSelected()
{
    QList<QGraphicsItem*> selected = selectedItems();
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
        createEntity(int(p.x()), int(p.y()), true);
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

void DiagramScene::mouseMoveEvent(QGraphicsSceneMouseEvent* event)
{
    if (application->getMode() == AddLineMode && addLineEndMode) {
        pendingLine->setLine(QLineF(pendingLine->line().p1(), event->scenePos()));
        pendingLine->updatePosition();
        return;
    }
    QGraphicsScene::mouseMoveEvent(event);
}
