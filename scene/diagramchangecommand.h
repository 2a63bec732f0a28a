#pragma once

#include "scene/diagramsnapshot.h"

#include <QUndoCommand>

class DiagramScene;

// One undo step: some entities and lines as they were before a change and as
// it left them. The change has already been made when the step is pushed.
// Items are never kept: undo and redo make, change and delete them through
// the scene, so the scene owns everything it shows and nothing else exists.
class DiagramChangeCommand : public QUndoCommand
{
public:
    DiagramChangeCommand(DiagramScene* scene, const DiagramSnapshot& before, const DiagramSnapshot& after,
                         const QString& text, int mergeKey);

    void undo() override;
    void redo() override;
    int id() const override;
    bool mergeWith(const QUndoCommand* other) override;

private:
    DiagramScene* const scene;
    DiagramSnapshot before;
    DiagramSnapshot after;
    // Two steps with the same key other than zero become one (a line end
    // detached and then attached elsewhere).
    const int mergeKey;
    bool made = true;
};
