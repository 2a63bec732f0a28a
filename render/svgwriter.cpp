#include "render/svgwriter.h"

#include "items/diagramgeometry.h"
#include "items/entity.h"

#include <QFontInfo>
#include <QIODevice>
#include <QXmlStreamWriter>

namespace {

// Whole numbers where the scene has them, and no more digits than a picture needs.
QString number(qreal value)
{
    QString text = QString::number(value, 'f', 2);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

// XML 1.0 holds no control characters but tab, newline and return, which a
// diagram file may still carry in its texts.
QString xmlText(const QString& text)
{
    QString clean;
    clean.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 || c == QLatin1Char('\t'))
            clean.append(c.unicode() == 0xFFFE || c.unicode() == 0xFFFF ? QChar(0xFFFD) : c);
    }
    return clean;
}

QRectF connectorMark()
{
    return DiagramGeometry::connectorMark(QRectF(0, 0, connectorSize, connectorSize));
}

// Zero is what SVG takes for a coordinate left out.
void writeUnlessZero(QXmlStreamWriter& xml, const char* name, qreal value)
{
    if (value != 0)
        xml.writeAttribute(QLatin1String(name), number(value));
}

void writeRect(QXmlStreamWriter& xml, const QRectF& rect, const char* className = nullptr)
{
    xml.writeEmptyElement(QStringLiteral("rect"));
    if (className)
        xml.writeAttribute(QStringLiteral("class"), QLatin1String(className));
    writeUnlessZero(xml, "x", rect.x());
    writeUnlessZero(xml, "y", rect.y());
    xml.writeAttribute(QStringLiteral("width"), number(rect.width()));
    xml.writeAttribute(QStringLiteral("height"), number(rect.height()));
}

// All of an entity's connectors of one kind as the corners of one invisible
// polyline, each corner marked with the connector's square. A single corner
// is the polyline's start and its end, and is marked once only, as its start:
// marked twice, it would be drawn darker.
void writeConnectors(QXmlStreamWriter& xml, const QStringList& corners, bool busy)
{
    if (corners.isEmpty())
        return;
    xml.writeEmptyElement(QStringLiteral("polyline"));
    const QString className = QLatin1String(busy ? "busy" : "") + QLatin1String(corners.size() == 1 ? " one" : "");
    if (!className.isEmpty())
        xml.writeAttribute(QStringLiteral("class"), className.trimmed());
    xml.writeAttribute(QStringLiteral("points"), corners.join(QLatin1Char(' ')));
}

// A connector's square, placed by its top-left corner, with room for the
// half of its outline that lies outside it.
void writeMarker(QXmlStreamWriter& xml, const char* id)
{
    const QSizeF mark = connectorMark().size();
    xml.writeStartElement(QStringLiteral("marker"));
    xml.writeAttribute(QStringLiteral("id"), QLatin1String(id));
    xml.writeAttribute(QStringLiteral("markerUnits"), QStringLiteral("userSpaceOnUse"));
    xml.writeAttribute(QStringLiteral("refX"), QStringLiteral("1"));
    xml.writeAttribute(QStringLiteral("refY"), QStringLiteral("1"));
    xml.writeAttribute(QStringLiteral("markerWidth"), number(mark.width() + 2));
    xml.writeAttribute(QStringLiteral("markerHeight"), number(mark.height() + 2));
    writeRect(xml, QRectF(QPointF(1, 1), mark));
    xml.writeEndElement();
}

// A label's box as a path: far shorter than a rectangle, and there are three a line.
void writeBox(QXmlStreamWriter& xml, const QRectF& box)
{
    xml.writeEmptyElement(QStringLiteral("path"));
    xml.writeAttribute(QStringLiteral("d"), QStringLiteral("M%1 %2h%3v%4h-%3z")
                                                .arg(number(box.x()), number(box.y()), number(box.width()),
                                                     number(box.height())));
}

void writeSegment(QXmlStreamWriter& xml, const QLineF& segment)
{
    xml.writeEmptyElement(QStringLiteral("line"));
    writeUnlessZero(xml, "x1", segment.x1());
    writeUnlessZero(xml, "y1", segment.y1());
    writeUnlessZero(xml, "x2", segment.x2());
    writeUnlessZero(xml, "y2", segment.y2());
}

QString fontRule(const QFont& font)
{
    const QFontInfo info(font);
    return QStringLiteral("font-family:'%1';font-size:%2px").arg(info.family()).arg(info.pixelSize());
}

} // namespace

SvgWriter::SvgWriter(const DiagramPicture* diagram, const QRectF& picture, const QSizeF& pixels)
    : diagram(diagram)
    , picture(picture)
    , pixels(pixels)
{
}

