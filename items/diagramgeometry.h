#pragma once

#include <QLineF>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QSizeF>

// The arithmetic that places an entity's box and connectors and a line's
// labels, from text sizes, counts and the segment alone: the items lay
// themselves out with it, and anything that draws a diagram without them
// must use it too, so that both give the same picture.
class DiagramGeometry
{
public:
    struct LabelCentres {
        QPointF name;
        QPointF multiplicityA;
        QPointF multiplicityB;
    };

    // All lengths are whole numbers; every conversion truncates toward zero.
    static QSize entitySize(const QSizeF& name, const QList<QSizeF>& attributes, int hor, int ver);
    // The top-left corner of a connector's square, relative to the entity.
    static QPointF connectorPos(int side, int index, int hor, int ver, const QSize& box);
    static LabelCentres labelCentres(const QLineF& segment, const QRectF& lineBounds);
    // The top-left corner of a box of this size centred on the point.
    static QPointF centredAt(const QPointF& centre, const QSizeF& size);
};
