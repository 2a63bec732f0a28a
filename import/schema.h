#pragma once

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// The tables of a database as its source describes them, whichever of the
// readers that was: plain data, and the folding that turns partitions into
// their parent.
class Schema
{
public:
    struct Column {
        QString name;
        QString type;
        bool notNull = false;
    };

    struct ForeignKey {
        // Empty where the source gives the constraint no name.
        QString name;
        QStringList columns;
        QString referencedSchema;
        QString referencedTable;
        // Empty where the key names no columns: then it is the referenced
        // table's primary key.
        QStringList referencedColumns;
    };

    struct Table {
        QString schema;
        QString name;
        QList<Column> columns;
        QStringList primaryKey;
        QList<QStringList> uniqueKeys;
        QList<ForeignKey> foreignKeys;
        // Set for a partition: the table it is a partition of.
        QString parentSchema;
        QString parentName;

        const Column* column(const QString& name) const;
        Column* column(const QString& name);
        bool isPartition() const;
        // Whether no two rows can hold the same values in these columns.
        bool isUnique(const QStringList& columns) const;
        bool isNullable(const QString& column) const;
        bool isInForeignKey(const QString& column) const;
        void addUniqueKey(const QStringList& columns);
        void addForeignKey(const ForeignKey& key);
    };

    const QList<Table>& tables() const;
    // -1 where there is no such table.
    qsizetype indexOf(const QString& schema, const QString& name) const;
    Table* find(const QString& schema, const QString& name);
    // The table, added at the end if there is none of that name yet.
    Table& table(const QString& schema, const QString& name);
    int columnCount() const;

    // Each partition's keys count once, as its root table's, keys that name a
    // partition name its root table instead, and the partitions go.
    void foldPartitions();
    void keepOnlySchema(const QString& schema);

private:
    using TableKey = QPair<QString, QString>;

    qsizetype rootOf(qsizetype table) const;
    void moveKeysToRoots();
    void redirectReferencesToRoots();
    void removeTables(const QList<TableKey>& keys);
    void rebuildIndex();

    QList<Table> m_tables;
    QHash<TableKey, qsizetype> index;
};
