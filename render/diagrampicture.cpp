#include "render/diagrampicture.h"

#include "items/diagrampainter.h"
#include "items/entity.h"

#include <QPainter>
#include <QTransform>

namespace {

// Connectors are made a pair at a time: top and bottom, then right and left.
int connectorSlot(int side, int index, int hor)
{
    switch (side) {
    case Entity::TopSide:
        return 2 * index;
    case Entity::BottomSide:
        return 2 * index + 1;
    case Entity::RightSide:
        return 2 * hor + 2 * index;
    default:
        return 2 * hor + 2 * index + 1;
    }
}

QRectF connectorSquare()
{
    return QRectF(0, 0, connectorSize, connectorSize);
}

// A rectangle item's bounds take in half of its default one-unit pen.
QRectF withHalfPen(const QRectF& rect)
{
    return rect.adjusted(-0.5, -0.5, 0.5, 0.5);
}

QRectF boundsOf(const DiagramPicture::PlacedText& text, const QPointF& parent)
{
    return QRectF(parent + text.pos, text.text->size);
}

// As the scene composes an item's transform: its place in the scene, then the view's.
QTransform itemToDevice(const QPointF& scenePos, const QTransform& sceneToDevice)
{
    return QTransform::fromTranslate(scenePos.x(), scenePos.y()) * sceneToDevice;
}

} // namespace

DiagramPicture::DiagramPicture(const DiagramFile::Diagram& diagram, TextCache* texts)
    : texts(texts)
{
    placedEntities.reserve(diagram.entities.size());
    for (const DiagramFile::EntityRecord& record : diagram.entities)
        placedEntities.append(placeEntity(record));
    placedLines.reserve(diagram.lines.size());
    for (const DiagramFile::LineRecord& record : diagram.lines) {
        markBusy(record.startReference);
        markBusy(record.endReference);
        placedLines.append(placeLine(record));
    }
    for (const PlacedEntity& entity : std::as_const(placedEntities))
        itemsBounds |= entity.bounds;
    for (const PlacedLine& line : std::as_const(placedLines))
        itemsBounds |= line.bounds;
}

const QList<DiagramPicture::PlacedEntity>& DiagramPicture::entities() const
{
    return placedEntities;
}

const QList<DiagramPicture::PlacedLine>& DiagramPicture::lines() const
{
    return placedLines;
}

QRectF DiagramPicture::bounds() const
{
    return itemsBounds;
}

DiagramPicture::PlacedText DiagramPicture::placeText(DiagramGeometry::TextKind kind, const QString& string,
                                                     const QPointF& pos)
{
    return {pos, string, &texts->text(kind, string)};
}

DiagramPicture::PlacedEntity DiagramPicture::placeEntity(const DiagramFile::EntityRecord& record)
{
    PlacedEntity entity;
    entity.pos = QPointF(record.x, record.y);
    entity.hor = record.horConnectorCount;
    entity.ver = record.verConnectorCount;
    entity.texts.append(placeText(DiagramGeometry::NameText, record.name, DiagramGeometry::nameOrigin()));
    QList<QSizeF> attributeSizes;
    for (const QString& attribute : record.attributes) {
        const PlacedText& above = entity.texts.last();
        entity.texts.append(placeText(DiagramGeometry::AttributeText, attribute,
                                      DiagramGeometry::textBelow(above.pos, above.text->size)));
        attributeSizes.append(entity.texts.last().text->size);
    }
    const QSizeF nameSize = entity.texts.first().text->size;
    entity.box = DiagramGeometry::entitySize(nameSize, attributeSizes, entity.hor, entity.ver);
    entity.separatorY = DiagramGeometry::separatorY(nameSize);
    entity.connectors.resize(Entity::connectorsFor(entity.hor, entity.ver));
    for (int side = 0; side < Entity::sideCount; ++side) {
        const int count = side == Entity::TopSide || side == Entity::BottomSide ? entity.hor : entity.ver;
        for (int i = 0; i < count; ++i)
            entity.connectors[connectorSlot(side, i, entity.hor)].pos =
                DiagramGeometry::connectorPos(side, i, entity.hor, entity.ver, entity.box);
    }
    entity.bounds = withHalfPen(QRectF(entity.pos, entity.box));
    for (const PlacedText& text : std::as_const(entity.texts))
        entity.bounds |= boundsOf(text, entity.pos);
    for (const PlacedConnector& connector : std::as_const(entity.connectors))
        entity.bounds |= withHalfPen(connectorSquare().translated(entity.pos + connector.pos));
    return entity;
}

