#include "items/entity.h"

#include "items/connector.h"
#include "items/diagramgeometry.h"
#include "items/diagrampainter.h"
#include "items/itemregistry.h"
#include "items/line.h"
#include "ui/entityeditwindow.h"
#include "ui/entitymenu.h"

#include <QGraphicsScene>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsTextItem>

#include <algorithm>
#include <utility>

const QString defaultEntityName = QStringLiteral("Unknown");

namespace {

DiagramFile::EntityRecord newEntityRecord(int x, int y)
{
    DiagramFile::EntityRecord record;
    record.x = x;
    record.y = y;
    record.name = defaultEntityName;
    return record;
}

// How far a span must move to lie within the bounds; the start wins when the
// span is longer than the bounds.
qreal overshoot(qreal start, qreal end, qreal lowest, qreal highest)
{
    if (start < lowest)
        return lowest - start;
    if (end > highest)
        return std::max(highest - end, lowest - start);
    return 0;
}

} // namespace

Entity::Entity(Application* application, int x, int y, EntityEditWindow* editWindow, EntityMenu* menu,
               QGraphicsItem* parent)
    : Entity(application, newEntityRecord(x, y), editWindow, menu, parent)
{
}

// The font goes on before the text, so that every text is laid out once.
Entity::Entity(Application* application, const DiagramFile::EntityRecord& record, EntityEditWindow* editWindow,
               EntityMenu* menu, QGraphicsItem* parent)
    : QGraphicsRectItem(parent)
    , application(application)
    , editWindow(editWindow)
    , menu(menu)
    , nameItem(new QGraphicsTextItem(this))
    , brushColor(DiagramPainter::entityFill())
    , penColor(DiagramPainter::entityOutline())
    , m_horConnectorCount(record.horConnectorCount)
    , m_verConnectorCount(record.verConnectorCount)
{
    setX(record.x);
    setY(record.y);
    setFlags(ItemIsMovable | ItemIsSelectable);
    setZValue(1.0);

    nameItem->setPos(DiagramGeometry::nameOrigin());
    nameItem->setDefaultTextColor(QColor(0, 0, 0, 255));
    nameItem->setFont(DiagramGeometry::font(DiagramGeometry::NameText));
    nameItem->setPlainText(record.name);
    for (const QString& text : record.attributes)
        addAttribute(text);

    for (int i = 0; i < m_horConnectorCount; ++i) {
        connectors[TopSide].append(new Connector(application, this, i, TopSide, this));
        connectors[BottomSide].append(new Connector(application, this, i, BottomSide, this));
    }
    for (int j = 0; j < m_verConnectorCount; ++j) {
        connectors[RightSide].append(new Connector(application, this, j, RightSide, this));
        connectors[LeftSide].append(new Connector(application, this, j, LeftSide, this));
    }
    updateLayout();
}

// Each connector takes its line along, and the line frees the connector at its
// far end, so no other entity is left pointing at a deleted line.
Entity::~Entity()
{
    if (itemRegistry)
        itemRegistry->forget(this);
    for (QList<Connector*>& side : connectors) {
        qDeleteAll(side);
        side.clear();
    }
}

int Entity::type() const
{
    return Type;
}

QString Entity::name() const
{
    return nameItem->toPlainText();
}

void Entity::setName(const QString& text)
{
    nameItem->setPlainText(text);
}

int Entity::attributeCount() const
{
    return attribute.size();
}

QString Entity::attributeName(int id) const
{
    Q_ASSERT_X(id < attribute.size(), "entity", "id < attribute.size()");
    return attribute.at(id)->toPlainText();
}

void Entity::addAttribute(const QString& text)
{
    auto* item = new QGraphicsTextItem(text, this);
    DiagramPainter::setDrawn(item, detailShown);
    const QGraphicsTextItem* above = attribute.isEmpty() ? nameItem : attribute.last();
    item->setPos(DiagramGeometry::textBelow(above->pos(), above->boundingRect().size()));
    attribute.append(item);
}

void Entity::clearAttributes()
{
    qDeleteAll(attribute);
    attribute.clear();
}

int Entity::horConnectorCount() const
{
    return m_horConnectorCount;
}

int Entity::verConnectorCount() const
{
    return m_verConnectorCount;
}

void Entity::setHorConnectorCount(int n)
{
    resizeSide(TopSide, n);
    resizeSide(BottomSide, n);
    m_horConnectorCount = n;
}