bool SvgWriter::write(QIODevice* device) const
{
    QXmlStreamWriter xml(device);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(0);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("svg"));
    xml.writeDefaultNamespace(QStringLiteral("http://www.w3.org/2000/svg"));
    xml.writeAttribute(QStringLiteral("width"), QString::number(pixels.width(), 'f', 0));
    xml.writeAttribute(QStringLiteral("height"), QString::number(pixels.height(), 'f', 0));
    // One unit a CSS pixel, so that the drawing falls on the PNG's pixels.
    xml.writeAttribute(QStringLiteral("viewBox"),
                       QStringLiteral("0 0 %1 %2").arg(number(pixels.width()), number(pixels.height())));
    writeStyle(xml);
    writeRect(xml, QRectF(QPointF(0, 0), pixels), "canvas");
    xml.writeStartElement(QStringLiteral("g"));
    xml.writeAttribute(QStringLiteral("transform"),
                       QStringLiteral("translate(%1 %2)").arg(number(-picture.x()), number(-picture.y())));
    for (const DiagramPicture::PlacedLine& line : diagram->lines())
        writeLine(xml, line);
    for (const DiagramPicture::PlacedEntity& entity : diagram->entities())
        writeEntity(xml, entity);
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return !xml.hasError();
}

void SvgWriter::writeStyle(QXmlStreamWriter& xml) const
{
    xml.writeTextElement(
        QStringLiteral("style"),
        QStringLiteral("\n"
                       "rect,line,path{stroke:#000;stroke-width:1;fill:#fff}\n"
                       "text{fill:#000;white-space:pre;%1}\n"
                       ".entity .name{font-weight:bold}\n"
                       "polyline{fill:none;stroke:none;marker:url(#free)}\n"
                       ".busy{marker:url(#busy)}\n"
                       ".one{marker-end:none}\n"
                       "marker rect{fill:none}\n"
                       "#busy rect{fill:#a0a0a4}\n"
                       ".line line{stroke-width:3;stroke-linecap:square}\n"
                       ".line text{%2}\n"
                       ".canvas{fill:#fff;stroke:none}\n")
            .arg(fontRule(DiagramGeometry::font(DiagramGeometry::AttributeText)),
                 fontRule(DiagramGeometry::font(DiagramGeometry::LabelText))));
    xml.writeStartElement(QStringLiteral("defs"));
    writeMarker(xml, "free");
    writeMarker(xml, "busy");
    xml.writeEndElement();
}

// As the entity paints itself: its box, the separator under the name, the
// texts, then the connectors, which stack above the texts.
void SvgWriter::writeEntity(QXmlStreamWriter& xml, const DiagramPicture::PlacedEntity& entity) const
{
    xml.writeStartElement(QStringLiteral("g"));
    xml.writeAttribute(QStringLiteral("class"), QStringLiteral("entity"));
    xml.writeAttribute(QStringLiteral("transform"),
                       QStringLiteral("translate(%1 %2)").arg(number(entity.pos.x()), number(entity.pos.y())));
    xml.writeTextElement(QStringLiteral("title"), xmlText(entity.texts.first().string));
    writeRect(xml, QRectF(QPointF(0, 0), entity.box));
    writeSegment(xml, QLineF(0, entity.separatorY, entity.box.width(), entity.separatorY));
    for (int i = 0; i < entity.texts.size(); ++i)
        writeText(xml, entity.texts.at(i), i == 0 ? "name" : nullptr);
    QStringList corners[2];
    for (const DiagramPicture::PlacedConnector& connector : entity.connectors) {
        const QPointF mark = connector.pos + connectorMark().topLeft();
        corners[connector.busy].append(QStringLiteral("%1,%2").arg(number(mark.x()), number(mark.y())));
    }
    writeConnectors(xml, corners[false], false);
    writeConnectors(xml, corners[true], true);
    xml.writeEndElement();
}

// The segment, then each label's framed white box and its text.
void SvgWriter::writeLine(QXmlStreamWriter& xml, const DiagramPicture::PlacedLine& line) const
{
    xml.writeStartElement(QStringLiteral("g"));
    xml.writeAttribute(QStringLiteral("class"), QStringLiteral("line"));
    writeSegment(xml, line.segment);
    for (const DiagramPicture::PlacedText& label : line.labels) {
        writeBox(xml, DiagramGeometry::labelBox(QRectF(label.pos, label.text->size)));
        writeText(xml, label, nullptr);
    }
    xml.writeEndElement();
}

// One text element per laid-out line, on the baseline the document gives it.
void SvgWriter::writeText(QXmlStreamWriter& xml, const DiagramPicture::PlacedText& text,
                          const char* className) const
{
    for (const TextCache::Line& line : text.text->lines) {
        const QString characters = xmlText(line.text);
        if (characters.isEmpty())
            continue;
        xml.writeStartElement(QStringLiteral("text"));
        if (className)
            xml.writeAttribute(QStringLiteral("class"), QLatin1String(className));
        xml.writeAttribute(QStringLiteral("x"), number(text.pos.x() + line.baseline.x()));
        xml.writeAttribute(QStringLiteral("y"), number(text.pos.y() + line.baseline.y()));
        xml.writeCharacters(characters);
        xml.writeEndElement();
    }
}
