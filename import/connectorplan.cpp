#include "import/connectorplan.h"

#include "items/entity.h"

#include <algorithm>

namespace {

// A pair of sides that carries no line keeps the editor's default.
constexpr int idleConnectorCount = 2;

bool isHorizontal(int side)
{
    return side == Entity::TopSide || side == Entity::BottomSide;
}

// The connectors run clockwise: left to right along the top, top to bottom
// down the right side, right to left along the bottom, bottom to top up the left.
int alongSide(int side, const QRect& far)
{
    const QPoint centre = far.center();
    switch (side) {
    case Entity::TopSide:
        return centre.x();
    case Entity::RightSide:
        return centre.y();
    case Entity::BottomSide:
        return -centre.x();
    default:
        return -centre.y();
    }
}

} // namespace

ConnectorPlan::ConnectorPlan(const QList<QRect>& boxes, const QList<QPair<int, int>>& lines, bool withinBoxes)
    : attachments(boxes.size() * Entity::sideCount)
    , horCounts(boxes.size(), idleConnectorCount)
    , verCounts(boxes.size(), idleConnectorCount)
    , starts(lines.size())
    , ends(lines.size())
{
    chooseSides(boxes, lines, withinBoxes);
    numberConnectors();
}

int ConnectorPlan::horConnectorCount(int box) const
{
    return horCounts.at(box);
}

int ConnectorPlan::verConnectorCount(int box) const
{
    return verCounts.at(box);
}

ConnectorPlan::End ConnectorPlan::start(int line) const
{
    return starts.at(line);
}

ConnectorPlan::End ConnectorPlan::end(int line) const
{
    return ends.at(line);
}

// Boxes that do not overlap are apart along at least one axis, and the sides
// across that gap face each other. Where the boxes are apart along both (one
// lies diagonally from the other), either pair faces, and the line takes the
// pair with fewer lines, so that no side gathers more lines than it must;
// those lines go after the ones that have one pair only.
void ConnectorPlan::chooseSides(const QList<QRect>& boxes, const QList<QPair<int, int>>& lines, bool withinBoxes)
{
    QList<int> order;
    QList<int> eitherPair;
    for (int line = 0; line < lines.size(); ++line) {
        const bool onePair = facingPairs(boxes.at(lines.at(line).first), boxes.at(lines.at(line).second)).size() == 1;
        (onePair ? order : eitherPair).append(line);
    }
    order += eitherPair;
    for (int line : std::as_const(order))
        attach(boxes, lines, line, sidesFor(boxes, lines.at(line), withinBoxes));
}

// Within the boxes, a line whose facing sides are full takes any pair with
// room, facing or not: the entity does not grow.
ConnectorPlan::SidePair ConnectorPlan::sidesFor(const QList<QRect>& boxes, const QPair<int, int>& line,
                                                bool withinBoxes) const
{
    const int from = line.first;
    const int to = line.second;
    const QList<SidePair> facing = facingPairs(boxes.at(from), boxes.at(to));
    QList<SidePair> candidates = facing;
    if (withinBoxes) {
        for (int side = 0; side < Entity::sideCount; ++side)
            candidates.append({side, (side + 2) % Entity::sideCount});
        candidates.removeIf([&](const SidePair& pair) {
            return roomLeft(boxes, from, pair.first) <= 0 || roomLeft(boxes, to, pair.second) <= 0;
        });
        if (candidates.isEmpty())
            candidates = facing;
    }
    const auto load = [&](const SidePair& pair) {
        return attachments.at(from * Entity::sideCount + pair.first).size()
            + attachments.at(to * Entity::sideCount + pair.second).size();
    };
    return *std::min_element(candidates.begin(), candidates.end(),
                             [&](const SidePair& a, const SidePair& b) { return load(a) < load(b); });
}

// Lines a side still has connectors for without its entity outgrowing the
// box: connector 0 is left free.
int ConnectorPlan::roomLeft(const QList<QRect>& boxes, int box, int side) const
{
    const int length = isHorizontal(side) ? boxes.at(box).width() : boxes.at(box).height();
    return length / connectorSpacing - 1 - int(attachments.at(box * Entity::sideCount + side).size());
}

// The pairs of sides that face each other, the one across the wider gap first.
QList<ConnectorPlan::SidePair> ConnectorPlan::facingPairs(const QRect& a, const QRect& b)
{
    const int gapX = std::max(b.left() - a.right(), a.left() - b.right());
    const int gapY = std::max(b.top() - a.bottom(), a.top() - b.bottom());
    const int horizontal = b.center().x() > a.center().x() ? Entity::RightSide : Entity::LeftSide;
    const int vertical = b.center().y() > a.center().y() ? Entity::BottomSide : Entity::TopSide;
    const SidePair across(horizontal, (horizontal + 2) % Entity::sideCount);
    const SidePair upDown(vertical, (vertical + 2) % Entity::sideCount);
    if (gapX > 0 && gapY > 0)
        return gapX >= gapY ? QList<SidePair>{across, upDown} : QList<SidePair>{upDown, across};
    return {gapX >= gapY ? across : upDown};
}

void ConnectorPlan::attach(const QList<QRect>& boxes, const QList<QPair<int, int>>& lines, int line,
                           const SidePair& sides)
{
    const auto [from, to] = lines.at(line);
    attachments[from * Entity::sideCount + sides.first].append(
        {line, true, alongSide(sides.first, boxes.at(to))});
    attachments[to * Entity::sideCount + sides.second].append(
        {line, false, alongSide(sides.second, boxes.at(from))});
}

// One connector more than the busier side of a pair needs leaves connector 0,
// the one on the corner, free: the lines leave from within the side.
void ConnectorPlan::numberConnectors()
{
    for (int box = 0; box < horCounts.size(); ++box) {
        const auto onSide = [&](int side) -> QList<Attachment>& { return attachments[box * Entity::sideCount + side]; };
        const int hor = int(std::max(onSide(Entity::TopSide).size(), onSide(Entity::BottomSide).size())) + 1;
        const int ver = int(std::max(onSide(Entity::RightSide).size(), onSide(Entity::LeftSide).size())) + 1;
        horCounts[box] = std::max(idleConnectorCount, hor);
        verCounts[box] = std::max(idleConnectorCount, ver);
        for (int side = 0; side < Entity::sideCount; ++side)
            numberSide(side, onSide(side), isHorizontal(side) ? horCounts.at(box) : verCounts.at(box));
    }
}

// The side's lines spread evenly over connectors 1 .. count - 1.
void ConnectorPlan::numberSide(int side, QList<Attachment>& onSide, int count)
{
    std::stable_sort(onSide.begin(), onSide.end(),
                     [](const Attachment& a, const Attachment& b) { return a.along < b.along; });
    const int lines = int(onSide.size());
    for (int i = 0; i < lines; ++i) {
        const End end{side, 1 + (2 * i + 1) * (count - 1) / (2 * lines)};
        (onSide.at(i).atStart ? starts : ends)[onSide.at(i).line] = end;
    }
}
