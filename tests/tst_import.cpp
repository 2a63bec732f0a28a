#include "support/postgresserver.h"
#include "support/testsupport.h"

#include "app/diagramreader.h"
#include "items/connector.h"
#include "items/entity.h"
#include "items/line.h"
#include "scene/diagramscene.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

constexpr int importTimeout = 120000;
// The scenes that read the diagrams back need fonts, so an application.
int argumentCount = 1;
char programName[] = "tst_import";
char* arguments[] = {programName, nullptr};
constexpr int canvasMargin = 40;

// One schema, written so that SQLite and PostgreSQL both take it as it is.
const QStringList shopStatements{
    QStringLiteral("CREATE TABLE customer (id integer PRIMARY KEY, name text NOT NULL, email text UNIQUE)"),
    QStringLiteral("CREATE TABLE coupon (code text PRIMARY KEY, percent integer)"),
    QStringLiteral("CREATE TABLE orders (id integer PRIMARY KEY, customer_id integer NOT NULL, coupon_code text, "
                   "CONSTRAINT orders_customer FOREIGN KEY (customer_id) REFERENCES customer (id), "
                   "CONSTRAINT orders_coupon FOREIGN KEY (coupon_code) REFERENCES coupon (code))"),
    QStringLiteral("CREATE TABLE product (id integer PRIMARY KEY, title text)"),
    QStringLiteral("CREATE TABLE order_line (order_id integer CONSTRAINT line_order REFERENCES orders (id), "
                   "product_id integer CONSTRAINT line_product REFERENCES product (id), quantity integer, "
                   "PRIMARY KEY (order_id, product_id))"),
    QStringLiteral("CREATE TABLE invoice (order_id integer PRIMARY KEY CONSTRAINT invoice_order REFERENCES orders (id), "
                   "total numeric)"),
    QStringLiteral("CREATE VIEW big_orders AS SELECT * FROM orders"),
};

const QStringList shopEntities{
    QStringLiteral("coupon: code : text PK | percent : integer"),
    QStringLiteral("customer: id : integer PK | name : text | email : text"),
    QStringLiteral("invoice: order_id : integer PK FK | total : numeric"),
    QStringLiteral("order_line: order_id : integer PK FK | product_id : integer PK FK | quantity : integer"),
    QStringLiteral("orders: id : integer PK | customer_id : integer FK | coupon_code : text FK"),
    QStringLiteral("product: id : integer PK | title : text"),
};

// SQLite reports its own type names (not numeric) in capitals.
QStringList inSqliteSpelling(QStringList entities)
{
    for (QString& entity : entities) {
        for (const char* type : {"integer", "text"})
            entity.replace(QStringLiteral(": ") + QLatin1String(type), QStringLiteral(": ") + QString::fromLatin1(type).toUpper());
    }
    return entities;
}

// SQLite keeps no names for keys: its lines are named by their columns.
QStringList shopLines(bool namedKeys)
{
    const auto name = [&](const char* key, const char* columns) {
        return QString::fromLatin1(namedKeys ? key : columns);
    };
    QStringList lines{
        QStringLiteral("invoice -> orders '%1' 0..1 1").arg(name("invoice_order", "order_id")),
        QStringLiteral("order_line -> orders '%1' * 1").arg(name("line_order", "order_id")),
        QStringLiteral("order_line -> product '%1' * 1").arg(name("line_product", "product_id")),
        QStringLiteral("orders -> coupon '%1' * 0..1").arg(name("orders_coupon", "coupon_code")),
        QStringLiteral("orders -> customer '%1' * 1").arg(name("orders_customer", "customer_id")),
    };
    lines.sort();
    return lines;
}

