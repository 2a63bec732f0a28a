#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <deque>
#include <future>

class QIODevice;

// Writes a PNG a band of rows at a time, so that a picture of any size is
// never held whole, and compresses each band on another core while the next
// one is painted. Rows come as 32-bit RGB images, as the painter draws them.
class PngWriter
{
public:
    PngWriter(QIODevice* device, const QSize& size);
    ~PngWriter();
    PngWriter(const PngWriter&) = delete;
    PngWriter& operator=(const PngWriter&) = delete;

    // Takes a copy of the rows: the band may be painted again at once.
    bool writeRows(const QImage& band, int first, int count);
    bool finish();

    // A stretch of the compressed stream that stands on its own, and what it holds.
    struct Segment {
        QByteArray deflated;
        unsigned long adler = 1;
        qint64 length = 0;
    };
    // Rows that recur often enough to be compressed once, up front.
    struct CommonRows {
        Segment blank;
        Segment repeated; // the same as the row above
    };

private:
    bool writeChunk(const char* type, const QByteArray& data);
    bool writeSegment(const Segment& segment);
    bool writeFinishedSegments(std::size_t stillPending);
    QImage copyRows(const QImage& band, int first, int count);

    // A band's rows, and their compressed form once it is ready.
    struct Band {
        QImage rows;
        std::future<Segment> segment;
    };

    QIODevice* const device;
    const QSize size;
    const CommonRows commonRows;
    std::deque<Band> pending;
    QImage spareRows;
    unsigned long adler;
    bool failed = false;
};
