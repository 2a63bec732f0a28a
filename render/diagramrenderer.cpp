#include "render/diagramrenderer.h"

#include "app/diagramreader.h"
#include "app/diagramwriter.h"
#include "render/diagrampicture.h"
#include "render/dotwriter.h"
#include "render/mermaidwriter.h"
#include "render/pngwriter.h"
#include "render/svgwriter.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {

constexpr qreal margin = 10;
// A PNG is painted this many rows at a time, so that only a band of it is
// ever held, whatever the picture's size. Each band is painted with a few rows
// more on either side, which are not kept: a thin line cut at a band's edge
// is drawn a shade lighter on the rows next to the cut.
constexpr int bandRows = 1024;
constexpr int bandOverlap = 4;
// Past this the picture grows no sharper on any screen or printer, only larger.
constexpr qreal largestScale = 16;
// The raster painter cannot address pixels past 32,767 on a side, and a picture
// of more than 2^28 pixels (1 GiB) is refused rather than allocated.
constexpr qreal largestPngSide = 32767;
constexpr qreal largestPngPixels = 1 << 28;
// A PDF page is at most 14,400 units on a side, and from PDF 1.6 on a unit may
// be as large as 75,000 points.
constexpr qreal largestPdfSide = 14400.0 * 75000.0;

QString suffixOf(const QString& path)
{
    return QFileInfo(path).suffix().toLower();
}

// In floating point, so that no picture, however large, overflows before it is
// measured against a limit.
QSizeF pixelSize(const QSizeF& area, qreal scale)
{
    return QSizeF(std::max<qreal>(1, std::round(area.width() * scale)),
                  std::max<qreal>(1, std::round(area.height() * scale)));
}

bool fitsPng(const QSizeF& pixels)
{
    return pixels.width() <= largestPngSide && pixels.height() <= largestPngSide
           && pixels.width() * pixels.height() <= largestPngPixels;
}

// Rounded down to two significant digits, and checked as written, since the
// written number is what comes back as --scale.
QString largestFittingScale(const QSizeF& area)
{
    const qreal bound = std::min({largestPngSide / area.width(), largestPngSide / area.height(),
                                  std::sqrt(largestPngPixels / (area.width() * area.height()))});
    const qreal step = std::pow(10.0, std::floor(std::log10(bound)) - 1);
    for (qreal digits = std::floor(bound / step);; --digits) {
        const QString written = QString::number(digits * step, 'g', 2);
        if (fitsPng(pixelSize(area, written.toDouble())))
            return written;
    }
}

QString sizeText(const QSizeF& size)
{
    return QStringLiteral("%1 x %2").arg(size.width(), 0, 'f', 0).arg(size.height(), 0, 'f', 0);
}

QString pngTooLarge(const QSizeF& area, qreal scale)
{
    return QStringLiteral("Picture too large: %1 pixels at scale %2 (a PNG is drawn at most %3 pixels on a side "
                          "and %4 in all); the largest scale that fits is %5.")
        .arg(sizeText(pixelSize(area, scale)))
        .arg(scale)
        .arg(largestPngSide)
        .arg(largestPngPixels, 0, 'f', 0)
        .arg(largestFittingScale(area));
}

QString pdfTooLarge(const QSizeF& area)
{
    return QStringLiteral("Picture too large for a PDF page: %1 points (a page is at most %2 points on a side).")
        .arg(sizeText(area))
        .arg(largestPdfSide, 0, 'f', 0);
}

// What a writer answers when its device took not every byte: the file's
// writer adds which file that was.
const QString notWritten = QStringLiteral("File writing error.");

QString writingError(const QString& outputPath)
{
    return notWritten + QLatin1Char('\n') + outputPath;
}

QString drawingError()
{
    return QStringLiteral("The picture could not be drawn.");
}

} // namespace

DiagramRenderer::DiagramRenderer()
    : texts(std::make_unique<TextCache>())
{
}

DiagramRenderer::~DiagramRenderer() = default;

bool DiagramRenderer::isKnownFormat(const QString& outputPath)
{
    const QString suffix = suffixOf(outputPath);
    return isPicture(suffix) || suffix == QLatin1String("mmd") || suffix == QLatin1String("dot");
}

