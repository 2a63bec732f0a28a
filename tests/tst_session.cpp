#include "support/diagramcheck.h"
#include "support/testsupport.h"

#include "app/mainwindow.h"
#include "items/connector.h"
#include "items/entity.h"
#include "items/line.h"
#include "scene/diagramscene.h"
#include "ui/entityeditwindow.h"
#include "ui/lineeditwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGraphicsView>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QUndoStack>

#include <functional>

// A long random editing session through the real view, menus and windows,
// with the diagram's invariants checked after every action. The seed and the
// length come from SESSION_SEED (a number, or "random" for a fresh one per
// round) and SESSION_SECONDS (run rounds until that time is up); by default
// one round with a fixed seed.
class TestSession : public QObject, private ApplicationFixture
{
    Q_OBJECT

private slots:
    void init() { startApplication(); }
    void cleanup() { stopApplication(); }

    void randomEditingKeepsTheDiagramSound();

private:
    void runRound(quint32 seed, int actions);
    void act();
    void switchMode();
    void placeEntity();
    void pressConnector();
    void moveMouse();
    void rightPress();
    void doubleClick();
    void dragEntities();
    void deleteSelection();
    void undoOrRedo();
    void useClipboard();
    void zoom();
    void roundTrip();
    void walkTheHistory();

    void editOpenWindows();
    void editEntityWindow(EntityEditWindow* window);
    void editLineWindow(LineEditWindow* window);
    void whileAnswering(const std::function<void()>& action);
    void answer(QWidget* modal);
    void click(QWidget* window, const char* buttonName);

    QPointF randomPoint();
    QList<Entity*> entities() const;
    QList<Line*> lines() const;
    template<typename T>
    T* pick(const QList<T*>& list);
    int below(int bound) { return int(random.bounded(quint32(bound))); }
    bool chance(int percent) { return below(100) < percent; }

    QRandomGenerator random;
    QTemporaryDir folder;
    QString savedDescription;
    // The diagram where the undo history begins, unless its oldest steps went.
    QByteArray historyStart;
    bool historyCut = false;
};

void TestSession::randomEditingKeepsTheDiagramSound()
{
    const QByteArray seedSetting = qgetenv("SESSION_SEED");
    const int seconds = qEnvironmentVariableIntValue("SESSION_SECONDS");
    constexpr int actionsPerRound = 3000;
    QElapsedTimer clock;
    clock.start();
    quint32 seed = seedSetting.isEmpty() ? 20261208u : seedSetting.toUInt();
    int rounds = 0;
    do {
        if (seedSetting == "random")
            seed = QRandomGenerator::system()->generate();
        runRound(seed, actionsPerRound);
        if (QTest::currentTestFailed())
            return;
        ++rounds;
        scene()->clearDiagram();
    } while (clock.elapsed() < seconds * 1000LL);
    qInfo("%d rounds of %d actions, nothing found", rounds, actionsPerRound);
}

void TestSession::runRound(quint32 seed, int actions)
{
    // Named up front, so that a crash under the sanitizers can be replayed too.
    qInfo("session seed %u", seed);
    random.seed(seed);
    historyStart = savedBytes(scene());
    historyCut = false;
    for (int i = 0; i < actions; ++i) {
        act();
        editOpenWindows();
        historyCut = historyCut || scene()->undoStack()->count() == scene()->undoStack()->undoLimit();
        const QString fault = diagramFault(scene());
        QVERIFY2(fault.isEmpty(), qPrintable(QStringLiteral("seed %1, action %2: %3").arg(seed).arg(i).arg(fault)));
        QVERIFY2(QApplication::activeModalWidget() == nullptr && QApplication::activePopupWidget() == nullptr,
                 qPrintable(QStringLiteral("seed %1, action %2: a window stayed open").arg(seed).arg(i)));
        QVERIFY2(savedDescription.isEmpty(),
                 qPrintable(QStringLiteral("seed %1, action %2: %3").arg(seed).arg(i).arg(savedDescription)));
    }
    walkTheHistory();
    QVERIFY2(savedDescription.isEmpty(), qPrintable(QStringLiteral("seed %1, at the end: %2").arg(seed).arg(savedDescription)));
}

// A file dialog or an edit window takes the focus with it; the window's keys
// need it back.
void TestSession::act()
{
    if (!window()->isActiveWindow()) {
        window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window()));
    }
    const std::function<void()> actions[] = {
        [this] { switchMode(); },     [this] { placeEntity(); },    [this] { placeEntity(); },
        [this] { placeEntity(); },    [this] { pressConnector(); }, [this] { pressConnector(); },
        [this] { pressConnector(); }, [this] { pressConnector(); }, [this] { moveMouse(); },
        [this] { rightPress(); },     [this] { doubleClick(); },    [this] { dragEntities(); },
        [this] { dragEntities(); },   [this] { deleteSelection(); }, [this] { undoOrRedo(); },
        [this] { undoOrRedo(); },     [this] { useClipboard(); },   [this] { zoom(); },
    };
    if (chance(1)) {
        roundTrip();
        return;
    }
    actions[below(int(std::size(actions)))]();
}

