#pragma once

#include "render/diagrampicture.h"

#include <QRectF>
#include <QSizeF>

class QIODevice;
class QXmlStreamWriter;

// Writes a diagram as SVG a person would write: one group per entity and per
// line, text as text, the styles said once, sized in CSS pixels like the PNG
// at scale 1. The groups follow the stacking order, as the painter does.
class SvgWriter
{
public:
    // The picture's part of the scene, and its size in CSS pixels.
    SvgWriter(const DiagramPicture* diagram, const QRectF& picture, const QSizeF& pixels);

    bool write(QIODevice* device) const;

private:
    void writeStyle(QXmlStreamWriter& xml) const;
    void writeEntity(QXmlStreamWriter& xml, const DiagramPicture::PlacedEntity& entity) const;
    void writeLine(QXmlStreamWriter& xml, const DiagramPicture::PlacedLine& line) const;
    void writeText(QXmlStreamWriter& xml, const DiagramPicture::PlacedText& text, const char* className) const;

    const DiagramPicture* const diagram;
    const QRectF picture;
    const QSizeF pixels;
};
