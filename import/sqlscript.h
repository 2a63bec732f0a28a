#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QList>
#include <QPair>
#include <QString>

#include <functional>
#include <optional>

class QJsonObject;

// A script as psql would run it, read with PostgreSQL's own parser and
// splitter (libpg_query): each statement the parser understands is handed on
// as its parse tree, each one it rejects is kept with where it starts. psql's
// meta-commands and the data that follows COPY ... FROM stdin are not SQL and
// are passed over, as psql does.
class SqlScript
{
public:
    struct Rejection {
        int line = 0;
        int column = 0;
        // The statement's first words, and the parser's reason.
        QString start;
        QString reason;
    };
    using StatementHandler = std::function<void(const QJsonObject& statement)>;

    // The text must hold no zero byte: the parser would stop there.
    explicit SqlScript(const QByteArray& text);

    // Calls the handler with each understood statement's node (for example
    // {"CreateStmt": {...}}), in the script's order.
    void read(const StatementHandler& handler);
    const QList<Rejection>& rejections() const;

private:
    struct Outcome {
        bool understood = false;
        QJsonArray statements;
        // Where the parser stopped, in bytes from the script's start; -1 where
        // it could not say.
        qsizetype errorAt = -1;
        QString reason;
    };

    qsizetype readFrom(qsizetype position);
    std::optional<qsizetype> readWhole(qsizetype begin, qsizetype end);
    qsizetype readOneStatement(qsizetype begin);
    std::optional<qsizetype> handOn(const Outcome& outcome, qsizetype begin, qsizetype end);
    Outcome parse(qsizetype begin, qsizetype end) const;
    QList<QPair<qsizetype, qsizetype>> split(qsizetype begin, qsizetype end, qsizetype* errorAt) const;
    qsizetype startOfFailingStatement(qsizetype begin, qsizetype errorAt) const;
    QPair<qsizetype, qsizetype> extentOfStatement(qsizetype begin) const;
    bool isMetaCommandAt(qsizetype position) const;
    qsizetype endOfLine(qsizetype position) const;
    qsizetype endOfCopyData(qsizetype statementEnd) const;
    qsizetype byteOffset(qsizetype begin, qsizetype end, int characterPosition) const;
    void reject(qsizetype begin, qsizetype end, const QString& reason);
    qsizetype firstWordAt(qsizetype begin, qsizetype end) const;
    void advanceLineCountTo(qsizetype position);

    const QByteArray text;
    StatementHandler handler;
    QList<Rejection> m_rejections;
    qsizetype countedUpTo = 0;
    int linesCounted = 1;
    qsizetype lineStart = 0;
};
