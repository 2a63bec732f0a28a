#include "support/diagramcheck.h"
#include "support/testsupport.h"

#include "app/diagrammimedata.h"
#include "app/diagramreader.h"
#include "app/diagramwriter.h"
#include "app/mainwindow.h"
#include "items/connector.h"
#include "items/entity.h"
#include "items/line.h"
#include "scene/diagramscene.h"

#include <QClipboard>
#include <QCursor>
#include <QGraphicsView>
#include <QImage>
#include <QMimeData>
#include <QUndoStack>

namespace {

DiagramFile::Diagram recordsOf(const QByteArray& bytes)
{
    DiagramFile::Diagram diagram;
    if (DiagramReader::readRecords(bytes, diagram) != DiagramReader::Read)
        qWarning("records refused");
    return diagram;
}

// The records' diagram as describeDiagram puts it, each entity moved by the shift.
QString describeRecords(const QByteArray& bytes, const QPoint& shift)
{
    DiagramFile::Diagram diagram = recordsOf(bytes);
    for (DiagramFile::EntityRecord& record : diagram.entities) {
        record.x += shift.x();
        record.y += shift.y();
    }
    DiagramScene scene(nullptr, nullptr);
    scene.addDiagram(diagram);
    return describeDiagram(&scene);
}

QByteArray clipboardRecords()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data ? data->data(DiagramMimeData::recordsType) : QByteArray();
}

void offerOnClipboard(const QString& type, const QByteArray& bytes)
{
    auto* data = new QMimeData;
    data->setData(type, bytes);
    QGuiApplication::clipboard()->setMimeData(data);
}

} // namespace

class TestClipboard : public QObject, private ApplicationFixture
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { stopApplication(); }

    void pasteBringsTheEntitiesAndTheLinesAmongThem_data();
    void pasteBringsTheEntitiesAndTheLinesAmongThem();
    void clipboardOffersPicturesAndText();
    void cutThenUndoGivesBackTheBytes();
    void pasteStaysInsideTheCanvas();
    void anotherEditorPastesTheRecords();
    void pasteRefusesWhatIsNotSound_data();
    void pasteRefusesWhatIsNotSound();

private:
    // A joined to B and B to C; A and B selected, with their line.
    void buildAndSelectTwoOfThree();
    void pointAt(const QPoint& viewportPoint);
    void pointAway();

    Entity* a = nullptr;
    Entity* b = nullptr;
    Entity* c = nullptr;
};

void TestClipboard::init()
{
    startApplication();
    QGuiApplication::clipboard()->clear();
    pointAway();
}

void TestClipboard::buildAndSelectTwoOfThree()
{
    a = addEntity(300, 200);
    b = addEntity(600, 260);
    c = addEntity(900, 200);
    a->addAttribute(QStringLiteral("id : integer PK"));
    a->updateLayout();
    scene()->createLine(a->connectorAt(Entity::RightSide, 0), b->connectorAt(Entity::LeftSide, 1));
    scene()->createLine(b->connectorAt(Entity::RightSide, 0), c->connectorAt(Entity::LeftSide, 0));
    a->setSelected(true);
    b->setSelected(true);
    a->connectorAt(Entity::RightSide, 0)->line()->setSelected(true);
}

// Moving the pointer queues a mouse move, which must reach this application
// rather than the next one.
void TestClipboard::pointAt(const QPoint& viewportPoint)
{
    QCursor::setPos(view()->viewport()->mapToGlobal(viewportPoint));
    QCoreApplication::processEvents();
}

void TestClipboard::pointAway()
{
    QCursor::setPos(window()->geometry().bottomRight() + QPoint(500, 500));
    QCoreApplication::processEvents();
}

void TestClipboard::pasteBringsTheEntitiesAndTheLinesAmongThem_data()
{
    QTest::addColumn<bool>("atPointer");
    QTest::addColumn<int>("pastes");
    QTest::newRow("at the pointer") << true << 1;
    QTest::newRow("beside the copied ones") << false << 1;
    QTest::newRow("each paste a step further") << false << 3;
}

