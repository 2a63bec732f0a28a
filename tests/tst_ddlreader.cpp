#include "support/diagramcheck.h"

#include "import/ddlreader.h"
#include "import/diagrambuilder.h"
#include "import/schema.h"
#include "scene/diagramscene.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTest>

namespace {

// A table as "schema.name(column type!, ...) pk(...) unique(...) fk name(...)->schema.table(...)",
// where ! marks a column declared not null.
QString describe(const Schema::Table& table)
{
    QStringList columns;
    for (const Schema::Column& column : table.columns)
        columns.append(column.name + QLatin1Char(' ') + column.type + (column.notNull ? QStringLiteral("!") : QString()));
    QString text = QStringLiteral("%1.%2(%3)").arg(table.schema, table.name, columns.join(QStringLiteral(", ")));
    if (!table.primaryKey.isEmpty())
        text += QStringLiteral(" pk(%1)").arg(table.primaryKey.join(QLatin1Char(',')));
    for (const QStringList& key : table.uniqueKeys)
        text += QStringLiteral(" unique(%1)").arg(key.join(QLatin1Char(',')));
    for (const Schema::ForeignKey& key : table.foreignKeys)
        text += QStringLiteral(" fk %1(%2)->%3.%4(%5)")
                    .arg(key.name, key.columns.join(QLatin1Char(',')), key.referencedSchema, key.referencedTable,
                         key.referencedColumns.join(QLatin1Char(',')));
    return text;
}

QStringList describe(const Schema& schema)
{
    QStringList tables;
    for (const Schema::Table& table : schema.tables())
        tables.append(describe(table));
    return tables;
}

QStringList describe(const QList<SqlScript::Rejection>& rejections)
{
    QStringList lines;
    for (const SqlScript::Rejection& rejection : rejections)
        lines.append(QStringLiteral("%1:%2 %3").arg(rejection.line).arg(rejection.column).arg(rejection.start));
    return lines;
}

} // namespace

class TestDdlReader : public QObject
{
    Q_OBJECT

private slots:
    void readsTheTablesOfAScript_data();
    void readsTheTablesOfAScript();
    void replaysFuzzInputs_data();
    void replaysFuzzInputs();
};