// Partitions, several schemas, a table name that two schemas share,
// composite keys, a key from a table to itself, two keys between the same
// two tables and a key declared on a partition only.
const QStringList warehouseStatements{
    QStringLiteral("CREATE SCHEMA sales"),
    QStringLiteral("CREATE SCHEMA stock"),
    QStringLiteral("CREATE TABLE public.item (id integer PRIMARY KEY, name character varying(40) NOT NULL)"),
    QStringLiteral("CREATE TABLE stock.warehouse (id integer PRIMARY KEY, opened timestamp(3) with time zone)"),
    QStringLiteral("CREATE TABLE stock.item (sku text, warehouse integer REFERENCES stock.warehouse, parent_sku text, "
                   "parent_warehouse integer, PRIMARY KEY (sku, warehouse), CONSTRAINT item_parent FOREIGN KEY "
                   "(parent_sku, parent_warehouse) REFERENCES stock.item (sku, warehouse))"),
    QStringLiteral("CREATE TABLE sales.sale (id bigint, sold date, item_id integer REFERENCES public.item, sku text, "
                   "warehouse integer, from_warehouse integer NOT NULL, to_warehouse integer, tags text[], "
                   "PRIMARY KEY (id, sold), CONSTRAINT sale_stock FOREIGN KEY (sku, warehouse) REFERENCES "
                   "stock.item (sku, warehouse), CONSTRAINT sale_from FOREIGN KEY (from_warehouse) REFERENCES "
                   "stock.warehouse (id), CONSTRAINT sale_to FOREIGN KEY (to_warehouse) REFERENCES stock.warehouse (id)) "
                   "PARTITION BY RANGE (sold)"),
    QStringLiteral("CREATE TABLE sales.sale_2024 PARTITION OF sales.sale FOR VALUES FROM ('2024-01-01') TO ('2025-01-01')"),
    QStringLiteral("CREATE TABLE sales.sale_2025 PARTITION OF sales.sale FOR VALUES FROM ('2025-01-01') TO ('2026-01-01')"),
    QStringLiteral("ALTER TABLE sales.sale_2024 ADD CONSTRAINT sale_2024_to FOREIGN KEY (to_warehouse) REFERENCES "
                   "stock.warehouse (id)"),
    QStringLiteral("CREATE TABLE sales.refund (sale_id bigint, sale_sold date, amount numeric(10,2), CONSTRAINT "
                   "refund_sale FOREIGN KEY (sale_id, sale_sold) REFERENCES sales.sale (id, sold))"),
    QStringLiteral("CREATE FUNCTION sales.total(a numeric) RETURNS numeric LANGUAGE sql BEGIN ATOMIC SELECT a * 2; END"),
};

const QStringList warehouseEntities{
    QStringLiteral("public.item: id : integer PK | name : character varying(40)"),
    QStringLiteral("refund: sale_id : bigint FK | sale_sold : date FK | amount : numeric(10,2)"),
    QStringLiteral("sale: id : bigint PK | sold : date PK | item_id : integer FK | sku : text FK | warehouse : integer FK "
                   "| from_warehouse : integer FK | to_warehouse : integer FK | tags : text[]"),
    QStringLiteral("stock.item: sku : text PK | warehouse : integer PK FK | parent_sku : text FK "
                   "| parent_warehouse : integer FK"),
    QStringLiteral("warehouse: id : integer PK | opened : timestamp(3) with time zone"),
};

const QStringList warehouseLines{
    QStringLiteral("refund -> sale 'refund_sale' * 0..1"),
    QStringLiteral("sale -> public.item 'sale_item_id_fkey' * 0..1"),
    QStringLiteral("sale -> stock.item 'sale_stock' * 0..1"),
    QStringLiteral("sale -> warehouse 'sale_from, sale_to' * 1"),
    QStringLiteral("stock.item -> warehouse 'item_warehouse_fkey' * 1"),
};

struct Run {
    int exitCode = -1;
    QByteArray output;
    QByteArray errors;
};

struct Diagram {
    QStringList entities;
    QStringList lines;
    QString layoutFault;
};

QString entityText(const Entity* entity)
{
    QStringList attributes;
    for (int i = 0; i < entity->attributeCount(); ++i)
        attributes.append(entity->attributeName(i));
    return entity->name() + QStringLiteral(": ") + attributes.join(QStringLiteral(" | "));
}

QString lineText(const Line* line)
{
    return QStringLiteral("%1 -> %2 '%3' %4 %5")
        .arg(line->startConnector()->entity()->name(), line->endConnector()->entity()->name(), line->name(),
             line->multiplicityA(), line->multiplicityB());
}

QRectF boxOf(const Entity* entity)
{
    return entity->mapRectToScene(entity->rect());
}

// Whether the far entity lies wholly beyond the side of the near one.
bool faces(const Entity* near, int side, const Entity* far)
{
    const QRectF a = boxOf(near);
    const QRectF b = boxOf(far);
    switch (side) {
    case Entity::TopSide:
        return b.bottom() < a.top();
    case Entity::RightSide:
        return b.left() > a.right();
    case Entity::BottomSide:
        return b.top() > a.bottom();
    default:
        return b.right() < a.left();
    }
}

