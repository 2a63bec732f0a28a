#include "support/testsupport.h"

#include "app/mainwindow.h"
#include "items/connector.h"
#include "items/diagramgeometry.h"
#include "items/entity.h"
#include "items/line.h"
#include "items/linelabel.h"
#include "scene/diagramscene.h"
#include "ui/entityeditwindow.h"
#include "ui/lineeditwindow.h"
#include "ui/toolbar.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QGraphicsTextItem>
#include <QGraphicsView>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QToolButton>

#include <utility>

namespace {

int argumentCount = 1;
char programName[] = "diagram-test";
char* arguments[] = {programName, nullptr};

constexpr int pollInterval = 2;
// Longer than any answerer of a test's own takes to close what it answers.
constexpr int strayGrace = 2000;

QString describe(QWidget* window)
{
    if (auto* box = qobject_cast<QMessageBox*>(window))
        return box->text();
    if (qobject_cast<QFileDialog*>(window))
        return QStringLiteral("file dialog");
    if (qobject_cast<QMenu*>(window))
        return QStringLiteral("menu");
    return window->windowTitle().isEmpty() ? QString(window->metaObject()->className()) : window->windowTitle();
}

// A message box without an escape button ignores close(); reject() ends any
// dialog's event loop.
void dismiss(QWidget* window)
{
    if (auto* dialog = qobject_cast<QDialog*>(window))
        dialog->reject();
    else
        window->close();
}

bool isPopup(const QWidget* window)
{
    return window->windowType() == Qt::Popup;
}

template<typename Window>
bool isA(QWidget* window)
{
    return qobject_cast<Window*>(window) != nullptr;
}

// An answer that never finds fault with the window it answers.
ModalAnswer unchecked(std::function<bool(QWidget*)> fits, std::function<void(QWidget*)> answer)
{
    return {std::move(fits), [answer = std::move(answer)](QWidget* window) {
                answer(window);
                return QString();
            }};
}

QWidget* topWindow()
{
    QWidget* popup = QApplication::activePopupWidget();
    return popup ? popup : QApplication::activeModalWidget();
}

// Polls from a timer that runs in every event loop, the modal ones included.
// Only an event loop can wait on a window: one shown without a loop of its own
// (an edit window) is the test's to work, and is left alone unless expected.
class ModalAnswerer : public QObject
{
public:
    ModalAnswerer()
    {
        poll.setSingleShot(true);
        connect(&poll, &QTimer::timeout, this, &ModalAnswerer::tick);
        poll.start(0);
    }

    QList<ModalAnswer> answers;
    QStringList met;

protected:
    // A window shown again, as a menu is, starts its grace anew.
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == stray && event->type() == QEvent::Hide)
            stray = nullptr;
        return false;
    }

private:
    void tick()
    {
        // Armed first, so that a window opened by an answer is met as well.
        poll.start(pollInterval);
        QWidget* window = topWindow();
        if (window && !answers.isEmpty() && answers.first().fits(window))
            answer(window, answers.takeFirst());
        else if (window && QThread::currentThread()->loopLevel() > 0)
            watchUnanswered(window);
    }

    void answer(QWidget* window, const ModalAnswer& answer)
    {
        met << describe(window);
        const QPointer<QWidget> answered(window);
        const QString fault = answer.act(window);
        if (!fault.isEmpty())
            refuse(window, fault);
        else if (answered && answered->isVisible() && QTest::currentTestFailed())
            dismiss(answered);
    }

    // Another answerer of the test's own may still take the window.
    void watchUnanswered(QWidget* window)
    {
        if (window != stray) {
            stray = window;
            window->installEventFilter(this);
            straySince.start();
            return;
        }
        if (straySince.elapsed() < strayGrace)
            return;
        straySince.start();
        met << describe(window);
        const char* fault = answers.isEmpty() ? "a window that no answer expected stayed open: \"%1\""
                                              : "a window other than the one expected stayed open: \"%1\"";
        refuse(window, QString::fromLatin1(fault).arg(met.last()));
    }

    static void refuse(QWidget* window, const QString& fault)
    {
        dismiss(window);
        QTest::qFail(qPrintable(fault), __FILE__, __LINE__);
    }

    QTimer poll;
    QPointer<QWidget> stray;
    QElapsedTimer straySince;
};

std::unique_ptr<ModalAnswerer> answerer;

// The offscreen platform cannot raise a window, grab the keyboard or pass on
// size hints, and says so every time; that says nothing about this program.
bool isPlatformNotice(const QString& message)
{
    return QGuiApplication::platformName() == QLatin1String("offscreen")
           && message.startsWith(QLatin1String("This plugin does not support "));
}

