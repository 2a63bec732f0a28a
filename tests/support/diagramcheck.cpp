#include "support/diagramcheck.h"

#include "support/testsupport.h"

#include "app/diagramreader.h"
#include "app/diagramwriter.h"
#include "items/connector.h"
#include "items/diagramgeometry.h"
#include "items/entity.h"
#include "items/line.h"
#include "scene/diagramscene.h"

#include <QSet>
#include <QStringList>

#include <cstdlib>

namespace {

QString connectorFault(const Entity* entity, int side, int position)
{
    const Connector* connector = entity->connectorAt(side, position);
    if (connector->index() != position || connector->side() != side || connector->entity() != entity
        || connector->parentItem() != entity)
        return QStringLiteral("connector %1/%2 of '%3' is misnumbered").arg(side).arg(position).arg(entity->name());
    const Line* line = connector->line();
    if (line && line->startConnector() != connector && line->endConnector() != connector)
        return QStringLiteral("a busy connector of '%1' is not named by its line").arg(entity->name());
    return QString();
}

QString entityFault(const Entity* entity)
{
    const int counts[Entity::sideCount] = {entity->horConnectorCount(), entity->verConnectorCount(),
                                           entity->horConnectorCount(), entity->verConnectorCount()};
    int connectorChildren = 0;
    for (const QGraphicsItem* child : entity->childItems())
        connectorChildren += child->type() == Connector::Type;
    int listed = 0;
    for (int side = 0; side < Entity::sideCount; ++side) {
        if (counts[side] < 1 || entity->connectorCount(side) != counts[side])
            return QStringLiteral("side %1 of '%2' holds a wrong number of connectors").arg(side).arg(entity->name());
        for (int position = 0; position < counts[side]; ++position) {
            const QString fault = connectorFault(entity, side, position);
            if (!fault.isEmpty())
                return fault;
        }
        listed += counts[side];
    }
    if (connectorChildren != listed)
        return QStringLiteral("'%1' has connectors outside its lists").arg(entity->name());
    return QString();
}

QString lineFault(const Line* line, QSet<QPair<const Entity*, const Entity*>>& joined)
{
    const Connector* start = line->startConnector();
    const Connector* end = line->endConnector();
    if (!start || !end)
        return QStringLiteral("an incomplete line is in the scene");
    if (start->line() != line || end->line() != line)
        return QStringLiteral("a line is not registered with its connectors");
    const Entity* a = start->entity();
    const Entity* b = end->entity();
    if (a == b)
        return QStringLiteral("a line joins '%1' to itself").arg(a->name());
    const auto pair = a < b ? qMakePair(a, b) : qMakePair(b, a);
    if (joined.contains(pair))
        return QStringLiteral("two lines join '%1' and '%2'").arg(a->name(), b->name());
    joined.insert(pair);
    if (line->line().p1() != truncated(start->centre()) || line->line().p2() != truncated(end->centre()))
        return QStringLiteral("a line end is off its connector's centre");
    return QString();
}

QString entityKey(const Entity* entity)
{
    QStringList attributes;
    for (int i = 0; i < entity->attributeCount(); ++i)
        attributes.append(entity->attributeName(i));
    return QStringLiteral("%1@%2,%3 h%4 v%5 [%6]")
        .arg(entity->name())
        .arg(DiagramGeometry::wholeUnits(entity->x()))
        .arg(DiagramGeometry::wholeUnits(entity->y()))
        .arg(entity->horConnectorCount())
        .arg(entity->verConnectorCount())
        .arg(attributes.join('|'));
}

QString endKey(const Connector* connector)
{
    return QStringLiteral("%1 s%2 i%3").arg(entityKey(connector->entity())).arg(connector->side()).arg(connector->index());
}


// The order the scene keeps for saving must be the toolkit's stacking order,
// also after items were made again by an undo.
QString stackingFault(const DiagramScene* scene)
{
    QList<Entity*> entities;
    QList<Line*> lines;
    scene->itemsInSceneRect(entities, lines);
    QList<Entity*> stackedEntities;
    QList<Line*> stackedLines;
    for (QGraphicsItem* item : scene->items(scene->sceneRect(), Qt::IntersectsItemShape, Qt::DescendingOrder)) {
        if (Entity* entity = qgraphicsitem_cast<Entity*>(item))
            stackedEntities.append(entity);
        else if (Line* line = qgraphicsitem_cast<Line*>(item); line && line->endConnector())
            stackedLines.append(line);
    }
    if (entities != stackedEntities || lines != stackedLines)
        return QStringLiteral("the order kept for saving is not the stacking order");
    return QString();
}

} // namespace

QString diagramFault(const DiagramScene* scene)
{
    int pendingLines = 0;
    for (const Line* line : itemsOfType<Line>(scene))
        pendingLines += line->endConnector() == nullptr;
    if (pendingLines > 1)
        return QStringLiteral("more than one line without an end is in the scene");
    for (const Entity* entity : itemsOfType<Entity>(scene)) {
        const QString fault = entityFault(entity);
        if (!fault.isEmpty())
            return fault;
    }
    QSet<QPair<const Entity*, const Entity*>> joined;
    for (const Line* line : itemsOfType<Line>(scene)) {
        if (!line->endConnector())
            continue;
        const QString fault = lineFault(line, joined);
        if (!fault.isEmpty())
            return fault;
    }
    return stackingFault(scene);
}

QString describeDiagram(const DiagramScene* scene)
{
    const QList<QGraphicsItem*> saved = scene->items(scene->sceneRect(), Qt::IntersectsItemShape);
    const QSet<QGraphicsItem*> inside(saved.begin(), saved.end());
    QStringList entities;
    for (Entity* entity : itemsOfType<Entity>(scene)) {
        if (inside.contains(entity))
            entities.append(entityKey(entity));
    }
    QStringList lines;
    for (Line* line : itemsOfType<Line>(scene)) {
        if (!line->endConnector() || !inside.contains(line))
            continue;
        if (!inside.contains(line->startConnector()->entity()) || !inside.contains(line->endConnector()->entity()))
            continue;
        lines.append(QStringLiteral("'%1' '%2' '%3': %4 -> %5")
                         .arg(line->name(), line->multiplicityA(), line->multiplicityB(),
                              endKey(line->startConnector()), endKey(line->endConnector())));
    }
    entities.sort();
    lines.sort();
    return entities.join('\n') + QStringLiteral("\n--\n") + lines.join('\n');
}

QByteArray savedBytes(const DiagramScene* scene)
{
    char* buffer = nullptr;
    size_t length = 0;
    FILE* out = open_memstream(&buffer, &length);
    DiagramWriter(scene).write(out);
    fclose(out);
    const QByteArray bytes(buffer, qsizetype(length));
    free(buffer);
    return bytes;
}

QString roundTripFault(DiagramScene* scene)
{
    const QString before = describeDiagram(scene);
    QByteArray bytes = savedBytes(scene);
    FILE* in = fmemopen(bytes.data(), size_t(bytes.size()), "rb");
    const bool accepted = in && DiagramReader(scene).read(in) == DiagramReader::Read;
    if (in)
        fclose(in);
    if (!accepted)
        return QStringLiteral("a saved diagram was refused");
    const QString after = describeDiagram(scene);
    if (after != before)
        return QStringLiteral("a saved diagram read back differently:\n%1\n-- became --\n%2").arg(before, after);
    return QString();
}
