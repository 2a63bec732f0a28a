#include "app/diagramwriter.h"

#include "items/connector.h"
#include "items/diagramfile.h"
#include "items/entity.h"
#include "items/line.h"
#include "scene/diagramscene.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QSet>

#include <cstdlib>
#include <utility>

#include <unistd.h>

DiagramWriter::DiagramWriter(const DiagramScene* scene, Extent extent)
    : scene(scene)
    , extent(extent)
{
}

bool DiagramWriter::write(const QString& path) const
{
    if (!mayReplace(path))
        return false;
    QSaveFile target(path);
    if (!target.open(QIODevice::WriteOnly))
        return false;
    const int descriptor = dup(target.handle());
    FILE* file = descriptor < 0 ? nullptr : fdopen(descriptor, "wb");
    if (!file) {
        if (descriptor >= 0)
            close(descriptor);
        target.cancelWriting();
        return false;
    }
    write(file);
    bool written = ferror(file) == 0 && fflush(file) == 0;
    written = fclose(file) == 0 && written;
    if (!written) {
        target.cancelWriting();
        return false;
    }
    return target.commit();
}

void DiagramWriter::write(FILE* file) const
{
    QList<Entity*> entities;
    QList<Line*> lines;
    collect(entities, lines);
    DiagramFile::writeInt(file, entities.size());
    for (const Entity* entity : std::as_const(entities))
        entity->writeRecord(file);
    DiagramFile::writeInt(file, lines.size());
    for (const Line* line : std::as_const(lines))
        line->writeRecord(file);
}

QByteArray DiagramWriter::bytes() const
{
    char* buffer = nullptr;
    size_t size = 0;
    FILE* file = open_memstream(&buffer, &size);
    if (!file)
        return QByteArray();
    write(file);
    const bool written = fclose(file) == 0;
    const QByteArray result = written ? QByteArray(buffer, qsizetype(size)) : QByteArray();
    free(buffer);
    return result;
}

bool DiagramWriter::mayReplace(const QString& path)
{
    const QFileInfo existing(path);
    return !existing.exists() || existing.isFile();
}

// Entities are numbered as they are collected, so that every line record can
// name its connectors' entities. A line whose entity was not collected (it lies
// wholly outside the scene rectangle) is left out rather than written with a
// number the file does not hold.
void DiagramWriter::collect(QList<Entity*>& entities, QList<Line*>& lines) const
{
    QList<Line*> candidates;
    scene->itemsInSceneRect(entities, candidates);
    if (extent == Selection)
        entities.removeIf([](const Entity* entity) { return !entity->isSelected(); });
    QSet<const Entity*> collected;
    for (int i = 0; i < entities.size(); ++i) {
        entities.at(i)->setFileIndex(i);
        collected.insert(entities.at(i));
    }
    for (Line* line : std::as_const(candidates)) {
        if (line->endConnector() && collected.contains(line->startConnector()->entity())
            && collected.contains(line->endConnector()->entity()))
            lines.append(line);
    }
}
