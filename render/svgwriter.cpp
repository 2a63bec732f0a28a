#include "render/svgwriter.h"

#include "items/connector.h"
#include "items/entity.h"
#include "items/line.h"
#include "scene/diagramscene.h"

#include <QAbstractTextDocumentLayout>
#include <QFontInfo>
#include <QGraphicsTextItem>
#include <QIODevice>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
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

void writeRect(QXmlStreamWriter& xml, const QRectF& rect, const char* className = nullptr)
{
    xml.writeEmptyElement(QStringLiteral("rect"));
    if (className)
        xml.writeAttribute(QStringLiteral("class"), QLatin1String(className));
    xml.writeAttribute(QStringLiteral("x"), number(rect.x()));
    xml.writeAttribute(QStringLiteral("y"), number(rect.y()));
    xml.writeAttribute(QStringLiteral("width"), number(rect.width()));
    xml.writeAttribute(QStringLiteral("height"), number(rect.height()));
}

// All of an entity's connectors of one kind as one path of small squares.
void writePath(QXmlStreamWriter& xml, const QString& squares, const char* className)
{
    if (squares.isEmpty())
        return;
    xml.writeEmptyElement(QStringLiteral("path"));
    xml.writeAttribute(QStringLiteral("class"), QLatin1String(className));
    xml.writeAttribute(QStringLiteral("d"), squares);
}

void writeSegment(QXmlStreamWriter& xml, const QLineF& segment)
{
    xml.writeEmptyElement(QStringLiteral("line"));
    xml.writeAttribute(QStringLiteral("x1"), number(segment.x1()));
    xml.writeAttribute(QStringLiteral("y1"), number(segment.y1()));
    xml.writeAttribute(QStringLiteral("x2"), number(segment.x2()));
    xml.writeAttribute(QStringLiteral("y2"), number(segment.y2()));
}

QString fontRule(const QFont& font)
{
    const QFontInfo info(font);
    return QStringLiteral("font-family:'%1';font-size:%2px").arg(info.family()).arg(info.pixelSize());
}

QList<QGraphicsTextItem*> textsOf(const QGraphicsItem* item)
{
    QList<QGraphicsTextItem*> texts;
    for (QGraphicsItem* child : item->childItems()) {
        if (child->type() == QGraphicsTextItem::Type)
            texts.append(static_cast<QGraphicsTextItem*>(child));
    }
    return texts;
}

} // namespace

SvgWriter::SvgWriter(const DiagramScene* scene, const QRectF& picture, const QSizeF& pixels)
    : scene(scene)
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
    xml.writeAttribute(QStringLiteral("viewBox"), QStringLiteral("0 0 %1 %2").arg(number(picture.width()), number(picture.height())));
    writeStyle(xml);
    writeRect(xml, QRectF(QPointF(0, 0), picture.size()), "canvas");
    xml.writeStartElement(QStringLiteral("g"));
    xml.writeAttribute(QStringLiteral("transform"),
                       QStringLiteral("translate(%1 %2)").arg(number(-picture.x()), number(-picture.y())));
    for (const QGraphicsItem* item : scene->items(Qt::AscendingOrder)) {
        if (item->parentItem())
            continue;
        if (const Entity* entity = qgraphicsitem_cast<const Entity*>(item))
            writeEntity(xml, entity);
        else if (const Line* line = qgraphicsitem_cast<const Line*>(item); line && line->endConnector())
            writeLine(xml, line);
    }
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return !xml.hasError();
}

