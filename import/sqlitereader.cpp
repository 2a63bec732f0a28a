#include "import/sqlitereader.h"

#include "import/databaseconnection.h"

#include <QMap>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

namespace {

const QString mainSchema = QStringLiteral("main");

// In the order they were created, as a script would list them.
const QString tablesQuery = QStringLiteral(
    "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid");
const QString columnsQuery
    = QStringLiteral("SELECT name, type, \"notnull\", pk FROM pragma_table_info(?) ORDER BY cid");
// An index on an expression has a column without a name; a partial one
// makes no column unique.
const QString uniqueKeysQuery = QStringLiteral(
    "SELECT list.name, info.name FROM pragma_index_list(?) AS list JOIN pragma_index_info(list.name) AS info "
    "WHERE list.\"unique\" = 1 AND list.partial = 0 ORDER BY list.seq, info.seqno");
const QString foreignKeysQuery
    = QStringLiteral("SELECT id, \"table\", \"from\", \"to\" FROM pragma_foreign_key_list(?) ORDER BY id, seq");

} // namespace

SqliteReader::SqliteReader(const QString& path)
    : path(path)
{
}

bool SqliteReader::isDatabaseHeader(const QByteArray& start)
{
    return start.startsWith(QByteArrayView("SQLite format 3\0", headerSize));
}

std::optional<Schema> SqliteReader::read()
{
    DatabaseConnection connection(QStringLiteral("QSQLITE"));
    connection.database().setDatabaseName(path);
    connection.database().setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    QStringList names;
    bool read = connection.open()
        && connection.forEachRow(tablesQuery, {}, [&](const QSqlQuery& row) { names.append(row.value(0).toString()); });
    Schema schema;
    for (const QString& name : std::as_const(names))
        read = read && readTable(connection, schema.table(mainSchema, name));
    if (!read) {
        m_errorString = connection.errorString();
        return std::nullopt;
    }
    return schema;
}

QString SqliteReader::errorString() const
{
    return m_errorString;
}

bool SqliteReader::readTable(DatabaseConnection& connection, Schema::Table& table)
{
    return readColumns(connection, table) && readUniqueKeys(connection, table) && readForeignKeys(connection, table);
}

bool SqliteReader::readColumns(DatabaseConnection& connection, Schema::Table& table)
{
    QMap<int, QString> primaryKey;
    const bool read = connection.forEachRow(columnsQuery, {table.name}, [&](const QSqlQuery& row) {
        table.columns.append({row.value(0).toString(), row.value(1).toString(), row.value(2).toBool()});
        if (const int position = row.value(3).toInt(); position > 0)
            primaryKey.insert(position, row.value(0).toString());
    });
    table.primaryKey = primaryKey.values();
    return read;
}

bool SqliteReader::readUniqueKeys(DatabaseConnection& connection, Schema::Table& table)
{
    QMap<QString, QStringList> keys;
    QStringList order;
    const bool read = connection.forEachRow(uniqueKeysQuery, {table.name}, [&](const QSqlQuery& row) {
        const QString index = row.value(0).toString();
        if (!keys.contains(index))
            order.append(index);
        keys[index].append(row.value(1).isNull() ? QString() : row.value(1).toString());
    });
    for (const QString& index : std::as_const(order)) {
        if (!keys.value(index).contains(QString()))
            table.addUniqueKey(keys.value(index));
    }
    return read;
}

// A key without referenced columns refers to the other table's primary key.
bool SqliteReader::readForeignKeys(DatabaseConnection& connection, Schema::Table& table)
{
    int currentId = -1;
    return connection.forEachRow(foreignKeysQuery, {table.name}, [&](const QSqlQuery& row) {
        if (row.value(0).toInt() != currentId) {
            currentId = row.value(0).toInt();
            Schema::ForeignKey& key = table.foreignKeys.emplace_back();
            key.referencedSchema = mainSchema;
            key.referencedTable = row.value(1).toString();
        }
        Schema::ForeignKey& key = table.foreignKeys.last();
        key.columns.append(row.value(2).toString());
        if (!row.value(3).isNull())
            key.referencedColumns.append(row.value(3).toString());
    });
}
