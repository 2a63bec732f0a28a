#pragma once

#include <QList>
#include <QRect>

#include <optional>

// Moves boxes apart, or together, keeping the order in which they stand, so
// that a layout keeps its shape: no two boxes come closer than the gap, which
// leaves room for lines and their labels.
class BoxPacking
{
public:
    explicit BoxPacking(int gap);

    // Each box moves right, then down, only as far as the boxes before it
    // along that axis ask.
    QList<QRect> separated(const QList<QRect>& boxes) const;
    // Each box moves left, then up, as far as the boxes before it allow.
    QList<QRect> compacted(const QList<QRect>& boxes) const;
    // Each box in a row of its neighbours: the boxes, taken from the top,
    // fill rows as wide as the room, each row in the boxes' order from the left.
    QList<QRect> shelved(const QList<QRect>& boxes, int width) const;
    // The first of the boxes separated, compacted or shelved that fits the
    // room, moved into it; nothing where none fits.
    std::optional<QList<QRect>> packedInto(const QList<QRect>& boxes, const QRect& room) const;

private:
    static std::optional<QList<QRect>> fitted(QList<QRect> boxes, const QRect& room);
    QList<QRect> swept(QList<QRect> boxes, Qt::Orientation axis, bool fromStart) const;

    const int gap;
};
