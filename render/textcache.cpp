#include "render/textcache.h"

#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

TextCache::TextCache()
{
    for (int kind = 0; kind < kindCount; ++kind) {
        documents[kind] = std::make_unique<QTextDocument>();
        documents[kind]->setUndoRedoEnabled(false);
        documents[kind]->setDefaultFont(DiagramGeometry::font(DiagramGeometry::TextKind(kind)));
    }
}

TextCache::~TextCache() = default;

const TextCache::Text& TextCache::text(DiagramGeometry::TextKind kind, const QString& string)
{
    std::unordered_map<QString, Text>& known = texts[kind];
    auto found = known.find(string);
    if (found == known.end())
        found = known.emplace(string, layOut(kind, string)).first;
    return found->second;
}

TextCache::Text TextCache::layOut(DiagramGeometry::TextKind kind, const QString& string)
{
    // A text item made with no text has no document at all, so an empty
    // attribute takes no room; a name or a label always has its document.
    if (kind == DiagramGeometry::AttributeText && string.isEmpty())
        return Text();
    QTextDocument* document = documents[kind].get();
    document->setPlainText(string);
    Text text;
    text.size = document->size();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        const QTextLayout* layout = block.layout();
        const QPointF origin = layout->position();
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            text.lines.append({block.text().mid(line.textStart(), line.textLength()),
                               origin + QPointF(line.x(), line.y() + line.ascent())});
            for (QGlyphRun run : line.glyphRuns()) {
                QList<QPointF> positions = run.positions();
                for (QPointF& position : positions)
                    position += origin;
                run.setPositions(positions);
                text.glyphs.append(run);
            }
        }
    }
    return text;
}

void TextCache::paint(QPainter* painter, const Text& text)
{
    painter->save();
    painter->setClipRect(QRectF(QPointF(0, 0), text.size), Qt::IntersectClip);
    painter->setPen(Qt::black);
    for (const QGlyphRun& run : text.glyphs)
        painter->drawGlyphRun(QPointF(0, 0), run);
    painter->restore();
}