void Entity::setVerConnectorCount(int n)
{
    resizeSide(RightSide, n);
    resizeSide(LeftSide, n);
    m_verConnectorCount = n;
}

// Free connectors nearest the side's starting corner go first; a connector
// that carries a line is never removed, so its line survives the resize.
void Entity::resizeSide(int side, int n)
{
    QList<Connector*>& list = connectors[side];
    while (list.size() < n) {
        list.append(new Connector(application, this, list.size(), side, this));
        DiagramPainter::setDrawn(list.last(), detailShown);
    }
    auto it = list.begin();
    while (list.size() > n) {
        Q_ASSERT_X(it != list.end(), "entity", "it != list.end()");
        if ((*it)->isFree()) {
            delete *it;
            it = list.erase(it);
        } else {
            ++it;
        }
    }
    for (int i = 0; i < list.size(); ++i)
        list.at(i)->setIndex(i);
}

int Entity::busyCount(int side) const
{
    int busy = 0;
    for (const Connector* connector : connectors[side]) {
        if (!connector->isFree())
            ++busy;
    }
    return busy;
}

int Entity::busyHorConnectorCount() const
{
    return std::max(busyCount(TopSide), busyCount(BottomSide));
}

int Entity::busyVerConnectorCount() const
{
    return std::max(busyCount(RightSide), busyCount(LeftSide));
}

Connector* Entity::connectorAt(int side, int position) const
{
    return connectors[side].at(position);
}

int Entity::connectorCount(int side) const
{
    return connectors[side].size();
}

int Entity::totalConnectorCount() const
{
    return connectorsFor(m_horConnectorCount, m_verConnectorCount);
}

// Top and bottom carry the horizontal count, right and left the vertical one.
int Entity::connectorsFor(int hor, int ver)
{
    return 2 * (hor + ver);
}

bool Entity::isConnectedTo(const Entity* other) const
{
    for (const QList<Connector*>& side : connectors) {
        for (const Connector* connector : side) {
            if (connector->isFree())
                continue;
            const Connector* far = connector->line()->otherConnector(connector);
            if (far && far->entity() == other)
                return true;
        }
    }
    return false;
}

// An entity outside any diagram is bound only by the connectors per side.
bool Entity::allowsConnectorCounts(int hor, int ver) const
{
    return !itemRegistry || itemRegistry->allowsConnectorCounts(this, hor, ver);
}

void Entity::updateLayout()
{
    QList<QSizeF> attributeSizes;
    for (const QGraphicsTextItem* item : std::as_const(attribute))
        attributeSizes.append(item->boundingRect().size());
    const QSize box = DiagramGeometry::entitySize(nameItem->boundingRect().size(), attributeSizes,
                                                  m_horConnectorCount, m_verConnectorCount);
    setRect(QRectF(QPointF(0, 0), box));
    for (int side = 0; side < sideCount; ++side) {
        for (int k = 0; k < connectors[side].size(); ++k)
            connectors[side].at(k)->setPos(
                DiagramGeometry::connectorPos(side, k, m_horConnectorCount, m_verConnectorCount, box));
    }
    updateLinePositions();
}

void Entity::updateLinePositions()
{
    for (const QList<Connector*>& side : connectors) {
        for (const Connector* connector : side) {
            if (!connector->isFree())
                connector->line()->updatePosition();
        }
    }
}

void Entity::setFileIndex(int index)
{
    m_fileIndex = index;
}

int Entity::fileIndex() const
{
    return m_fileIndex;
}

void Entity::writeRecord(FILE* file) const
{
    DiagramFile::writeInt(file, DiagramGeometry::wholeUnits(pos().x()));
    DiagramFile::writeInt(file, DiagramGeometry::wholeUnits(pos().y()));
    DiagramFile::writeString(file, name());
    DiagramFile::writeInt(file, m_horConnectorCount);
    DiagramFile::writeInt(file, m_verConnectorCount);
    DiagramFile::writeInt(file, attributeCount());
    for (const QGraphicsTextItem* item : attribute)
        DiagramFile::writeString(file, item->toPlainText());
}

void Entity::readRecord(FILE* file)
{
    const DiagramFile::EntityRecord record = DiagramFile::readEntityRecord(file);
    setX(record.x);
    setY(record.y);
    setName(record.name);
    setHorConnectorCount(record.horConnectorCount);
    setVerConnectorCount(record.verConnectorCount);
    for (const QString& text : record.attributes)
        addAttribute(text);
    updateLayout();
}

