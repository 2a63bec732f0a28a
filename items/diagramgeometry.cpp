#include "items/diagramgeometry.h"

#include "items/entity.h"
#include "items/line.h"

#include <algorithm>

namespace {

constexpr int minimumHeight = 50;
constexpr int textRightMargin = 30;

} // namespace

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

QPointF DiagramGeometry::centredAt(const QPointF& centre, const QSizeF& size)
{
    return QPointF(centre.x() - size.width() / 2, centre.y() - size.height() / 2);
}