QString sideFault(const Line* line)
{
    const Connector* start = line->startConnector();
    const Connector* end = line->endConnector();
    if (end->side() != (start->side() + 2) % Entity::sideCount || !faces(start->entity(), start->side(), end->entity())
        || !faces(end->entity(), end->side(), start->entity()))
        return QStringLiteral("line '%1' leaves or enters on a side that does not face the other entity").arg(line->name());
    return QString();
}

// Along a side, in the connectors' clockwise order, the far ends must come in
// the same order, or two lines leaving that side cross.
QString orderFault(const Entity* entity)
{
    for (int side = 0; side < Entity::sideCount; ++side) {
        QList<qreal> along;
        for (int index = 0; index < entity->connectorCount(side); ++index) {
            const Connector* connector = entity->connectorAt(side, index);
            if (connector->isFree())
                continue;
            const QPointF far = boxOf(connector->line()->otherConnector(connector)->entity()).center();
            const qreal position = side == Entity::TopSide || side == Entity::BottomSide ? far.x() : far.y();
            along.append(side == Entity::TopSide || side == Entity::RightSide ? position : -position);
        }
        if (!std::is_sorted(along.begin(), along.end()))
            return QStringLiteral("lines cross as they leave side %1 of '%2'").arg(side).arg(entity->name());
    }
    return QString();
}

QString layoutFault(const DiagramScene& scene)
{
    const QList<Entity*> entities = itemsOfType<Entity>(&scene);
    const QRectF room = scene.sceneRect().adjusted(canvasMargin, canvasMargin, -canvasMargin, -canvasMargin);
    for (int i = 0; i < entities.size(); ++i) {
        if (!room.contains(boxOf(entities.at(i))))
            return QStringLiteral("'%1' lies outside the canvas or its margin").arg(entities.at(i)->name());
        for (int j = i + 1; j < entities.size(); ++j) {
            if (boxOf(entities.at(i)).intersects(boxOf(entities.at(j))))
                return QStringLiteral("'%1' overlaps '%2'").arg(entities.at(i)->name(), entities.at(j)->name());
        }
        if (const QString fault = orderFault(entities.at(i)); !fault.isEmpty())
            return fault;
    }
    for (const Line* line : itemsOfType<Line>(&scene)) {
        if (const QString fault = sideFault(line); !fault.isEmpty())
            return fault;
    }
    return QString();
}

// A line per table row of the summary, by its label.
QString summaryValue(const QByteArray& output, const QString& label)
{
    for (const QString& line : QString::fromUtf8(output).split(QLatin1Char('\n'))) {
        if (line.startsWith(label + QStringLiteral(": ")))
            return line.mid(label.size() + 2);
    }
    return QString();
}

QString scriptOf(const QStringList& statements)
{
    return statements.join(QStringLiteral(";\n")) + QStringLiteral(";\n");
}

// Tables t0 .. tN-1, each referencing the tables that `references` names.
QString generatedScript(int tables, const std::function<QList<int>(int)>& references)
{
    QStringList statements;
    for (int table = 0; table < tables; ++table) {
        QStringList columns{QStringLiteral("id integer PRIMARY KEY"), QStringLiteral("label text NOT NULL")};
        for (int referenced : references(table))
            columns.append(QStringLiteral("t%1_id integer REFERENCES t%1 (id)").arg(referenced));
        statements.append(QStringLiteral("CREATE TABLE t%1 (%2)").arg(table).arg(columns.join(QStringLiteral(", "))));
    }
    return scriptOf(statements);
}

} // namespace

class TestImport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void readsEachKindOfSource_data();
    void readsEachKindOfSource();
    void dumpAndLiveDatabaseGiveTheSameDiagram();
    void connectsAsLibpqDoes_data();
    void connectsAsLibpqDoes();
    void laysOutSoThatAPersonCanRead_data();
    void laysOutSoThatAPersonCanRead();
    void refusesWhatItCannotImport_data();
    void refusesWhatItCannotImport();

private:
    QString write(const QString& name, const QByteArray& bytes);
    QString sqliteDatabase(const QString& name, const QStringList& statements);
    Run run(const QStringList& arguments, const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());
    Diagram read(const QString& path);

    std::unique_ptr<QApplication> application;
    QTemporaryDir folder;
    PostgresServer server;
};

