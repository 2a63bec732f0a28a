#pragma once

#include "render/textcache.h"

#include <QRectF>
#include <QString>

#include <memory>

class DiagramPicture;
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

private:
    static bool isPicture(const QString& suffix);
    QRectF pictureRect(qreal scale) const;
    QTransform sceneToDevice(const QSizeF& target, qreal scale) const;
    // Each writer answers why OUT does not hold the picture, or nothing when it does.
    QString writePng(const QString& outputPath, qreal scale) const;
    QString writeSvg(const QString& outputPath) const;
    QString writePdf(const QString& outputPath) const;
    QString writeText(const QString& outputPath, const QString& text) const;
    bool paintOnto(QPaintDevice* device, const QSizeF& deviceSize, const QRectF& target,
                   const QTransform& sceneToDevice) const;

    std::unique_ptr<TextCache> texts;
    std::unique_ptr<DiagramPicture> picture;
};
