#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QVariantList>

#include <functional>

class QSqlQuery;

// A connection of Qt SQL's of its own, removed again when this goes; queries
// report their failure as one line.
class DatabaseConnection
{
public:
    explicit DatabaseConnection(const QString& driver);
    ~DatabaseConnection();
    DatabaseConnection(const DatabaseConnection&) = delete;
    DatabaseConnection& operator=(const DatabaseConnection&) = delete;

    QSqlDatabase& database();
    bool open();
    // Runs the query with its ? placeholders bound in order and calls the
    // handler for each row; false, with errorString() set, where it fails.
    bool forEachRow(const QString& sql, const QVariantList& values, const std::function<void(const QSqlQuery&)>& row);
    QString errorString() const;

private:
    const QString driver;
    const QString name;
    QSqlDatabase connection;
    QString m_errorString;
};
