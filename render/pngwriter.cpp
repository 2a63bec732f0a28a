#include "render/pngwriter.h"

#include <QIODevice>
#include <QImage>
#include <QtEndian>

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// Speed over the last few percent of size: a diagram is mostly white, which
// the fastest level already packs well, and the picture is large.
constexpr int compressionLevel = 1;
// Bands compressed but not yet written; each one holds a band's rows.
constexpr std::size_t bandsInFlight = 2;
constexpr char noFilter = 0;
constexpr char upFilter = 2;
// Once it has taken in nearly two windows of input since its last full flush,
// zlib slides its window and rebases every hash entry, which costs more than
// all the deflating; input is cut by a full flush just short of that.
constexpr qsizetype pieceBytes = 2 * (1 << MAX_WBITS) - 512;

QByteArray bigEndian(quint32 value)
{
    QByteArray bytes(4, Qt::Uninitialized);
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray header(const QSize& size)
{
    QByteArray data = bigEndian(quint32(size.width())) + bigEndian(quint32(size.height()));
    // 8 bits a sample, RGB, deflate, no filter method but the standard one, not interlaced.
    const char rest[] = {8, 2, 0, 0, 0};
    return data.append(rest, sizeof rest);
}

// One filter byte, then red, green and blue for each pixel.
QByteArray rgbRow(const QRgb* pixels, int width)
{
    QByteArray row(1 + 3 * width, Qt::Uninitialized);
    char* out = row.data();
    *out++ = noFilter;
    for (int x = 0; x < width; ++x) {
        *out++ = char(qRed(pixels[x]));
        *out++ = char(qGreen(pixels[x]));
        *out++ = char(qBlue(pixels[x]));
    }
    return row;
}

bool isBlank(const QRgb* pixels, int width)
{
    for (int x = 0; x < width; ++x) {
        if ((pixels[x] & 0xffffff) != 0xffffff)
            return false;
    }
    return true;
}

// Deflates rows into a raw stream that ends on a byte boundary with nothing
// left to refer to, so that segments made apart join into one stream.
class SegmentDeflater
{
public:
    SegmentDeflater()
    {
        stream.zalloc = Z_NULL;
        stream.zfree = Z_NULL;
        stream.opaque = Z_NULL;
        ok = deflateInit2(&stream, compressionLevel, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~SegmentDeflater() { deflateEnd(&stream); }
    SegmentDeflater(const SegmentDeflater&) = delete;
    SegmentDeflater& operator=(const SegmentDeflater&) = delete;

    void add(const QByteArray& row, PngWriter::Segment& segment)
    {
        for (qsizetype start = 0; start < row.size();) {
            if (unflushed >= pieceBytes)
                cut(segment);
            const qsizetype length = std::min(row.size() - start, pieceBytes - unflushed);
            deflateInto(row.constData() + start, length, Z_NO_FLUSH, segment);
            unflushed += length;
            start += length;
        }
        segment.adler = adler32_z(segment.adler, reinterpret_cast<const Bytef*>(row.constData()), row.size());
        segment.length += row.size();
    }

    // Nothing after this refers to what came before it.
    void cut(PngWriter::Segment& segment)
    {
        if (unflushed > 0)
            deflateInto(nullptr, 0, Z_FULL_FLUSH, segment);
        unflushed = 0;
    }

    bool isOk() const { return ok; }

private:
    void deflateInto(const char* input, qsizetype length, int flush, PngWriter::Segment& segment)
    {
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input));
        stream.avail_in = uInt(length);
        unsigned char buffer[1 << 16];
        do {
            stream.next_out = buffer;
            stream.avail_out = sizeof buffer;
            ok = ok && deflate(&stream, flush) != Z_STREAM_ERROR;
            segment.deflated.append(reinterpret_cast<const char*>(buffer), int(sizeof buffer - stream.avail_out));
        } while (ok && stream.avail_out == 0);
    }

    z_stream stream;
    bool ok = false;
    qsizetype unflushed = 0;
};

void append(PngWriter::Segment& segment, const PngWriter::Segment& more)
{
    segment.deflated += more.deflated;
    segment.adler = adler32_combine(segment.adler, more.adler, more.length);
    segment.length += more.length;
}

// A row whose bytes after the filter's are all the same, compressed on its own.
PngWriter::Segment uniformRowSegment(int width, char filter, char byte)
{
    PngWriter::Segment segment;
    SegmentDeflater deflater;
    QByteArray row(1 + 3 * width, byte);
    row[0] = filter;
    deflater.add(row, segment);
    deflater.cut(segment);
    return segment;
}

// A blank row, or one the same as the row above (as across a box with only its
// sides in it), is not compressed again: its compressed form is copied in.
const PngWriter::Segment* commonRow(const QImage& rows, int y, int width, const PngWriter::CommonRows& common)
{
    const auto* pixels = reinterpret_cast<const QRgb*>(rows.constScanLine(y));
    if (y > 0 && std::memcmp(pixels, rows.constScanLine(y - 1), sizeof(QRgb) * width) == 0)
        return &common.repeated;
    return isBlank(pixels, width) ? &common.blank : nullptr;
}

PngWriter::Segment deflateRows(const QImage& rows, int width, const PngWriter::CommonRows& common)
{
    PngWriter::Segment segment;
    SegmentDeflater deflater;
    for (int y = 0; y < rows.height(); ++y) {
        if (const PngWriter::Segment* row = commonRow(rows, y, width, common)) {
            deflater.cut(segment);
            append(segment, *row);
        } else {
            deflater.add(rgbRow(reinterpret_cast<const QRgb*>(rows.constScanLine(y)), width), segment);
        }
    }
    deflater.cut(segment);
    if (!deflater.isOk())
        segment.deflated.clear();
    return segment;
}

} // namespace

