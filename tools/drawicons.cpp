// Draws the tool bar icons of the editor into a folder (default "images").
//
// Build and run:
//   cmake --build build --target draw-icons && build/draw-icons images
//
// The icons are drawn rather than kept only as binaries so that they can be
// changed and regenerated without an image editor.

#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPolygonF>
#include <QtEndian>
#include <cstdio>

namespace {

QImage canvas(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// ---------------------------------------------------------------------------
// Palette PNG output. Qt only writes 1-bit (Format_Mono) or 8-bit palettes;
// the pointer icon wants 2 bits, so small palette images are encoded here.

quint32 crc32(const QByteArray& data)
{
    quint32 crc = 0xffffffffu;
    for (char c : data) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void appendChunk(QByteArray& png, const char* type, const QByteArray& body)
{
    char length[4];
    qToBigEndian(quint32(body.size()), length);
    png.append(length, 4);
    const QByteArray typed = QByteArray(type, 4) + body;
    png.append(typed);
    char crc[4];
    qToBigEndian(crc32(typed), crc);
    png.append(crc, 4);
}

// Maps every pixel to the nearest palette entry; mostly transparent pixels
// become entry 0, which is the transparent one.
bool savePalettePng(const QImage& picture, const QList<QRgb>& palette, int bitDepth,
                    const QString& fileName)
{
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    const int perByte = 8 / bitDepth;
    QByteArray rows;
    for (int y = 0; y < image.height(); ++y) {
        rows.append('\0'); // filter type: none
        QByteArray row((image.width() + perByte - 1) / perByte, '\0');
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            int best = 0;
            if (qAlpha(p) >= 128) {
                int bestDistance = INT_MAX;
                for (int i = 1; i < palette.size(); ++i) {
                    const int dr = qRed(p) - qRed(palette[i]);
                    const int dg = qGreen(p) - qGreen(palette[i]);
                    const int db = qBlue(p) - qBlue(palette[i]);
                    const int distance = dr * dr + dg * dg + db * db;
                    if (distance < bestDistance) {
                        bestDistance = distance;
                        best = i;
                    }
                }
            }
            const int shift = 8 - bitDepth * (x % perByte + 1);
            row[x / perByte] = char(quint8(row[x / perByte]) | (best << shift));
        }
        rows.append(row);
    }

    QByteArray header(13, '\0');
    qToBigEndian(quint32(image.width()), header.data());
    qToBigEndian(quint32(image.height()), header.data() + 4);
    header[8] = char(bitDepth);
    header[9] = 3; // colour type: palette

    QByteArray colours, alphas;
    for (QRgb c : palette) {
        colours.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
        alphas.append(char(qAlpha(c)));
    }

    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    appendChunk(png, "IHDR", header);
    appendChunk(png, "PLTE", colours);
    appendChunk(png, "tRNS", alphas);
    appendChunk(png, "IDAT", qCompress(rows, 9).mid(4)); // drop Qt's length prefix
    appendChunk(png, "IEND", QByteArray());

    QFile file(fileName);
    return file.open(QIODevice::WriteOnly) && file.write(png) == png.size();
}

// ---------------------------------------------------------------------------
// The pictures.

QImage selectArrow()
{
    QImage image = canvas(15, 24);
    QPainter p(&image);
    // Without antialiasing: the pointer must stay crisp in a 2-bit palette.
    // Points sit on pixel centres; the stem edges share one slope so that the
    // tail keeps an even width.
    const QPolygonF arrow({{0.5, 0.5}, {0.5, 19.5}, {4.5, 15.5}, {7.5, 21.5}, {8.5, 22.5},
                           {10.5, 21.5}, {7.5, 15.5}, {13.5, 15.5}, {13.5, 13.5}});
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawPolygon(arrow);
    return image;
}

QImage entityBox()
{
    QImage image = canvas(27, 27);
    QPainter p(&image);
    const QRectF box(2.5, 3.5, 22, 20);
    p.fillRect(box, Qt::white);
    p.fillRect(QRectF(2.5, 3.5, 22, 6), QColor(0xc8, 0xd8, 0xf0));
    p.setPen(QPen(Qt::black, 1));
    p.drawRect(box);
    p.drawLine(QPointF(2.5, 9.5), QPointF(24.5, 9.5));
    // The title is a darker, wider stroke than the attribute lines.
    p.fillRect(QRectF(7, 5.5, 13, 2), Qt::black);
    p.fillRect(QRectF(5, 12, 13, 2), QColor(0x50, 0x50, 0x50));
    p.fillRect(QRectF(5, 16, 16, 2), QColor(0x50, 0x50, 0x50));
    p.fillRect(QRectF(5, 20, 10, 2), QColor(0x50, 0x50, 0x50));
    return image;
}

QImage lineWithDots()
{
    QImage image = canvas(27, 27);
    QPainter p(&image);
    // Smoothed first: cutting the coverage at one half later rounds the dots
    // better than drawing them aliased in the first place.
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(QPointF(4.5, 4.5), QPointF(22.5, 22.5));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawEllipse(QPointF(4.5, 4.5), 3.6, 3.6);
    p.drawEllipse(QPointF(22.5, 22.5), 3.6, 3.6);
    return image;
}

// The floppy body with its cut corner; the label is left to the caller.
void drawDisk(QPainter& p, const QColor& body, const QColor& edge)
{
    p.setRenderHint(QPainter::Antialiasing);
    const QPolygonF outline({{3.5, 2.5}, {21.5, 2.5}, {24.5, 5.5}, {24.5, 24.5}, {2.5, 24.5}, {2.5, 3.5}});
    p.setPen(QPen(edge, 1));
    p.setBrush(body);
    p.drawPolygon(outline);

    // Metal shutter with the slot that shows the disk.
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(QRect(7, 3, 12, 8), QColor(0xd4, 0xd8, 0xdc));
    p.fillRect(QRect(7, 10, 12, 1), QColor(0x8a, 0x90, 0x98));
    p.fillRect(QRect(14, 4, 3, 5), QColor(0x40, 0x48, 0x58));
}

void drawLabel(QPainter& p, int ruledLines)
{
    p.setRenderHint(QPainter::Antialiasing, false);
    const QRect label(6, 14, 15, 10);
    p.fillRect(label, Qt::white);
    p.setPen(QColor(0x40, 0x40, 0x40));
    for (int i = 0; i < ruledLines; ++i) {
        const int y = label.top() + 2 + 3 * i;
        p.drawLine(label.left() + 2, y, label.right() - 2, y);
    }
}

QImage disk(int ruledLines)
{
    QImage image = canvas(27, 27);
    QPainter p(&image);
    drawDisk(p, QColor(0x2f, 0x62, 0xc0), QColor(0x14, 0x2c, 0x66));
    drawLabel(p, ruledLines);
    return image;
}

// Greyed rather than drawn anew so that it always matches the coloured disk.
QImage greyed(const QImage& image)
{
    QImage grey = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < grey.height(); ++y) {
        for (int x = 0; x < grey.width(); ++x) {
            const QRgb p = grey.pixel(x, y);
            // Lifted towards white so that it reads as disabled.
            const int g = 80 + qGray(p) * 175 / 255;
            grey.setPixel(x, y, qRgba(g, g, g, qAlpha(p)));
        }
    }
    return grey;
}

QImage folder()
{
    QImage image = canvas(27, 27);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor edge(0x9a, 0x6a, 0x00);
    p.setPen(QPen(edge, 1));

    const QPolygonF back(
        {{2.5, 21.5}, {2.5, 6.5}, {3.5, 5.5}, {9.5, 5.5}, {11.5, 7.5}, {22.5, 7.5}, {23.5, 8.5}, {23.5, 21.5}});
    p.setBrush(QColor(0xe8, 0xb8, 0x2a));
    p.drawPolygon(back);

    // The front flap is slanted so that the folder reads as open.
    const QPolygonF front({{2.5, 21.5}, {5.5, 11.5}, {25.5, 11.5}, {23.5, 21.5}});
    p.setBrush(QColor(0xfc, 0xd8, 0x4c));
    p.drawPolygon(front);
    return image;
}

bool savePng(const QImage& image, const QString& fileName)
{
    return image.convertToFormat(QImage::Format_ARGB32).save(fileName, "PNG");
}

} // namespace

int main(int argc, char* argv[])
{
    const QDir out(argc > 1 ? argv[1] : "images");
    if (!out.exists() && !QDir().mkpath(out.path())) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(out.path()));
        return 1;
    }

    const QRgb clear = qRgba(0, 0, 0, 0);
    const QImage plainDisk = disk(0);
    bool ok = true;
    ok &= savePalettePng(selectArrow(), {clear, qRgb(0, 0, 0), qRgb(255, 255, 255), qRgb(128, 128, 128)},
                         2, out.filePath("selectButton.png"));
    ok &= savePng(entityBox(), out.filePath("entityButton.png"));
    ok &= savePalettePng(lineWithDots(), {clear, qRgb(0, 0, 0)}, 1, out.filePath("lineButton.png"));
    ok &= savePng(plainDisk, out.filePath("disk.png"));
    ok &= savePng(greyed(plainDisk), out.filePath("diskgray.png"));
    ok &= savePng(disk(3), out.filePath("save_as.png"));
    ok &= savePng(folder(), out.filePath("folder.png"));
    if (!ok) {
        std::fprintf(stderr, "could not write all icons into %s\n", qPrintable(out.path()));
        return 1;
    }
    return 0;
}
