#pragma once

#include "items/diagramfile.h"
#include "render/textcache.h"

#include <QByteArray>
#include <QRectF>
#include <QString>

#include <functional>
#include <memory>

class DiagramPicture;
class QIODevice;
class QPaintDevice;
class QTransform;

// Draws a diagram file as the editor shows it, nothing selected, connectors
// as in select mode, on white: from the file's records, without building the
// editor's items. Or writes it as text that other tools read.
class DiagramRenderer
{
public:
    enum Result { Rendered = 0, Failed = 1, BadArguments = 2 };

    DiagramRenderer();
    ~DiagramRenderer();

    static bool isKnownFormat(const QString& outputPath);
    static bool isValidScale(qreal scale);
    Result render(const QString& inputPath, const QString& outputPath, qreal scale);
    // The pictures of a diagram held in memory at scale 1, as the files would
    // hold them; empty when the picture cannot be drawn.
    QByteArray png(const DiagramFile::Diagram& diagram);
    QByteArray svg(const DiagramFile::Diagram& diagram);

private:
    static bool isPicture(const QString& suffix);
    QRectF pictureRect(qreal scale) const;
    QTransform sceneToDevice(const QSizeF& target, qreal scale) const;
    // Each writer answers why the device does not hold the picture, or nothing
    // when it does.
    using Writer = std::function<QString(QIODevice*)>;
    Writer writerFor(const QString& suffix, qreal scale, const DiagramFile::Diagram& diagram) const;
    QString writeFile(const QString& outputPath, const Writer& writer) const;
    // Why a picture of this format and scale is not drawn at all: too large.
    QString refusal(const QString& suffix, qreal scale) const;
    QByteArray writeBytes(const DiagramFile::Diagram& diagram, const Writer& writer);
    QString writePng(QIODevice* device, qreal scale) const;
    QString writeSvg(QIODevice* device) const;
    QString writePdf(QIODevice* device) const;
    static QString writeText(QIODevice* device, const QString& text);
    bool paintOnto(QPaintDevice* device, const QSizeF& deviceSize, const QRectF& target,
                   const QTransform& sceneToDevice) const;

    std::unique_ptr<TextCache> texts;
    std::unique_ptr<DiagramPicture> picture;
};