PngWriter::PngWriter(QIODevice* device, const QSize& size)
    : device(device)
    , size(size)
    , commonRows{uniformRowSegment(size.width(), noFilter, char(0xff)),
                 // Each byte less the one above it.
                 uniformRowSegment(size.width(), upFilter, 0)}
    , adler(adler32(0, Z_NULL, 0))
{
    static const char signature[] = "\x89PNG\r\n\x1a\n";
    failed = device->write(signature, 8) != 8 || !writeChunk("IHDR", header(size))
             // The zlib header: deflate with a 32 KiB window, fastest level.
             || !writeChunk("IDAT", QByteArray("\x78\x01", 2));
}

PngWriter::~PngWriter()
{
    for (Band& band : pending)
        band.segment.wait();
}

bool PngWriter::writeChunk(const char* type, const QByteArray& data)
{
    QByteArray chunk = bigEndian(quint32(data.size()));
    chunk.append(type, 4).append(data);
    const uLong crc = crc32_z(crc32(0, Z_NULL, 0), reinterpret_cast<const Bytef*>(chunk.constData()) + 4,
                              chunk.size() - 4);
    chunk += bigEndian(quint32(crc));
    return device->write(chunk) == chunk.size();
}

bool PngWriter::writeSegment(const Segment& segment)
{
    if (segment.deflated.isEmpty() && segment.length > 0)
        return false;
    adler = adler32_combine(adler, segment.adler, segment.length);
    return segment.deflated.isEmpty() || writeChunk("IDAT", segment.deflated);
}

bool PngWriter::writeFinishedSegments(std::size_t stillPending)
{
    while (!failed && pending.size() > stillPending) {
        failed = !writeSegment(pending.front().segment.get());
        spareRows = std::move(pending.front().rows);
        pending.pop_front();
    }
    return !failed;
}

bool PngWriter::writeRows(const QImage& band, int first, int count)
{
    if (!writeFinishedSegments(bandsInFlight - 1))
        return false;
    const QImage rows = copyRows(band, first, count);
    if (rows.isNull())
        return failed = true, false;
    pending.push_back({rows, std::async(std::launch::async, deflateRows, rows, size.width(), std::cref(commonRows))});
    return true;
}

// Into the copy of a band already written, when there is one: memory mapped
// afresh for every band cost more than copying into it.
QImage PngWriter::copyRows(const QImage& band, int first, int count)
{
    QImage rows = std::exchange(spareRows, QImage());
    if (rows.size() != QSize(band.width(), count) || rows.format() != band.format())
        rows = QImage(band.width(), count, band.format());
    if (!rows.isNull())
        std::memcpy(rows.bits(), band.constScanLine(first), rows.sizeInBytes());
    return rows;
}

bool PngWriter::finish()
{
    if (!writeFinishedSegments(0))
        return false;
    // An empty final block, then the check of everything before it.
    QByteArray end("\x03\x00", 2);
    end += bigEndian(quint32(adler));
    return writeChunk("IDAT", end) && writeChunk("IEND", QByteArray());
}
