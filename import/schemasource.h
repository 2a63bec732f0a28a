#pragma once

#include "import/schema.h"
#include "import/sqlscript.h"

#include <QList>
#include <QString>

#include <optional>

// Where a schema comes from, told apart by the source's own form: a
// postgresql:// URI is a live database, a file that starts with SQLite's
// header a SQLite database, and any other file a PostgreSQL script.
class SchemaSource
{
public:
    explicit SchemaSource(const QString& source);

    std::optional<Schema> read();
    // One line: why the source could not be read.
    QString errorString() const;
    // The statements of a script that the parser did not understand.
    const QList<SqlScript::Rejection>& rejections() const;

private:
    std::optional<Schema> readFile();
    std::optional<Schema> failed(const QString& reason);

    const QString source;
    QString m_errorString;
    QList<SqlScript::Rejection> m_rejections;
};
