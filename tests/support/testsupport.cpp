#include "support/testsupport.h"

#include "app/mainwindow.h"
#include "items/connector.h"
#include "items/line.h"
#include "ui/entityeditwindow.h"
#include "ui/lineeditwindow.h"
#include "scene/diagramscene.h"

#include <QAbstractButton>
#include <QFile>
#include <QApplication>
#include <QFileDialog>
#include <QGraphicsView>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>

namespace {

int argumentCount = 1;
char programName[] = "diagram-test";
char* arguments[] = {programName, nullptr};

// Polls through the event loop until the widget shows up, so that the answer
// runs inside the modal loop that is waiting for it.
void whenShown(std::function<QWidget*()> find, std::function<void(QWidget*)> answer, int triesLeft = 200)
{
    QTimer::singleShot(triesLeft == 200 ? 0 : 10, [find, answer, triesLeft] {
        if (QWidget* widget = find()) {
            answer(widget);
            return;
        }
        if (triesLeft > 0)
            whenShown(find, answer, triesLeft - 1);
        else
            qWarning("No modal widget or popup appeared to be answered");
    });
}

} // namespace

void ApplicationFixture::startApplication()
{
    application = std::make_unique<Application>(argumentCount, arguments);
    window()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window()));
}

// An edit window left open would mean a test ended inside an edit.
void ApplicationFixture::stopApplication()
{
    const bool editing = scene()->getEntityEditWindow()->isVisible() || scene()->getLineEditWindow()->isVisible();
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
    return window()->getView();
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

void ApplicationFixture::pressKey(Qt::Key key)
{
    QTest::keyClick(window(), key);
}

void answerModal(std::function<void(QWidget*)> answer)
{
    whenShown([] { return QApplication::activeModalWidget(); }, std::move(answer));
}

void answerPopup(std::function<void(QWidget*)> answer)
{
    whenShown([] { return QApplication::activePopupWidget(); }, std::move(answer));
}

void chooseMenuEntry(const QString& text, QStringList* seen)
{
    answerPopup([text, seen](QWidget* widget) {
        auto* menu = qobject_cast<QMenu*>(widget);
        QVERIFY(menu);
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
    });
}

void answerMessageBox(const QString& buttonText, QString* seen)
{
    answerModal([buttonText, seen](QWidget* widget) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        QVERIFY(box);
        if (seen)
            *seen = box->text();
        for (QAbstractButton* button : box->buttons()) {
            if (button->text().remove('&') == buttonText) {
                button->click();
                return;
            }
        }
        box->reject();
    });
}

void answerFileDialog(const QString& path)
{
    answerModal([path](QWidget* widget) {
        auto* dialog = qobject_cast<QFileDialog*>(widget);
        QVERIFY(dialog);
        if (path.isEmpty()) {
            dialog->reject();
            return;
        }
        // done() rather than accept(): the answer is final, as if the user had
        // already confirmed an overwrite or picked an existing file.
        dialog->selectFile(path);
        static_cast<QDialog*>(dialog)->done(QDialog::Accepted);
    });
}

QPointF centreOf(const Connector* connector)
{
    return connector->centre();
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
