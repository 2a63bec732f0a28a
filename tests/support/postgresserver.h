#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A PostgreSQL 15 server of the test's own, in a temporary folder: made with
// initdb, started with pg_ctl on a free port, reached on a Unix socket in that
// folder (the user postgres, trusted) or over TCP on 127.0.0.1 (any other
// role, by password). Run as the user postgres when the tests run as root.
// Stopped when this goes, so that a failing test leaves no server behind.
class PostgresServer
{
public:
    PostgresServer();
    ~PostgresServer();
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    // False with errorString() set where the server cannot be made or started.
    bool start();
    void stop();
    QString errorString() const;
    int port() const;

    // postgresql://postgres@/DATABASE?host=FOLDER&port=PORT
    QString socketUri(const QString& database) const;
    // Runs each statement in the database as postgres, over the socket.
    bool execute(const QString& database, const QStringList& statements);
    // pg_dump --schema-only of the database, into the file.
    bool dumpSchema(const QString& database, const QString& path);

private:
    bool run(const QString& tool, const QStringList& arguments);
    static int freePort();

    QTemporaryDir folder;
    const int m_port;
    bool running = false;
    QString m_errorString;
};
