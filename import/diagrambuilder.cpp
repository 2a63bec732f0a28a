#include "import/diagrambuilder.h"

#include "import/boxpacking.h"
#include "import/schema.h"
#include "import/schemalayout.h"
#include "items/connector.h"
#include "items/diagramfile.h"
#include "items/entity.h"
#include "scene/diagramscene.h"

#include <QHash>

#include <algorithm>

namespace {

// Room between entities for a line's labels.
constexpr int entityGap = 48;
constexpr int growthRounds = 10;

QString attributeText(const Schema::Table& table, const Schema::Column& column)
{
    QString text = column.type.isEmpty() ? column.name : column.name + QStringLiteral(" : ") + column.type;
    if (table.primaryKey.contains(column.name))
        text += QStringLiteral(" PK");
    if (table.isInForeignKey(column.name))
        text += QStringLiteral(" FK");
    return text;
}

QStringList entityNames(const Schema& schema)
{
    QHash<QString, int> uses;
    for (const Schema::Table& table : schema.tables())
        ++uses[table.name];
    QStringList names;
    for (const Schema::Table& table : schema.tables())
        names.append(uses.value(table.name) > 1 ? table.schema + QLatin1Char('.') + table.name : table.name);
    return names;
}

bool fitWithin(const QList<QSize>& sizes, const QList<QSize>& room)
{
    for (int i = 0; i < sizes.size(); ++i) {
        if (sizes.at(i).width() > room.at(i).width() || sizes.at(i).height() > room.at(i).height())
            return false;
    }
    return true;
}

QList<QSize> sizesOf(const QList<QRect>& boxes)
{
    QList<QSize> sizes;
    for (const QRect& box : boxes)
        sizes.append(box.size());
    return sizes;
}

// Each box keeps its centre; then the boxes are pushed apart, or packed
// closer where that leaves them too large for the room.
std::optional<QList<QRect>> grownInPlace(const QList<QRect>& boxes, const QList<QSize>& sizes, const QRect& room)
{
    QList<QRect> grownBoxes;
    for (int i = 0; i < boxes.size(); ++i) {
        QRect box(QPoint(), boxes.at(i).size().expandedTo(sizes.at(i)));
        box.moveCenter(boxes.at(i).center());
        grownBoxes.append(box);
    }
    return BoxPacking(entityGap).packedInto(grownBoxes, room);
}

// Referenced tables above (or left of) the tables that reference them.
QList<QPair<int, int>> parentsFirst(const QList<QPair<int, int>>& lines)
{
    QList<QPair<int, int>> edges;
    for (const auto& [from, to] : lines)
        edges.append({to, from});
    return edges;
}

} // namespace

DiagramBuilder::DiagramBuilder(DiagramScene* scene)
    : scene(scene)
{
}

bool DiagramBuilder::build(const Schema& schema)
{
    const QStringList names = entityNames(schema);
    m_relations.emplace(schema, names);
    makeEntities(schema, names);
    QList<QPair<int, int>> lines;
    for (const SchemaRelations::Relation& relation : m_relations->relations())
        lines.append({relation.from, relation.to});
    if (!arrange(lines)) {
        scene->clearDiagram();
        entities.clear();
        return false;
    }
    makeLines();
    return true;
}

QString DiagramBuilder::errorString() const
{
    return m_errorString;
}

const SchemaRelations& DiagramBuilder::relations() const
{
    return *m_relations;
}

void DiagramBuilder::makeEntities(const Schema& schema, const QStringList& names)
{
    for (int i = 0; i < schema.tables().size(); ++i) {
        const Schema::Table& table = schema.tables().at(i);
        DiagramFile::EntityRecord record;
        record.name = names.at(i);
        for (const Schema::Column& column : table.columns)
            record.attributes.append(attributeText(table, column));
        entities.append(scene->createEntity(record));
    }
}

// Where the entities stand decides which sides their lines take, and so how
// many connectors, and so how large they are drawn. Each entity starts with
// room for its lines spread over its four sides; one that comes out larger
// than its box grows in place, pushing the others aside, which keeps the
// layout's shape and so, mostly, the sides its lines take. The last round
// keeps every line within the connectors its box has room for.
bool DiagramBuilder::arrange(const QList<QPair<int, int>>& lines)
{
    const QRect room = scene->sceneRect().toRect().adjusted(canvasMargin, canvasMargin, -canvasMargin, -canvasMargin);
    const QList<QSize> spread = spreadSizes(lines);
    if (!fitsAtAll(spread, room.size()))
        return false;
    SchemaLayout layout(spread, parentsFirst(lines));
    std::optional<QList<QRect>> boxes = layout.place(room, entityGap);
    if (!boxes) {
        m_errorString = QStringLiteral("the schema does not fit the canvas: no layout of its %1 entities "
                                       "(tried %2) stays inside 10000 x 10000")
                            .arg(entities.size())
                            .arg(layout.triedLayouts().join(QStringLiteral(", ")));
        return false;
    }
    for (int round = 1; boxes; ++round) {
        plan.emplace(*boxes, lines, round == growthRounds);
        applyConnectorCounts();
        if (!holdsConnectorsOfAFile())
            return false;
        const QList<QSize> needed = entitySizes();
        if (fitWithin(needed, sizesOf(*boxes))) {
            placeEntities(*boxes);
            return true;
        }
        boxes = round < growthRounds ? grownInPlace(*boxes, needed, room) : std::nullopt;
    }
    m_errorString = QStringLiteral("the schema does not fit the canvas once its entities have a connector for each line");
    return false;
}

