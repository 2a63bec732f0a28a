#include "import/schema.h"

#include <QSet>

#include <algorithm>
#include <utility>

namespace {

bool contains(const QStringList& columns, const QStringList& key)
{
    return !key.isEmpty() && std::all_of(key.begin(), key.end(), [&](const QString& c) { return columns.contains(c); });
}

bool sameKey(const Schema::ForeignKey& a, const Schema::ForeignKey& b)
{
    return a.columns == b.columns && a.referencedSchema == b.referencedSchema && a.referencedTable == b.referencedTable
        && a.referencedColumns == b.referencedColumns;
}

} // namespace

const Schema::Column* Schema::Table::column(const QString& name) const
{
    const auto found = std::find_if(columns.begin(), columns.end(), [&](const Column& c) { return c.name == name; });
    return found == columns.end() ? nullptr : &*found;
}

Schema::Column* Schema::Table::column(const QString& name)
{
    return const_cast<Column*>(std::as_const(*this).column(name));
}

bool Schema::Table::isPartition() const
{
    return !parentName.isEmpty();
}

bool Schema::Table::isUnique(const QStringList& keyColumns) const
{
    return contains(keyColumns, primaryKey)
        || std::any_of(uniqueKeys.begin(), uniqueKeys.end(),
                       [&](const QStringList& key) { return contains(keyColumns, key); });
}

// A primary key's columns are never null, whether or not the source says so.
bool Schema::Table::isNullable(const QString& name) const
{
    const Column* found = column(name);
    return !primaryKey.contains(name) && (!found || !found->notNull);
}

bool Schema::Table::isInForeignKey(const QString& name) const
{
    return std::any_of(foreignKeys.begin(), foreignKeys.end(),
                       [&](const ForeignKey& key) { return key.columns.contains(name); });
}

void Schema::Table::addUniqueKey(const QStringList& key)
{
    if (!key.isEmpty() && !uniqueKeys.contains(key))
        uniqueKeys.append(key);
}

void Schema::Table::addForeignKey(const ForeignKey& key)
{
    if (std::none_of(foreignKeys.begin(), foreignKeys.end(), [&](const ForeignKey& k) { return sameKey(k, key); }))
        foreignKeys.append(key);
}

const QList<Schema::Table>& Schema::tables() const
{
    return m_tables;
}

qsizetype Schema::indexOf(const QString& schema, const QString& name) const
{
    return index.value(TableKey(schema, name), -1);
}

Schema::Table* Schema::find(const QString& schema, const QString& name)
{
    const qsizetype found = indexOf(schema, name);
    return found < 0 ? nullptr : &m_tables[found];
}

Schema::Table& Schema::table(const QString& schema, const QString& name)
{
    if (Table* existing = find(schema, name))
        return *existing;
    index.insert(TableKey(schema, name), m_tables.size());
    Table& added = m_tables.emplace_back();
    added.schema = schema;
    added.name = name;
    return added;
}

int Schema::columnCount() const
{
    int count = 0;
    for (const Table& table : m_tables)
        count += int(table.columns.size());
    return count;
}

// A chain of partitions that loops has no root: each of its tables stays.
qsizetype Schema::rootOf(qsizetype table) const
{
    qsizetype current = table;
    QSet<qsizetype> seen{current};
    while (m_tables.at(current).isPartition()) {
        const Table& child = m_tables.at(current);
        const qsizetype parent = indexOf(child.parentSchema, child.parentName);
        if (parent < 0)
            return current;
        if (seen.contains(parent))
            return table;
        seen.insert(parent);
        current = parent;
    }
    return current;
}

void Schema::foldPartitions()
{
    redirectReferencesToRoots();
    moveKeysToRoots();
    QList<TableKey> folded;
    for (qsizetype i = 0; i < m_tables.size(); ++i) {
        if (rootOf(i) != i)
            folded.append(TableKey(m_tables.at(i).schema, m_tables.at(i).name));
    }
    removeTables(folded);
}

// A key declared on each partition as well as on the parent (as pg_dump
// writes primary keys) counts once. References were redirected first, so that
// a partition's key to a partition matches its parent's key to the parent.
void Schema::moveKeysToRoots()
{
    for (qsizetype i = 0; i < m_tables.size(); ++i) {
        const qsizetype rootIndex = rootOf(i);
        if (rootIndex == i)
            continue;
        Table& root = m_tables[rootIndex];
        const Table& partition = m_tables.at(i);
        if (root.primaryKey.isEmpty())
            root.primaryKey = partition.primaryKey;
        for (const QStringList& key : partition.uniqueKeys)
            root.addUniqueKey(key);
        for (const ForeignKey& key : partition.foreignKeys)
            root.addForeignKey(key);
    }
}

void Schema::redirectReferencesToRoots()
{
    for (Table& table : m_tables) {
        for (ForeignKey& key : table.foreignKeys) {
            const qsizetype referenced = indexOf(key.referencedSchema, key.referencedTable);
            if (referenced < 0)
                continue;
            const Table& root = m_tables.at(rootOf(referenced));
            key.referencedSchema = root.schema;
            key.referencedTable = root.name;
        }
    }
}

void Schema::keepOnlySchema(const QString& schema)
{
    QList<TableKey> others;
    for (const Table& table : std::as_const(m_tables)) {
        if (table.schema != schema)
            others.append(TableKey(table.schema, table.name));
    }
    removeTables(others);
}

void Schema::removeTables(const QList<TableKey>& keys)
{
    const QSet<TableKey> removed(keys.begin(), keys.end());
    m_tables.removeIf([&](const Table& table) { return removed.contains(TableKey(table.schema, table.name)); });
    rebuildIndex();
}

void Schema::rebuildIndex()
{
    index.clear();
    for (qsizetype i = 0; i < m_tables.size(); ++i)
        index.insert(TableKey(m_tables.at(i).schema, m_tables.at(i).name), i);
}
