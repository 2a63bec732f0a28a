#pragma once

#include <QObject>
#include <QPoint>

#include <optional>

class DiagramScene;
class QGraphicsView;

// Copy, cut and paste of entities with the lines among them, through the
// system clipboard, so that another window or process of the editor pastes
// them too.
class DiagramClipboard : public QObject
{
    Q_OBJECT

public:
    // How far a paste that is not at the pointer lies from the one before it,
    // the first from where the entities were copied.
    static constexpr int pasteStep = 20;

    DiagramClipboard(DiagramScene* scene, QGraphicsView* view);

public slots:
    // Answers whether anything went onto the clipboard.
    bool copy();
    void cut();
    void paste();

private:
    std::optional<QPoint> pointerInScene() const;

    DiagramScene* const scene;
    QGraphicsView* const view;
    int pastesSinceCopy = 0;
};
