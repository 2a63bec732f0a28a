#pragma once

#include "import/connectorplan.h"
#include "import/schemarelations.h"

#include <QList>
#include <QPair>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

class DiagramScene;
class Entity;
class Schema;

// Turns a schema into a diagram in a scene: an entity per table, named by
// the table (with its schema where two schemas share the name), an attribute
// per column ("customer_id : integer FK"), and a line per foreign key that the
// editor can draw, all laid out inside the scene rectangle. Each entity's
// Graphviz node has the size the entity draws itself at.
class DiagramBuilder
{
public:
    // The room left free along the canvas's edges.
    static constexpr int canvasMargin = 40;

    explicit DiagramBuilder(DiagramScene* scene);

    // False, with the scene left empty, where the tables do not fit the canvas.
    bool build(const Schema& schema);
    QString errorString() const;
    // What became of the keys; there after build().
    const SchemaRelations& relations() const;

private:
    void makeEntities(const Schema& schema, const QStringList& names);
    bool arrange(const QList<QPair<int, int>>& lines);
    bool fitsAtAll(const QList<QSize>& sizes, const QSize& room);
    bool holdsConnectorsOfAFile();
    QList<QSize> entitySizes() const;
    QList<QSize> spreadSizes(const QList<QPair<int, int>>& lines);
    void applyConnectorCounts();
    void placeEntities(const QList<QRect>& boxes);
    void makeLines();

    DiagramScene* const scene;
    QList<Entity*> entities;
    std::optional<SchemaRelations> m_relations;
    std::optional<ConnectorPlan> plan;
    QString m_errorString;
};