void SvgWriter::writeStyle(QXmlStreamWriter& xml) const
{
    QFont bold;
    bold.setWeight(QFont::Bold);
    QFont small;
    small.setPixelSize(9);
    xml.writeTextElement(
        QStringLiteral("style"),
        QStringLiteral("\n"
                       "rect,line{stroke:#000;stroke-width:1;fill:#fff}\n"
                       "text{fill:#000;white-space:pre;%1}\n"
                       ".entity .name{font-weight:bold}\n"
                       ".connector{fill:none;stroke:#000;stroke-width:1}\n"
                       ".connector.busy{fill:#a0a0a4}\n"
                       ".line line{stroke-width:3;stroke-linecap:square}\n"
                       ".line rect,.entity line{stroke-width:1}\n"
                       ".line text{%2}\n"
                       ".canvas{fill:#fff;stroke:none}\n")
            .arg(fontRule(QFont()), fontRule(small)));
}

// As the entity paints itself: its box, the separator under the name, the
// texts, then the connectors, which stack above the texts.
void SvgWriter::writeEntity(QXmlStreamWriter& xml, const Entity* entity) const
{
    xml.writeStartElement(QStringLiteral("g"));
    xml.writeAttribute(QStringLiteral("class"), QStringLiteral("entity"));
    xml.writeAttribute(QStringLiteral("transform"),
                       QStringLiteral("translate(%1 %2)").arg(number(entity->x()), number(entity->y())));
    xml.writeTextElement(QStringLiteral("title"), xmlText(entity->name()));
    writeRect(xml, entity->rect());
    const QList<QGraphicsTextItem*> texts = textsOf(entity);
    const int separator = int(texts.first()->boundingRect().height());
    writeSegment(xml, QLineF(0, separator, int(entity->rect().width()), separator));
    for (int i = 0; i < texts.size(); ++i)
        writeText(xml, texts.at(i), i == 0 ? "name" : nullptr);
    QString free;
    QString busy;
    for (int side = 0; side < Entity::sideCount; ++side) {
        for (int i = 0; i < entity->connectorCount(side); ++i) {
            const Connector* connector = entity->connectorAt(side, i);
            const QRectF r = connector->rect();
            const QRectF square(connector->x() + r.x() + 2, connector->y() + r.y() + 2, r.width() * 0.5,
                                r.height() * 0.5);
            (connector->isFree() ? free : busy) += QStringLiteral("M%1 %2h%3v%4h-%3z")
                                                      .arg(number(square.x()), number(square.y()),
                                                           number(square.width()), number(square.height()));
        }
    }
    writePath(xml, free, "connector");
    writePath(xml, busy, "connector busy");
    xml.writeEndElement();
}

// The segment, then each label's framed white box and its text.
void SvgWriter::writeLine(QXmlStreamWriter& xml, const Line* line) const
{
    xml.writeStartElement(QStringLiteral("g"));
    xml.writeAttribute(QStringLiteral("class"), QStringLiteral("line"));
    writeSegment(xml, line->line());
    for (const QGraphicsTextItem* label : textsOf(line)) {
        const QRectF bounds = label->boundingRect();
        writeRect(xml, QRectF(label->x() + bounds.x() + 2, label->y() + bounds.y() + 2, bounds.width() - 6,
                              bounds.height() - 6));
        writeText(xml, label, nullptr);
    }
    xml.writeEndElement();
}

// One text element per laid-out line, on the baseline the document gives it.
void SvgWriter::writeText(QXmlStreamWriter& xml, const QGraphicsTextItem* item, const char* className) const
{
    const QTextDocument* document = item->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        const QPointF blockPos = document->documentLayout()->blockBoundingRect(block).topLeft();
        const QTextLayout* layout = block.layout();
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            const QString text = xmlText(block.text().mid(line.textStart(), line.textLength()));
            if (text.isEmpty())
                continue;
            xml.writeStartElement(QStringLiteral("text"));
            if (className)
                xml.writeAttribute(QStringLiteral("class"), QLatin1String(className));
            xml.writeAttribute(QStringLiteral("x"), number(item->x() + blockPos.x() + line.x()));
            xml.writeAttribute(QStringLiteral("y"), number(item->y() + blockPos.y() + line.y() + line.ascent()));
            xml.writeCharacters(text);
            xml.writeEndElement();
        }
    }
}
