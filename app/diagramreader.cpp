#include "app/diagramreader.h"

#include "app/application.h"
#include "items/diagramfile.h"
#include "items/entity.h"
#include "scene/diagramscene.h"

#include <QFile>
#include <QList>
#include <QSet>

#include <algorithm>
#include <memory>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using EntityRecords = QList<DiagramFile::EntityRecord>;
using LineRecords = QList<DiagramFile::LineRecord>;

int sideLength(const DiagramFile::EntityRecord& record, int side)
{
    return side == Entity::TopSide || side == Entity::BottomSide ? record.horConnectorCount
                                                                 : record.verConnectorCount;
}

bool namesAConnector(const DiagramFile::ConnectorReference& end, const EntityRecords& entities)
{
    return end.entity >= 0 && end.entity < entities.size() && DiagramFile::isSide(end.side) && end.index >= 0
           && end.index < sideLength(entities.at(end.entity), end.side);
}

qint64 connectorKey(const DiagramFile::ConnectorReference& reference)
{
    return (qint64(reference.entity) * Entity::sideCount + reference.side) * (maxConnectorsPerSide + 1)
           + reference.index;
}

// What no file of this editor can hold is refused rather than followed: a
// reference to a connector that does not exist, a connector with two line
// ends, a line from an entity to itself, two lines between the same entities.
void checkReferences(const EntityRecords& entities, const LineRecords& lines)
{
    QSet<qint64> busy;
    QSet<qint64> joined;
    for (const DiagramFile::LineRecord& line : lines) {
        for (const DiagramFile::ConnectorReference& end : {line.startReference, line.endReference}) {
            if (!namesAConnector(end, entities) || busy.contains(connectorKey(end)))
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

// The connector counts are summed while the records come in, so that a small
// file cannot make the reader build millions of connectors.
EntityRecords readEntityRecords(FILE* file)
{
    EntityRecords records;
    const int count = DiagramFile::readInt(file);
    qint64 connectorTotal = 0;
    for (int i = 0; i < count; ++i) {
        records.append(DiagramFile::readEntityRecord(file));
        connectorTotal += Entity::connectorsFor(records.last().horConnectorCount, records.last().verConnectorCount);
        if (connectorTotal > maxConnectorsPerDiagram)
            DiagramFile::reject();
    }
    return records;
}

LineRecords readLineRecords(FILE* file)
{
    LineRecords records;
    const int count = DiagramFile::readInt(file);
    for (int i = 0; i < count; ++i)
        records.append(DiagramFile::readLineRecord(file));
    return records;
}

// Only a regular file can hold a diagram. The file is opened without blocking
// and checked on the open descriptor: fopen on a named pipe waits for a writer
// for ever, and a device such as /dev/zero never ends.
FILE* openForReading(const QString& path)
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

} // namespace

DiagramReader::DiagramReader(DiagramScene* scene)
    : scene(scene)
{
}

DiagramReader::Result DiagramReader::read(const QString& path)
{
    scene->clearDiagram();
    DiagramFile::Diagram diagram;
    return build(readRecords(path, diagram), diagram);
}

DiagramReader::Result DiagramReader::read(FILE* file)
{
    scene->clearDiagram();
    DiagramFile::Diagram diagram;
    return build(readRecords(file, diagram), diagram);
}

DiagramReader::Result DiagramReader::readRecords(const QString& path, DiagramFile::Diagram& diagram)
{
    const std::unique_ptr<FILE, int (*)(FILE*)> file(openForReading(path), &fclose);
    return file ? readRecords(file.get(), diagram) : NotOpened;
}

DiagramReader::Result DiagramReader::readRecords(const QByteArray& bytes, DiagramFile::Diagram& diagram)
{
    if (bytes.isEmpty())
        return Refused;
    const std::unique_ptr<FILE, int (*)(FILE*)> file(
        fmemopen(const_cast<char*>(bytes.constData()), size_t(bytes.size()), "rb"), &fclose);
    return file ? readRecords(file.get(), diagram) : NotOpened;
}

// The whole file is read and checked before the first item is made: a refused
// file changes nothing, and every item is built once in its final state (a
// text laid out twice is the largest cost of opening a big diagram).
DiagramReader::Result DiagramReader::readRecords(FILE* file, DiagramFile::Diagram& diagram)
{
    try {
        diagram.entities = readEntityRecords(file);
        diagram.lines = readLineRecords(file);
        checkReferences(diagram.entities, diagram.lines);
    } catch (const Application::FileReadingException&) {
        diagram = DiagramFile::Diagram();
        return Refused;
    }
    return Read;
}

DiagramReader::Result DiagramReader::build(Result result, DiagramFile::Diagram& diagram)
{
    if (result == Read)
        scene->addDiagram(diagram);
    return result;
}