void Entity::openEditWindow()
{
    editWindow->editEntity(this);
}

void Entity::setRegistry(ItemRegistry* registry)
{
    itemRegistry = registry;
}

ItemRegistry* Entity::registry() const
{
    return itemRegistry;
}

void Entity::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    DiagramPainter::paintEntity(painter, rect(), DiagramGeometry::separatorY(nameItem->boundingRect().size()),
                                brushColor, penColor, isSelected());
    if (detailShown)
        return;
    DiagramPainter::paintTextBar(painter, nameItem->boundingRect().translated(nameItem->pos()));
    for (const QGraphicsTextItem* item : std::as_const(attribute))
        DiagramPainter::paintTextBar(painter, item->boundingRect().translated(item->pos()));
}

void Entity::setDetailShown(bool shown)
{
    if (shown == detailShown)
        return;
    detailShown = shown;
    DiagramPainter::setDrawn(nameItem, shown);
    for (QGraphicsTextItem* item : std::as_const(attribute))
        DiagramPainter::setDrawn(item, shown);
    for (const QList<Connector*>& side : connectors) {
        for (Connector* connector : side)
            DiagramPainter::setDrawn(connector, shown);
    }
    update();
}

void Entity::mousePressEvent(QGraphicsSceneMouseEvent* event)
{
    if (event->button() != Qt::RightButton) {
        QGraphicsRectItem::mousePressEvent(event);
        return;
    }
    scene()->clearSelection();
    setSelected(true);
    // The menu may delete this entity: nothing may touch it afterwards.
    menu->execFor(this, event->screenPos());
}

// The base class moves every selected entity, so the lines of all of them are
// re-routed, not only those of the entity under the pointer.
void Entity::mouseMoveEvent(QGraphicsSceneMouseEvent* event)
{
    const QList<Entity*> moved = movedWith(this);
    const bool dragging = event->buttons() & Qt::LeftButton;
    // A drag whose step another change ended (an undo key while the button is
    // held) goes on as a step of its own.
    const QList<QGraphicsItem*> items(moved.cbegin(), moved.cend());
    if (dragging && itemRegistry && !itemRegistry->isChangeOpen(dragChange))
        dragChange = itemRegistry->beginChange(items, QStringLiteral("Move"));
    else if (dragging && itemRegistry)
        itemRegistry->includeInChange(dragChange, items);
    QGraphicsRectItem::mouseMoveEvent(event);
    if (dragging)
        keepInsideScene(moved);
    for (Entity* entity : moved)
        entity->updateLinePositions();
}

// However many moves it took, a drag is one step.
void Entity::mouseReleaseEvent(QGraphicsSceneMouseEvent* event)
{
    if (itemRegistry)
        itemRegistry->endChange(std::exchange(dragChange, 0));
    QGraphicsRectItem::mouseReleaseEvent(event);
}

QList<Entity*> Entity::movedWith(Entity* grabbed)
{
    QList<Entity*> moved{grabbed};
    for (QGraphicsItem* item : grabbed->scene()->selectedItems()) {
        Entity* entity = qgraphicsitem_cast<Entity*>(item);
        if (entity && entity != grabbed)
            moved.append(entity);
    }
    return moved;
}

// An entity dragged wholly off the canvas would be left out of the next save,
// so the dragged group stops at the canvas edge, keeping its shape.
void Entity::keepInsideScene(const QList<Entity*>& group)
{
    QRectF bounds;
    for (const Entity* entity : group)
        bounds |= entity->sceneBoxRect();
    const QRectF canvas = group.first()->scene()->sceneRect();
    const QPointF shift(overshoot(bounds.left(), bounds.right(), canvas.left(), canvas.right()),
                        overshoot(bounds.top(), bounds.bottom(), canvas.top(), canvas.bottom()));
    if (shift.isNull())
        return;
    for (Entity* entity : group)
        entity->setPos(entity->pos() + shift);
}

QRectF Entity::sceneBoxRect() const
{
    return rect().translated(pos());
}

// The base class would hand a right double click to the press handler, which
// would open the menu a second time.
void Entity::mouseDoubleClickEvent(QGraphicsSceneMouseEvent* event)
{
    if (event->button() == Qt::RightButton)
        return;
    QGraphicsRectItem::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        openEditWindow();
}
