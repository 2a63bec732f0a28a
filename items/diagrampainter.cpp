#include "items/diagrampainter.h"

#include "items/diagramgeometry.h"

#include <QGraphicsItem>
#include <QPainter>

QColor DiagramPainter::entityFill()
{
    return QColor(255, 255, 255, 255);
}

QColor DiagramPainter::entityOutline()
{
    return QColor(0, 0, 0, 255);
}

void DiagramPainter::paintEntity(QPainter* painter, const QRectF& box, int separatorY, const QColor& fill,
                                 const QColor& outline, bool selected)
{
    painter->setBrush(QBrush(fill, selected ? Qt::Dense1Pattern : Qt::SolidPattern));
    painter->fillRect(box, QBrush(Qt::SolidPattern));
    painter->setPen(QPen(outline, 0));
    painter->drawRect(box);
    painter->drawLine(0, separatorY, int(box.width()), separatorY);
}

// A free connector is drawn with the brush it is given: none.
void DiagramPainter::paintConnector(QPainter* painter, const QRectF& square, bool busy, bool wholeSquare)
{
    if (busy)
        painter->setBrush(QBrush(Qt::gray, Qt::SolidPattern));
    painter->drawRect(wholeSquare ? square : DiagramGeometry::connectorMark(square));
}

void DiagramPainter::paintLine(QPainter* painter, const QLineF& segment, bool selected)
{
    painter->setPen(DiagramGeometry::linePen(selected ? Qt::DotLine : Qt::SolidLine));
    painter->drawLine(segment);
}

void DiagramPainter::paintLabelBox(QPainter* painter, const QRectF& textBounds)
{
    painter->setPen(QPen(QBrush(Qt::black), 1.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    const QRectF box = DiagramGeometry::labelBox(textBounds);
    painter->fillRect(box, Qt::white);
    painter->drawRect(box);
}

void DiagramPainter::paintTextBar(QPainter* painter, const QRectF& textBounds)
{
    // A text item's document keeps this much free around its text.
    constexpr qreal margin = 4;
    painter->fillRect(textBounds.adjusted(margin, margin, -margin, -margin), QColor(Qt::lightGray));
}

void DiagramPainter::setDrawn(QGraphicsItem* part, bool drawn)
{
    part->setFlag(QGraphicsItem::ItemHasNoContents, !drawn);
}
