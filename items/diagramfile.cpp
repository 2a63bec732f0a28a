#include "items/diagramfile.h"

#include "app/application.h"

#include <QByteArray>

#include <algorithm>

namespace {

// A string's bytes are read in slices of this size, so that a damaged length
// field costs no more memory than the bytes the file really holds.
constexpr int stringSliceSize = 64 * 1024;

} // namespace

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
