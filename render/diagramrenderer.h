#pragma once

#include <QRectF>
#include <QString>

class DiagramScene;
class QPaintDevice;
class QPainter;

// Draws a diagram file with the editor's own reader and painting code,
// without a window: nothing selected, connectors as in select mode, on white.
class DiagramRenderer
{
public:
    enum Result { Rendered = 0, Failed = 1, BadArguments = 2 };

    explicit DiagramRenderer(DiagramScene* scene);

    static bool isKnownFormat(const QString& outputPath);
    static bool isValidScale(qreal scale);
    Result render(const QString& inputPath, const QString& outputPath, qreal scale);

private:
    bool load(const QString& inputPath);
    QRectF pictureRect() const;
    // Each writer answers why OUT does not hold the picture, or nothing when it does.
    QString writePng(const QString& outputPath, qreal scale) const;
    QString writeSvg(const QString& outputPath) const;
    QString writePdf(const QString& outputPath) const;
    bool paintOnto(QPaintDevice* device, const QSizeF& size) const;
    void paint(QPainter* painter, const QRectF& target) const;

    DiagramScene* scene;
};