void TestImport::initTestCase()
{
    application = std::make_unique<QApplication>(argumentCount, arguments);
    QVERIFY(folder.isValid());
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    QVERIFY2(server.execute(QStringLiteral("postgres"),
                            {QStringLiteral("CREATE DATABASE shop"), QStringLiteral("CREATE DATABASE warehouse"),
                             QStringLiteral("CREATE DATABASE empty"),
                             QStringLiteral("CREATE ROLE modeller LOGIN PASSWORD 'p@ss w/rd'")}),
             qPrintable(server.errorString()));
    QVERIFY2(server.execute(QStringLiteral("shop"), shopStatements), qPrintable(server.errorString()));
    QVERIFY2(server.execute(QStringLiteral("warehouse"), warehouseStatements), qPrintable(server.errorString()));
}

void TestImport::cleanupTestCase()
{
    server.stop();
    application.reset();
}

QString TestImport::write(const QString& name, const QByteArray& bytes)
{
    const QString path = folder.filePath(name);
    writeFileBytes(path, bytes);
    return path;
}

QString TestImport::sqliteDatabase(const QString& name, const QStringList& statements)
{
    const QString path = folder.filePath(name);
    QFile::remove(path);
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        database.setDatabaseName(path);
        if (database.open()) {
            QSqlQuery query(database);
            for (const QString& statement : statements)
                query.exec(statement);
        }
    }
    QSqlDatabase::removeDatabase(name);
    return path;
}

Run TestImport::run(const QStringList& arguments, const QProcessEnvironment& environment)
{
    QProcess importer;
    importer.setProcessEnvironment(environment);
    importer.start(QStringLiteral(DIAGRAM_IMPORT), arguments);
    Run result;
    if (!importer.waitForFinished(importTimeout)) {
        importer.kill();
        importer.waitForFinished();
        return result;
    }
    result.output = importer.readAllStandardOutput();
    result.errors = importer.readAllStandardError();
    result.exitCode = importer.exitStatus() == QProcess::NormalExit ? importer.exitCode() : -1;
    return result;
}

// Read back as the editor would, into a scene of its own.
Diagram TestImport::read(const QString& path)
{
    DiagramScene scene(nullptr, nullptr);
    Diagram diagram;
    if (DiagramReader(&scene).read(path) != DiagramReader::Read)
        return diagram;
    for (const Entity* entity : itemsOfType<Entity>(&scene))
        diagram.entities.append(entityText(entity));
    for (const Line* line : itemsOfType<Line>(&scene))
        diagram.lines.append(lineText(line));
    diagram.entities.sort();
    diagram.lines.sort();
    diagram.layoutFault = layoutFault(scene);
    return diagram;
}

void TestImport::readsEachKindOfSource_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("SQLite file") << "sqlite";
    QTest::newRow("live PostgreSQL") << "postgresql";
    QTest::newRow("PostgreSQL script") << "script";
}

// The same schema from each kind of source gives the same diagram, the view
// left out, and a SQLite file is not touched.
void TestImport::readsEachKindOfSource()
{
    QFETCH(QString, kind);
    QString source = server.socketUri(QStringLiteral("shop"));
    if (kind == QLatin1String("sqlite"))
        source = sqliteDatabase(QStringLiteral("shop.db"), shopStatements);
    else if (kind == QLatin1String("script"))
        source = write(QStringLiteral("shop.sql"), scriptOf(shopStatements).toUtf8());
    const QString output = folder.filePath(QStringLiteral("shop.diagram"));
    QFile::remove(output);
    const QByteArray before = fileBytes(source);
    const QDateTime modified = QFileInfo(source).lastModified();
    const QStringList filesBefore = QDir(folder.path()).entryList(QDir::Files);
    const Run result = run({source, output});
    QVERIFY2(result.exitCode == 0, result.errors.constData());
    QCOMPARE(result.errors, QByteArray());
    const Diagram diagram = read(output);
    QCOMPARE(diagram.entities, kind == QLatin1String("sqlite") ? inSqliteSpelling(shopEntities) : shopEntities);
    QCOMPARE(diagram.lines, shopLines(kind != QLatin1String("sqlite")));
    QVERIFY2(diagram.layoutFault.isEmpty(), qPrintable(diagram.layoutFault));
    QCOMPARE(summaryValue(result.output, QStringLiteral("tables")), QStringLiteral("6"));
    QCOMPARE(summaryValue(result.output, QStringLiteral("columns")), QStringLiteral("15"));
    QCOMPARE(summaryValue(result.output, QStringLiteral("keys drawn")), QStringLiteral("5"));

    QCOMPARE(fileBytes(source), before);
    QCOMPARE(QFileInfo(source).lastModified(), modified);
    QStringList filesAfter = filesBefore + QStringList{QStringLiteral("shop.diagram")};
    filesAfter.sort();
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), filesAfter);
}

