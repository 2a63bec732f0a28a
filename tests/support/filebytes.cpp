#include "support/filebytes.h"

QByteArray int32(int value)
{
    const auto bits = quint32(value);
    const char bytes[4] = {char(bits), char(bits >> 8), char(bits >> 16), char(bits >> 24)};
    return QByteArray(bytes, 4);
}

QByteArray fileString(const QByteArray& text)
{
    return int32(int(text.size())) + text;
}

QByteArray entityRecord(const QByteArray& name, int hor, int ver, const QByteArray& attribute, QPoint at)
{
    return int32(at.x()) + int32(at.y()) + fileString(name) + int32(hor) + int32(ver)
           + (attribute.isEmpty() ? int32(0) : int32(1) + fileString(attribute));
}

QByteArray lineRecord(int entityA, int sideA, int indexA, int entityB, int sideB, int indexB)
{
    return fileString("r") + fileString("1") + fileString("*") + int32(entityA) + int32(sideA) + int32(indexA)
           + int32(entityB) + int32(sideB) + int32(indexB);
}

QByteArray diagram(const QList<QByteArray>& entities, const QList<QByteArray>& lines)
{
    return int32(int(entities.size())) + entities.join() + int32(int(lines.size())) + lines.join();
}
