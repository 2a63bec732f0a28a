#include "support/postgresserver.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <atomic>

#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString binaries = QStringLiteral("/usr/lib/postgresql/15/bin/");
constexpr int toolTimeout = 120000;

bool isRoot()
{
    return geteuid() == 0;
}

QString connectionName()
{
    static std::atomic<int> made{0};
    return QStringLiteral("postgres-server-%1").arg(++made);
}

} // namespace

PostgresServer::PostgresServer()
    : m_port(freePort())
{
}

PostgresServer::~PostgresServer()
{
    stop();
}

// The server's files must belong to the user it runs as.
bool PostgresServer::start()
{
    if (!folder.isValid()) {
        m_errorString = QStringLiteral("no temporary folder");
        return false;
    }
    if (isRoot()) {
        const passwd* postgres = getpwnam("postgres");
        if (!postgres || chown(QFile::encodeName(folder.path()).constData(), postgres->pw_uid, postgres->pw_gid) != 0) {
            m_errorString = QStringLiteral("the user postgres is missing or cannot own %1").arg(folder.path());
            return false;
        }
    }
    const QString data = folder.filePath(QStringLiteral("data"));
    const QString options = QStringLiteral("-k %1 -p %2 -c listen_addresses=127.0.0.1 -c fsync=off")
                                .arg(folder.path())
                                .arg(m_port);
    if (!run(QStringLiteral("initdb"), {QStringLiteral("-D"), data, QStringLiteral("-U"), QStringLiteral("postgres"),
                                        QStringLiteral("--auth-local=trust"), QStringLiteral("--auth-host=scram-sha-256"),
                                        QStringLiteral("--no-sync")}))
        return false;
    running = run(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), data, QStringLiteral("-o"), options,
                                             QStringLiteral("-l"), folder.filePath(QStringLiteral("log")),
                                             QStringLiteral("-w"), QStringLiteral("start")});
    return running;
}

void PostgresServer::stop()
{
    if (!running)
        return;
    running = false;
    run(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), folder.filePath(QStringLiteral("data")),
                                   QStringLiteral("-m"), QStringLiteral("fast"), QStringLiteral("-w"),
                                   QStringLiteral("stop")});
}

QString PostgresServer::errorString() const
{
    return m_errorString;
}

int PostgresServer::port() const
{
    return m_port;
}

QString PostgresServer::socketUri(const QString& database) const
{
    return QStringLiteral("postgresql://postgres@/%1?host=%2&port=%3").arg(database, folder.path()).arg(m_port);
}

bool PostgresServer::execute(const QString& database, const QStringList& statements)
{
    const QString name = connectionName();
    bool done = false;
    {
        QSqlDatabase connection = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        connection.setHostName(folder.path());
        connection.setPort(m_port);
        connection.setUserName(QStringLiteral("postgres"));
        connection.setDatabaseName(database);
        done = connection.open();
        QSqlQuery query(connection);
        for (const QString& statement : statements) {
            done = done && query.exec(statement);
            if (!done && m_errorString.isEmpty())
                m_errorString = statement + QStringLiteral(": ") + query.lastError().text();
        }
        if (!connection.isOpen())
            m_errorString = connection.lastError().text();
    }
    QSqlDatabase::removeDatabase(name);
    return done;
}

bool PostgresServer::dumpSchema(const QString& database, const QString& path)
{
    const QString dumped = folder.filePath(QStringLiteral("dump.sql"));
    const bool done = run(QStringLiteral("pg_dump"), {QStringLiteral("--schema-only"), QStringLiteral("-h"), folder.path(),
                                                      QStringLiteral("-p"), QString::number(m_port),
                                                      QStringLiteral("-U"), QStringLiteral("postgres"),
                                                      QStringLiteral("-f"), dumped, database});
    QFile::remove(path);
    return done && QFile::copy(dumped, path);
}

bool PostgresServer::run(const QString& tool, const QStringList& arguments)
{
    QProcess process;
    process.setWorkingDirectory(folder.path());
    if (isRoot())
        process.start(QStringLiteral("runuser"),
                      QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"), binaries + tool}
                          + arguments);
    else
        process.start(binaries + tool, arguments);
    const bool finished = process.waitForFinished(toolTimeout);
    if (!finished)
        process.kill();
    if (finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return true;
    m_errorString = tool + QStringLiteral(" failed: ") + QString::fromLocal8Bit(process.readAllStandardError())
        + process.errorString();
    return false;
}

// Another server may take the port between here and the start; the start then fails.
int PostgresServer::freePort()
{
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (probe >= 0 && bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
        && getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    if (probe >= 0)
        close(probe);
    return port;
}
