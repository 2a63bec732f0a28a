#pragma once

#include <QList>
#include <QPair>
#include <QRect>

// Which connector each end of each line takes, given where the entities
// stand: a line leaves and enters on two sides that face each other, every
// line has a connector of its own, and the
// connectors along a side follow the order of the entities at the lines' far
// ends, so that lines leaving one side do not cross each other.
class ConnectorPlan
{
public:
    struct End {
        int side = 0;
        int index = 0;
    };

    // Boxes must not overlap; each line joins two different boxes. Within
    // the boxes, no entity needs more connectors than its box has room for
    // (a line may then leave on a side that does not face the other entity),
    // where the boxes have room for all their lines.
    ConnectorPlan(const QList<QRect>& boxes, const QList<QPair<int, int>>& lines, bool withinBoxes);

    // Connectors on each of the top and bottom sides, and on each of the
    // right and left sides.
    int horConnectorCount(int box) const;
    int verConnectorCount(int box) const;
    End start(int line) const;
    End end(int line) const;

private:
    struct Attachment {
        int line;
        bool atStart;
        // Where the far end lies along the side, in the side's clockwise direction.
        int along;
    };

    // A side of the line's first box, and the side of its second that faces it.
    using SidePair = QPair<int, int>;

    void chooseSides(const QList<QRect>& boxes, const QList<QPair<int, int>>& lines, bool withinBoxes);
    SidePair sidesFor(const QList<QRect>& boxes, const QPair<int, int>& line, bool withinBoxes) const;
    int roomLeft(const QList<QRect>& boxes, int box, int side) const;
    static QList<SidePair> facingPairs(const QRect& a, const QRect& b);
    void attach(const QList<QRect>& boxes, const QList<QPair<int, int>>& lines, int line, const SidePair& sides);
    void numberConnectors();
    void numberSide(int side, QList<Attachment>& onSide, int count);

    QList<QList<Attachment>> attachments;
    QList<int> horCounts;
    QList<int> verCounts;
    QList<End> starts;
    QList<End> ends;
};
