#include "support/diagramcheck.h"
#include "support/filebytes.h"
#include "support/testsupport.h"

#include "app/mainwindow.h"
#include "items/connector.h"
#include "items/entity.h"
#include "items/line.h"
#include "scene/diagramscene.h"
#include "ui/entityeditwindow.h"
#include "ui/lineeditwindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolButton>
#include <QUndoStack>

#include <functional>

namespace {

// A, with three connectors on top and bottom, carries a line from its top
// connector 2 to B; C stands free below A.
const QByteArray threeEntities = diagram({entityRecord("A", 3, 2, "id", QPoint(5000, 5000)),
                                          entityRecord("B", 2, 2, {}, QPoint(5400, 5000)),
                                          entityRecord("C", 2, 2, {}, QPoint(5000, 5300))},
                                         {lineRecord(0, Entity::TopSide, 2, 1, Entity::LeftSide, 1)});

// Inside the box and clear of the connectors on its outline.
QPointF bodyOf(const Entity* entity)
{
    return entity->pos() + QPointF(12, entity->rect().height() - 10);
}

} // namespace

class TestUndo : public QObject, private ApplicationFixture
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { stopApplication(); }

    void everyChangeIsOneStep_data();
    void everyChangeIsOneStep();
    void whatChangesNothingIsNoStep();
    void modifiedFollowsTheSavedStep();
    void undoWhileDrawingLeavesTheLineFirst();
    void keepsAThousandSteps();

private:
    Entity* entity(const QString& name) const;
    Line* line() const;
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier);
    void menuOn(const QPointF& at, const QString& entry);
    void drawInAddLineMode(const std::function<void()>& clicks);
    void editEntity(const std::function<void(EntityEditWindow*)>& edit, const char* button);
    void editLine(const char* button);
    QUndoStack* history() const { return scene()->undoStack(); }

    QTemporaryDir folder;
    QByteArray opened;
};

using Change = std::function<void()>;
Q_DECLARE_METATYPE(Change)

void TestUndo::init()
{
    startApplication();
    const QString path = folder.filePath(QStringLiteral("three.diagram"));
    writeFileBytes(path, threeEntities);
    answerInTurn({"file:" + path});
    toolButton(OpenButton)->click();
    opened = savedBytes(scene());
    QVERIFY(entity("A") && entity("B") && entity("C") && line());
}

Entity* TestUndo::entity(const QString& name) const
{
    for (Entity* candidate : itemsOfType<Entity>(scene())) {
        if (candidate->name() == name)
            return candidate;
    }
    return nullptr;
}

Line* TestUndo::line() const
{
    const QList<Line*> lines = itemsOfType<Line>(scene());
    return lines.isEmpty() ? nullptr : lines.first();
}

// Menus, dialogs and edit windows take the focus; the window's keys need it.
void TestUndo::key(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    window()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window()));
    pressKey(key, modifiers);
}

void TestUndo::menuOn(const QPointF& at, const QString& entry)
{
    chooseMenuEntry(entry);
    clickAt(at, Qt::RightButton);
}

void TestUndo::drawInAddLineMode(const std::function<void()>& clicks)
{
    toolButton(AddLineButton)->click();
    clicks();
    toolButton(SelectButton)->click();
}

void TestUndo::editEntity(const std::function<void(EntityEditWindow*)>& edit, const char* button)
{
    doubleClickAt(bodyOf(entity("A")));
    auto* window = sharedWindow<EntityEditWindow>();
    QVERIFY(window->isVisible());
    edit(window);
    QTest::mouseClick(window->findChild<QPushButton*>(QLatin1String(button)), Qt::LeftButton);
}