void TestSession::switchMode()
{
    const Qt::Key keys[] = {Qt::Key_S, Qt::Key_E, Qt::Key_L};
    pressKey(keys[below(3)]);
}

void TestSession::placeEntity()
{
    if (entities().size() >= 20)
        return deleteSelection();
    if (app()->getMode() != AddEntityMode)
        pressKey(Qt::Key_E);
    clickAt(randomPoint());
}

void TestSession::pressConnector()
{
    Entity* entity = pick(entities());
    if (!entity)
        return placeEntity();
    if (app()->getMode() != AddLineMode && chance(80))
        pressKey(Qt::Key_L);
    const int side = below(Entity::sideCount);
    const Connector* connector = entity->connectorAt(side, below(entity->connectorCount(side)));
    whileAnswering([&] { clickAt(connector->centre()); });
}

void TestSession::moveMouse()
{
    moveTo(randomPoint());
}

void TestSession::rightPress()
{
    Entity* entity = pick(entities());
    const QPointF at = entity && chance(60) ? entity->scenePos() + QPointF(3, 3) : randomPoint();
    whileAnswering([&] { clickAt(at, Qt::RightButton); });
}

void TestSession::doubleClick()
{
    Line* line = pick(lines());
    Entity* entity = pick(entities());
    if (line && chance(40))
        doubleClickAt(line->line().center());
    else if (entity)
        doubleClickAt(entity->scenePos() + QPointF(10, 5));
}

void TestSession::dragEntities()
{
    Entity* entity = pick(entities());
    if (!entity)
        return placeEntity();
    if (app()->getMode() != SelectMode)
        pressKey(Qt::Key_S);
    scene()->clearSelection();
    if (chance(50)) {
        for (Entity* other : entities())
            other->setSelected(chance(40));
        entity->setSelected(true);
    }
    const QPointF from = entity->scenePos() + QPointF(3, 3);
    dragFromTo(from, from + QPointF(below(121) - 60, below(121) - 60));
}

void TestSession::deleteSelection()
{
    scene()->clearSelection();
    for (Entity* entity : entities())
        entity->setSelected(chance(8));
    for (Line* line : lines())
        line->setSelected(chance(20));
    pressKey(Qt::Key_Delete);
}

void TestSession::undoOrRedo()
{
    if (chance(60))
        pressKey(Qt::Key_Z, Qt::ControlModifier);
    else
        pressKey(chance(50) ? Qt::Key_Z : Qt::Key_Y, chance(50) ? Qt::ControlModifier | Qt::ShiftModifier : Qt::ControlModifier);
}

void TestSession::useClipboard()
{
    if (chance(50) && entities().size() < 20) {
        pressKey(Qt::Key_V, Qt::ControlModifier);
        return;
    }
    scene()->clearSelection();
    for (Entity* entity : entities())
        entity->setSelected(chance(30));
    pressKey(chance(70) ? Qt::Key_C : Qt::Key_X, Qt::ControlModifier);
}

// Far out, the parts are drawn differently but must be handled the same.
void TestSession::zoom()
{
    const Qt::Key keys[] = {Qt::Key_Minus, Qt::Key_Equal, Qt::Key_0, Qt::Key_9};
    pressKey(keys[below(int(std::size(keys)))], Qt::ControlModifier);
}

// Undoing every step must give back the diagram the history began with, and
// redoing them the diagram as it is now.
void TestSession::walkTheHistory()
{
    window()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window()));
    const QUndoStack* history = scene()->undoStack();
    // Counted as they are taken: a drag still open becomes a step at the first undo.
    QStringList seen;
    while (history->index() > 0 && seen.size() <= history->count()) {
        seen.prepend(describeDiagram(scene()));
        pressKey(Qt::Key_Z, Qt::ControlModifier);
    }
    if (history->index() != 0)
        savedDescription = QStringLiteral("Ctrl+Z did not reach the start of the history");
    else if (!historyCut && savedBytes(scene()) != historyStart)
        savedDescription = QStringLiteral("undoing every step did not give back the diagram the history began with");
    for (int i = 0; i < seen.size() && savedDescription.isEmpty(); ++i) {
        pressKey(Qt::Key_Y, Qt::ControlModifier);
        const QString now = describeDiagram(scene());
        if (now != seen.at(i))
            savedDescription = QStringLiteral("redoing \"%1\" gave\n%2\n-- and not --\n%3")
                                   .arg(history->text(i), now, seen.at(i));
    }
}