// pg_dump's own script of a database (with its \restrict meta-commands and
// partitions attached afterwards) and the database itself say the same.
void TestImport::dumpAndLiveDatabaseGiveTheSameDiagram()
{
    const QString dump = folder.filePath(QStringLiteral("warehouse.sql"));
    QVERIFY2(server.dumpSchema(QStringLiteral("warehouse"), dump), qPrintable(server.errorString()));
    QVERIFY(fileBytes(dump).contains("ATTACH PARTITION"));
    const QString fromDump = folder.filePath(QStringLiteral("dump.diagram"));
    const QString fromDatabase = folder.filePath(QStringLiteral("live.diagram"));
    const Run dumped = run({dump, fromDump});
    const Run live = run({server.socketUri(QStringLiteral("warehouse")), fromDatabase});
    QVERIFY2(dumped.exitCode == 0, dumped.errors.constData());
    QVERIFY2(live.exitCode == 0, live.errors.constData());

    const Diagram diagram = read(fromDump);
    QCOMPARE(diagram.entities, warehouseEntities);
    QCOMPARE(diagram.lines, warehouseLines);
    QVERIFY2(diagram.layoutFault.isEmpty(), qPrintable(diagram.layoutFault));
    QCOMPARE(fileBytes(fromDatabase), fileBytes(fromDump));
    QCOMPARE(live.output, dumped.output);
    QCOMPARE(summaryValue(dumped.output, QStringLiteral("keys not drawn")),
             QStringLiteral("2 (1 between tables already joined, 1 from a table to itself, 0 to a table not imported)"));
    QCOMPARE(summaryValue(dumped.output, QStringLiteral("statements not understood")), QStringLiteral("0"));
    const QList<QByteArray> notes = dumped.errors.trimmed().split('\n');
    QCOMPARE(notes.size(), 2);
    QVERIFY2(notes.at(0).startsWith("key sale_to (sale -> warehouse) not drawn"), notes.at(0).constData());
    QVERIFY2(notes.at(1).startsWith("key item_parent (stock.item -> stock.item) not drawn"), notes.at(1).constData());

    const QString stockOnly = folder.filePath(QStringLiteral("stock.diagram"));
    const Run stock = run({dump, stockOnly, QStringLiteral("--schema"), QStringLiteral("stock")});
    QVERIFY2(stock.exitCode == 0, stock.errors.constData());
    QCOMPARE(read(stockOnly).lines, QStringList{QStringLiteral("item -> warehouse 'item_warehouse_fkey' * 1")});
}

void TestImport::connectsAsLibpqDoes_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("environment");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("password in the URI") << "p%40ss%20w%2Frd" << "" << 0;
    QTest::newRow("PGPASSWORD") << "" << "PGPASSWORD" << 0;
    QTest::newRow("~/.pgpass") << "" << "HOME" << 0;
    QTest::newRow("wrong password") << "wrong" << "" << 1;
    QTest::newRow("no password") << "" << "" << 1;
}

