#include "scene/diagramchangecommand.h"

#include "scene/diagramscene.h"

namespace {

constexpr int mergingCommandId = 1;

// What the later of two steps says about an item wins for the state after
// both; what the earlier says wins for the state before both.
template<typename State>
void takeUncovered(QMap<quint64, State>& into, const QMap<quint64, State>& from, const QSet<quint64>& covered)
{
    for (auto it = from.cbegin(); it != from.cend(); ++it) {
        if (!covered.contains(it.key()))
            into.insert(it.key(), it.value());
    }
}

} // namespace

DiagramChangeCommand::DiagramChangeCommand(DiagramScene* scene, const DiagramSnapshot& before,
                                           const DiagramSnapshot& after, const QString& text, int mergeKey)
    : QUndoCommand(text)
    , scene(scene)
    , before(before)
    , after(after)
    , mergeKey(mergeKey)
{
}

void DiagramChangeCommand::undo()
{
    scene->restore(after, before);
}

// The first redo comes from the push, after the change was made.
void DiagramChangeCommand::redo()
{
    if (made) {
        made = false;
        return;
    }
    scene->restore(before, after);
}

int DiagramChangeCommand::id() const
{
    return mergeKey ? mergingCommandId : -1;
}

bool DiagramChangeCommand::mergeWith(const QUndoCommand* other)
{
    const auto* later = static_cast<const DiagramChangeCommand*>(other);
    if (later->mergeKey != mergeKey)
        return false;
    takeUncovered(before.entities, later->before.entities, before.covered);
    takeUncovered(before.lines, later->before.lines, before.covered);
    DiagramSnapshot merged = later->after;
    takeUncovered(merged.entities, after.entities, later->after.covered);
    takeUncovered(merged.lines, after.lines, later->after.covered);
    merged.covered = before.covered | later->after.covered;
    after = merged;
    before.covered = after.covered;
    return true;
}
