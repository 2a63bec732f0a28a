#include "items/linelabel.h"

#include <QPainter>
#include <QPen>

LineLabel::LineLabel(const QString& text, QGraphicsItem* parent)
    : QGraphicsTextItem(text, parent)
{
}

// The white box keeps the text readable where it lies over its own line.
void LineLabel::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget)
{
    painter->setPen(QPen(QBrush(Qt::black), 1.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    const QRectF bounds = boundingRect();
    const QRectF box(bounds.x() + 2, bounds.y() + 2, bounds.width() - 6, bounds.height() - 6);
    painter->fillRect(box, Qt::white);
    painter->drawRect(box);
    QGraphicsTextItem::paint(painter, option, widget);
}
