#include "import/schemasource.h"

#include "import/ddlreader.h"
#include "import/postgresreader.h"
#include "import/sqlitereader.h"

#include <QFile>
#include <QFileInfo>

SchemaSource::SchemaSource(const QString& source)
    : source(source)
{
}

std::optional<Schema> SchemaSource::read()
{
    if (!PostgresReader::isConnectionUri(source))
        return readFile();
    PostgresReader reader(source);
    std::optional<Schema> schema = reader.read();
    if (!schema)
        return failed(QStringLiteral("cannot read the database %1: %2")
                          .arg(PostgresReader::shown(source), reader.errorString()));
    return schema;
}

QString SchemaSource::errorString() const
{
    return m_errorString;
}

const QList<SqlScript::Rejection>& SchemaSource::rejections() const
{
    return m_rejections;
}

// Only a regular file is read: a pipe or a device could block or never end.
std::optional<Schema> SchemaSource::readFile()
{
    const QFileInfo info(source);
    if (!info.exists())
        return failed(QStringLiteral("cannot read %1: no such file").arg(source));
    if (!info.isFile())
        return failed(QStringLiteral("cannot read %1: not a regular file").arg(source));
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly))
        return failed(QStringLiteral("cannot read %1: %2").arg(source, file.errorString()));
    if (SqliteReader::isDatabaseHeader(file.peek(SqliteReader::headerSize))) {
        file.close();
        SqliteReader reader(source);
        std::optional<Schema> schema = reader.read();
        if (!schema)
            return failed(QStringLiteral("cannot read the SQLite database %1: %2").arg(source, reader.errorString()));
        return schema;
    }
    const QByteArray script = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return failed(QStringLiteral("cannot read %1: %2").arg(source, file.errorString()));
    if (script.contains('\0'))
        return failed(QStringLiteral("cannot read %1: neither a SQLite database nor a SQL script").arg(source));
    DdlReader reader(script);
    Schema schema = reader.read();
    m_rejections = reader.rejections();
    return schema;
}

std::optional<Schema> SchemaSource::failed(const QString& reason)
{
    m_errorString = reason;
    return std::nullopt;
}