// Over TCP the server asks for the role's password, which may come from the
// URI, the environment or the password file; a failed connection is one
// line that does not show the password.
void TestImport::connectsAsLibpqDoes()
{
    QFETCH(QString, password);
    QFETCH(QString, environment);
    QFETCH(int, exitCode);
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    variables.remove(QStringLiteral("PGPASSWORD"));
    QTemporaryDir home;
    variables.insert(QStringLiteral("HOME"), home.path());
    if (environment == QLatin1String("PGPASSWORD"))
        variables.insert(QStringLiteral("PGPASSWORD"), QStringLiteral("p@ss w/rd"));
    if (environment == QLatin1String("HOME")) {
        const QString passwords = home.filePath(QStringLiteral(".pgpass"));
        writeFileBytes(passwords, QStringLiteral("127.0.0.1:%1:shop:modeller:p@ss w/rd\n").arg(server.port()).toUtf8());
        QVERIFY(QFile::setPermissions(passwords, QFile::ReadOwner | QFile::WriteOwner));
    }
    const QString credentials = password.isEmpty() ? QStringLiteral("modeller") : QStringLiteral("modeller:") + password;
    const QString uri = QStringLiteral("postgresql://%1@127.0.0.1:%2/shop?connect_timeout=10")
                            .arg(credentials, QString::number(server.port()));
    const QString output = folder.filePath(QStringLiteral("tcp.diagram"));
    QFile::remove(output);
    const Run result = run({uri, output}, variables);
    QVERIFY2(result.exitCode == exitCode, result.errors.constData());
    QCOMPARE(QFile::exists(output), exitCode == 0);
    if (exitCode == 0) {
        QCOMPARE(read(output).entities, shopEntities);
        return;
    }
    QCOMPARE(result.errors.count('\n'), 1);
    QVERIFY2(result.errors.startsWith("diagram-import: cannot read the database postgresql://modeller@127.0.0.1:"),
             result.errors.constData());
    QVERIFY(!result.errors.contains("wrong"));
}

void TestImport::laysOutSoThatAPersonCanRead_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("lines");
    QTest::newRow("a table that 60 others reference")
        << generatedScript(61, [](int table) { return table == 0 ? QList<int>{} : QList<int>{0}; }) << 60;
    QTest::newRow("a chain of 120 tables")
        << generatedScript(120, [](int table) { return table == 0 ? QList<int>{} : QList<int>{table - 1}; }) << 119;
    QTest::newRow("250 tables without keys") << generatedScript(250, [](int) { return QList<int>{}; }) << 0;
    // Each table references one or two earlier ones, scattered.
    QTest::newRow("400 tables, about 600 keys") << generatedScript(400, [](int table) {
        QList<int> referenced;
        for (quint64 k = 1; k <= quint64(1 + table % 2) && table > 0; ++k) {
            const int earlier = int((quint64(table) * 2654435761u + k * 40503u) % 65521u % quint64(table));
            if (!referenced.contains(earlier))
                referenced.append(earlier);
        }
        return referenced;
    }) << -1;
    QTest::newRow("a table that 300 others reference")
        << generatedScript(301, [](int table) { return table == 0 ? QList<int>{} : QList<int>{0}; }) << 300;
}

// No entity overlaps another or leaves the canvas, each line leaves and
// enters on sides that face each other, lines leaving one side do not cross,
// and the same schema always gives the same file.
void TestImport::laysOutSoThatAPersonCanRead()
{
    QFETCH(QString, script);
    QFETCH(int, lines);
    const QString source = write(QStringLiteral("generated.sql"), script.toUtf8());
    const QString first = folder.filePath(QStringLiteral("first.diagram"));
    const QString second = folder.filePath(QStringLiteral("second.diagram"));
    const Run result = run({source, first});
    QVERIFY2(result.exitCode == 0, result.errors.constData());
    QCOMPARE(run({source, second}).exitCode, 0);
    QCOMPARE(fileBytes(second), fileBytes(first));
    const Diagram diagram = read(first);
    QCOMPARE(QString::number(diagram.entities.size()), summaryValue(result.output, QStringLiteral("tables")));
    QCOMPARE(QString::number(diagram.lines.size()), summaryValue(result.output, QStringLiteral("keys drawn")));
    if (lines >= 0)
        QCOMPARE(diagram.lines.size(), lines);
    QVERIFY2(diagram.layoutFault.isEmpty(), qPrintable(diagram.layoutFault));
}

