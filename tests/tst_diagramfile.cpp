#include "support/filebytes.h"
#include "support/testsupport.h"

#include "app/mainwindow.h"
#include "items/connector.h"
#include "items/entity.h"
#include "items/line.h"
#include "scene/diagramscene.h"
#include "ui/toolbar.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QToolButton>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Two default entities joined from the right side of entity 0 to the left side of entity 1.
const QByteArray twoJoined = diagram({entityRecord("A"), entityRecord("B", 2, 2, "x")}, {lineRecord(0, 1, 1, 1, 3, 1)});

// 25 entities of 2 x (1000 + 999) connectors and one of 2 x (13 + last): with
// last at 12 the diagram holds exactly the most connectors a diagram may hold.
static_assert(25 * 2 * (1000 + 999) + 2 * (13 + 12) == maxConnectorsPerDiagram);
QByteArray connectorBoundDiagram(int last)
{
    QList<QByteArray> entities(25, entityRecord("big", 1000, 999));
    entities << entityRecord("rest", 13, last);
    return diagram(entities, {});
}

// The records of a diagram file in order: entity names, then each line's name
// with the names of the entities its ends refer to.
QStringList recordsOf(QByteArray bytes)
{
    FILE* file = fmemopen(bytes.data(), bytes.size(), "rb");
    if (!file)
        return {QStringLiteral("no records")};
    QStringList entities;
    QStringList lines;
    try {
        for (int i = DiagramFile::readInt(file); i > 0; --i)
            entities << DiagramFile::readEntityRecord(file).name;
        for (int i = DiagramFile::readInt(file); i > 0; --i) {
            const DiagramFile::LineRecord line = DiagramFile::readLineRecord(file);
            lines << QStringLiteral("%1 %2-%3").arg(line.name, entities.value(line.startReference.entity),
                                                   entities.value(line.endReference.entity));
        }
    } catch (const Application::FileReadingException&) {
        lines << QStringLiteral("cut short");
    }
    fclose(file);
    return entities + lines;
}

// Opens the pipe's writing end if the open has not returned after a while: a
// reader that waits on a pipe for a writer then returns, and the test fails
// instead of hanging.
class PipeWatchdog
{
public:
    explicit PipeWatchdog(const QString& path)
        : thread([this, name = QFile::encodeName(path)] {
            std::unique_lock lock(mutex);
            if (ended.wait_for(lock, std::chrono::seconds(10), [this] { return done; }))
                return;
            fired = true;
            const int writer = ::open(name.constData(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0)
                ::close(writer);
        })
    {
    }

    ~PipeWatchdog()
    {
        {
            const std::lock_guard lock(mutex);
            done = true;
        }
        ended.notify_one();
        thread.join();
    }

    bool hasFired() const { return fired; }

private:
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::atomic<bool> fired{false};
    std::thread thread;
};

QString connectorText(const Connector* connector)
{
    return QStringLiteral("%1:%2:%3").arg(connector->entity()->name()).arg(connector->side()).arg(connector->index());
}

// Order-free picture of the diagram: entity numbers may change from one save to the next.
QStringList describe(DiagramScene* scene)
{
    QStringList lines;
    for (QGraphicsItem* item : scene->items()) {
        if (auto* entity = qgraphicsitem_cast<Entity*>(item)) {
            QStringList attributes;
            for (int i = 0; i < entity->attributeCount(); ++i)
                attributes << entity->attributeName(i);
            lines << QStringLiteral("entity %1 at %2,%3 connectors %4x%5 [%6]")
                         .arg(entity->name()).arg(entity->x()).arg(entity->y()).arg(entity->horConnectorCount())
                         .arg(entity->verConnectorCount()).arg(attributes.join(','));
        } else if (auto* line = qgraphicsitem_cast<Line*>(item)) {
            lines << QStringLiteral("line %1 %2 %3 from %4 to %5")
                         .arg(line->name(), line->multiplicityA(), line->multiplicityB(),
                              connectorText(line->startConnector()), connectorText(line->endConnector()));
        }
    }
    lines.sort();
    return lines;
}


} // namespace

class TestDiagramFile : public QObject, private ApplicationFixture
{
    Q_OBJECT

private slots:
    void init() { startApplication(); }
    void cleanup() { stopApplication(); }