bool DiagramBuilder::fitsAtAll(const QList<QSize>& sizes, const QSize& room)
{
    qint64 area = 0;
    for (const QSize& size : sizes) {
        if (size.width() > room.width() || size.height() > room.height()) {
            m_errorString = QStringLiteral("the schema does not fit the canvas: one of its entities alone is "
                                           "%1 x %2, larger than 10000 x 10000 less the margins")
                                .arg(size.width())
                                .arg(size.height());
            return false;
        }
        area += qint64(size.width()) * size.height();
    }
    if (area <= qint64(room.width()) * room.height())
        return true;
    m_errorString = QStringLiteral("the schema does not fit the canvas: its %1 entities cover more than 10000 x 10000")
                        .arg(entities.size());
    return false;
}

// The editor refuses files with more connectors than it would ever make.
bool DiagramBuilder::holdsConnectorsOfAFile()
{
    qint64 total = 0;
    bool withinSides = true;
    for (const Entity* entity : std::as_const(entities)) {
        withinSides = withinSides && std::max(entity->horConnectorCount(), entity->verConnectorCount())
                                         <= maxConnectorsPerSide;
        total += entity->totalConnectorCount();
    }
    if (withinSides && total <= maxConnectorsPerDiagram)
        return true;
    m_errorString = QStringLiteral("the schema needs more connectors than a diagram file may hold (%1 per side, "
                                   "%2 in all)")
                        .arg(maxConnectorsPerSide)
                        .arg(maxConnectorsPerDiagram);
    return false;
}

QList<QSize> DiagramBuilder::entitySizes() const
{
    QList<QSize> sizes;
    for (const Entity* entity : entities)
        sizes.append(entity->rect().size().toSize());
    return sizes;
}

// A quarter of an entity's lines on each side, and a connector to spare.
QList<QSize> DiagramBuilder::spreadSizes(const QList<QPair<int, int>>& lines)
{
    QList<int> degrees(entities.size(), 0);
    for (const auto& [from, to] : lines) {
        ++degrees[from];
        ++degrees[to];
    }
    for (int i = 0; i < entities.size(); ++i) {
        const int count = std::max(2, (degrees.at(i) + Entity::sideCount - 1) / Entity::sideCount + 1);
        entities.at(i)->setHorConnectorCount(count);
        entities.at(i)->setVerConnectorCount(count);
        entities.at(i)->updateLayout();
    }
    return entitySizes();
}

void DiagramBuilder::applyConnectorCounts()
{
    for (int i = 0; i < entities.size(); ++i) {
        entities.at(i)->setHorConnectorCount(plan->horConnectorCount(i));
        entities.at(i)->setVerConnectorCount(plan->verConnectorCount(i));
        entities.at(i)->updateLayout();
    }
}

// An entity may be smaller than its node: it stands in the node's middle.
void DiagramBuilder::placeEntities(const QList<QRect>& boxes)
{
    for (int i = 0; i < entities.size(); ++i) {
        const QSize slack = boxes.at(i).size() - entities.at(i)->rect().size().toSize();
        entities.at(i)->setPos(boxes.at(i).topLeft() + QPoint(slack.width() / 2, slack.height() / 2));
    }
}

void DiagramBuilder::makeLines()
{
    const QList<SchemaRelations::Relation>& relations = m_relations->relations();
    for (int i = 0; i < relations.size(); ++i) {
        const SchemaRelations::Relation& relation = relations.at(i);
        DiagramFile::LineRecord record;
        record.name = relation.name;
        record.multiplicityA = relation.multiplicityFrom;
        record.multiplicityB = relation.multiplicityTo;
        record.start = entities.at(relation.from)->connectorAt(plan->start(i).side, plan->start(i).index);
        record.end = entities.at(relation.to)->connectorAt(plan->end(i).side, plan->end(i).index);
        scene->createLine(record);
    }
}