void TestImport::refusesWhatItCannotImport_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    const QString out = QStringLiteral("$out");
    QTest::newRow("no arguments") << QStringList{} << 2 << "usage:";
    QTest::newRow("no output") << QStringList{QStringLiteral("$shop")} << 2 << "usage:";
    QTest::newRow("unknown option") << QStringList{QStringLiteral("$shop"), out, QStringLiteral("--fast")} << 2 << "usage:";
    QTest::newRow("--schema without a name") << QStringList{QStringLiteral("$shop"), out, QStringLiteral("--schema")} << 2
                                             << "usage:";
    QTest::newRow("missing file") << QStringList{QStringLiteral("$folder/missing.sql"), out} << 1 << "no such file";
    QTest::newRow("folder") << QStringList{QStringLiteral("$folder"), out} << 1 << "not a regular file";
    QTest::newRow("device") << QStringList{QStringLiteral("/dev/zero"), out} << 1 << "not a regular file";
    QTest::newRow("binary file") << QStringList{QStringLiteral("$binary"), out} << 1
                                 << "neither a SQLite database nor a SQL script";
    QTest::newRow("damaged SQLite file") << QStringList{QStringLiteral("$damaged"), out} << 1
                                         << "cannot read the SQLite database";
    QTest::newRow("script without a table") << QStringList{QStringLiteral("$views"), out} << 1 << "no table in";
    QTest::newRow("database without a table") << QStringList{QStringLiteral("$empty"), out} << 1 << "no table in";
    QTest::newRow("unknown database") << QStringList{QStringLiteral("$nodb"), out} << 1 << "does not exist";
    QTest::newRow("no such schema") << QStringList{QStringLiteral("$shop"), out, QStringLiteral("--schema"),
                                                   QStringLiteral("sales")}
                                    << 1 << "no table in schema sales";
    QTest::newRow("--strict and a statement not understood")
        << QStringList{QStringLiteral("$virtual"), out, QStringLiteral("--strict")} << 1
        << "line 2, column 1: not understood: CREATE TABLE film (id integer, length ...";
    QTest::newRow("a table taller than the canvas") << QStringList{QStringLiteral("$tall"), out} << 1
                                                    << "does not fit the canvas";
    QTest::newRow("output folder missing") << QStringList{QStringLiteral("$shop"), QStringLiteral("$folder/no/x.diagram")}
                                           << 1 << "cannot write";
    QTest::newRow("output a device") << QStringList{QStringLiteral("$shop"), QStringLiteral("/dev/null")} << 1
                                     << "cannot write";
}

// Each refusal is one clear line on standard error and its exit code, and
// leaves the output as it was.
void TestImport::refusesWhatItCannotImport()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QStringList tallTable;
    for (int i = 0; i < 500; ++i)
        tallTable.append(QStringLiteral("c%1 integer").arg(i));
    QByteArray damaged = fileBytes(sqliteDatabase(QStringLiteral("good.db"), shopStatements));
    damaged.replace(100, damaged.size() - 100, QByteArray(damaged.size() - 100, 'x'));
    const QHash<QString, QString> paths{
        {QStringLiteral("$shop"), write(QStringLiteral("shop.sql"), scriptOf(shopStatements).toUtf8())},
        {QStringLiteral("$binary"), write(QStringLiteral("binary.sql"), QByteArray("CREATE TABLE a (b int);\0", 24))},
        {QStringLiteral("$damaged"), write(QStringLiteral("damaged.db"), damaged)},
        {QStringLiteral("$views"), write(QStringLiteral("views.sql"), "CREATE VIEW v AS SELECT 1;\n\\connect other\n")},
        {QStringLiteral("$empty"), server.socketUri(QStringLiteral("empty"))},
        {QStringLiteral("$nodb"), server.socketUri(QStringLiteral("nodb"))},
        {QStringLiteral("$virtual"), write(QStringLiteral("virtual.sql"),
                                           "CREATE TABLE a (id integer);\nCREATE TABLE film (id integer, length "
                                           "integer GENERATED ALWAYS AS (1) VIRTUAL);\n")},
        {QStringLiteral("$tall"), write(QStringLiteral("tall.sql"), QStringLiteral("CREATE TABLE tall (%1);")
                                                                        .arg(tallTable.join(QStringLiteral(", ")))
                                                                        .toUtf8())},
        {QStringLiteral("$out"), write(QStringLiteral("out.diagram"), "previous")},
        {QStringLiteral("$folder"), folder.path()},
    };
    for (QString& argument : arguments) {
        for (auto path = paths.cbegin(); path != paths.cend(); ++path)
            argument.replace(path.key(), path.value());
    }
    const Run result = run(arguments);
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY2(result.errors.contains(message.toUtf8()), result.errors.constData());
    QCOMPARE(result.output, QByteArray());
    QCOMPARE(fileBytes(folder.filePath(QStringLiteral("out.diagram"))), QByteArray("previous"));
    QVERIFY(!QFile::exists(folder.filePath(QStringLiteral("no"))));
}

DIAGRAM_TEST_MAIN(TestImport)

#include "tst_import.moc"
