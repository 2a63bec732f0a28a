// diagram-import SOURCE OUT.diagram [--schema NAME] [--strict]: turns the
// tables of a database, or of a PostgreSQL script, into a diagram file that
// the editor opens, laid out by Graphviz. Needs no display.
#include "app/diagramwriter.h"
#include "import/diagrambuilder.h"
#include "import/schemasource.h"
#include "scene/diagramscene.h"

#include <QApplication>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <optional>

namespace {

enum ExitCode { Imported = 0, Failed = 1, BadArguments = 2 };

const char usageText[]
    = "usage: diagram-import SOURCE OUT.diagram [--schema NAME] [--strict]\n"
      "SOURCE is one of\n"
      "  a SQLite database file (opened read-only)\n"
      "  a PostgreSQL database, as a libpq URI: postgresql://user@host:port/dbname\n"
      "  a PostgreSQL script: a pg_dump --schema-only file, a migration\n"
      "--schema NAME  only the tables of this schema (SQLite's is main)\n"
      "--strict       fail on any statement of a script that the parser does not understand\n"
      "Exit status: 0 imported, 1 failed (nothing written), 2 bad arguments.\n";

struct Options {
    QString source;
    QString output;
    QString schema;
    bool strict = false;
    bool help = false;
};

std::optional<Options> parseArguments(const QStringList& arguments)
{
    Options options;
    QStringList positional;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
            options.help = true;
        else if (argument == QLatin1String("--strict"))
            options.strict = true;
        else if (argument == QLatin1String("--schema") && i + 1 < arguments.size() && !arguments.at(i + 1).isEmpty())
            options.schema = arguments.at(++i);
        else if (argument.startsWith(QLatin1String("--")) || argument.isEmpty())
            return std::nullopt;
        else
            positional.append(argument);
    }
    if (options.help)
        return options;
    if (positional.size() != 2)
        return std::nullopt;
    options.source = positional.at(0);
    options.output = positional.at(1);
    return options;
}

// Only failures reach standard error; the platform's and the drivers'
// chatter does not.
void reportFailuresOnly(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        fprintf(stderr, "%s\n", qPrintable(message));
}

void printLine(FILE* stream, const QString& line)
{
    fprintf(stream, "%s\n", line.toLocal8Bit().constData());
}

int fail(const QString& reason)
{
    printLine(stderr, QStringLiteral("diagram-import: ") + reason);
    return Failed;
}

void reportRejections(const QList<SqlScript::Rejection>& rejections)
{
    for (const SqlScript::Rejection& rejection : rejections)
        printLine(stderr, QStringLiteral("line %1, column %2: not understood: %3 (%4)")
                              .arg(rejection.line)
                              .arg(rejection.column)
                              .arg(rejection.start, rejection.reason));
}

void printSummary(const Schema& schema, const SchemaRelations& relations, int rejected)
{
    const int alreadyJoined = relations.notDrawnCount(SchemaRelations::AlreadyJoined);
    const int joinsItself = relations.notDrawnCount(SchemaRelations::JoinsItself);
    const int notImported = relations.notDrawnCount(SchemaRelations::NotImported);
    printLine(stdout, QStringLiteral("tables: %1").arg(schema.tables().size()));
    printLine(stdout, QStringLiteral("columns: %1").arg(schema.columnCount()));
    printLine(stdout, QStringLiteral("keys drawn: %1").arg(relations.relations().size()));
    printLine(stdout, QStringLiteral("keys not drawn: %1 (%2 between tables already joined, %3 from a table to itself, "
                                     "%4 to a table not imported)")
                          .arg(alreadyJoined + joinsItself + notImported)
                          .arg(alreadyJoined)
                          .arg(joinsItself)
                          .arg(notImported));
    printLine(stdout, QStringLiteral("statements not understood: %1").arg(rejected));
}

int importSchema(const Options& options)
{
    SchemaSource source(options.source);
    std::optional<Schema> schema = source.read();
    reportRejections(source.rejections());
    if (!schema)
        return fail(source.errorString());
    const int rejected = int(source.rejections().size());
    if (options.strict && rejected > 0)
        return fail(QStringLiteral("%1 statements not understood, and --strict was given").arg(rejected));
    if (!options.schema.isEmpty())
        schema->keepOnlySchema(options.schema);
    if (schema->tables().isEmpty() && options.schema.isEmpty())
        return fail(QStringLiteral("no table in %1").arg(options.source));
    if (schema->tables().isEmpty())
        return fail(QStringLiteral("no table in schema %1 of %2").arg(options.schema, options.source));
    DiagramScene scene(nullptr, nullptr);
    DiagramBuilder builder(&scene);
    if (!builder.build(*schema))
        return fail(builder.errorString());
    for (const QString& note : builder.relations().notDrawn())
        printLine(stderr, note);
    if (!DiagramWriter(&scene).write(options.output))
        return fail(QStringLiteral("cannot write %1").arg(options.output));
    printSummary(*schema, builder.relations(), rejected);
    return Imported;
}

} // namespace

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const std::optional<Options> options = parseArguments(arguments);
    if (!options || options->help) {
        fputs(usageText, options ? stdout : stderr);
        return options ? Imported : BadArguments;
    }
    qInstallMessageHandler(reportFailuresOnly);
    // The entities measure their texts, which needs fonts but no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int applicationArgc = 1;
    QApplication application(applicationArgc, argv);
    return importSchema(*options);
}