void TestUndo::editLine(const char* button)
{
    doubleClickAt(line()->line().pointAt(0.25));
    auto* window = sharedWindow<LineEditWindow>();
    QVERIFY(window->isVisible());
    window->findChild<QLineEdit*>(QStringLiteral("nameEdit"))->setText(QStringLiteral("owns"));
    window->findChild<QLineEdit*>(QStringLiteral("multiplicityBEdit"))->setText(QStringLiteral("0..*"));
    QTest::mouseClick(window->findChild<QPushButton*>(QLatin1String(button)), Qt::LeftButton);
}

void TestUndo::everyChangeIsOneStep_data()
{
    QTest::addColumn<Change>("change");
    QTest::newRow("place by click") << Change([this] {
        toolButton(AddEntityButton)->click();
        clickAt(QPointF(6000, 6000));
    });
    QTest::newRow("Add Entity") << Change([this] { menuOn(QPointF(6000, 6000), "Add Entity"); });
    QTest::newRow("draw a line") << Change([this] {
        QVERIFY(joinByMouse(entity("A")->connectorAt(Entity::RightSide, 0), entity("C")->connectorAt(Entity::TopSide, 0)));
    });
    QTest::newRow("re-attach an end") << Change([this] {
        drawInAddLineMode([this] {
            clickAt(centreOf(entity("A")->connectorAt(Entity::TopSide, 2)));
            clickAt(centreOf(entity("C")->connectorAt(Entity::TopSide, 1)));
        });
    });
    QTest::newRow("detach an end and cancel") << Change([this] {
        drawInAddLineMode([this] {
            clickAt(centreOf(entity("A")->connectorAt(Entity::TopSide, 2)));
            clickAt(QPointF(6000, 6000), Qt::RightButton);
        });
    });
    QTest::newRow("Delete key") << Change([this] {
        clickAt(bodyOf(entity("A")));
        key(Qt::Key_Delete, Qt::NoModifier);
    });
    QTest::newRow("entity menu Delete") << Change([this] { menuOn(bodyOf(entity("A")), "Delete"); });
    QTest::newRow("line menu Delete") << Change([this] { menuOn(line()->line().pointAt(0.25), "Delete"); });
    QTest::newRow("drag") << Change([this] { dragFromTo(bodyOf(entity("A")), bodyOf(entity("A")) + QPointF(150, 80)); });
    QTest::newRow("drag a group") << Change([this] {
        entity("A")->setSelected(true);
        entity("C")->setSelected(true);
        dragFromTo(bodyOf(entity("A")), bodyOf(entity("A")) + QPointF(-90, 40));
    });
    QTest::newRow("Apply, entity") << Change([this] {
        editEntity(
            [](EntityEditWindow* window) {
                window->findChild<QLineEdit*>(QStringLiteral("nameEdit"))->setText(QStringLiteral("Customer"));
                window->findChild<QSpinBox*>(QStringLiteral("verConnectorsSpin"))->setValue(6);
                window->findChild<QSpinBox*>(QStringLiteral("horConnectorsSpin"))->setValue(3);
                QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("addButton")), Qt::LeftButton);
            },
            "applyButton");
    });
    QTest::newRow("Apply, line") << Change([this] { editLine("applyButton"); });
    QTest::newRow("Add Connectors") << Change([this] { menuOn(bodyOf(entity("A")), "Add Connectors"); });
    // Removes the free connector 0 on top, so the line's connector is renumbered.
    QTest::newRow("Delete Connectors") << Change([this] { menuOn(bodyOf(entity("A")), "Delete Connectors"); });
}

// Undo must give back the bytes the diagram was saved as before the change,
// stacking order included, and redo the bytes after it.
void TestUndo::everyChangeIsOneStep()
{
    QFETCH(Change, change);
    const QByteArray before = savedBytes(scene());
    change();
    const QByteArray after = savedBytes(scene());
    QVERIFY(after != before);
    QCOMPARE(history()->count(), 1);
    QVERIFY(app()->isModified());

    key(Qt::Key_Z);
    QCOMPARE(savedBytes(scene()), before);
    QCOMPARE(diagramFault(scene()), QString());
    QVERIFY(!app()->isModified());
    key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(savedBytes(scene()), after);
    QCOMPARE(diagramFault(scene()), QString());
    key(Qt::Key_Z);
    key(Qt::Key_Y);
    QCOMPARE(savedBytes(scene()), after);
    QVERIFY(app()->isModified());
}

