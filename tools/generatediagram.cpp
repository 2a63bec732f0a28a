// Writes a valid diagram file for benchmarks, the fuzzer's seeds and the
// renderer: N entities on a grid inside the scene rectangle, each with a name
// and K attributes, and L lines between distinct entities that are not yet
// joined, each end on a free connector. The same arguments give the same bytes.
//
//   diagram-generate OUT N K L [SEED]
#include "items/diagramfile.h"

#include <QByteArray>
#include <QSet>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <utility>
#include <vector>

namespace {

constexpr int sceneSize = 10000;
constexpr int connectorsPerSide = 2;
constexpr int sides = 4;

struct Reference {
    int entity;
    int side;
    int index;
};

class Generator
{
public:
    Generator(int entityCount, unsigned seed)
        : entityCount(entityCount)
        , free(entityCount, std::vector<bool>(sides * connectorsPerSide, true))
        , random(seed)
    {
    }

    // Joins neighbours on the grid where it can, so that lines stay short,
    // and falls back to any other entity with a free connector.
    bool addLine(int columns, std::vector<std::pair<Reference, Reference>>& lines)
    {
        for (int attempt = 0; attempt < 64; ++attempt) {
            const int a = pick(entityCount);
            const int neighbours[] = {a + 1, a + columns, a - 1, a - columns};
            int b = attempt < 32 ? neighbours[pick(4)] : pick(entityCount);
            if (b < 0 || b >= entityCount || b == a || joined.contains(pairOf(a, b)))
                continue;
            const int fromSlot = freeSlot(a);
            const int toSlot = freeSlot(b);
            if (fromSlot < 0 || toSlot < 0)
                continue;
            free[a][fromSlot] = free[b][toSlot] = false;
            joined.insert(pairOf(a, b));
            lines.push_back({{a, fromSlot / connectorsPerSide, fromSlot % connectorsPerSide},
                             {b, toSlot / connectorsPerSide, toSlot % connectorsPerSide}});
            return true;
        }
        return false;
    }

private:
    int pick(int bound) { return int(random() % unsigned(bound)); }

    int freeSlot(int entity)
    {
        const int start = pick(sides * connectorsPerSide);
        for (int i = 0; i < sides * connectorsPerSide; ++i) {
            const int slot = (start + i) % (sides * connectorsPerSide);
            if (free[entity][slot])
                return slot;
        }
        return -1;
    }

    static qint64 pairOf(int a, int b) { return qint64(std::min(a, b)) << 32 | std::max(a, b); }

    int entityCount;
    std::vector<std::vector<bool>> free;
    QSet<qint64> joined;
    std::mt19937 random;
};

void writeEntities(FILE* file, int count, int attributes)
{
    const int columns = std::max(1, int(std::ceil(std::sqrt(double(count)))));
    const int spacing = std::min(sceneSize / (columns + 1), 250);
    DiagramFile::writeInt(file, count);
    for (int i = 0; i < count; ++i) {
        DiagramFile::writeInt(file, spacing / 2 + (i % columns) * spacing);
        DiagramFile::writeInt(file, spacing / 2 + (i / columns) * spacing);
        DiagramFile::writeString(file, QStringLiteral("Entity%1").arg(i));
        DiagramFile::writeInt(file, connectorsPerSide);
        DiagramFile::writeInt(file, connectorsPerSide);
        DiagramFile::writeInt(file, attributes);
        for (int k = 0; k < attributes; ++k)
            DiagramFile::writeString(file, QStringLiteral("attribute%1").arg(k));
    }
}

void writeReference(FILE* file, const Reference& reference)
{
    DiagramFile::writeInt(file, reference.entity);
    DiagramFile::writeInt(file, reference.side);
    DiagramFile::writeInt(file, reference.index);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 5 || argc > 6) {
        fprintf(stderr, "usage: %s OUT ENTITIES ATTRIBUTES LINES [SEED]\n", argv[0]);
        return 2;
    }
    const int entities = atoi(argv[2]);
    const int attributes = atoi(argv[3]);
    const int wantedLines = atoi(argv[4]);
    const unsigned seed = argc == 6 ? unsigned(strtoul(argv[5], nullptr, 10)) : 1u;
    FILE* file = fopen(argv[1], "wb");
    if (!file) {
        fprintf(stderr, "File writing error.\n");
        return 1;
    }
    writeEntities(file, entities, attributes);
    std::vector<std::pair<Reference, Reference>> lines;
    Generator generator(entities, seed);
    const int columns = std::max(1, int(std::ceil(std::sqrt(double(entities)))));
    while (entities > 1 && int(lines.size()) < wantedLines && generator.addLine(columns, lines)) {
    }
    DiagramFile::writeInt(file, int(lines.size()));
    for (int i = 0; i < int(lines.size()); ++i) {
        DiagramFile::writeString(file, QStringLiteral("r%1").arg(i));
        DiagramFile::writeString(file, QStringLiteral("1"));
        DiagramFile::writeString(file, QStringLiteral("*"));
        writeReference(file, lines[i].first);
        writeReference(file, lines[i].second);
    }
    const bool written = ferror(file) == 0;
    if (fclose(file) != 0 || !written) {
        fprintf(stderr, "File writing error.\n");
        return 1;
    }
    return 0;
}
