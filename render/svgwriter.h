#pragma once

#include <QRectF>
#include <QSizeF>

class DiagramScene;
class Entity;
class Line;
class QGraphicsTextItem;
class QIODevice;
class QXmlStreamWriter;

// Writes a diagram as SVG a person would write: one group per entity and per
// line, text as text, the styles said once, sized in CSS pixels like the PNG
// at scale 1. The groups follow the stacking order, as the painter does.
class SvgWriter
{
public:
    // The picture's part of the scene, and its size in CSS pixels.
    SvgWriter(const DiagramScene* scene, const QRectF& picture, const QSizeF& pixels);

    bool write(QIODevice* device) const;

private:
    void writeStyle(QXmlStreamWriter& xml) const;
    void writeEntity(QXmlStreamWriter& xml, const Entity* entity) const;
    void writeLine(QXmlStreamWriter& xml, const Line* line) const;
    void writeText(QXmlStreamWriter& xml, const QGraphicsTextItem* item, const char* className) const;

    const DiagramScene* const scene;
    const QRectF picture;
    const QSizeF pixels;
};
