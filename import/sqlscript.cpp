#include "import/sqlscript.h"

#include <QByteArrayView>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QStringList>

#include <pg_query.h>

#include <algorithm>

namespace {

// Long enough for almost every statement, so that finding where a rejected
// statement ends rarely reads much further than the statement itself.
constexpr qsizetype firstWindow = 4096;
constexpr int wordsShown = 6;
constexpr qsizetype bytesShown = 200;

// PostgreSQL counts positions in characters, taking each lead byte's length
// on trust, as here, even where the bytes are not valid UTF-8.
int sequenceLength(char lead)
{
    const auto byte = static_cast<unsigned char>(lead);
    if ((byte & 0xe0) == 0xc0)
        return 2;
    if ((byte & 0xf0) == 0xe0)
        return 3;
    if ((byte & 0xf8) == 0xf0)
        return 4;
    return 1;
}

QString firstWords(const QByteArray& statement)
{
    const QStringList words = QString::fromUtf8(statement).simplified().split(QLatin1Char(' '));
    const QString shown = words.mid(0, wordsShown).join(QLatin1Char(' '));
    return words.size() > wordsShown ? shown + QStringLiteral(" ...") : shown;
}

bool isCopyFromStdin(const QJsonObject& statement)
{
    const QJsonObject copy = statement.value(QLatin1String("CopyStmt")).toObject();
    return copy.value(QLatin1String("is_from")).toBool() && !copy.contains(QLatin1String("filename"))
        && !copy.value(QLatin1String("is_program")).toBool();
}

} // namespace

SqlScript::SqlScript(const QByteArray& text)
    : text(text)
{
}

void SqlScript::read(const StatementHandler& statementHandler)
{
    handler = statementHandler;
    qsizetype position = 0;
    while (position < text.size())
        position = std::max(position + 1, readFrom(position));
}

const QList<SqlScript::Rejection>& SqlScript::rejections() const
{
    return m_rejections;
}

// The whole rest is parsed at once where it can be: only the parser knows
// where statements such as CREATE FUNCTION ... BEGIN ATOMIC end. Where it
// stops, what it accepted is read, and then the one statement it stopped in,
// or the meta-command, is dealt with on its own.
qsizetype SqlScript::readFrom(qsizetype position)
{
    const Outcome whole = parse(position, text.size());
    if (whole.understood)
        return handOn(whole, position, text.size()).value_or(text.size());
    if (whole.errorAt < 0)
        return readOneStatement(position);
    if (isMetaCommandAt(whole.errorAt)) {
        const qsizetype lineBegin = text.lastIndexOf('\n', whole.errorAt) + 1;
        return readWhole(position, std::max(position, lineBegin)).value_or(endOfLine(whole.errorAt));
    }
    const qsizetype failing = startOfFailingStatement(position, whole.errorAt);
    if (const std::optional<qsizetype> afterData = readWhole(position, failing))
        return *afterData;
    return readOneStatement(failing);
}

// Answers where reading goes on when the region held COPY data.
std::optional<qsizetype> SqlScript::readWhole(qsizetype begin, qsizetype end)
{
    if (begin >= end)
        return std::nullopt;
    const Outcome outcome = parse(begin, end);
    if (outcome.understood)
        return handOn(outcome, begin, end);
    reject(begin, end, outcome.reason);
    return std::nullopt;
}

qsizetype SqlScript::readOneStatement(qsizetype begin)
{
    const auto [end, next] = extentOfStatement(begin);
    const Outcome outcome = parse(begin, end);
    if (outcome.understood)
        return handOn(outcome, begin, end).value_or(next);
    reject(begin, end, outcome.reason);
    return next;
}

std::optional<qsizetype> SqlScript::handOn(const Outcome& outcome, qsizetype begin, qsizetype end)
{
    for (const QJsonValue& value : outcome.statements) {
        const QJsonObject entry = value.toObject();
        const QJsonObject statement = entry.value(QLatin1String("stmt")).toObject();
        handler(statement);
        if (!isCopyFromStdin(statement))
            continue;
        const qsizetype location = begin + entry.value(QLatin1String("stmt_location")).toInteger();
        const qsizetype length = entry.value(QLatin1String("stmt_len")).toInteger();
        return endOfCopyData(length > 0 ? location + length : end);
    }
    return std::nullopt;
}

SqlScript::Outcome SqlScript::parse(qsizetype begin, qsizetype end) const
{
    // The text is zero-terminated, so its rest needs no copy.
    const QByteArray region = end == text.size() ? QByteArray() : text.mid(begin, end - begin);
    PgQueryParseResult result = pg_query_parse(end == text.size() ? text.constData() + begin : region.constData());
    Outcome outcome;
    if (result.error) {
        outcome.reason = QString::fromUtf8(result.error->message);
        if (result.error->cursorpos > 0)
            outcome.errorAt = byteOffset(begin, end, result.error->cursorpos);
    } else {
        const QJsonDocument tree = QJsonDocument::fromJson(result.parse_tree);
        outcome.understood = tree.isObject();
        outcome.statements = tree.object().value(QLatin1String("stmts")).toArray();
        if (!outcome.understood)
            outcome.reason = QStringLiteral("nested too deeply to be read");
    }
    pg_query_free_parse_result(result);
    return outcome;
}

