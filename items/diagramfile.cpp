#include "items/diagramfile.h"

#include "app/application.h"
#include "items/connector.h"
#include "items/entity.h"

#include <QByteArray>

#include <algorithm>

namespace {

// A string's bytes are read in slices of this size, so that a damaged length
// field costs no more memory than the bytes the file really holds.
constexpr int stringSliceSize = 64 * 1024;

bool isValidConnectorCount(int count)
{
    return count >= 1 && count <= maxConnectorsPerSide;
}

DiagramFile::ConnectorReference readReference(FILE* file)
{
    DiagramFile::ConnectorReference reference;
    reference.entity = DiagramFile::readInt(file);
    reference.side = DiagramFile::readInt(file);
    reference.index = DiagramFile::readInt(file);
    return reference;
}

// A single line record, read without the whole file's check, checks its own ends.
Connector* resolveReference(const DiagramFile::ConnectorReference& reference, const QList<Entity*>& entities)
{
    if (reference.entity < 0 || reference.entity >= entities.size() || !DiagramFile::isSide(reference.side))
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

bool DiagramFile::isSide(int side)
{
    return side >= Entity::TopSide && side <= Entity::LeftSide;
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
