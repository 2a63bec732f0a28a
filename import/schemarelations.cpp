#include "import/schemarelations.h"

#include "import/schema.h"

#include <algorithm>

namespace {

QString keyLabel(const Schema::ForeignKey& key)
{
    return key.name.isEmpty() ? key.columns.join(QStringLiteral(", ")) : key.name;
}

// Each referencing row names at most one referenced row; each referenced row
// is named by any number of rows, or by one at most where the referencing
// columns are unique, and by none where one of them may be null.
QString multiplicityFrom(const Schema::Table& table, const Schema::ForeignKey& key)
{
    return table.isUnique(key.columns) ? QStringLiteral("0..1") : QStringLiteral("*");
}

QString multiplicityTo(const Schema::Table& table, const Schema::ForeignKey& key)
{
    const bool nullable = std::any_of(key.columns.begin(), key.columns.end(),
                                      [&](const QString& column) { return table.isNullable(column); });
    return nullable ? QStringLiteral("0..1") : QStringLiteral("1");
}

} // namespace

SchemaRelations::SchemaRelations(const Schema& schema, const QStringList& tableNames)
    : tableNames(tableNames)
{
    for (int table = 0; table < schema.tables().size(); ++table) {
        for (int key = 0; key < schema.tables().at(table).foreignKeys.size(); ++key)
            addKey(schema, table, key);
    }
}

const QList<SchemaRelations::Relation>& SchemaRelations::relations() const
{
    return m_relations;
}

const QStringList& SchemaRelations::notDrawn() const
{
    return m_notDrawn;
}

int SchemaRelations::notDrawnCount(Reason reason) const
{
    return counts[reason];
}

void SchemaRelations::addKey(const Schema& schema, int from, int keyIndex)
{
    const Schema::Table& table = schema.tables().at(from);
    const Schema::ForeignKey& key = table.foreignKeys.at(keyIndex);
    const int to = int(schema.indexOf(key.referencedSchema, key.referencedTable));
    const QString label = keyLabel(key);
    const QString& fromName = tableNames.at(from);
    if (to < 0) {
        const QString missing = key.referencedSchema + QLatin1Char('.') + key.referencedTable;
        skip(NotImported, QStringLiteral("key %1 (%2 -> %3) not drawn: %3 is not imported").arg(label, fromName, missing));
        return;
    }
    if (to == from) {
        skip(JoinsItself, QStringLiteral("key %1 (%2 -> %2) not drawn: a line cannot join an entity to itself")
                              .arg(label, fromName));
        return;
    }
    const QPair<int, int> pair(std::min(from, to), std::max(from, to));
    if (const auto joined = lineOfPair.constFind(pair); joined != lineOfPair.constEnd()) {
        m_relations[*joined].name += QStringLiteral(", ") + label;
        skip(AlreadyJoined, QStringLiteral("key %1 (%2 -> %3) not drawn: the two entities are joined once, by the "
                                           "line of key %4, whose name lists this key too")
                                .arg(label, fromName, tableNames.at(to), drawnKeys.at(*joined)));
        return;
    }
    lineOfPair.insert(pair, int(m_relations.size()));
    drawnKeys.append(label);
    m_relations.append({from, to, label, multiplicityFrom(table, key), multiplicityTo(table, key)});
}

void SchemaRelations::skip(Reason reason, const QString& message)
{
    ++counts[reason];
    m_notDrawn.append(message);
}
