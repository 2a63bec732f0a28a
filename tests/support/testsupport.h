#pragma once

#include "app/application.h"

#include <QPointF>
#include <QString>
#include <QStringList>
#include <QTest>

#include <functional>
#include <memory>

#include <QApplication>
#include <QGraphicsItem>
#include <QGraphicsScene>

class Connector;
class DiagramScene;
class Entity;
class Line;
class LineLabel;
class MainWindow;
class QGraphicsTextItem;
class QGraphicsView;
class QToolButton;
class QWidget;

// The tool bar's buttons in their order on the bar.
enum ToolButton { SaveButton, SaveAsButton, OpenButton, SelectButton, AddEntityButton, AddLineButton };

// Every test function gets a fresh application, so no state leaks from one
// test into the next: the application holds the document state and builds its
// one main window when it is made, so only a new one starts a new document.
// Test classes derive from this and call startApplication() in init() and
// stopApplication() in cleanup().
class ApplicationFixture
{
protected:
    void startApplication();
    void stopApplication();

    Application* app() const;
    MainWindow* window() const;
    DiagramScene* scene() const;
    QGraphicsView* view() const;
    QToolButton* toolButton(ToolButton which) const;

    void pressAt(const QPointF& scenePos, Qt::MouseButton button = Qt::LeftButton);
    void clickAt(const QPointF& scenePos, Qt::MouseButton button = Qt::LeftButton);
    void doubleClickAt(const QPointF& scenePos);
    void moveTo(const QPointF& scenePos);
    void dragFromTo(const QPointF& from, const QPointF& to);
    // Draws a line between two connectors in add-line mode, as a user does,
    // then switches to modeAfter; returns the new line, or none if refused.
    Line* joinByMouse(Connector* from, Connector* to, EditMode modeAfter = SelectMode);
    void pressKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // Places an entity with a click in add-entity mode, reached through the
    // tool bar (after a file dialog the main window need not be active again,
    // and its shortcuts would not fire), and names it.
    Entity* placeEntity(const QPointF& at, const QString& name);
    // Creates an entity through the scene, as the file reader and the menus do.
    Entity* addEntity(int x, int y);

    // Shows the item at scenePos in the view, so that mouse events reach it.
    void reveal(const QPointF& scenePos);

private:
    std::unique_ptr<Application> application;
};

// One window that the code under test is expected to open: fits tells
// whether a window is the one meant, act answers it and returns what kept it
// from answering, if anything.
struct ModalAnswer
{
    std::function<bool(QWidget*)> fits;
    std::function<QString(QWidget*)> act;
};

// Expected windows are answered one after the other, in the order given, from
// inside the event loop that waits for them, and every window met is recorded.
// A window that blocks with no answer fitting it, or that its answer cannot
// handle, is closed before the test fails, so that the test fails within
// seconds instead of hanging. Answers no window took end with the test.
void expectModal(ModalAnswer answer);
// "file:PATH" accepts the file dialog with PATH, "file:" alone cancels it, and
// any other text presses the message box button of that text.
ModalAnswer answerFor(const QString& token);
// Starts a new record of the windows met and expects these, in turn, in place
// of any answers still waiting.
void answerInTurn(const QList<ModalAnswer>& answers);
void answerInTurn(const QStringList& tokens);
// The windows met since answerInTurn: a message box by its text, a file
// dialog as "file dialog", a menu as "menu", any other window by its title.
QStringList modalsMet();

// Runs `answer` on the next modal widget (message box, file dialog, edit
// window) or popup menu, so that a test can drive code that blocks in exec().
void answerModal(std::function<void(QWidget*)> answer);
void answerPopup(std::function<void(QWidget*)> answer);

// Answers the next popup menu by triggering the entry with this text; records
// the entries it saw (separators as "-") in *seen when given. A menu without
// that entry is closed.
void chooseMenuEntry(const QString& text, QStringList* seen = nullptr);
// Presses the button with this text (or standard button text) on the next
// modal message box, and records its text in *seen when given.
void answerMessageBox(const QString& buttonText, QString* seen = nullptr);
// Accepts the next file dialog with this path, or cancels it when the path is empty.
void answerFileDialog(const QString& path);

QPointF centreOf(const Connector* connector);
// A scene point made whole as the program makes it: truncated, once a zoomed
// view's floating-point noise is off.
QPointF truncated(const QPointF& point);

// The scene's items of one item class, topmost first.
template<typename Item>
QList<Item*> itemsOfType(const QGraphicsScene* scene)
{
    QList<Item*> found;
    for (QGraphicsItem* item : scene->items()) {
        if (Item* typed = qgraphicsitem_cast<Item*>(item))
            found.append(typed);
    }
    return found;
}

// The line being drawn in add-line mode, which has no end connector, or none.
Line* pendingLineOf(const DiagramScene* scene);
// An entity's texts, the name first and then the attributes in order.
QList<QGraphicsTextItem*> textItemsOf(const Entity* entity);
// A line's labels: name, multiplicity A, multiplicity B.
QList<LineLabel*> labelsOf(const Line* line);

// The editing windows and the menus are windows of their own, one of each
// shared by every item.
template<typename Window>
Window* sharedWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<Window*>(widget))
            return window;
    }
    return nullptr;
}

// A file's bytes, or none when it cannot be read.
QByteArray fileBytes(const QString& path);
void writeFileBytes(const QString& path, const QByteArray& bytes);

// Runs the test object's functions in a runtime folder of this process's own.
int runDiagramTests(QObject& test, int argc, char** argv);

// The application is made per test function by the fixture, not by QTest.
#define DIAGRAM_TEST_MAIN(TestClass)                                                                     \
    int main(int argc, char** argv)                                                                      \
    {                                                                                                    \
        TestClass test;                                                                                  \
        return runDiagramTests(test, argc, argv);                                                        \
    }
