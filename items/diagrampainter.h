#pragma once

#include <QColor>
#include <QLineF>
#include <QRectF>

class QGraphicsItem;
class QPainter;

// How each part of a diagram is drawn, with the painter as each item gets it:
// the items paint themselves with these, and whatever draws a diagram without
// them must too, so that both give the same picture.
class DiagramPainter
{
public:
    // Below this scale a text is a few pixels high and a connector less than
    // two: the texts are drawn as grey bars, connectors and labels not at all.
    static constexpr qreal smallestDetailedScale = 0.25;

    static QColor entityFill();
    static QColor entityOutline();

    static void paintEntity(QPainter* painter, const QRectF& box, int separatorY, const QColor& fill,
                            const QColor& outline, bool selected);
    static void paintConnector(QPainter* painter, const QRectF& square, bool busy, bool wholeSquare);
    static void paintLine(QPainter* painter, const QLineF& segment, bool selected);
    // The white box behind a label's text, which keeps it readable over its own line.
    static void paintLabelBox(QPainter* painter, const QRectF& textBounds);
    // In place of a text too small to read.
    static void paintTextBar(QPainter* painter, const QRectF& textBounds);
    // A part not drawn still takes the mouse as before: only painting skips it,
    // without the cost of visiting it.
    static void setDrawn(QGraphicsItem* part, bool drawn);
};
