// Measures diagram-import's work at the scale of large schemas, headless,
// through the program's own code: a schema of N tables and 1.5 N foreign keys
// read from a PostgreSQL script or a SQLite file, laid out and written.
// Run by `make bench`:
//   bench-import [benchmark options]
#include "app/diagramwriter.h"
#include "import/diagrambuilder.h"
#include "import/schema.h"
#include "import/schemasource.h"
#include "scene/diagramscene.h"

#include <QApplication>
#include <QFile>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <random>

namespace {

int argumentCount = 1;
char programName[] = "bench-import";
char* arguments[] = {programName, nullptr};

QTemporaryDir& folder()
{
    static QTemporaryDir instance;
    return instance;
}

// Each table references earlier ones, the first tables most, as a schema's
// central tables (customer, product) are: a tree through all the tables and
// further keys up to 1.5 per table, never two between the same tables.
QStringList schemaStatements(int tables)
{
    std::mt19937 random(1);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    QList<QList<int>> references(tables);
    QSet<QPair<int, int>> joined;
    const auto earlierThan = [&](int table) { return int(table * unit(random) * unit(random)); };
    const auto join = [&](int from, int to) {
        if (joined.contains({from, to}))
            return false;
        joined.insert({from, to});
        references[from].append(to);
        return true;
    };
    int keys = 0;
    for (int table = 1; table < tables; ++table)
        keys += join(table, earlierThan(table));
    while (keys < tables * 3 / 2) {
        const int from = 1 + int(random() % unsigned(tables - 1));
        keys += join(from, earlierThan(from));
    }
    QStringList statements;
    for (int table = 0; table < tables; ++table) {
        QStringList columns{QStringLiteral("id integer PRIMARY KEY"), QStringLiteral("name varchar(80) NOT NULL"),
                            QStringLiteral("created timestamp")};
        for (int referenced : references.at(table))
            columns.append(QStringLiteral("table_%1_id integer REFERENCES table_%1 (id)").arg(referenced, 4, 10, QLatin1Char('0')));
        statements.append(QStringLiteral("CREATE TABLE table_%1 (%2)")
                              .arg(table, 4, 10, QLatin1Char('0'))
                              .arg(columns.join(QStringLiteral(", "))));
    }
    return statements;
}

QString scriptFile(int tables)
{
    const QString path = folder().filePath(QStringLiteral("schema%1.sql").arg(tables));
    QFile file(path);
    if (!QFile::exists(path) && file.open(QIODevice::WriteOnly))
        file.write(schemaStatements(tables).join(QStringLiteral(";\n")).toUtf8() + ";\n");
    return path;
}

QString sqliteFile(int tables)
{
    const QString path = folder().filePath(QStringLiteral("schema%1.db").arg(tables));
    if (QFile::exists(path))
        return path;
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), path);
        database.setDatabaseName(path);
        database.open();
        QSqlQuery query(database);
        for (const QString& statement : schemaStatements(tables))
            query.exec(statement);
    }
    QSqlDatabase::removeDatabase(path);
    return path;
}

// What diagram-import does once it has its arguments.
void import(benchmark::State& state, const QString& source)
{
    const QString output = folder().filePath(QStringLiteral("out.diagram"));
    for (auto _ : state) {
        SchemaSource reader(source);
        const std::optional<Schema> schema = reader.read();
        DiagramScene scene(nullptr, nullptr);
        DiagramBuilder builder(&scene);
        if (!schema || !builder.build(*schema) || !DiagramWriter(&scene).write(output)) {
            state.SkipWithError(qPrintable(schema ? builder.errorString() : reader.errorString()));
            return;
        }
        state.counters["keys drawn"] = double(builder.relations().relations().size());
    }
}

void BM_ImportScript(benchmark::State& state)
{
    import(state, scriptFile(int(state.range(0))));
}

void BM_ImportSqlite(benchmark::State& state)
{
    import(state, sqliteFile(int(state.range(0))));
}

} // namespace

BENCHMARK(BM_ImportScript)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ImportSqlite)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argumentCount, arguments);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
