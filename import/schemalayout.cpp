#include "import/schemalayout.h"

#include "import/boxpacking.h"

#include <QByteArray>
#include <QStringList>

#include <gvc.h>

#include <algorithm>
#include <memory>
#include <numeric>

namespace {

// dot's crossing minimisation grows much faster than the graph: a component
// of 200 tables and 300 keys took 0.2 s, one of 500 and 750 took 4 s.
constexpr int dotComponentLimit = 500;
constexpr double pointsPerInch = 72.0;

// Graphviz takes names and values as char*, though it only reads them.
char* graphvizText(const char* text)
{
    return const_cast<char*>(text);
}

QByteArray inches(int points)
{
    return QByteArray::number(points / pointsPerInch, 'f', 4);
}

// The layouts' own warnings are no concern of the user's: a layout that
// fails or does not fit is simply not taken.
int discardMessage(char*)
{
    return 0;
}

struct ContextDeleter {
    void operator()(GVC_t* context) const { gvFreeContext(context); }
};

// Graphviz reads its plugin configuration for each context it makes: one
// serves every layout of the process.
GVC_t* context()
{
    static const std::unique_ptr<GVC_t, ContextDeleter> shared = [] {
        agseterrf(discardMessage);
        return std::unique_ptr<GVC_t, ContextDeleter>(gvContext());
    }();
    return shared.get();
}

struct GraphDeleter {
    void operator()(Agraph_t* graph) const { agclose(graph); }
};

} // namespace

SchemaLayout::SchemaLayout(const QList<QSize>& sizes, const QList<QPair<int, int>>& edges)
    : sizes(sizes)
    , edges(edges)
{
}

std::optional<QList<QRect>> SchemaLayout::place(const QRect& room, int gap)
{
    tried.clear();
    const BoxPacking packing(gap);
    for (const Attempt& attempt : attempts()) {
        tried.append(QString::fromLatin1(attempt.engine));
        const std::optional<QList<QRect>> boxes = run(context(), attempt);
        if (!boxes)
            continue;
        if (std::optional<QList<QRect>> placed = packing.packedInto(*boxes, room))
            return placed;
    }
    return std::nullopt;
}

QStringList SchemaLayout::triedLayouts() const
{
    return tried;
}

QList<SchemaLayout::Attempt> SchemaLayout::attempts() const
{
    QList<Attempt> list;
    if (largestComponent() <= dotComponentLimit) {
        list.append({"dot", {{"rankdir", "TB"}, {"nodesep", "0.7"}, {"ranksep", "0.9"}}});
        list.append({"dot", {{"rankdir", "LR"}, {"nodesep", "0.7"}, {"ranksep", "1.2"}}});
    }
    list.append({"sfdp", {{"overlap", "prism"}, {"sep", "+24"}}});
    return list;
}

// Lines are straight and drawn by the editor, so Graphviz routes no edge.
std::optional<QList<QRect>> SchemaLayout::run(GVC_s* context, const Attempt& attempt) const
{
    const std::unique_ptr<Agraph_t, GraphDeleter> graph(agopen(graphvizText("schema"), Agdirected, nullptr));
    agattr(graph.get(), AGRAPH, graphvizText("splines"), graphvizText(""));
    agattr(graph.get(), AGRAPH, graphvizText("pack"), graphvizText("32"));
    for (const auto& [name, value] : attempt.graphAttributes)
        agattr(graph.get(), AGRAPH, graphvizText(name), graphvizText(value));
    agattr(graph.get(), AGNODE, graphvizText("shape"), graphvizText("box"));
    agattr(graph.get(), AGNODE, graphvizText("fixedsize"), graphvizText("true"));
    agattr(graph.get(), AGNODE, graphvizText("label"), graphvizText(""));
    Agsym_t* width = agattr(graph.get(), AGNODE, graphvizText("width"), graphvizText("1"));
    Agsym_t* height = agattr(graph.get(), AGNODE, graphvizText("height"), graphvizText("1"));
    QList<Agnode_t*> nodes;
    for (const QSize& size : sizes) {
        Agnode_t* node = agnode(graph.get(), nullptr, 1);
        agxset(node, width, inches(size.width()).data());
        agxset(node, height, inches(size.height()).data());
        nodes.append(node);
    }
    for (const auto& [from, to] : edges)
        agedge(graph.get(), nodes.at(from), nodes.at(to), nullptr, 1);
    if (gvLayout(context, graph.get(), attempt.engine) != 0)
        return std::nullopt;
    // Graphviz's y axis points up, the scene's down.
    QList<QRect> boxes;
    for (int i = 0; i < nodes.size(); ++i) {
        const pointf centre = ND_coord(nodes.at(i));
        const QPoint corner(qRound(centre.x - sizes.at(i).width() / 2.0), qRound(-centre.y - sizes.at(i).height() / 2.0));
        boxes.append(QRect(corner, sizes.at(i)));
    }
    gvFreeLayout(context, graph.get());
    return boxes;
}

int SchemaLayout::largestComponent() const
{
    QList<int> parent(sizes.size());
    std::iota(parent.begin(), parent.end(), 0);
    const auto root = [&](int node) {
        while (parent.at(node) != node)
            node = parent[node] = parent.at(parent.at(node));
        return node;
    };
    for (const auto& [from, to] : edges)
        parent[root(from)] = root(to);
    QList<int> members(sizes.size(), 0);
    for (int node = 0; node < sizes.size(); ++node)
        ++members[root(node)];
    // Each component counts its nodes and its edges.
    for (const auto& [from, to] : edges)
        ++members[root(from)];
    return members.isEmpty() ? 0 : *std::max_element(members.begin(), members.end());
}
