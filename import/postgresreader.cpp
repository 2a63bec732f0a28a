#include "import/postgresreader.h"

#include "import/databaseconnection.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QUrl>
#include <QUrlQuery>
#include <QVariant>

namespace {

const QString userTables = QStringLiteral(
    "SELECT c.oid FROM pg_catalog.pg_class c JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
    "WHERE c.relkind IN ('r', 'p') AND n.nspname NOT IN ('pg_catalog', 'information_schema') "
    "AND n.nspname NOT LIKE 'pg\\_toast%' AND n.nspname NOT LIKE 'pg\\_temp\\_%'");

const QString tablesQuery = QStringLiteral(
    "SELECT c.oid, n.nspname, c.relname, pn.nspname, p.relname FROM pg_catalog.pg_class c "
    "JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
    "LEFT JOIN pg_catalog.pg_inherits i ON c.relispartition AND i.inhrelid = c.oid "
    "LEFT JOIN pg_catalog.pg_class p ON p.oid = i.inhparent "
    "LEFT JOIN pg_catalog.pg_namespace pn ON pn.oid = p.relnamespace "
    "WHERE c.oid IN (%1) ORDER BY n.nspname, c.relname").arg(userTables);

const QString columnsQuery = QStringLiteral(
    "SELECT a.attrelid, a.attname, pg_catalog.format_type(a.atttypid, a.atttypmod), a.attnotnull "
    "FROM pg_catalog.pg_attribute a WHERE a.attnum > 0 AND NOT a.attisdropped AND a.attrelid IN (%1) "
    "ORDER BY a.attrelid, a.attnum").arg(userTables);

// Unique indexes stand for primary keys and unique constraints as well; one
// on an expression, or partial, makes no set of columns unique.
const QString uniqueKeysQuery = QStringLiteral(
    "SELECT i.indrelid, i.indexrelid, i.indisprimary, a.attname FROM pg_catalog.pg_index i "
    "CROSS JOIN LATERAL unnest(i.indkey) WITH ORDINALITY AS k(attnum, position) "
    "JOIN pg_catalog.pg_attribute a ON a.attrelid = i.indrelid AND a.attnum = k.attnum "
    "WHERE i.indisunique AND i.indpred IS NULL AND i.indexprs IS NULL AND k.position <= i.indnkeyatts "
    "AND i.indrelid IN (%1) ORDER BY i.indrelid, i.indexrelid, k.position").arg(userTables);

// A key that a partition inherits from its parent, or that the server made
// for a partition of the referenced table, has a parent constraint: only the
// parent's counts.
const QString foreignKeysQuery = QStringLiteral(
    "SELECT con.conrelid, con.conname, rn.nspname, r.relname, a.attname, ra.attname "
    "FROM pg_catalog.pg_constraint con "
    "JOIN pg_catalog.pg_class r ON r.oid = con.confrelid "
    "JOIN pg_catalog.pg_namespace rn ON rn.oid = r.relnamespace "
    "CROSS JOIN LATERAL unnest(con.conkey, con.confkey) WITH ORDINALITY AS k(attnum, refattnum, position) "
    "JOIN pg_catalog.pg_attribute a ON a.attrelid = con.conrelid AND a.attnum = k.attnum "
    "JOIN pg_catalog.pg_attribute ra ON ra.attrelid = con.confrelid AND ra.attnum = k.refattnum "
    "WHERE con.contype = 'f' AND con.conparentid = 0 AND con.conrelid IN (%1) "
    "ORDER BY con.conrelid, con.conname, k.position").arg(userTables);

// libpq's quoting of a value in a keyword=value connection string.
QString quotedOption(const QString& value)
{
    QString escaped = value;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

} // namespace

PostgresReader::PostgresReader(const QString& uri)
    : uri(uri)
{
}

bool PostgresReader::isConnectionUri(const QString& source)
{
    return source.startsWith(QLatin1String("postgresql://")) || source.startsWith(QLatin1String("postgres://"));
}

QString PostgresReader::shown(const QString& uri)
{
    return QUrl(uri).toString(QUrl::RemovePassword);
}

std::optional<Schema> PostgresReader::read()
{
    DatabaseConnection connection(QStringLiteral("QPSQL"));
    if (!configure(connection.database()))
        return std::nullopt;
    Schema schema;
    const bool read = connection.open() && readTables(connection, schema) && readColumns(connection, schema)
        && readUniqueKeys(connection, schema) && readForeignKeys(connection, schema);
    if (!read) {
        m_errorString = connection.errorString();
        return std::nullopt;
    }
    schema.foldPartitions();
    return schema;
}

QString PostgresReader::errorString() const
{
    return m_errorString;
}

// Qt's driver takes the URI's parts one by one; its query's parameters are
// libpq keywords and go on as connect options.
bool PostgresReader::configure(QSqlDatabase& database)
{
    const QUrl url(uri);
    if (!url.isValid()) {
        m_errorString = QStringLiteral("not a valid connection URI: %1").arg(url.errorString());
        return false;
    }
    database.setHostName(url.host(QUrl::FullyDecoded));
    database.setPort(url.port());
    database.setUserName(url.userName(QUrl::FullyDecoded));
    database.setPassword(url.password(QUrl::FullyDecoded));
    database.setDatabaseName(url.path(QUrl::FullyDecoded).mid(1));
    QStringList options;
    for (const auto& [key, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded))
        options.append(key + QLatin1Char('=') + quotedOption(value));
    database.setConnectOptions(options.join(QLatin1Char(';')));
    return true;
}

bool PostgresReader::readTables(DatabaseConnection& connection, Schema& schema)
{
    return connection.forEachRow(tablesQuery, {}, [&](const QSqlQuery& row) {
        Schema::Table& table = schema.table(row.value(1).toString(), row.value(2).toString());
        table.parentSchema = row.value(3).toString();
        table.parentName = row.value(4).toString();
        tablesByOid.insert(row.value(0).toLongLong(), TableKey(table.schema, table.name));
    });
}

bool PostgresReader::readColumns(DatabaseConnection& connection, Schema& schema)
{
    return connection.forEachRow(columnsQuery, {}, [&](const QSqlQuery& row) {
        if (Schema::Table* table = tableOf(schema, row.value(0).toLongLong()))
            table->columns.append({row.value(1).toString(), row.value(2).toString(), row.value(3).toBool()});
    });
}

// Rows come grouped by index, each index's columns in order.
bool PostgresReader::readUniqueKeys(DatabaseConnection& connection, Schema& schema)
{
    qint64 currentIndex = -1;
    QStringList columns;
    Schema::Table* table = nullptr;
    bool primary = false;
    const auto keep = [&] {
        if (table && primary)
            table->primaryKey = columns;
        else if (table)
            table->addUniqueKey(columns);
    };
    const bool read = connection.forEachRow(uniqueKeysQuery, {}, [&](const QSqlQuery& row) {
        if (row.value(1).toLongLong() != currentIndex) {
            keep();
            currentIndex = row.value(1).toLongLong();
            table = tableOf(schema, row.value(0).toLongLong());
            primary = row.value(2).toBool();
            columns.clear();
        }
        columns.append(row.value(3).toString());
    });
    keep();
    return read;
}

bool PostgresReader::readForeignKeys(DatabaseConnection& connection, Schema& schema)
{
    Schema::ForeignKey* key = nullptr;
    qint64 currentTable = -1;
    return connection.forEachRow(foreignKeysQuery, {}, [&](const QSqlQuery& row) {
        const qint64 oid = row.value(0).toLongLong();
        Schema::Table* table = tableOf(schema, oid);
        if (!table)
            return;
        if (!key || oid != currentTable || row.value(1).toString() != key->name) {
            currentTable = oid;
            key = &table->foreignKeys.emplace_back();
            key->name = row.value(1).toString();
            key->referencedSchema = row.value(2).toString();
            key->referencedTable = row.value(3).toString();
        }
        key->columns.append(row.value(4).toString());
        key->referencedColumns.append(row.value(5).toString());
    });
}

// A table made after the tables were read is not known: it is left out.
Schema::Table* PostgresReader::tableOf(Schema& schema, qint64 oid)
{
    const auto known = tablesByOid.constFind(oid);
    return known == tablesByOid.constEnd() ? nullptr : schema.find(known->first, known->second);
}