bool DiagramRenderer::isPicture(const QString& suffix)
{
    return suffix == QLatin1String("png") || suffix == QLatin1String("svg") || suffix == QLatin1String("pdf");
}

bool DiagramRenderer::isValidScale(qreal scale)
{
    return std::isfinite(scale) && scale > 0 && scale <= largestScale;
}

DiagramRenderer::Result DiagramRenderer::render(const QString& inputPath, const QString& outputPath, qreal scale)
{
    if (!isKnownFormat(outputPath) || !isValidScale(scale))
        return BadArguments;
    if (!DiagramWriter::mayReplace(outputPath)) {
        fprintf(stderr, "%s\n", qPrintable(writingError(outputPath)));
        return Failed;
    }
    DiagramFile::Diagram diagram;
    if (DiagramReader::readRecords(inputPath, diagram) != DiagramReader::Read) {
        fprintf(stderr, "File reading error.\n%s\n", qPrintable(inputPath));
        return Failed;
    }
    const QString suffix = suffixOf(outputPath);
    if (isPicture(suffix))
        picture = std::make_unique<DiagramPicture>(diagram, texts.get());
    // Sizes are checked before OUT is opened, and so before the picture is allocated.
    const QString refused = refusal(suffix, scale);
    const QString failure = refused.isEmpty() ? writeFile(outputPath, writerFor(suffix, scale, diagram)) : refused;
    if (!failure.isEmpty()) {
        fprintf(stderr, "%s\n", qPrintable(failure));
        return Failed;
    }
    return Rendered;
}

DiagramRenderer::Writer DiagramRenderer::writerFor(const QString& suffix, qreal scale,
                                                   const DiagramFile::Diagram& diagram) const
{
    if (suffix == QLatin1String("png"))
        return [this, scale](QIODevice* device) { return writePng(device, scale); };
    if (suffix == QLatin1String("svg"))
        return [this](QIODevice* device) { return writeSvg(device); };
    if (suffix == QLatin1String("pdf"))
        return [this](QIODevice* device) { return writePdf(device); };
    const QString text = suffix == QLatin1String("mmd") ? MermaidWriter::write(diagram) : DotWriter::write(diagram);
    return [text](QIODevice* device) { return writeText(device, text); };
}

QByteArray DiagramRenderer::png(const DiagramFile::Diagram& diagram)
{
    return writeBytes(diagram, [this](QIODevice* device) {
        const QString refused = refusal(QStringLiteral("png"), 1);
        return refused.isEmpty() ? writePng(device, 1) : refused;
    });
}

QByteArray DiagramRenderer::svg(const DiagramFile::Diagram& diagram)
{
    return writeBytes(diagram, [this](QIODevice* device) { return writeSvg(device); });
}

QByteArray DiagramRenderer::writeBytes(const DiagramFile::Diagram& diagram, const Writer& writer)
{
    picture = std::make_unique<DiagramPicture>(diagram, texts.get());
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    return writer(&buffer).isEmpty() ? buffer.data() : QByteArray();
}

// Every format goes through a QSaveFile, so OUT is either the whole picture or
// left as it was.
QString DiagramRenderer::writeFile(const QString& outputPath, const Writer& writer) const
{
    QSaveFile file(outputPath);
    if (!file.open(QIODevice::WriteOnly))
        return writingError(outputPath);
    const QString failure = writer(&file);
    if (failure == notWritten || (failure.isEmpty() && !file.commit()))
        return writingError(outputPath);
    return failure;
}


// The items' bounds with a margin. Its corner lies half a pixel before a
// whole point of the scene, so that the scene's whole numbers fall on the
// pixels' centres: a line of the editor's one-pixel pen then covers one row of
// pixels, not half of two, as on the editor's screen.
QRectF DiagramRenderer::pictureRect(qreal scale) const
{
    const QRectF area = picture->bounds().adjusted(-margin, -margin, margin, margin);
    const qreal half = 0.5 / scale;
    return QRectF(QPointF(std::floor(area.left()) - half, std::floor(area.top()) - half), area.bottomRight());
}

