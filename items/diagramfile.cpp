#include "items/diagramfile.h"

#include "app/application.h"
#include "items/connector.h"
#include "items/entity.h"
#include "items/line.h"
#include "scene/diagramscene.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A string's bytes are read in slices of this size, so that a damaged length
// field costs no more memory than the bytes the file really holds.
constexpr int stringSliceSize = 64 * 1024;

bool isValidConnectorCount(int count)
{
    return count >= 1 && count <= maxConnectorsPerSide;
}

bool isSide(int side)
{
    return side >= Entity::TopSide && side <= Entity::LeftSide;
}

int sideLength(const DiagramFile::EntityRecord& record, int side)
{
    return side == Entity::TopSide || side == Entity::BottomSide ? record.horConnectorCount
                                                                 : record.verConnectorCount;
}

qint64 connectorKey(const DiagramFile::ConnectorReference& reference)
{
    return (qint64(reference.entity) * Entity::sideCount + reference.side) * (maxConnectorsPerSide + 1)
           + reference.index;
}

DiagramFile::ConnectorReference readReference(FILE* file)
{
    DiagramFile::ConnectorReference reference;
    reference.entity = DiagramFile::readInt(file);
    reference.side = DiagramFile::readInt(file);
    reference.index = DiagramFile::readInt(file);
    return reference;
}

// The whole file is checked before any item is made: every reference names a
// connector that exists, no connector carries two line ends, no line joins an
// entity to itself and no two lines join the same entities. What no file of
// this editor can hold is refused rather than followed, and a refused file
// leaves no items behind to clear.
void checkReferences(const QList<DiagramFile::EntityRecord>& entities, const QList<DiagramFile::LineRecord>& lines)
{
    QSet<qint64> busy;
    QSet<qint64> joined;
    for (const DiagramFile::LineRecord& line : lines) {
        for (const DiagramFile::ConnectorReference& end : {line.startReference, line.endReference}) {
            if (end.entity < 0 || end.entity >= entities.size() || !isSide(end.side) || end.index < 0
                || end.index >= sideLength(entities.at(end.entity), end.side))
                DiagramFile::reject();
            if (busy.contains(connectorKey(end)))
                DiagramFile::reject();
            busy.insert(connectorKey(end));
        }
        const int a = std::min(line.startReference.entity, line.endReference.entity);
        const int b = std::max(line.startReference.entity, line.endReference.entity);
        if (a == b || joined.contains(qint64(a) << 32 | b))
            DiagramFile::reject();
        joined.insert(qint64(a) << 32 | b);
    }
}

Connector* resolveReference(const DiagramFile::ConnectorReference& reference, const QList<Entity*>& entities)
{
    if (reference.entity < 0 || reference.entity >= entities.size() || !isSide(reference.side))
        DiagramFile::reject();
    const Entity* entity = entities.at(reference.entity);
    if (reference.index < 0 || reference.index >= entity->connectorCount(reference.side))
        DiagramFile::reject();
    Connector* connector = entity->connectorAt(reference.side, reference.index);
    if (!connector->isFree())
        DiagramFile::reject();
    return connector;
}

} // namespace

// Entities are numbered as they are collected, so that every line record can
// name its connectors' entities. A line whose entity was not collected (it lies
// wholly outside the scene rectangle) is left out rather than written with a
// number the file does not hold.
void DiagramFile::collect(DiagramScene* scene, QList<Entity*>& entities, QList<Line*>& lines)
{
    QList<Line*> candidates;
    scene->itemsInSceneRect(entities, candidates);
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

// The whole file is read and checked before the first item is made: a damaged
// file changes nothing, and every item is built once in its final state (a
// text laid out twice is the largest cost of opening a big diagram).
void DiagramFile::readDiagram(FILE* file, DiagramScene* scene)
{
    QList<EntityRecord> entityRecords;
    const int entityCount = readInt(file);
    qint64 connectorTotal = 0;
    for (int i = 0; i < entityCount; ++i) {
        entityRecords.append(readEntityRecord(file));
        connectorTotal += Entity::connectorsFor(entityRecords.last().horConnectorCount,
                                                 entityRecords.last().verConnectorCount);
        if (connectorTotal > maxConnectorsPerDiagram)
            reject();
    }
    QList<LineRecord> lineRecords;
    const int lineCount = readInt(file);
    for (int i = 0; i < lineCount; ++i)
        lineRecords.append(readLineRecord(file));
    checkReferences(entityRecords, lineRecords);

    QList<Entity*> entities;
    entities.reserve(entityRecords.size());
    for (const EntityRecord& record : std::as_const(entityRecords))
        entities.append(scene->createEntity(record));
    for (LineRecord& record : lineRecords) {
        resolve(record, entities);
        scene->createLine(record);
    }
}

// Counts outside 1 .. maxConnectorsPerSide cannot come from this editor; the
// layout divides by them.
DiagramFile::EntityRecord DiagramFile::readEntityRecord(FILE* file)
{
    EntityRecord record;
    record.x = readInt(file);
    record.y = readInt(file);
    record.name = readString(file);
    record.horConnectorCount = readInt(file);
    record.verConnectorCount = readInt(file);
    if (!isValidConnectorCount(record.horConnectorCount) || !isValidConnectorCount(record.verConnectorCount))
        reject();
    const int count = readInt(file);
    for (int i = 0; i < count; ++i)
        record.attributes.append(readString(file));
    return record;
}

DiagramFile::LineRecord DiagramFile::readLineRecord(FILE* file)
{
    LineRecord record;
    record.name = readString(file);
    record.multiplicityA = readString(file);
    record.multiplicityB = readString(file);
    record.startReference = readReference(file);
    record.endReference = readReference(file);
    return record;
}

// Both ends are resolved and checked against the entities as they stand
// before anything is attached, so a refusal leaves no half-attached line.
void DiagramFile::resolve(LineRecord& record, const QList<Entity*>& entities)
{
    Connector* start = resolveReference(record.startReference, entities);
    Connector* end = resolveReference(record.endReference, entities);
    if (start->entity() == end->entity() || start->entity()->isConnectedTo(end->entity()))
        reject();
    record.start = start;
    record.end = end;
}

// Only a regular file can hold a diagram. The file is opened without blocking
// and checked on the open descriptor: fopen on a named pipe waits for a writer
// for ever, and a device such as /dev/zero never ends.
FILE* DiagramFile::openForReading(const QString& path)
{
    const int descriptor = open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        return nullptr;
    struct stat status;
    const int flags = fcntl(descriptor, F_GETFL);
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) || flags < 0
        || fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        close(descriptor);
        return nullptr;
    }
    FILE* file = fdopen(descriptor, "rb");
    if (!file)
        close(descriptor);
    return file;
}

// A device, pipe or socket is never replaced by a regular file: as root that
// would, for example, replace /dev/null.
bool DiagramFile::mayReplace(const QString& path)
{
    const QFileInfo existing(path);
    return !existing.exists() || existing.isFile();
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