void TestDdlReader::readsTheTablesOfAScript_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QStringList>("tables");
    QTest::addColumn<QStringList>("rejections");

    QTest::newRow("column and table constraints")
        << QByteArray("CREATE TABLE a (id int PRIMARY KEY, code varchar(3) NOT NULL UNIQUE);\n"
                      "CREATE TABLE b (x int, y int, a_id int CONSTRAINT b_a REFERENCES a, "
                      "UNIQUE (x, y), CONSTRAINT b_self FOREIGN KEY (x) REFERENCES b (y), PRIMARY KEY (x));")
        << QStringList{"public.a(id integer, code character varying(3)!) pk(id) unique(code)",
                       "public.b(x integer, y integer, a_id integer) pk(x) unique(x,y) fk b_a(a_id)->public.a() "
                       "fk b_self(x)->public.b(y)"}
        << QStringList{};
    QTest::newRow("keys added as pg_dump writes them")
        << QByteArray("CREATE TABLE s.a (id integer NOT NULL);\nCREATE TABLE s.b (a_id integer);\n"
                      "ALTER TABLE ONLY s.a\n    ADD CONSTRAINT a_pkey PRIMARY KEY (id);\n"
                      "ALTER TABLE ONLY s.b\n    ADD CONSTRAINT b_fk FOREIGN KEY (a_id) REFERENCES s.a(id);\n"
                      "ALTER TABLE s.b ADD COLUMN note text NOT NULL, ALTER COLUMN a_id SET NOT NULL;\n"
                      "CREATE UNIQUE INDEX b_note ON s.b (note);\nCREATE UNIQUE INDEX b_lower ON s.b (lower(note));\n"
                      "CREATE UNIQUE INDEX b_part ON s.b (a_id) WHERE note <> '';")
        << QStringList{"s.a(id integer!) pk(id)", "s.b(a_id integer!, note text!) unique(note) fk b_fk(a_id)->s.a(id)"}
        << QStringList{};
    QTest::newRow("types as the server names them")
        << QByteArray("CREATE TABLE t (a int8, b timestamptz, c timestamp(3) with time zone, d numeric(10,2)[], "
                      "e double precision, f bool, g char(2), h bit varying(8), i time(2), j interval day to second, "
                      "k serial, l public.mood, m \"Mixed\", n float);")
        << QStringList{"public.t(a bigint, b timestamp with time zone, c timestamp(3) with time zone, d numeric(10,2)[], "
                       "e double precision, f boolean, g character(2), h bit varying(8), i time(2) without time zone, "
                       "j interval, k integer!, l public.mood, m Mixed, n double precision)"}
        << QStringList{};
    QTest::newRow("partitions fold into their parent")
        << QByteArray("CREATE TABLE p (id int, d date, PRIMARY KEY (id, d)) PARTITION BY RANGE (d);\n"
                      "CREATE TABLE p1 PARTITION OF p FOR VALUES FROM ('2024-01-01') TO ('2025-01-01');\n"
                      "CREATE TABLE p2 (id int NOT NULL, d date NOT NULL);\n"
                      "ALTER TABLE ONLY p ATTACH PARTITION p2 FOR VALUES FROM ('2025-01-01') TO ('2026-01-01');\n"
                      "ALTER TABLE ONLY p2 ADD CONSTRAINT p2_pkey PRIMARY KEY (id, d);\n"
                      "CREATE TABLE q (p_id int, p_d date, other int);\n"
                      "ALTER TABLE p1 ADD CONSTRAINT p1_q FOREIGN KEY (id) REFERENCES q (other);\n"
                      "ALTER TABLE p2 ADD CONSTRAINT p2_q FOREIGN KEY (id) REFERENCES q (other);\n"
                      "ALTER TABLE q ADD CONSTRAINT q_p FOREIGN KEY (p_id, p_d) REFERENCES p2 (id, d);")
        << QStringList{"public.p(id integer, d date) pk(id,d) fk p1_q(id)->public.q(other)",
                       "public.q(p_id integer, p_d date, other integer) fk q_p(p_id,p_d)->public.p(id,d)"}
        << QStringList{};
    QTest::newRow("meta-commands, COPY data and other statements are passed over")
        << QByteArray("\\restrict abc\nSET search_path = app, public;\nCREATE TABLE a (id int);\n"
                      "COPY a (id) FROM stdin;\n1\n\\N\nit's; CREATE TABLE no (x int);\n\\.\n"
                      "CREATE FUNCTION f() RETURNS int LANGUAGE sql BEGIN ATOMIC SELECT 1; SELECT 2; END;\n"
                      "CREATE VIEW v AS SELECT 1;\nCREATE TYPE mood AS ENUM ('a');\nCREATE SEQUENCE s;\n"
                      "  \\connect other\nCREATE TEMP TABLE scratch (x int);\nCREATE TABLE public.b (id int);\n"
                      "\\unrestrict abc\n")
        << QStringList{"app.a(id integer)", "public.b(id integer)"}
        << QStringList{};
    QTest::newRow("rejected statements are kept with where they start")
        << QByteArray("CREATE TABLE a (id int);\n-- the film table\nCREATE TABLE film (id int,\n  len int "
                      "GENERATED ALWAYS AS (1) VIRTUAL);\nCREATE TABLE b (id int);\n  /* é */ SELEC 1;\n"
                      "CREATE TABLE c (id int);\nCREATE TABLE d (name text DEFAULT 'unterminated);\n"
                      "CREATE TABLE e (id int);\n")
        << QStringList{"public.a(id integer)", "public.b(id integer)", "public.c(id integer)"}
        << QStringList{"3:1 CREATE TABLE film (id int, len ...", "6:11 SELEC 1", "8:1 CREATE TABLE d (name text DEFAULT ..."};
    QTest::newRow("a statement without its semicolon swallows the next, as for psql")
        << QByteArray("CREATE TABLE a (id int)\nCREATE TABLE b (id int);\nCREATE TABLE c (id int);")
        << QStringList{"public.c(id integer)"} << QStringList{"1:1 CREATE TABLE a (id int) CREATE ..."};
    QTest::newRow("statements without a keyword")
        << QByteArray("CREATE TABLE a (id int);\nfoo bar;\n'x;y';\nCREATE TABLE b (id int);")
        << QStringList{"public.a(id integer)", "public.b(id integer)"} << QStringList{"2:1 foo bar; 'x;y'"};
    QTest::newRow("nothing but garbage") << QByteArray("\xff\xfe garbage ( ; ' \\") << QStringList{}
                                         << QStringList{"1:1 \xef\xbf\xbd\xef\xbf\xbd garbage ( ; ' \\"};
}

// Each statement is read by PostgreSQL's own grammar, and only the tables,
// columns and keys it declares make the schema.
void TestDdlReader::readsTheTablesOfAScript()
{
    QFETCH(QByteArray, script);
    QFETCH(QStringList, tables);
    QFETCH(QStringList, rejections);
    DdlReader reader(script);
    QCOMPARE(describe(reader.read()), tables);
    QCOMPARE(describe(reader.rejections()), rejections);
}

void TestDdlReader::replaysFuzzInputs_data()
{
    QTest::addColumn<QString>("path");
    for (const char* folder : {DIAGRAM_DDL_CORPUS, DIAGRAM_DDL_FAILURES}) {
        for (const QFileInfo& file : QDir(QString::fromLatin1(folder)).entryInfoList(QDir::Files, QDir::Name))
            QTest::newRow(qPrintable(file.fileName())) << file.filePath();
    }
}

// The fuzz target's seeds and every input it ever failed on go the whole way
// again: read, laid out into a scene that holds every invariant.
void TestDdlReader::replaysFuzzInputs()
{
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray script = file.readAll();
    if (script.contains('\0'))
        return;
    const Schema schema = DdlReader(script).read();
    DiagramScene scene(nullptr, nullptr);
    DiagramBuilder builder(&scene);
    if (!schema.tables().isEmpty() && builder.build(schema)) {
        QVERIFY2(diagramFault(&scene).isEmpty(), qPrintable(diagramFault(&scene)));
        QVERIFY2(roundTripFault(&scene).isEmpty(), qPrintable(roundTripFault(&scene)));
    }
}

QTEST_MAIN(TestDdlReader)
#include "tst_ddlreader.moc"
