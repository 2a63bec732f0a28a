#include "items/diagramgeometry.h"

#include "items/entity.h"
#include "items/line.h"

#include <QPainterPath>
#include <QPainterPathStroker>

#include <algorithm>
#include <cmath>

namespace {

constexpr int minimumHeight = 50;
constexpr int textRightMargin = 30;
constexpr qreal textLeft = 5.0;
constexpr int labelPixelSize = 9;

} // namespace

QFont DiagramGeometry::font(TextKind kind)
{
    QFont font;
    if (kind == NameText)
        font.setWeight(QFont::Bold);
    else if (kind == LabelText)
        font.setPixelSize(labelPixelSize);
    return font;
}

QSize DiagramGeometry::entitySize(const QSizeF& name, const QList<QSizeF>& attributes, int hor, int ver)
{
    int w = int(name.width());
    int h = int(name.height());
    for (const QSizeF& attribute : attributes) {
        w = std::max(w, int(attribute.width()));
        h = int(h + attribute.height());
    }
    h = std::max(h, minimumHeight);
    return QSize(std::max(w + textRightMargin, hor * connectorSpacing), std::max(h, ver * connectorSpacing));
}

QPointF DiagramGeometry::nameOrigin()
{
    return QPointF(textLeft, 0.0);
}

QPointF DiagramGeometry::textBelow(const QPointF& above, const QSizeF& aboveSize)
{
    return QPointF(textLeft, above.y() + aboveSize.height());
}

int DiagramGeometry::separatorY(const QSizeF& name)
{
    return int(name.height());
}

// Connectors run clockwise, each side from its own corner, so that a side's
// connector 0 is the one on the corner where the side starts.
QPointF DiagramGeometry::connectorPos(int side, int index, int hor, int ver, const QSize& box)
{
    const int d = connectorSize / 2;
    const int sx = box.width() / hor;
    const int sy = box.height() / ver;
    switch (side) {
    case Entity::TopSide:
        return QPointF(-d + index * sx, -d);
    case Entity::RightSide:
        return QPointF(box.width() - d, -d + index * sy);
    case Entity::BottomSide:
        return QPointF(box.width() - d - index * sx, box.height() - d);
    default:
        return QPointF(-d, box.height() - d - index * sy);
    }
}

QRectF DiagramGeometry::connectorMark(const QRectF& square)
{
    return QRectF(square.x() + 2, square.y() + 2, square.width() * 0.5, square.height() * 0.5);
}

QPen DiagramGeometry::linePen(Qt::PenStyle style)
{
    return QPen(QBrush(Qt::black), 3.0, style, Qt::SquareCap, Qt::BevelJoin);
}

// The outline the toolkit strokes for a line item's shape, with the segment
// itself added, as its bounding rectangle is computed.
QRectF DiagramGeometry::lineBounds(const QLineF& segment)
{
    if (segment == QLineF())
        return QRectF();
    QPainterPath path(segment.p1());
    path.lineTo(segment.p2());
    const QPen pen = linePen();
    QPainterPathStroker stroker;
    stroker.setCapStyle(pen.capStyle());
    stroker.setWidth(pen.widthF());
    stroker.setJoinStyle(pen.joinStyle());
    stroker.setMiterLimit(pen.miterLimit());
    QPainterPath outline = stroker.createStroke(path);
    outline.addPath(path);
    return outline.controlPointRect();
}

// The name is centred through the bounding rectangle, which includes the pen,
// so it sits half a pen width off the exact midpoint; the multiplicities sit
// labelEndDistance from their ends, or on the ends of a shorter segment.
DiagramGeometry::LabelCentres DiagramGeometry::labelCentres(const QLineF& segment, const QRectF& lineBounds)
{
    const qreal length = segment.length();
    const int d = length >= Line::labelEndDistance ? Line::labelEndDistance : int(length);
    const qreal dx = length > 0 ? d * segment.dx() / length : 0;
    const qreal dy = length > 0 ? d * segment.dy() / length : 0;
    return {QPointF(std::min(segment.x1(), segment.x2()) + lineBounds.width() / 2,
                    std::min(segment.y1(), segment.y2()) + lineBounds.height() / 2),
            QPointF(segment.x1() + dx, segment.y1() + dy), QPointF(segment.x2() - dx, segment.y2() - dy)};
}

QRectF DiagramGeometry::labelBox(const QRectF& textBounds)
{
    return QRectF(textBounds.x() + 2, textBounds.y() + 2, textBounds.width() - 6, textBounds.height() - 6);
}

QPointF DiagramGeometry::centredAt(const QPointF& centre, const QSizeF& size)
{
    return QPointF(centre.x() - size.width() / 2, centre.y() - size.height() / 2);
}

int DiagramGeometry::wholeUnits(qreal coordinate)
{
    const qreal nearest = std::round(coordinate);
    return int(std::abs(coordinate - nearest) < 1e-6 ? nearest : coordinate);
}
