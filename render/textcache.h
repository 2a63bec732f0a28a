#pragma once

#include "items/diagramgeometry.h"

#include <QGlyphRun>
#include <QList>
#include <QPointF>
#include <QSizeF>
#include <QString>

#include <memory>
#include <unordered_map>

class QPainter;
class QTextDocument;

// Texts laid out as the editor's text items lay them out, by the same kind of
// document with the same font, but with one document for all texts of a kind
// and each distinct string laid out once.
class TextCache
{
public:
    // One laid-out line: its characters, and its baseline's start within the text's box.
    struct Line {
        QString text;
        QPointF baseline;
    };
    struct Text {
        QSizeF size{0, 0};
        QList<Line> lines;
        // The glyphs the document draws, placed within the text's box.
        QList<QGlyphRun> glyphs;
    };

    TextCache();
    ~TextCache();

    // Stays valid as long as the cache.
    const Text& text(DiagramGeometry::TextKind kind, const QString& string);

    // As a text item paints itself with its top-left corner at the painter's
    // origin: the document's own glyphs, clipped to its box, in black. A PDF
    // keeps them as text.
    static void paint(QPainter* painter, const Text& text);

private:
    Text layOut(DiagramGeometry::TextKind kind, const QString& string);

    static constexpr int kindCount = 3;
    std::unique_ptr<QTextDocument> documents[kindCount];
    std::unordered_map<QString, Text> texts[kindCount];
};