    void writesWorkedExampleBytes();
    void writesLineRecordBytes();
    void storesUtf8TextAndTruncatedPosition();
    void roundTripKeepsDiagram();
    void leavesOutLinesToEntitiesOutsideTheScene();
    void rejectsBadFiles_data();
    void rejectsBadFiles();
    void refusesWhatIsNoRegularFile_data();
    void refusesWhatIsNoRegularFile();
    void opensAFileAtTheConnectorBound();
    void rejectsEveryCutOfAValidFile();
    void collectsWhatTheSceneRectangleQueryFinds_data();
    void collectsWhatTheSceneRectangleQueryFinds();

private:
    Line* drawLine(Connector* from, Connector* to);
    QByteArray saveTo(const QString& path);
    QStringList open(const QString& path, bool refused = false);
    void expectRefused(const QString& path);

    QTemporaryDir dir;
    qsizetype itemsWhileRefused = -1;
};

Line* TestDiagramFile::drawLine(Connector* from, Connector* to)
{
    toolButton(AddLineButton)->click();
    clickAt(centreOf(from));
    clickAt(centreOf(to));
    toolButton(SelectButton)->click();
    return from->line();
}

QByteArray TestDiagramFile::saveTo(const QString& path)
{
    answerFileDialog(path);
    toolButton(SaveAsButton)->click();
    return fileBytes(path);
}

// Opens through the tool bar and the file dialog and, when the file is to be
// refused, confirms the message; returns the windows met after the dialog, and
// a note when the open had to be given a writer to return.
QStringList TestDiagramFile::open(const QString& path, bool refused)
{
    itemsWhileRefused = -1;
    QList<ModalAnswer> answers{answerFor("file:" + path)};
    if (refused) {
        const ModalAnswer confirm = answerFor("OK");
        answers.append({confirm.fits, [this, confirm](QWidget* box) {
                            itemsWhileRefused = scene()->items().size();
                            return confirm.act(box);
                        }});
    }
    answerInTurn(answers);
    const PipeWatchdog watchdog(path);
    toolButton(OpenButton)->click();
    QStringList met = modalsMet().mid(1);
    if (watchdog.hasFired())
        met << QStringLiteral("the open waited for a writer");
    return met;
}

// A refused file leaves an empty, unmodified diagram named after it, and is
// refused before any item is made: none exists while the message shows.
void TestDiagramFile::expectRefused(const QString& path)
{
    QVERIFY(placeEntity(QPointF(5000, 5000), "before"));
    app()->setModified(false);
    QCOMPARE(open(path, true), QStringList{"File reading error."});
    QCOMPARE(itemsWhileRefused, 0);
    QVERIFY(scene()->items().isEmpty());
    QCOMPARE(window()->windowTitle(), "Diagram Editor (" + path + ")");
    QVERIFY(app()->isFileNameChosen());
    QVERIFY(!app()->isModified());
}

void TestDiagramFile::writesWorkedExampleBytes()
{
    QCOMPARE(saveTo(dir.filePath("empty.dia")), QByteArray(8, '\0'));
    QCOMPARE(open(dir.filePath("empty.dia")), QStringList());

    Entity* a = placeEntity(QPointF(100, 50), "A");
    QVERIFY(a);
    QCOMPARE(a->pos(), QPointF(100, 50));
    const QByteArray example = QByteArray::fromHex("01000000" "64000000" "32000000" "01000000" "41"
                                                   "02000000" "02000000" "00000000" "00000000");
    QCOMPARE(saveTo(dir.filePath("a.dia")), example);

    // A line still being drawn is neither counted nor written.
    toolButton(AddLineButton)->click();
    clickAt(centreOf(a->connectorAt(Entity::RightSide, 0)));
    QVERIFY(pendingLineOf(scene()));
    QCOMPARE(saveTo(dir.filePath("pending.dia")), example);
}

