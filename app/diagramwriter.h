#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdio>

class DiagramScene;
class Entity;
class Line;

// Writes the diagram of a scene: what lies in the scene rectangle, in the
// toolkit's stacking order, topmost first. The one way a diagram is saved.
class DiagramWriter
{
public:
    // The whole diagram, or the selected entities with every line between two
    // of them, as the clipboard takes them.
    enum Extent { WholeDiagram, Selection };

    explicit DiagramWriter(const DiagramScene* scene, Extent extent = WholeDiagram);

    // The file is replaced only once every byte of the new one is written;
    // false leaves it as it was.
    bool write(const QString& path) const;
    void write(FILE* file) const;
    // The file's bytes, held in memory.
    QByteArray bytes() const;

    // A device, pipe or socket is never replaced by a regular file: as root
    // that would, for example, replace /dev/null.
    static bool mayReplace(const QString& path);

private:
    void collect(QList<Entity*>& entities, QList<Line*>& lines) const;

    const DiagramScene* const scene;
    const Extent extent;
};
