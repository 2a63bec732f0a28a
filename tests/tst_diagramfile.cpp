#include "support/testsupport.h"

#include "app/mainwindow.h"
#include "items/connector.h"
#include "items/entity.h"
#include "items/line.h"
#include "scene/diagramscene.h"
#include "ui/toolbar.h"

#include <QFile>
#include <QRandomGenerator>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QToolButton>

namespace {

QByteArray int32(int value)
{
    const auto bits = quint32(value);
    const char bytes[4] = {char(bits), char(bits >> 8), char(bits >> 16), char(bits >> 24)};
    return QByteArray(bytes, 4);
}

QByteArray fileString(const QByteArray& text)
{
    return int32(text.size()) + text;
}

QByteArray entityRecord(const QByteArray& name, int hor = 2, int ver = 2, const QByteArray& attribute = {})
{
    return int32(100) + int32(50) + fileString(name) + int32(hor) + int32(ver)
           + (attribute.isEmpty() ? int32(0) : int32(1) + fileString(attribute));
}

QByteArray lineRecord(int entityA, int sideA, int indexA, int entityB, int sideB, int indexB)
{
    return fileString("r") + fileString("1") + fileString("*") + int32(entityA) + int32(sideA) + int32(indexA)
           + int32(entityB) + int32(sideB) + int32(indexB);
}

QByteArray diagram(const QList<QByteArray>& entities, const QList<QByteArray>& lines)
{
    return int32(entities.size()) + entities.join() + int32(lines.size()) + lines.join();
}

// Two default entities joined from the right side of entity 0 to the left side of entity 1.
const QByteArray twoJoined = diagram({entityRecord("A"), entityRecord("B", 2, 2, "x")}, {lineRecord(0, 1, 1, 1, 3, 1)});

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

class TestDiagramfile : public QObject, private ApplicationFixture
{
    Q_OBJECT

private slots:
    void init() { startApplication(); }
    void cleanup() { stopApplication(); }

    void writesWorkedExampleBytes();
    void writesLineRecordBytes();
    void storesUtf8TextAndTruncatedPosition();
    void roundTripKeepsDiagram();
    void rejectsBadFiles_data();
    void rejectsBadFiles();
    void rejectsEveryCutOfAValidFile();
    void collectsWhatTheSceneRectangleQueryFinds();

private:
    Entity* placeEntity(const QPointF& at, const QString& name);
    Line* drawLine(Connector* from, Connector* to);
    QByteArray saveTo(const QString& path);
    QString open(const QString& path);

    QTemporaryDir dir;
};

Entity* TestDiagramfile::placeEntity(const QPointF& at, const QString& name)
{
    // The buttons rather than the keys: after a file dialog the main window
    // need not be active again, and its shortcuts would not fire.
    window()->getToolBar()->getAddEntityButton()->click();
    clickAt(at);
    for (QGraphicsItem* item : scene()->items(at + QPointF(2, 2))) {
        if (auto* entity = qgraphicsitem_cast<Entity*>(item)) {
            entity->setName(name);
            entity->updateLayout();
            return entity;
        }
    }
    return nullptr;
}

Line* TestDiagramfile::drawLine(Connector* from, Connector* to)
{
    window()->getToolBar()->getAddLineButton()->click();
    clickAt(centreOf(from));
    clickAt(centreOf(to));
    window()->getToolBar()->getSelectButton()->click();
    return from->line();
}

QByteArray TestDiagramfile::saveTo(const QString& path)
{
    answerFileDialog(path);
    window()->getToolBar()->getSaveAsButton()->click();
    return fileBytes(path);
}

// Opens through the tool bar and the file dialog; returns the text of the
// message box that followed, if any.
QString TestDiagramfile::open(const QString& path)
{
    // A message watcher left over from an earlier open that showed no message
    // must not take this open's message box.
    static int round = 0;
    const int thisRound = ++round;
    auto message = std::make_shared<QString>();
    answerModal([path, message, thisRound](QWidget* widget) {
        auto* dialog = qobject_cast<QFileDialog*>(widget);
        QVERIFY(dialog);
        answerModal([message, thisRound](QWidget* next) {
            if (thisRound != round)
                return;
            if (auto* box = qobject_cast<QMessageBox*>(next)) {
                *message = box->text();
                box->accept();
            }
        });
        dialog->selectFile(path);
        static_cast<QDialog*>(dialog)->done(QDialog::Accepted);
    });
    window()->getToolBar()->getOpenButton()->click();
    return *message;
}

void TestDiagramfile::writesWorkedExampleBytes()
{
    QCOMPARE(saveTo(dir.filePath("empty.dia")), QByteArray(8, '\0'));
    QCOMPARE(open(dir.filePath("empty.dia")), QString());

    Entity* a = placeEntity(QPointF(100, 50), "A");
    QVERIFY(a);
    QCOMPARE(a->pos(), QPointF(100, 50));
    const QByteArray example = QByteArray::fromHex("01000000" "64000000" "32000000" "01000000" "41"
                                                   "02000000" "02000000" "00000000" "00000000");
    QCOMPARE(saveTo(dir.filePath("a.dia")), example);

    // A line still being drawn is neither counted nor written.
    window()->getToolBar()->getAddLineButton()->click();
    clickAt(centreOf(a->connectorAt(Entity::RightSide, 0)));
    QVERIFY(scene()->getPendingLine());
    QCOMPARE(saveTo(dir.filePath("pending.dia")), example);
}

void TestDiagramfile::writesLineRecordBytes()
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

void TestDiagramfile::storesUtf8TextAndTruncatedPosition()
{
    Entity* entity = placeEntity(QPointF(5000, 5000), QStringLiteral("é"));
    QVERIFY(entity);
    entity->setPos(12.7, -3.7);
    entity->addAttribute(QStringLiteral("ß"));
    entity->updateLayout();
    const QString path = dir.filePath("utf8.dia");
    QCOMPARE(saveTo(path), QByteArray::fromHex("01000000" "0C000000" "FDFFFFFF" "02000000" "C3A9" "02000000"
                                               "02000000" "01000000" "02000000" "C39F" "00000000"));
    QCOMPARE(open(path), QString());
    QCOMPARE(describe(scene()), QStringList{QStringLiteral("entity é at 12,-3 connectors 2x2 [ß]")});
}

// Guards against lines that come back on other connectors, above all after
// connectors were removed from a side and the rest renumbered.
void TestDiagramfile::roundTripKeepsDiagram()
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
    QCOMPARE(open(dir.filePath("first.dia")), QString());
    QCOMPARE(describe(scene()), before);
    QVERIFY(!app()->isModified());
    saveTo(dir.filePath("second.dia"));
    QCOMPARE(open(dir.filePath("second.dia")), QString());
    QCOMPARE(describe(scene()), before);
}