void TestDiagramFile::writesLineRecordBytes()
{
    // The entity placed last is topmost, so it is written first as entity 0.
    Entity* b = placeEntity(QPointF(5300, 5000), "B");
    Entity* a = placeEntity(QPointF(5000, 5000), "A");
    QVERIFY(a && b);
    Line* line = drawLine(a->connectorAt(Entity::RightSide, 1), b->connectorAt(Entity::LeftSide, 1));
    QVERIFY(line);
    line->setName("r");
    line->setMultiplicityB("*");

    const QByteArray lineBytes = QByteArray::fromHex("0100000072" "0100000031" "010000002A"
                                                     "000000000100000001000000" "010000000300000001000000");
    QCOMPARE(lineBytes.size(), 39);
    const QByteArray expected = int32(2) + int32(5000) + int32(5000) + fileString("A") + int32(2) + int32(2)
                                + int32(0) + int32(5300) + int32(5000) + fileString("B") + int32(2) + int32(2)
                                + int32(0) + int32(1) + lineBytes;
    QCOMPARE(saveTo(dir.filePath("line.dia")), expected);
}

void TestDiagramFile::storesUtf8TextAndTruncatedPosition()
{
    Entity* entity = placeEntity(QPointF(5000, 5000), QStringLiteral("é"));
    QVERIFY(entity);
    entity->setPos(12.7, -3.7);
    entity->addAttribute(QStringLiteral("ß"));
    entity->updateLayout();
    const QString path = dir.filePath("utf8.dia");
    QCOMPARE(saveTo(path), QByteArray::fromHex("01000000" "0C000000" "FDFFFFFF" "02000000" "C3A9" "02000000"
                                               "02000000" "01000000" "02000000" "C39F" "00000000"));
    QCOMPARE(open(path), QStringList());
    QCOMPARE(describe(scene()), QStringList{QStringLiteral("entity é at 12,-3 connectors 2x2 [ß]")});
}

// Guards against lines that come back on other connectors, above all after
// connectors were removed from a side and the rest renumbered.
void TestDiagramFile::roundTripKeepsDiagram()
{
    Entity* a = placeEntity(QPointF(5000, 5000), "A");
    Entity* b = placeEntity(QPointF(5400, 5000), "B");
    Entity* c = placeEntity(QPointF(5000, 5400), "C");
    QVERIFY(a && b && c);
    a->addAttribute("id");
    a->addAttribute("name");
    a->updateLayout();
    c->setHorConnectorCount(4);
    c->setVerConnectorCount(3);
    c->updateLayout();
    QVERIFY(drawLine(a->connectorAt(Entity::RightSide, 0), b->connectorAt(Entity::LeftSide, 1)));
    QVERIFY(drawLine(c->connectorAt(Entity::TopSide, 3), a->connectorAt(Entity::BottomSide, 0)));
    QVERIFY(drawLine(b->connectorAt(Entity::BottomSide, 1), c->connectorAt(Entity::RightSide, 2)));
    c->setHorConnectorCount(2);
    c->setVerConnectorCount(1);
    c->updateLayout();
    const QStringList before = describe(scene());
    QCOMPARE(before.count(), 6);
    QVERIFY(before.contains("line Unknown 1 1 from C:0:1 to A:2:0"));
    QVERIFY(before.contains("line Unknown 1 1 from B:2:1 to C:1:0"));

    saveTo(dir.filePath("first.dia"));
    QCOMPARE(open(dir.filePath("first.dia")), QStringList());
    QCOMPARE(describe(scene()), before);
    QVERIFY(!app()->isModified());
    saveTo(dir.filePath("second.dia"));
    QCOMPARE(open(dir.filePath("second.dia")), QStringList());
    QCOMPARE(describe(scene()), before);
}

// A line is saved only with both its entities: one to an entity wholly outside
// the scene rectangle would name an entity that the file does not hold.
void TestDiagramFile::leavesOutLinesToEntitiesOutsideTheScene()
{
    Entity* a = placeEntity(QPointF(5000, 5000), "A");
    Entity* b = placeEntity(QPointF(5400, 5000), "B");
    QVERIFY(a && b);
    QVERIFY(drawLine(a->connectorAt(Entity::RightSide, 1), b->connectorAt(Entity::LeftSide, 1)));
    b->setPos(-1000, -1000);
    const QString path = dir.filePath("outside.dia");
    QCOMPARE(saveTo(path), int32(1) + int32(5000) + int32(5000) + fileString("A") + int32(2) + int32(2) + int32(0)
                               + int32(0));
    QCOMPARE(open(path), QStringList());
    QCOMPARE(describe(scene()), QStringList{"entity A at 5000,5000 connectors 2x2 []"});
}

