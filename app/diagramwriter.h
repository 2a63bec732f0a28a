#pragma once

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
    explicit DiagramWriter(const DiagramScene* scene);

    // The file is replaced only once every byte of the new one is written;
    // false leaves it as it was.
    bool write(const QString& path) const;
    void write(FILE* file) const;

    // A device, pipe or socket is never replaced by a regular file: as root
    // that would, for example, replace /dev/null.
    static bool mayReplace(const QString& path);

private:
    void collect(QList<Entity*>& entities, QList<Line*>& lines) const;

    const DiagramScene* const scene;
};
