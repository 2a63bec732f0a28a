#include "items/linelabel.h"

#include "items/diagrampainter.h"

LineLabel::LineLabel(const QString& text, QGraphicsItem* parent)
    : QGraphicsTextItem(text, parent)
{
}

void LineLabel::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget)
{
    DiagramPainter::paintLabelBox(painter, boundingRect());
    QGraphicsTextItem::paint(painter, option, widget);
}
