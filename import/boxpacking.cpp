#include "import/boxpacking.h"

#include <algorithm>
#include <numeric>

namespace {

int startOf(const QRect& box, Qt::Orientation axis)
{
    return axis == Qt::Horizontal ? box.left() : box.top();
}

int endOf(const QRect& box, Qt::Orientation axis)
{
    return axis == Qt::Horizontal ? box.right() + 1 : box.bottom() + 1;
}

Qt::Orientation across(Qt::Orientation axis)
{
    return axis == Qt::Horizontal ? Qt::Vertical : Qt::Horizontal;
}

void moveTo(QRect& box, Qt::Orientation axis, int start)
{
    if (axis == Qt::Horizontal)
        box.moveLeft(start);
    else
        box.moveTop(start);
}

QRect boundsOf(const QList<QRect>& boxes)
{
    QRect bounds;
    for (const QRect& box : boxes)
        bounds |= box;
    return bounds;
}

} // namespace

BoxPacking::BoxPacking(int gap)
    : gap(gap)
{
}

QList<QRect> BoxPacking::separated(const QList<QRect>& boxes) const
{
    return swept(swept(boxes, Qt::Horizontal, false), Qt::Vertical, false);
}

QList<QRect> BoxPacking::compacted(const QList<QRect>& boxes) const
{
    return swept(swept(boxes, Qt::Horizontal, true), Qt::Vertical, true);
}

QList<QRect> BoxPacking::shelved(const QList<QRect>& boxes, int width) const
{
    QList<int> order(boxes.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return boxes.at(a).center().y() < boxes.at(b).center().y();
    });
    QList<QRect> shelves = boxes;
    QList<int> row;
    int rowWidth = 0;
    int rowHeight = 0;
    int top = 0;
    const auto closeRow = [&] {
        std::stable_sort(row.begin(), row.end(), [&](int a, int b) {
            return boxes.at(a).center().x() < boxes.at(b).center().x();
        });
        int left = 0;
        for (int box : std::as_const(row)) {
            shelves[box].moveTo(left, top);
            left += boxes.at(box).width() + gap;
        }
        top += rowHeight + gap;
        row.clear();
        rowWidth = rowHeight = 0;
    };
    for (int box : std::as_const(order)) {
        const int added = (row.isEmpty() ? 0 : gap) + boxes.at(box).width();
        if (!row.isEmpty() && rowWidth + added > width) {
            closeRow();
            rowWidth = boxes.at(box).width();
        } else {
            rowWidth += added;
        }
        rowHeight = std::max(rowHeight, boxes.at(box).height());
        row.append(box);
    }
    closeRow();
    return shelves;
}

std::optional<QList<QRect>> BoxPacking::packedInto(const QList<QRect>& boxes, const QRect& room) const
{
    const QList<QRect> apart = separated(boxes);
    if (std::optional<QList<QRect>> placed = fitted(apart, room))
        return placed;
    if (std::optional<QList<QRect>> placed = fitted(compacted(apart), room))
        return placed;
    return fitted(shelved(apart, room.width()), room);
}

std::optional<QList<QRect>> BoxPacking::fitted(QList<QRect> boxes, const QRect& room)
{
    const QRect bounds = boundsOf(boxes);
    if (bounds.width() > room.width() || bounds.height() > room.height())
        return std::nullopt;
    const QPoint shift = room.topLeft() - bounds.topLeft();
    for (QRect& box : boxes)
        box.translate(shift);
    return boxes;
}

// Boxes that lie within the gap of each other across the axis must stand a
// gap apart along it; each box, taken in the order of its start, goes to the
// first place after every such box already placed. A sweep alone leaves no
// two boxes closer than the gap.
QList<QRect> BoxPacking::swept(QList<QRect> boxes, Qt::Orientation axis, bool fromStart) const
{
    QList<int> order(boxes.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return startOf(boxes.at(a), axis) < startOf(boxes.at(b), axis);
    });
    const int lowest = boxes.isEmpty() ? 0 : startOf(boxes.at(order.first()), axis);
    const Qt::Orientation other = across(axis);
    for (int i = 0; i < order.size(); ++i) {
        QRect& box = boxes[order.at(i)];
        int start = fromStart ? lowest : startOf(box, axis);
        for (int j = 0; j < i; ++j) {
            const QRect& placed = boxes.at(order.at(j));
            const bool near = startOf(placed, other) < endOf(box, other) + gap
                && startOf(box, other) < endOf(placed, other) + gap;
            if (near)
                start = std::max(start, endOf(placed, axis) + gap);
        }
        moveTo(box, axis, start);
    }
    return boxes;
}
