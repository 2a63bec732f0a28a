#pragma once

#include <QList>
#include <QPair>
#include <QRect>

// Which connector each end of each line takes, given where the entities
// stand: a line leaves and enters on the two sides that face each other
// across the wider gap, every line has a connector of its own, and the
// connectors along a side follow the order of the entities at the lines' far
// ends, so that lines leaving one side do not cross each other.
class ConnectorPlan
{
public:
    struct End {
        int side = 0;
        int index = 0;
    };

    // Boxes must not overlap; each line joins two different boxes.
    ConnectorPlan(const QList<QRect>& boxes, const QList<QPair<int, int>>& lines);

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

    void chooseSides(const QList<QRect>& boxes, const QList<QPair<int, int>>& lines);
    void attach(int box, int side, int line, bool atStart, const QRect& far);
    void numberConnectors();
    void numberSide(int side, QList<Attachment>& onSide, int count);

    QList<QList<Attachment>> attachments;
    QList<int> horCounts;
    QList<int> verCounts;
    QList<End> starts;
    QList<End> ends;
};
