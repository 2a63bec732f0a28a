#include "items/diagramfile.h"

#include "app/application.h"
#include "items/connector.h"
#include "items/entity.h"
#include "items/line.h"
#include "scene/diagramscene.h"

#include <QByteArray>
#include <QSet>

#include <algorithm>

namespace {

// A string's bytes are read in slices of this size, so that a damaged length
// field costs no more memory than the bytes the file really holds.
constexpr int stringSliceSize = 64 * 1024;

} // namespace

// Entities are numbered as they are collected, so that every line record can
// name its connectors' entities. A line whose entity was not collected (it lies
// wholly outside the scene rectangle) is left out rather than written with a
// number the file does not hold.
void DiagramFile::collect(DiagramScene* scene, QList<Entity*>& entities, QList<Line*>& lines)
{
    QSet<const Entity*> collected;
    QList<Line*> candidates;
    const QList<QGraphicsItem*> items = scene->items(scene->sceneRect(), Qt::IntersectsItemShape,
                                                     Qt::DescendingOrder);
    for (QGraphicsItem* item : items) {
        if (Entity* entity = qgraphicsitem_cast<Entity*>(item)) {
            entity->setFileIndex(entities.size());
            entities.append(entity);
            collected.insert(entity);
        } else if (Line* line = qgraphicsitem_cast<Line*>(item)) {
            if (line->endConnector())
                candidates.append(line);
        }
    }
    for (Line* line : candidates) {
        if (collected.contains(line->startConnector()->entity())
            && collected.contains(line->endConnector()->entity()))
            lines.append(line);
    }
}

void DiagramFile::writeDiagram(FILE* file, DiagramScene* scene)
{
    QList<Entity*> entities;
    QList<Line*> lines;
    collect(scene, entities, lines);
    writeInt(file, entities.size());
    for (const Entity* entity : entities)
        entity->writeRecord(file);
    writeInt(file, lines.size());
    for (const Line* line : lines)
        line->writeRecord(file);
}

// Every entity and line is made through the scene before its record is read
// into it; a reading failure leaves what was made so far for the caller to clear.
void DiagramFile::readDiagram(FILE* file, DiagramScene* scene)
{
    QList<Entity*> entities;
    const int entityCount = readInt(file);
    for (int i = 0; i < entityCount; ++i) {
        Entity* entity = scene->createEntity(0, 0, false);
        entities.append(entity);
        entity->readRecord(file);
    }
    const int lineCount = readInt(file);
    for (int i = 0; i < lineCount; ++i) {
        Line* line = scene->createLine(nullptr, nullptr);
        line->readRecord(file, entities);
    }
}

void DiagramFile::writeInt(FILE* file, int value)
{
    const auto bits = static_cast<quint32>(value);
    const unsigned char bytes[4] = {static_cast<unsigned char>(bits), static_cast<unsigned char>(bits >> 8),
                                    static_cast<unsigned char>(bits >> 16),
                                    static_cast<unsigned char>(bits >> 24)};
    fwrite(bytes, 1, sizeof bytes, file);
}

void DiagramFile::writeString(FILE* file, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    writeInt(file, bytes.size());
    fwrite(bytes.constData(), 1, bytes.size(), file);
}

int DiagramFile::readInt(FILE* file)
{
    unsigned char bytes[4];
    Application::readChecked(bytes, 1, sizeof bytes, file);
    const quint32 bits = quint32(bytes[0]) | quint32(bytes[1]) << 8 | quint32(bytes[2]) << 16
                         | quint32(bytes[3]) << 24;
    return static_cast<int>(bits);
}

QString DiagramFile::readString(FILE* file)
{
    const int length = readInt(file);
    QByteArray bytes;
    while (bytes.size() < length) {
        const int slice = std::min(stringSliceSize, length - int(bytes.size()));
        const qsizetype start = bytes.size();
        bytes.resize(start + slice);
        Application::readChecked(bytes.data() + start, 1, slice, file);
    }
    const qsizetype zero = bytes.indexOf('\0');
    return QString::fromUtf8(zero < 0 ? bytes : bytes.left(zero));
}

void DiagramFile::reject()
{
    throw Application::FileReadingException();
}
