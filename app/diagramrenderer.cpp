#include "app/diagramrenderer.h"

#include "app/application.h"
#include "items/diagramfile.h"
#include "scene/diagramscene.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSvgGenerator>

#include <cstdio>
#include <memory>

namespace {

constexpr qreal margin = 10;

QString suffixOf(const QString& path)
{
    return QFileInfo(path).suffix().toLower();
}

} // namespace

DiagramRenderer::DiagramRenderer(DiagramScene* scene)
    : scene(scene)
{
}

bool DiagramRenderer::isKnownFormat(const QString& outputPath)
{
    const QString suffix = suffixOf(outputPath);
    return suffix == QLatin1String("png") || suffix == QLatin1String("svg") || suffix == QLatin1String("pdf");
}

DiagramRenderer::Result DiagramRenderer::render(const QString& inputPath, const QString& outputPath, qreal scale)
{
    if (!isKnownFormat(outputPath) || scale <= 0)
        return BadArguments;
    if (!load(inputPath)) {
        fprintf(stderr, "File reading error.\n%s\n", qPrintable(inputPath));
        return Failed;
    }
    const QString suffix = suffixOf(outputPath);
    const bool written = suffix == QLatin1String("png")   ? writePng(outputPath, scale)
                         : suffix == QLatin1String("svg") ? writeSvg(outputPath)
                                                          : writePdf(outputPath);
    if (!written) {
        fprintf(stderr, "File writing error.\n%s\n", qPrintable(outputPath));
        return Failed;
    }
    return Rendered;
}

bool DiagramRenderer::load(const QString& inputPath)
{
    const std::unique_ptr<FILE, int (*)(FILE*)> file(fopen(QFile::encodeName(inputPath).constData(), "rb"),
                                                     &fclose);
    if (!file)
        return false;
    try {
        DiagramFile::readDiagram(file.get(), scene);
    } catch (const Application::FileReadingException&) {
        scene->clearDiagram();
        return false;
    }
    scene->clearSelection();
    return true;
}

QRectF DiagramRenderer::pictureRect() const
{
    return scene->itemsBoundingRect().adjusted(-margin, -margin, margin, margin);
}

void DiagramRenderer::paint(QPainter* painter, const QRectF& target) const
{
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::TextAntialiasing);
    painter->fillRect(target, Qt::white);
    scene->render(painter, target, pictureRect(), Qt::IgnoreAspectRatio);
}

// Every format goes through a QSaveFile, so OUT is either the whole picture or
// left as it was.
bool DiagramRenderer::writePng(const QString& outputPath, qreal scale) const
{
    const QSize size = (pictureRect().size() * scale).toSize().expandedTo(QSize(1, 1));
    QImage image(size, QImage::Format_RGB32);
    {
        QPainter painter(&image);
        paint(&painter, QRectF(QPointF(0, 0), size));
    }
    QSaveFile file(outputPath);
    return file.open(QIODevice::WriteOnly) && image.save(&file, "PNG") && file.commit();
}

bool DiagramRenderer::writeSvg(const QString& outputPath) const
{
    QSaveFile file(outputPath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QRectF area = pictureRect();
    QSvgGenerator generator;
    generator.setOutputDevice(&file);
    generator.setSize(area.size().toSize());
    generator.setViewBox(QRectF(QPointF(0, 0), area.size()));
    {
        QPainter painter;
        if (!painter.begin(&generator))
            return false;
        paint(&painter, QRectF(QPointF(0, 0), area.size()));
    }
    return file.commit();
}

bool DiagramRenderer::writePdf(const QString& outputPath) const
{
    QSaveFile file(outputPath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QRectF area = pictureRect();
    QPdfWriter writer(&file);
    writer.setResolution(72);
    writer.setPageLayout(QPageLayout(QPageSize(area.size(), QPageSize::Point), QPageLayout::Portrait, QMarginsF()));
    {
        QPainter painter;
        if (!painter.begin(&writer))
            return false;
        paint(&painter, QRectF(QPointF(0, 0), area.size()));
    }
    return file.commit();
}