void TestSession::roundTrip()
{
    walkTheHistory();
    const QString path = folder.filePath(QStringLiteral("session.diagram"));
    const QString before = describeDiagram(scene());
    answerFileDialog(path);
    app()->saveAsSlot();
    answerFileDialog(path);
    app()->openSlot();
    historyStart = savedBytes(scene());
    historyCut = false;
    const QString after = describeDiagram(scene());
    if (after != before)
        savedDescription = QStringLiteral("saving and opening changed the diagram:\n%1\n-- became --\n%2").arg(before, after);
}

// Edit windows are modal without a loop of their own: they are still open
// when the action returns, and are worked and closed here.
void TestSession::editOpenWindows()
{
    if (sharedWindow<EntityEditWindow>()->isVisible())
        editEntityWindow(sharedWindow<EntityEditWindow>());
    if (sharedWindow<LineEditWindow>()->isVisible())
        editLineWindow(sharedWindow<LineEditWindow>());
}

void TestSession::editEntityWindow(EntityEditWindow* window)
{
    auto* list = window->findChild<QListWidget*>(QStringLiteral("attributeList"));
    const char* listButtons[] = {"addButton", "deleteButton", "upButton", "downButton", "clearButton"};
    for (int step = below(8); step > 0; --step) {
        if (list->count() > 0 && chance(50))
            list->setCurrentRow(below(list->count()));
        click(window, listButtons[below(5)]);
        if (chance(30))
            QTest::keyClicks(window->findChild<QLineEdit*>(QStringLiteral("attributeNameEdit")), "x");
    }
    if (chance(30))
        window->findChild<QLineEdit*>(QStringLiteral("nameEdit"))->setText(QStringLiteral("E%1").arg(below(100)));
    for (const char* name : {"horConnectorsSpin", "verConnectorsSpin"}) {
        auto* spin = window->findChild<QSpinBox*>(QLatin1String(name));
        if (chance(50))
            spin->setValue(spin->minimum() + below(6));
    }
    if (chance(20))
        click(window, "resetButton");
    click(window, chance(70) ? "applyButton" : "cancelButton");
}

void TestSession::editLineWindow(LineEditWindow* window)
{
    for (const char* name : {"nameEdit", "multiplicityAEdit", "multiplicityBEdit"}) {
        if (chance(50))
            window->findChild<QLineEdit*>(QLatin1String(name))->setText(chance(20) ? QString() : QStringLiteral("0..*"));
    }
    if (chance(20))
        click(window, "resetButton");
    click(window, chance(70) ? "applyButton" : "cancelButton");
}

void TestSession::click(QWidget* window, const char* buttonName)
{
    QTest::mouseClick(window->findChild<QPushButton*>(QLatin1String(buttonName)), Qt::LeftButton);
}

// Answers whatever menu or message the action opens; the timer goes with the
// action, so no answer is left waiting for a later one.
void TestSession::whileAnswering(const std::function<void()>& action)
{
    QTimer poll;
    poll.setInterval(5);
    connect(&poll, &QTimer::timeout, this, [&] {
        QWidget* modal = QApplication::activePopupWidget();
        if (!modal)
            modal = QApplication::activeModalWidget();
        if (modal && (qobject_cast<QMenu*>(modal) || qobject_cast<QMessageBox*>(modal))) {
            poll.stop();
            answer(modal);
        }
    });
    poll.start();
    action();
}

void TestSession::answer(QWidget* modal)
{
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        box->reject();
        return;
    }
    auto* menu = static_cast<QMenu*>(modal);
    QList<QAction*> entries;
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator())
            entries.append(action);
    }
    if (entries.isEmpty() || chance(10)) {
        menu->close();
        return;
    }
    menu->setActiveAction(entries.at(below(int(entries.size()))));
    QTest::keyClick(menu, Qt::Key_Return);
}

QPointF TestSession::randomPoint()
{
    return QPointF(4700 + below(500), 4780 + below(350));
}

QList<Entity*> TestSession::entities() const
{
    QList<Entity*> result;
    for (QGraphicsItem* item : scene()->items()) {
        if (Entity* entity = qgraphicsitem_cast<Entity*>(item))
            result.append(entity);
    }
    return result;
}

QList<Line*> TestSession::lines() const
{
    QList<Line*> result;
    for (QGraphicsItem* item : scene()->items()) {
        Line* line = qgraphicsitem_cast<Line*>(item);
        if (line && line != pendingLineOf(scene()))
            result.append(line);
    }
    return result;
}

template<typename T>
T* TestSession::pick(const QList<T*>& list)
{
    return list.isEmpty() ? nullptr : list.at(below(int(list.size())));
}

DIAGRAM_TEST_MAIN(TestSession)
#include "tst_session.moc"
