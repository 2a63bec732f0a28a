#pragma once

#include <QList>
#include <QPair>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <optional>

struct GVC_s;

// Places boxes of given sizes, joined by edges, with Graphviz: dot first
// (parents above their children, or left of them), its components packed;
// where that is too slow or does not fit the canvas, sfdp, and last osage,
// which packs the boxes as an array.
class SchemaLayout
{
public:
    // Each edge goes from a box to be drawn above (dot) to one below.
    SchemaLayout(const QList<QSize>& sizes, const QList<QPair<int, int>>& edges);

    // Top-left corners, every box inside the canvas less the margin and none
    // touching another; nothing where no layout fits.
    std::optional<QList<QPoint>> place(const QRect& canvas, int margin);
    // The Graphviz layouts tried, in order, for a message when none fitted.
    QStringList triedLayouts() const;

private:
    struct Attempt {
        const char* engine;
        QList<QPair<const char*, const char*>> graphAttributes;
    };

    std::optional<QList<QPoint>> run(GVC_s* context, const Attempt& attempt) const;
    std::optional<QList<QPoint>> fitted(QList<QPoint> corners, const QRect& canvas, int margin) const;
    bool overlaps(const QList<QPoint>& corners) const;
    int largestComponent() const;
    QList<Attempt> attempts() const;

    const QList<QSize> sizes;
    const QList<QPair<int, int>> edges;
    QStringList tried;
};
