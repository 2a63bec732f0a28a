#include "import/databaseconnection.h"

#include <QSqlError>
#include <QSqlQuery>

#include <atomic>

namespace {

QString connectionName()
{
    static std::atomic<int> made{0};
    return QStringLiteral("diagram-import-%1").arg(++made);
}

// Drivers give multi-line messages (libpq's among them); one line is kept.
QString oneLine(const QSqlError& error)
{
    const QString text = error.text().simplified();
    return text.isEmpty() ? QStringLiteral("unknown database error") : text;
}

} // namespace

DatabaseConnection::DatabaseConnection(const QString& driver)
    : driver(driver)
    , name(connectionName())
    , connection(QSqlDatabase::addDatabase(driver, name))
{
}

// Qt removes a connection only once no QSqlDatabase refers to it any more.
DatabaseConnection::~DatabaseConnection()
{
    connection.close();
    connection = QSqlDatabase();
    QSqlDatabase::removeDatabase(name);
}

QSqlDatabase& DatabaseConnection::database()
{
    return connection;
}

bool DatabaseConnection::open()
{
    if (!connection.isValid()) {
        m_errorString = QStringLiteral("Qt SQL driver %1 is not installed").arg(driver);
        return false;
    }
    if (connection.open())
        return true;
    m_errorString = oneLine(connection.lastError());
    return false;
}

bool DatabaseConnection::forEachRow(const QString& sql, const QVariantList& values,
                                    const std::function<void(const QSqlQuery&)>& row)
{
    QSqlQuery query(connection);
    query.setForwardOnly(true);
    bool done = query.prepare(sql);
    for (const QVariant& value : values)
        query.addBindValue(value);
    done = done && query.exec();
    if (!done) {
        m_errorString = oneLine(query.lastError());
        return false;
    }
    while (query.next())
        row(query);
    return true;
}

QString DatabaseConnection::errorString() const
{
    return m_errorString;
}