void TestDiagramfile::rejectsBadFiles_data()
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
}

void TestDiagramfile::rejectsBadFiles()
{
    QFETCH(QByteArray, bytes);
    const QString path = dir.filePath("bad.dia");
    writeFileBytes(path, bytes);
    QCOMPARE(open(path), QStringLiteral("File reading error."));
    QVERIFY(scene()->items().isEmpty());
    QCOMPARE(app()->getFileName(), path);
    QVERIFY(app()->isFileNameChosen());
    QVERIFY(!app()->isModified());
}

void TestDiagramfile::rejectsEveryCutOfAValidFile()
{
    const QString path = dir.filePath("cut.dia");
    for (int size = 0; size < twoJoined.size(); ++size) {
        writeFileBytes(path, twoJoined.left(size));
        QVERIFY2(open(path) == "File reading error." && scene()->items().isEmpty(),
                 qPrintable(QStringLiteral("cut at %1 bytes").arg(size)));
    }
    writeFileBytes(path, twoJoined + "bytes after the last line are ignored");
    QCOMPARE(open(path), QString());
    const QStringList expected{"entity A at 100,50 connectors 2x2 []", "entity B at 100,50 connectors 2x2 [x]",
                               "line r 1 * from A:1:1 to B:3:1"};
    QCOMPARE(describe(scene()), expected);
}

// Saving and Select All skip the scene's query over every item; they must still
// find the same entities and lines, in the same stacking order, also for items
// that straddle the border or lie outside it, and after deletions.
void TestDiagramfile::collectsWhatTheSceneRectangleQueryFinds()
{
    QRandomGenerator random(7);
    const auto nearBorder = [&random] {
        const int offsets[] = {-400, -60, 0, 5000, 9950, 10000, 10200};
        return offsets[random.bounded(7)] + random.bounded(-40, 40);
    };
    QList<Entity*> made;
    for (int i = 0; i < 60; ++i)
        made.append(scene()->createEntity(nearBorder(), nearBorder(), false));
    for (int i = 0; i + 1 < made.size(); i += 2) {
        DiagramFile::LineRecord record;
        record.start = made.at(i)->connectorAt(Entity::RightSide, 0);
        record.end = made.at(i + 1)->connectorAt(Entity::LeftSide, 1);
        scene()->createLine(record);
    }
    for (int i = 0; i < made.size(); i += 7)
        delete made.at(i);

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
    QVERIFY(expectedEntities.size() > 5 && expectedEntities.size() < 45);
    QCOMPARE(entities, expectedEntities);
    QCOMPARE(lines, expectedLines);
}

DIAGRAM_TEST_MAIN(TestDiagramfile)
#include "tst_diagramfile.moc"