// The pasted records are the copied ones, moved; the line to C stays behind.
void TestClipboard::pasteBringsTheEntitiesAndTheLinesAmongThem()
{
    QFETCH(bool, atPointer);
    QFETCH(int, pastes);
    buildAndSelectTwoOfThree();
    pressKey(Qt::Key_C, Qt::ControlModifier);
    const QByteArray copied = clipboardRecords();
    QCOMPARE(recordsOf(copied).entities.size(), 2);
    QCOMPARE(recordsOf(copied).lines.size(), 1);
    const QString before = describeDiagram(scene());
    const int steps = scene()->undoStack()->count();
    app()->setModified(false);

    QPoint shift = QPoint(20, 20) * pastes;
    if (atPointer) {
        reveal(QPointF(1500, 1700));
        const QPoint at = view()->mapFromScene(QPointF(1500, 1700));
        pointAt(at);
        shift = truncated(view()->mapToScene(at)).toPoint() - QPoint(300, 200);
    }
    for (int i = 0; i < pastes; ++i)
        pressKey(Qt::Key_V, Qt::ControlModifier);

    QCOMPARE(itemsOfType<Entity>(scene()).size(), 3 + 2 * pastes);
    QCOMPARE(itemsOfType<Line>(scene()).size(), 2 + pastes);
    QCOMPARE(scene()->selectedItems().size(), 3);
    QCOMPARE(describeRecords(DiagramWriter(scene(), DiagramWriter::Selection).bytes(), QPoint()),
             describeRecords(copied, shift));
    QVERIFY(app()->isModified());
    QCOMPARE(scene()->undoStack()->count(), steps + pastes);
    QCOMPARE(diagramFault(scene()), QString());
    for (int i = 0; i < pastes; ++i)
        pressKey(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(describeDiagram(scene()), before);
}

void TestClipboard::clipboardOffersPicturesAndText()
{
    buildAndSelectTwoOfThree();
    pressKey(Qt::Key_C, Qt::ControlModifier);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    QVERIFY(data);
    const QImage png = QImage::fromData(data->data(QStringLiteral("image/png")), "PNG");
    QVERIFY(!png.isNull());
    // Two entities side by side with their line: wider than high.
    QVERIFY(png.width() > png.height());
    const QByteArray svg = data->data(QStringLiteral("image/svg+xml"));
    QVERIFY(svg.contains("<svg"));
    QCOMPARE(svg.count("<title>"), 2);
    QVERIFY(data->text().startsWith(QStringLiteral("erDiagram")));
    QVERIFY(data->text().contains(QStringLiteral("integer id PK")));
}

void TestClipboard::cutThenUndoGivesBackTheBytes()
{
    buildAndSelectTwoOfThree();
    const QByteArray before = savedBytes(scene());
    const int steps = scene()->undoStack()->count();
    pressKey(Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(itemsOfType<Entity>(scene()), QList<Entity*>{c});
    QCOMPARE(itemsOfType<Line>(scene()).size(), 0);
    QCOMPARE(recordsOf(clipboardRecords()).entities.size(), 2);
    QCOMPARE(scene()->undoStack()->count(), steps + 1);
    pressKey(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(savedBytes(scene()), before);
}

// Pasted at the far corner, the group is moved in whole, keeping its shape.
void TestClipboard::pasteStaysInsideTheCanvas()
{
    buildAndSelectTwoOfThree();
    pressKey(Qt::Key_C, Qt::ControlModifier);
    reveal(QPointF(9990, 9990));
    pointAt(view()->mapFromScene(QPointF(9990, 9990)));
    pressKey(Qt::Key_V, Qt::ControlModifier);
    QList<Entity*> pasted;
    for (QGraphicsItem* item : scene()->selectedItems()) {
        if (Entity* entity = qgraphicsitem_cast<Entity*>(item))
            pasted.append(entity);
    }
    QCOMPARE(pasted.size(), 2);
    QRectF group;
    for (const Entity* entity : std::as_const(pasted)) {
        QVERIFY(scene()->sceneRect().contains(entity->sceneBoundingRect().adjusted(0.5, 0.5, -0.5, -0.5)));
        group |= entity->rect().translated(entity->pos());
    }
    QCOMPARE(group.bottom(), scene()->sceneRect().bottom());
    const QPointF apart = pasted.at(0)->pos() - pasted.at(1)->pos();
    QVERIFY(apart == b->pos() - a->pos() || apart == a->pos() - b->pos());
}

// Another process offers nothing but the records' bytes.
void TestClipboard::anotherEditorPastesTheRecords()
{
    buildAndSelectTwoOfThree();
    pressKey(Qt::Key_C, Qt::ControlModifier);
    const QByteArray copied = clipboardRecords();
    stopApplication();
    startApplication();
    pointAway();
    offerOnClipboard(DiagramMimeData::recordsType, copied);
    pressKey(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(describeDiagram(scene()), describeRecords(copied, QPoint(20, 20)));
}

void TestClipboard::pasteRefusesWhatIsNotSound_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray one = QByteArray::fromHex("01000000" "64000000" "32000000" "01000000" "41"
                                               "02000000" "02000000" "00000000" "00000000");
    QTest::newRow("plain text") << QStringLiteral("text/plain") << QByteArray("hello");
    QTest::newRow("an image") << QStringLiteral("image/png") << QByteArray("\x89PNG");
    QTest::newRow("cut short") << DiagramMimeData::recordsType << one.left(one.size() - 1);
    QTest::newRow("no entity") << DiagramMimeData::recordsType << QByteArray::fromHex("0000000000000000");
    QTest::newRow("a line to a missing entity")
        << DiagramMimeData::recordsType
        << QByteArray::fromHex("01000000" "64000000" "32000000" "01000000" "41" "02000000" "02000000" "00000000"
                               "01000000" "00000000" "00000000" "00000000"
                               "00000000" "00000000" "00000000" "05000000" "00000000" "00000000");
    QTest::newRow("further apart than the canvas")
        << DiagramMimeData::recordsType
        << QByteArray::fromHex("02000000" "00000000" "00000000" "00000000" "02000000" "02000000" "00000000"
                               "00000080" "00000000" "00000000" "02000000" "02000000" "00000000" "00000000");
}

// Nothing changes and no window asks anything.
void TestClipboard::pasteRefusesWhatIsNotSound()
{
    QFETCH(QString, type);
    QFETCH(QByteArray, bytes);
    addEntity(100, 100);
    app()->setModified(false);
    const QString before = describeDiagram(scene());
    const int steps = scene()->undoStack()->count();
    offerOnClipboard(type, bytes);
    pressKey(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(describeDiagram(scene()), before);
    QCOMPARE(scene()->undoStack()->count(), steps);
    QVERIFY(!app()->isModified());
    QVERIFY(!QApplication::activeModalWidget());
}

DIAGRAM_TEST_MAIN(TestClipboard)
#include "tst_clipboard.moc"
