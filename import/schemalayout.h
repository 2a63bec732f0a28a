#pragma once

#include <QList>
#include <QPair>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

struct GVC_s;

// Places boxes of given sizes, joined by edges, with Graphviz: dot first
// (parents above their children, or left of them), its components packed;
// where that is too slow or does not fit the canvas, sfdp. A layout that is
// too large is packed closer (BoxPacking) before the next one is tried.
class SchemaLayout
{
public:
    // Each edge goes from a box to be drawn above (dot) to one below.
    SchemaLayout(const QList<QSize>& sizes, const QList<QPair<int, int>>& edges);

    // The boxes, inside the room and none closer than the gap to another;
    // nothing where no layout fits.
    std::optional<QList<QRect>> place(const QRect& room, int gap);
    // The Graphviz layouts tried, in order, for a message when none fitted.
    QStringList triedLayouts() const;

private:
    struct Attempt {
        const char* engine;
        QList<QPair<const char*, const char*>> graphAttributes;
    };

    std::optional<QList<QRect>> run(GVC_s* context, const Attempt& attempt) const;
    int largestComponent() const;
    QList<Attempt> attempts() const;

    const QList<QSize> sizes;
    const QList<QPair<int, int>> edges;
    QStringList tried;
};