void DiagramPicture::markBusy(const DiagramFile::ConnectorReference& reference)
{
    PlacedEntity& entity = placedEntities[reference.entity];
    entity.connectors[connectorSlot(reference.side, reference.index, entity.hor)].busy = true;
}

// Where the line's end attaches: the connector square's centre, truncated as the line truncates it.
QPointF DiagramPicture::connectorCentre(const DiagramFile::ConnectorReference& reference) const
{
    const PlacedEntity& entity = placedEntities.at(reference.entity);
    const QPointF centre = entity.pos
                           + entity.connectors.at(connectorSlot(reference.side, reference.index, entity.hor)).pos
                           + connectorSquare().center();
    return QPointF(int(centre.x()), int(centre.y()));
}

DiagramPicture::PlacedLine DiagramPicture::placeLine(const DiagramFile::LineRecord& record) const
{
    PlacedLine line;
    line.segment = QLineF(connectorCentre(record.startReference), connectorCentre(record.endReference));
    line.bounds = DiagramGeometry::lineBounds(line.segment);
    const DiagramGeometry::LabelCentres centres = DiagramGeometry::labelCentres(line.segment, line.bounds);
    const QPointF labelCentres[] = {centres.name, centres.multiplicityA, centres.multiplicityB};
    const QString* labelTexts[] = {&record.name, &record.multiplicityA, &record.multiplicityB};
    for (int i = 0; i < 3; ++i) {
        const TextCache::Text& text = texts->text(DiagramGeometry::LabelText, *labelTexts[i]);
        line.labels.append({DiagramGeometry::centredAt(labelCentres[i], text.size), *labelTexts[i], &text});
        line.bounds |= boundsOf(line.labels.last(), QPointF(0, 0));
    }
    return line;
}

void DiagramPicture::paint(QPainter* painter, const QTransform& sceneToDevice, const QRectF& deviceArea) const
{
    for (const PlacedLine& line : placedLines) {
        if (sceneToDevice.mapRect(line.bounds).intersects(deviceArea))
            paintLine(painter, sceneToDevice, line);
    }
    for (const PlacedEntity& entity : placedEntities) {
        if (sceneToDevice.mapRect(entity.bounds).intersects(deviceArea))
            paintEntity(painter, sceneToDevice, entity);
    }
}

// Each item starts from the painter as it was given, as the scene paints
// items: the box, the texts, then the connectors, which stack above the texts.
void DiagramPicture::paintEntity(QPainter* painter, const QTransform& sceneToDevice, const PlacedEntity& entity) const
{
    painter->save();
    painter->setWorldTransform(itemToDevice(entity.pos, sceneToDevice));
    DiagramPainter::paintEntity(painter, QRectF(QPointF(0, 0), entity.box), entity.separatorY,
                                DiagramPainter::entityFill(), DiagramPainter::entityOutline(), false);
    painter->restore();
    for (const PlacedText& text : entity.texts) {
        painter->save();
        painter->setWorldTransform(itemToDevice(entity.pos + text.pos, sceneToDevice));
        texts->paint(painter, *text.text);
        painter->restore();
    }
    for (const PlacedConnector& connector : entity.connectors) {
        painter->save();
        painter->setWorldTransform(itemToDevice(entity.pos + connector.pos, sceneToDevice));
        DiagramPainter::paintConnector(painter, connectorSquare(), connector.busy, false);
        painter->restore();
    }
}

void DiagramPicture::paintLine(QPainter* painter, const QTransform& sceneToDevice, const PlacedLine& line) const
{
    painter->save();
    painter->setWorldTransform(sceneToDevice);
    DiagramPainter::paintLine(painter, line.segment, false);
    painter->restore();
    for (const PlacedText& label : line.labels) {
        painter->save();
        painter->setWorldTransform(itemToDevice(label.pos, sceneToDevice));
        DiagramPainter::paintLabelBox(painter, QRectF(QPointF(0, 0), label.text->size));
        texts->paint(painter, *label.text);
        painter->restore();
    }
}