void TestDiagramFile::rejectsBadFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray a = entityRecord("A");
    const QByteArray b = entityRecord("B");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("entity number past the entities") << diagram({a, b}, {lineRecord(0, 1, 1, 2, 3, 1)});
    QTest::newRow("negative entity number") << diagram({a, b}, {lineRecord(-1, 1, 1, 1, 3, 1)});
    QTest::newRow("side 4") << diagram({a, b}, {lineRecord(0, 4, 0, 1, 3, 1)});
    QTest::newRow("side -1") << diagram({a, b}, {lineRecord(0, 1, 1, 1, -1, 0)});
    QTest::newRow("index at the side's length") << diagram({a, b}, {lineRecord(0, 1, 2, 1, 3, 1)});
    QTest::newRow("negative index") << diagram({a, b}, {lineRecord(0, 1, 1, 1, 3, -1)});
    QTest::newRow("connector named by two lines")
        << diagram({a, b, entityRecord("C")}, {lineRecord(0, 1, 1, 1, 3, 1), lineRecord(2, 3, 1, 0, 1, 1)});
    QTest::newRow("both ends on one connector") << diagram({a, b}, {lineRecord(0, 1, 1, 0, 1, 1)});
    QTest::newRow("both ends on one entity") << diagram({a, b}, {lineRecord(0, 1, 1, 0, 3, 1)});
    QTest::newRow("second line between two entities")
        << diagram({a, b}, {lineRecord(0, 1, 1, 1, 3, 1), lineRecord(1, 3, 0, 0, 1, 0)});
    QTest::newRow("connector count 0") << diagram({entityRecord("A", 0, 2)}, {});
    QTest::newRow("connector count -1") << diagram({entityRecord("A", 2, -1)}, {});
    QTest::newRow("connector count 1001") << diagram({entityRecord("A", 1001, 2)}, {});
    QTest::newRow("string longer than the file") << int32(1) + int32(0) + int32(0) + int32(100) + "A";
    QTest::newRow("connectors one pair past the bound") << connectorBoundDiagram(13);
}

void TestDiagramFile::rejectsBadFiles()
{
    QFETCH(QByteArray, bytes);
    const QString path = dir.filePath("bad.dia");
    writeFileBytes(path, bytes);
    expectRefused(path);
}

void TestDiagramFile::refusesWhatIsNoRegularFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("named pipe") << "pipe";
    QTest::newRow("folder") << "folder";
    QTest::newRow("device without end") << "/dev/zero";
}

// Opening a pipe must not wait for a writer, nor reading a device go on for ever.
void TestDiagramFile::refusesWhatIsNoRegularFile()
{
    QFETCH(QString, kind);
    QTemporaryDir folder;
    const QString path = kind.startsWith('/') ? kind : folder.filePath(kind + ".dia");
    if (kind == "pipe")
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else if (kind == "folder")
        QVERIFY(QDir().mkdir(path));
    expectRefused(path);
}

void TestDiagramFile::opensAFileAtTheConnectorBound()
{
    const QString path = dir.filePath("bound.dia");
    writeFileBytes(path, connectorBoundDiagram(12));
    QCOMPARE(open(path), QStringList());
    int connectors = 0;
    for (QGraphicsItem* item : scene()->items())
        connectors += qgraphicsitem_cast<Connector*>(item) != nullptr;
    QCOMPARE(connectors, maxConnectorsPerDiagram);
}

void TestDiagramFile::rejectsEveryCutOfAValidFile()
{
    const QString path = dir.filePath("cut.dia");
    for (int size = 0; size < twoJoined.size(); ++size) {
        writeFileBytes(path, twoJoined.left(size));
        QVERIFY2(open(path, true) == QStringList{"File reading error."} && scene()->items().isEmpty(),
                 qPrintable(QStringLiteral("cut at %1 bytes").arg(size)));
    }
    writeFileBytes(path, twoJoined + "bytes after the last line are ignored");
    QCOMPARE(open(path), QStringList());
    const QStringList expected{"entity A at 100,50 connectors 2x2 []", "entity B at 100,50 connectors 2x2 [x]",
                               "line r 1 * from A:1:1 to B:3:1"};
    QCOMPARE(describe(scene()), expected);
}