QtMessageHandler testlibHandler = nullptr;

// QtTest fails the test on a warning only through failOnWarning, which yields
// to ignoreMessage; it has no such switch for criticals, and nothing here
// expects one, so a critical fails the test outright.
void screenMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (isPlatformNotice(message))
        return;
    testlibHandler(type, context, message);
    if (type == QtCriticalMsg)
        QTest::qFail("a critical message was logged", context.file, context.line);
}

} // namespace

int runDiagramTests(QObject& test, int argc, char** argv)
{
    // QStandardPaths wants a runtime folder that the user owns with mode 0700,
    // and parallel runs must not share one; mkdtemp makes it so.
    QTemporaryDir runtime(QDir::tempPath() + QStringLiteral("/diagram-test-runtime-XXXXXX"));
    if (!runtime.isValid()) {
        qCritical("no runtime folder could be made in %s", qPrintable(QDir::tempPath()));
        return 1;
    }
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    return QTest::qExec(&test, argc, argv);
}

// QtTest installs its message handler when it starts running the tests, so
// ours goes on top of it at the first test function.
void ApplicationFixture::startApplication()
{
    if (!testlibHandler)
        testlibHandler = qInstallMessageHandler(screenMessage);
    // Any warning fails the test function unless it expects it with ignoreMessage.
    QTest::failOnWarning(QRegularExpression());
    application = std::make_unique<Application>(argumentCount, arguments);
    answerer = std::make_unique<ModalAnswerer>();
    window()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window()));
}

// An edit window left open would mean a test ended inside an edit.
void ApplicationFixture::stopApplication()
{
    const bool editing = sharedWindow<EntityEditWindow>()->isVisible() || sharedWindow<LineEditWindow>()->isVisible();
    answerer.reset();
    application.reset();
    QVERIFY2(QTest::currentTestFailed() || !editing, "an edit window was left open");
}

Application* ApplicationFixture::app() const
{
    return application.get();
}

MainWindow* ApplicationFixture::window() const
{
    return application->getMainWindow();
}

DiagramScene* ApplicationFixture::scene() const
{
    return window()->getScene();
}

QGraphicsView* ApplicationFixture::view() const
{
    return window()->findChild<QGraphicsView*>();
}

QToolButton* ApplicationFixture::toolButton(ToolButton which) const
{
    const auto* bar = window()->findChild<ToolBar*>();
    QList<QToolButton*> buttons;
    for (QAction* action : bar->actions()) {
        if (auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action)))
            buttons.append(button);
    }
    return buttons.at(which);
}

void ApplicationFixture::reveal(const QPointF& scenePos)
{
    const QPoint viewPos = view()->mapFromScene(scenePos);
    if (!view()->viewport()->rect().adjusted(20, 20, -20, -20).contains(viewPos))
        view()->centerOn(scenePos);
}

void ApplicationFixture::pressAt(const QPointF& scenePos, Qt::MouseButton button)
{
    reveal(scenePos);
    QTest::mousePress(view()->viewport(), button, Qt::NoModifier, view()->mapFromScene(scenePos));
}

void ApplicationFixture::clickAt(const QPointF& scenePos, Qt::MouseButton button)
{
    reveal(scenePos);
    QTest::mouseClick(view()->viewport(), button, Qt::NoModifier, view()->mapFromScene(scenePos));
}

