#pragma once

#include "import/schema.h"

#include <QByteArray>
#include <QString>

#include <optional>

class DatabaseConnection;

// The tables of a SQLite database file, read through Qt SQL's SQLite driver
// from a connection that is opened read-only, so the file is never written.
// Its tables are in the schema "main"; SQLite keeps no names for keys.
class SqliteReader
{
public:
    explicit SqliteReader(const QString& path);

    // Whether a file that starts with these bytes is a SQLite database.
    static bool isDatabaseHeader(const QByteArray& start);
    static constexpr int headerSize = 16;

    std::optional<Schema> read();
    QString errorString() const;

private:
    bool readTable(DatabaseConnection& connection, Schema::Table& table);
    bool readColumns(DatabaseConnection& connection, Schema::Table& table);
    bool readUniqueKeys(DatabaseConnection& connection, Schema::Table& table);
    bool readForeignKeys(DatabaseConnection& connection, Schema::Table& table);

    const QString path;
    QString m_errorString;
};
