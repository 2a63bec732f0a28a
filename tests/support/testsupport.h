#pragma once

#include "app/application.h"

#include <QPointF>
#include <QString>
#include <QTest>

#include <functional>
#include <memory>

class Connector;
class DiagramScene;
class Entity;
class Line;
class MainWindow;
class QGraphicsView;
class QWidget;

// Every test function gets a fresh application, so no state leaks from one
// test into the next. Test classes derive from this and call startApplication()
// in init() and stopApplication() in cleanup().
class ApplicationFixture
{
protected:
    void startApplication();
    void stopApplication();

    Application* app() const;
    MainWindow* window() const;
    DiagramScene* scene() const;
    QGraphicsView* view() const;

    void pressAt(const QPointF& scenePos, Qt::MouseButton button = Qt::LeftButton);
    void clickAt(const QPointF& scenePos, Qt::MouseButton button = Qt::LeftButton);
    void doubleClickAt(const QPointF& scenePos);
    void moveTo(const QPointF& scenePos);
    void dragFromTo(const QPointF& from, const QPointF& to);
    // Draws a line between two connectors in add-line mode, as a user does,
    // then switches to modeAfter; returns the new line, or none if refused.
    Line* joinByMouse(Connector* from, Connector* to, EditMode modeAfter = SelectMode);
    void pressKey(Qt::Key key);

    // Shows the item at scenePos in the view, so that mouse events reach it.
    void reveal(const QPointF& scenePos);

private:
    std::unique_ptr<Application> application;
};

// Runs `answer` on the first modal widget (message box, file dialog, edit
// window) or popup menu that appears once the event loop runs, so that a
// test can drive code that blocks in exec().
void answerModal(std::function<void(QWidget*)> answer);
void answerPopup(std::function<void(QWidget*)> answer);

// Answers the next popup menu by triggering the entry with this text; records
// the entries it saw (separators as "-") in *seen when given.
void chooseMenuEntry(const QString& text, QStringList* seen = nullptr);
// Presses the button with this text (or standard button text) on the next
// modal message box, and records its text in *seen when given.
void answerMessageBox(const QString& buttonText, QString* seen = nullptr);
// Accepts the next file dialog with this path, or cancels it when the path is empty.
void answerFileDialog(const QString& path);

QPointF centreOf(const Connector* connector);

// A file's bytes, or none when it cannot be read.
QByteArray fileBytes(const QString& path);
void writeFileBytes(const QString& path, const QByteArray& bytes);

// The application is made per test function by the fixture, not by QTest.
#define DIAGRAM_TEST_MAIN(TestClass)                                                                     \
    int main(int argc, char** argv)                                                                      \
    {                                                                                                    \
        TestClass test;                                                                                  \
        return QTest::qExec(&test, argc, argv);                                                          \
    }