void ApplicationFixture::doubleClickAt(const QPointF& scenePos)
{
    reveal(scenePos);
    const QPoint at = view()->mapFromScene(scenePos);
    QTest::mouseClick(view()->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(view()->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

void ApplicationFixture::moveTo(const QPointF& scenePos)
{
    QTest::mouseMove(view()->viewport(), view()->mapFromScene(scenePos));
}

// QTest::mouseMove sends no button state, so a drag is sent as raw events.
void ApplicationFixture::dragFromTo(const QPointF& from, const QPointF& to)
{
    reveal(from);
    QWidget* viewport = view()->viewport();
    const QPoint start = view()->mapFromScene(from);
    const QPoint end = view()->mapFromScene(to);
    QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, start);
    constexpr int steps = 4;
    for (int i = 1; i <= steps; ++i) {
        const QPointF at = start + QPointF(end - start) * i / steps;
        QMouseEvent move(QEvent::MouseMove, at, viewport->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
    }
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, end);
}

Line* ApplicationFixture::joinByMouse(Connector* from, Connector* to, EditMode modeAfter)
{
    app()->setMode(AddLineMode);
    clickAt(centreOf(from));
    clickAt(centreOf(to));
    app()->setMode(modeAfter);
    return to->line() == from->line() ? to->line() : nullptr;
}

void ApplicationFixture::pressKey(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    QTest::keyClick(window(), key, modifiers);
}

Entity* ApplicationFixture::placeEntity(const QPointF& at, const QString& name)
{
    toolButton(AddEntityButton)->click();
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

Entity* ApplicationFixture::addEntity(int x, int y)
{
    return scene()->createEntity(x, y, false);
}

void expectModal(ModalAnswer answer)
{
    QVERIFY2(answerer, "windows are answered only while an application runs");
    answerer->answers.append(std::move(answer));
}

ModalAnswer answerFor(const QString& token)
{
    if (token.startsWith(QLatin1String("file:"))) {
        const QString path = token.mid(5);
        return unchecked(isA<QFileDialog>, [path](QWidget* window) {
            auto* dialog = static_cast<QFileDialog*>(window);
            if (path.isEmpty())
                return dialog->reject();
            // selectFile() leaves a file name field that has the focus as it is;
            // done() rather than accept(): the answer is final, as if the user had
            // already confirmed an overwrite or picked an existing file.
            if (QWidget* focused = dialog->focusWidget())
                focused->clearFocus();
            dialog->selectFile(path);
            static_cast<QDialog*>(dialog)->done(QDialog::Accepted);
        });
    }
    return {isA<QMessageBox>, [token](QWidget* window) {
                auto* box = static_cast<QMessageBox*>(window);
                for (QAbstractButton* button : box->buttons()) {
                    if (button->text().remove('&') == token) {
                        button->click();
                        return QString();
                    }
                }
                return QStringLiteral("no button \"%1\" on \"%2\"").arg(token, box->text());
            }};
}

void answerInTurn(const QList<ModalAnswer>& answers)
{
    QVERIFY2(answerer, "windows are answered only while an application runs");
    answerer->met.clear();
    answerer->answers = answers;
}

void answerInTurn(const QStringList& tokens)
{
    QList<ModalAnswer> answers;
    for (const QString& token : tokens)
        answers.append(answerFor(token));
    answerInTurn(answers);
}

QStringList modalsMet()
{
    return answerer ? answerer->met : QStringList();
}

void answerModal(std::function<void(QWidget*)> answer)
{
    expectModal(unchecked([](QWidget* window) { return !isPopup(window); }, std::move(answer)));
}

void answerPopup(std::function<void(QWidget*)> answer)
{
    expectModal(unchecked(isPopup, std::move(answer)));
}

void chooseMenuEntry(const QString& text, QStringList* seen)
{
    expectModal(unchecked(isA<QMenu>, [text, seen](QWidget* window) {
        auto* menu = static_cast<QMenu*>(window);
        QAction* chosen = nullptr;
        for (QAction* action : menu->actions()) {
            if (seen)
                seen->append(action->isSeparator() ? QStringLiteral("-") : action->text());
            if (action->text() == text)
                chosen = action;
        }
        if (!chosen) {
            menu->close();
            return;
        }
        menu->setActiveAction(chosen);
        QTest::keyClick(menu, Qt::Key_Return);
    }));
}

void answerMessageBox(const QString& buttonText, QString* seen)
{
    const ModalAnswer press = answerFor(buttonText);
    expectModal({press.fits, [press, seen](QWidget* window) {
                     if (seen)
                         *seen = static_cast<QMessageBox*>(window)->text();
                     return press.act(window);
                 }});
}

void answerFileDialog(const QString& path)
{
    expectModal(answerFor(QStringLiteral("file:") + path));
}

QPointF centreOf(const Connector* connector)
{
    return connector->centre();
}

QPointF truncated(const QPointF& point)
{
    return QPointF(DiagramGeometry::wholeUnits(point.x()), DiagramGeometry::wholeUnits(point.y()));
}

Line* pendingLineOf(const DiagramScene* scene)
{
    for (Line* line : itemsOfType<Line>(scene)) {
        if (!line->endConnector())
            return line;
    }
    return nullptr;
}

// Children come in stacking order, and the texts all share one z-value, so
// they come in the order they were added.
QList<QGraphicsTextItem*> textItemsOf(const Entity* entity)
{
    QList<QGraphicsTextItem*> texts;
    for (QGraphicsItem* child : entity->childItems()) {
        if (child->type() == QGraphicsTextItem::Type)
            texts.append(static_cast<QGraphicsTextItem*>(child));
    }
    return texts;
}

QList<LineLabel*> labelsOf(const Line* line)
{
    QList<LineLabel*> labels;
    for (QGraphicsItem* child : line->childItems())
        labels.append(static_cast<LineLabel*>(child));
    return labels;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFileBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}