void TestDiagramFile::collectsWhatTheSceneRectangleQueryFinds_data()
{
    QTest::addColumn<qreal>("entityZ");
    QTest::addColumn<qreal>("lineZ");
    QTest::addColumn<bool>("addAfterDeleting");
    QTest::newRow("one z-value") << 0.0 << 0.0 << false;
    QTest::newRow("added after deletions") << 0.0 << 0.0 << true;
    QTest::newRow("some entities raised") << 1.5 << 0.0 << false;
    QTest::newRow("some lines raised") << 0.0 << 0.5 << false;
    QTest::newRow("entities lowered, lines raised, added after deletions") << -1.0 << 0.5 << true;
}

// Saving and Select All skip the scene's query over every item; they must still
// find the same entities and lines, in the same stacking order, also for items
// that straddle the border or lie outside it, after deletions and with z-values
// that stack some items above others added later; the file keeps that order.
void TestDiagramFile::collectsWhatTheSceneRectangleQueryFinds()
{
    QFETCH(qreal, entityZ);
    QFETCH(qreal, lineZ);
    QFETCH(bool, addAfterDeleting);
    QRandomGenerator random(7);
    const auto nearBorder = [&random] {
        const int offsets[] = {-400, -60, 0, 5000, 9950, 10000, 10200};
        return offsets[random.bounded(7)] + random.bounded(-40, 40);
    };
    QList<Entity*> made;
    int lineCount = 0;
    const auto addJoinedEntities = [&](int count, qreal someEntitiesZ, qreal someLinesZ) {
        const int first = made.size();
        for (int i = 0; i < count; ++i) {
            Entity* entity = scene()->createEntity(nearBorder(), nearBorder(), false);
            entity->setName(QStringLiteral("e%1").arg(made.size()));
            entity->updateLayout();
            entity->setZValue(i % 5 == 2 ? someEntitiesZ : 0);
            made.append(entity);
        }
        for (int i = first; i + 1 < made.size(); i += 2) {
            DiagramFile::LineRecord record;
            record.start = made.at(i)->connectorAt(Entity::RightSide, 0);
            record.end = made.at(i + 1)->connectorAt(Entity::LeftSide, 1);
            record.name = QStringLiteral("l%1").arg(lineCount);
            scene()->createLine(record)->setZValue(lineCount++ % 3 == 0 ? someLinesZ : 0);
        }
    };
    addJoinedEntities(60, entityZ, lineZ);
    for (int i = 0; i < made.size(); i += 7)
        delete made.at(i);
    if (addAfterDeleting)
        addJoinedEntities(20, 0, 0);

    QList<Entity*> entities;
    QList<Line*> lines;
    scene()->itemsInSceneRect(entities, lines);
    QList<Entity*> expectedEntities;
    QList<Line*> expectedLines;
    for (QGraphicsItem* item :
         scene()->items(scene()->sceneRect(), Qt::IntersectsItemShape, Qt::DescendingOrder)) {
        if (Entity* entity = qgraphicsitem_cast<Entity*>(item))
            expectedEntities.append(entity);
        else if (Line* line = qgraphicsitem_cast<Line*>(item))
            expectedLines.append(line);
    }
    QVERIFY(expectedEntities.size() > 5 && expectedEntities.size() < 60);
    QCOMPARE(entities, expectedEntities);
    QCOMPARE(lines, expectedLines);

    QStringList records;
    for (const Entity* entity : std::as_const(expectedEntities))
        records << entity->name();
    for (const Line* line : std::as_const(expectedLines)) {
        const Entity* start = line->startConnector()->entity();
        const Entity* end = line->endConnector()->entity();
        if (expectedEntities.contains(start) && expectedEntities.contains(end))
            records << QStringLiteral("%1 %2-%3").arg(line->name(), start->name(), end->name());
    }
    QCOMPARE(recordsOf(saveTo(dir.filePath("order.dia"))), records);
}

DIAGRAM_TEST_MAIN(TestDiagramFile)
#include "tst_diagramfile.moc"