// Selection, modes, Select All and the edit windows closed without a change
// are no steps. The windows are opened one after the other by double clicks:
// an item that kept the mouse after opening its window would take the next.
void TestUndo::whatChangesNothingIsNoStep()
{
    clickAt(bodyOf(entity("A")));
    key(Qt::Key_E, Qt::NoModifier);
    key(Qt::Key_L, Qt::NoModifier);
    key(Qt::Key_S, Qt::NoModifier);
    menuOn(QPointF(6000, 6000), "Select All");
    editEntity([](EntityEditWindow*) {}, "cancelButton");
    editEntity([](EntityEditWindow* window) { window->findChild<QLineEdit*>(QStringLiteral("nameEdit"))->setText("x"); },
               "resetButton");
    QTest::mouseClick(sharedWindow<EntityEditWindow>()->findChild<QPushButton*>(QStringLiteral("cancelButton")),
                      Qt::LeftButton);
    editLine("cancelButton");
    editEntity([](EntityEditWindow*) {}, "applyButton");
    QCOMPARE(history()->count(), 0);
}

void TestUndo::modifiedFollowsTheSavedStep()
{
    const QString saved = folder.filePath(QStringLiteral("saved.diagram"));
    menuOn(QPointF(6000, 6000), "Add Entity");
    answerInTurn({"file:" + saved});
    toolButton(SaveAsButton)->click();
    QVERIFY(!toolButton(SaveButton)->isEnabled());
    menuOn(QPointF(6500, 6000), "Add Entity");
    QVERIFY(app()->isModified());

    key(Qt::Key_Z);
    QVERIFY(!app()->isModified());
    QVERIFY(!toolButton(SaveButton)->isEnabled());
    key(Qt::Key_Z);
    QVERIFY(app()->isModified());
    key(Qt::Key_Y);
    QVERIFY(!app()->isModified());
    key(Qt::Key_Y);
    QVERIFY(app()->isModified());

    // A failed save keeps the saved step where it was.
    QVERIFY(QFile::remove(saved));
    QVERIFY(QDir().mkdir(saved));
    answerInTurn({"OK"});
    toolButton(SaveButton)->click();
    QCOMPARE(modalsMet(), QStringList{"File writing error."});
    key(Qt::Key_Z);
    QVERIFY(!app()->isModified());

    answerInTurn({"file:" + folder.filePath(QStringLiteral("three.diagram"))});
    toolButton(OpenButton)->click();
    QCOMPARE(history()->count(), 0);
    key(Qt::Key_Z);
    QVERIFY(!app()->isModified());
    QCOMPARE(savedBytes(scene()), opened);
}

void TestUndo::undoWhileDrawingLeavesTheLineFirst()
{
    menuOn(bodyOf(entity("A")), "Add Connectors");
    toolButton(AddLineButton)->click();
    clickAt(centreOf(entity("C")->connectorAt(Entity::TopSide, 0)));
    QVERIFY(pendingLineOf(scene()));
    key(Qt::Key_Z);
    QVERIFY(!pendingLineOf(scene()));
    QCOMPARE(savedBytes(scene()), opened);
}

void TestUndo::keepsAThousandSteps()
{
    for (int i = 0; i < 1001; ++i)
        addEntity(100 + 9 * (i % 1000), 6000 + 9 * (i / 1000));
    while (history()->canUndo())
        history()->undo();
    QCOMPARE(itemsOfType<Entity>(scene()).size(), 3 + 1);
}

DIAGRAM_TEST_MAIN(TestUndo)
#include "tst_undo.moc"
