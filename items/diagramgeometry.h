#pragma once

#include <QFont>
#include <QLineF>
#include <QList>
#include <QPen>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QSizeF>

// The arithmetic that places an entity's box, texts and connectors and a
// line's labels, from text sizes, counts and the segment alone: the items lay
// themselves out with it, and anything that draws a diagram without them
// must use it too, so that both give the same picture.
class DiagramGeometry
{
public:
    enum TextKind { NameText, AttributeText, LabelText };

    struct LabelCentres {
        QPointF name;
        QPointF multiplicityA;
        QPointF multiplicityB;
    };

    // Text sizes, and so every box, follow from these fonts.
    static QFont font(TextKind kind);

    // All lengths are whole numbers; every conversion truncates toward zero.
    static QSize entitySize(const QSizeF& name, const QList<QSizeF>& attributes, int hor, int ver);
    static QPointF nameOrigin();
    // Where a text goes under the one above it, whose top-left corner and size are given.
    static QPointF textBelow(const QPointF& above, const QSizeF& aboveSize);
    static int separatorY(const QSizeF& name);
    // The top-left corner of a connector's square, relative to the entity.
    static QPointF connectorPos(int side, int index, int hor, int ver, const QSize& box);
    // The small square a connector shows outside add-line mode, within its own square.
    static QRectF connectorMark(const QRectF& square);

    static QPen linePen(Qt::PenStyle style = Qt::SolidLine);
    // What a line drawn with the editor's pen covers; empty for the null
    // line, as the toolkit has it.
    static QRectF lineBounds(const QLineF& segment);
    static LabelCentres labelCentres(const QLineF& segment, const QRectF& lineBounds);
    // The framed white box a label draws within its text's bounds.
    static QRectF labelBox(const QRectF& textBounds);
    // The top-left corner of a box of this size centred on the point.
    static QPointF centredAt(const QPointF& centre, const QSizeF& size);
    // A scene coordinate as the file's whole number, truncated toward zero.
    // A zoomed view's transform can leave a point a hair below the whole
    // number its pixels stand for, so such noise goes first: truncated, it
    // would put an entity one unit short of the pointer.
    static int wholeUnits(qreal coordinate);
};