// As the editor's scene maps a part of it onto a target (QGraphicsScene::render
// with the aspect ratio ignored), in the same order of operations, so that
// every item lands on the very same device coordinates: the part that the
// target's whole pixels cover at this scale.
QTransform DiagramRenderer::sceneToDevice(const QSizeF& target, qreal scale) const
{
    const QRectF source(pictureRect(scale).topLeft(), target / scale);
    return QTransform()
        .scale(target.width() / source.width(), target.height() / source.height())
        .translate(-source.left(), -source.top());
}

// On white, clipped to the whole picture's place on the device, as the scene
// renders: a thin line is drawn a shade differently when clipped.
bool DiagramRenderer::paintOnto(QPaintDevice* device, const QSizeF& deviceSize, const QRectF& target,
                                const QTransform& sceneToDevice) const
{
    QPainter painter;
    if (!painter.begin(device))
        return false;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QRectF area(QPointF(0, 0), deviceSize);
    painter.fillRect(area, Qt::white);
    painter.setClipRect(target, Qt::IntersectClip);
    // A pixel past an item's bounds can still take some of its antialiased edge.
    picture->paint(&painter, sceneToDevice, area.adjusted(-1, -1, 1, 1));
    return painter.end();
}

QString DiagramRenderer::refusal(const QString& suffix, qreal scale) const
{
    if (suffix == QLatin1String("png")) {
        const QSizeF area = pictureRect(scale).size();
        return fitsPng(pixelSize(area, scale)) ? QString() : pngTooLarge(area, scale);
    }
    if (suffix == QLatin1String("pdf")) {
        const QSizeF area = pictureRect(1).size();
        return area.width() <= largestPdfSide && area.height() <= largestPdfSide ? QString() : pdfTooLarge(area);
    }
    return QString();
}

// Only for a size refusal() lets through.
QString DiagramRenderer::writePng(QIODevice* device, qreal scale) const
{
    const QSizeF pixels = pixelSize(pictureRect(scale).size(), scale);
    const QSize size = pixels.toSize();
    const int rows = std::min(bandRows, size.height());
    QImage band(size.width(), rows + 2 * bandOverlap, QImage::Format_RGB32);
    if (band.isNull())
        return QStringLiteral("Not enough memory for a picture of %1 pixels.").arg(sizeText(pixels));
    PngWriter png(device, size);
    const QTransform whole = sceneToDevice(pixels, scale);
    for (int top = 0; top < size.height(); top += rows) {
        const QTransform shift = QTransform::fromTranslate(0, bandOverlap - top);
        if (!paintOnto(&band, band.size(), shift.mapRect(QRectF(QPointF(0, 0), pixels)), whole * shift))
            return drawingError();
        if (!png.writeRows(band, bandOverlap, std::min(rows, size.height() - top)))
            return notWritten;
    }
    return png.finish() ? QString() : notWritten;
}

QString DiagramRenderer::writeSvg(QIODevice* device) const
{
    const QRectF area = pictureRect(1);
    // Sized as the PNG at scale 1, so that a browser shows it at that size.
    return SvgWriter(picture.get(), area, pixelSize(area.size(), 1)).write(device) ? QString() : drawingError();
}

// PDF 1.6, so that a page past 14,400 points on a side is written in larger
// units rather than cut down by viewers.
QString DiagramRenderer::writePdf(QIODevice* device) const
{
    const QSizeF area = pictureRect(1).size();
    QPdfWriter writer(device);
    writer.setPdfVersion(QPagedPaintDevice::PdfVersion_1_6);
    writer.setResolution(72);
    if (!writer.setPageLayout(QPageLayout(QPageSize(area, QPageSize::Point), QPageLayout::Portrait, QMarginsF()))
        || !paintOnto(&writer, area, QRectF(QPointF(0, 0), area), sceneToDevice(area, 1)))
        return drawingError();
    return QString();
}

QString DiagramRenderer::writeText(QIODevice* device, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return device->write(bytes) == bytes.size() ? QString() : notWritten;
}