// The statements of a region as the scanner splits them, each from just after
// the previous semicolon to just before its own; none where the scanner
// stops at a token it cannot read (*errorAt then says where).
QList<QPair<qsizetype, qsizetype>> SqlScript::split(qsizetype begin, qsizetype end, qsizetype* errorAt) const
{
    const QByteArray region = text.mid(begin, end - begin);
    PgQuerySplitResult result = pg_query_split_with_scanner(region.constData());
    QList<QPair<qsizetype, qsizetype>> pieces;
    *errorAt = -1;
    if (result.error) {
        *errorAt = result.error->cursorpos > 0 ? byteOffset(begin, end, result.error->cursorpos) : end;
    } else {
        for (int i = 0; i < result.n_stmts; ++i) {
            const qsizetype start = begin + result.stmts[i]->stmt_location;
            pieces.append({start, start + result.stmts[i]->stmt_len});
        }
    }
    pg_query_free_split_result(result);
    return pieces;
}

// The statements before the parser's stop were all accepted: the failing one
// starts after the last semicolon before it.
qsizetype SqlScript::startOfFailingStatement(qsizetype begin, qsizetype errorAt) const
{
    qsizetype splitError = -1;
    const QList<QPair<qsizetype, qsizetype>> pieces = split(begin, errorAt, &splitError);
    if (splitError >= 0 || pieces.isEmpty())
        return begin;
    const auto [start, end] = pieces.last();
    return end < errorAt && text.at(end) == ';' ? end + 1 : start;
}

// Where the statement that starts here ends, and where the next one starts.
// A statement holding a token that the scanner cannot read (an unterminated
// string) runs to the end, as it does for psql. The scanner leaves out
// statements without a keyword, which no statement of SQL is: a run of them
// ends where the first piece it does give starts.
QPair<qsizetype, qsizetype> SqlScript::extentOfStatement(qsizetype begin) const
{
    for (qsizetype window = firstWindow;; window *= 2) {
        qsizetype limit = std::min(text.size(), begin + window);
        qsizetype splitError = -1;
        QList<QPair<qsizetype, qsizetype>> pieces = split(begin, limit, &splitError);
        if (splitError >= 0) {
            limit = splitError;
            pieces = split(begin, limit, &splitError);
        }
        if (splitError < 0 && !pieces.isEmpty()) {
            const auto [start, end] = pieces.first();
            if (start > begin)
                return {start - 1, start};
            if (end < limit && text.at(end) == ';')
                return {end, end + 1};
        }
        if (begin + window >= text.size())
            return {text.size(), text.size()};
    }
}

// psql reads a backslash at the start of a line, outside any statement's
// tokens, as a meta-command (\connect, \restrict) that runs to the line's end.
bool SqlScript::isMetaCommandAt(qsizetype position) const
{
    if (text.at(position) != '\\')
        return false;
    for (qsizetype i = position - 1; i >= 0 && text.at(i) != '\n'; --i) {
        if (text.at(i) != ' ' && text.at(i) != '\t')
            return false;
    }
    return true;
}

qsizetype SqlScript::endOfLine(qsizetype position) const
{
    const qsizetype newline = text.indexOf('\n', position);
    return newline < 0 ? text.size() : newline + 1;
}

// The rows start on the line after the statement and end with a line that
// holds only \. (or with the script).
qsizetype SqlScript::endOfCopyData(qsizetype statementEnd) const
{
    for (qsizetype line = endOfLine(statementEnd); line < text.size();) {
        const qsizetype next = endOfLine(line);
        QByteArrayView row = QByteArrayView(text).sliced(line, next - line);
        while (row.endsWith('\n') || row.endsWith('\r'))
            row.chop(1);
        if (row == QByteArrayView("\\."))
            return next;
        line = next;
    }
    return text.size();
}

qsizetype SqlScript::byteOffset(qsizetype begin, qsizetype end, int characterPosition) const
{
    qsizetype at = begin;
    for (int character = 1; character < characterPosition && at < end; ++character)
        at += sequenceLength(text.at(at));
    return std::min(at, end);
}

void SqlScript::reject(qsizetype begin, qsizetype end, const QString& reason)
{
    const qsizetype first = firstWordAt(begin, end);
    advanceLineCountTo(first);
    Rejection rejection;
    rejection.line = linesCounted;
    rejection.column = 1;
    for (qsizetype at = lineStart; at < first; at += sequenceLength(text.at(at)))
        ++rejection.column;
    rejection.start = firstWords(text.mid(first, std::min(end - first, bytesShown)));
    rejection.reason = reason;
    m_rejections.append(rejection);
}

// Past blanks and comments, so that a rejection names the statement's own line.
qsizetype SqlScript::firstWordAt(qsizetype begin, qsizetype end) const
{
    const QByteArrayView region = QByteArrayView(text).first(end);
    qsizetype at = begin;
    while (at < end) {
        if (QByteArrayView(" \t\r\n\f\v").contains(region.at(at))) {
            ++at;
        } else if (region.sliced(at).startsWith("--")) {
            at = std::min(end, endOfLine(at));
        } else if (region.sliced(at).startsWith("/*")) {
            const qsizetype close = region.indexOf("*/", at + 2);
            at = close < 0 ? end : close + 2;
        } else {
            break;
        }
    }
    return std::min(at, end);
}

// Rejections come in the script's order, so lines are counted once.
void SqlScript::advanceLineCountTo(qsizetype position)
{
    for (; countedUpTo < position; ++countedUpTo) {
        if (text.at(countedUpTo) == '\n') {
            ++linesCounted;
            lineStart = countedUpTo + 1;
        }
    }
}
