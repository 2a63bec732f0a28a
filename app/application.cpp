#include "app/application.h"

#include "app/diagramreader.h"
#include "app/diagramwriter.h"
#include "app/mainwindow.h"
#include "scene/diagramscene.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QShortcut>
#include <QUndoStack>

const QString applicationTitle = QStringLiteral("Diagram Editor");
const QKeySequence closeKey(Qt::Key_Escape);
const QKeySequence deleteKey(Qt::Key_Delete);
const QKeySequence selectModeKey(QStringLiteral("S"));
const QKeySequence addEntityModeKey(QStringLiteral("E"));
const QKeySequence addLineModeKey(QStringLiteral("L"));

Application::Application(int& argc, char** argv)
    : QApplication(argc, argv)
    , mainWindow(new MainWindow(this))
{
    mainWindow->setWindowTitle(applicationTitle + " (" + fileName + ")");
    mainWindow->show();
    createShortcuts();
}

Application::~Application()
{
    delete mainWindow;
}

void Application::createShortcuts()
{
    auto* close = new QShortcut(closeKey, mainWindow, nullptr, nullptr, Qt::WindowShortcut);
    auto* select = new QShortcut(selectModeKey, mainWindow, nullptr, nullptr, Qt::WindowShortcut);
    auto* addEntity = new QShortcut(addEntityModeKey, mainWindow, nullptr, nullptr, Qt::WindowShortcut);
    auto* addLine = new QShortcut(addLineModeKey, mainWindow, nullptr, nullptr, Qt::WindowShortcut);
    connect(close, &QShortcut::activated, mainWindow, &MainWindow::close);
    connect(select, &QShortcut::activated, this, &Application::setSelectModeSlot);
    connect(addEntity, &QShortcut::activated, this, &Application::setAddEntityModeSlot);
    connect(addLine, &QShortcut::activated, this, &Application::setAddLineModeSlot);
    auto* undo = new QShortcut(mainWindow);
    auto* redo = new QShortcut(mainWindow);
    undo->setKeys(QKeySequence::Undo);
    // Ctrl+Y as well, which users of other systems expect.
    QList<QKeySequence> redoKeys = QKeySequence::keyBindings(QKeySequence::Redo);
    if (!redoKeys.contains(QKeySequence(Qt::CTRL | Qt::Key_Y)))
        redoKeys.append(QKeySequence(Qt::CTRL | Qt::Key_Y));
    redo->setKeys(redoKeys);
    connect(undo, &QShortcut::activated, this, &Application::undoSlot);
    connect(redo, &QShortcut::activated, this, &Application::redoSlot);
}

EditMode Application::getMode() const
{
    return mode;
}

void Application::setMode(EditMode newMode)
{
    mode = newMode;
    emit changedMode();
}

bool Application::isModified() const
{
    return modified;
}

void Application::setModified(bool changed)
{
    modified = changed;
    emit changedSignal(changed);
}

MainWindow* Application::getMainWindow() const
{
    return mainWindow;
}

bool Application::isFileNameChosen() const
{
    return fileNameChosen;
}

void Application::setSelectModeSlot()
{
    setMode(SelectMode);
}

void Application::setAddEntityModeSlot()
{
    setMode(AddEntityMode);
}

void Application::setAddLineModeSlot()
{
    setMode(AddLineMode);
}

void Application::undoSlot()
{
    if (mainWindow->getScene()->undo())
        followHistory();
}

void Application::redoSlot()
{
    if (mainWindow->getScene()->redo())
        followHistory();
}

// Back at the step that was saved (or opened, or started from), the diagram
// is as its file holds it.
void Application::followHistory()
{
    setModified(!mainWindow->getScene()->undoStack()->isClean());
}

void Application::chooseFileName(const QString& name)
{
    fileNameChosen = true;
    fileName = name;
    mainWindow->setWindowTitle(applicationTitle + " (" + fileName + ")");
}

// Save in the question counts only when the diagram really was saved: a
// cancelled file dialog or a failed write leaves it modified, and the caller
// must then keep the diagram.
bool Application::askToSaveChanges()
{
    if (!modified)
        return true;
    QMessageBox box;
    box.setText(QStringLiteral("The diagram has been modified."));
    box.setInformativeText(QStringLiteral("Do you want to save your changes?"));
    box.setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
    case QMessageBox::Save:
        printf("Saved: %d\n", fileNameChosen ? 1 : 0);
        fflush(stdout);
        saveSlot();
        return !modified;
    case QMessageBox::Discard:
        return true;
    default:
        return false;
    }
}

void Application::saveSlot()
{
    if (!fileNameChosen) {
        saveAsSlot();
        return;
    }
    setModified(false);
    writeDiagramFile();
}

void Application::saveAsSlot()
{
    const QString name = QFileDialog::getSaveFileName(nullptr, QString(), QString(), QString(), nullptr,
                                                      QFileDialog::Options());
    if (name.isNull())
        return;
    chooseFileName(name);
    setModified(false);
    writeDiagramFile();
}

void Application::openSlot()
{
    if (!askToSaveChanges())
        return;
    const QString name = QFileDialog::getOpenFileName(nullptr, QString(), QString(), QString(), nullptr,
                                                      QFileDialog::Options());
    if (name.isNull())
        return;
    chooseFileName(name);
    try {
        readDiagramFile();
    } catch (const FileReadingException&) {
        showMessage(QStringLiteral("File reading error."));
        mainWindow->getScene()->clearDiagram();
    }
    setModified(false);
    mainWindow->showDiagram();
}

// A failed save must lose nothing: the old file is replaced only once every
// byte of the new one is written, and the diagram stays modified.
void Application::writeDiagramFile()
{
    if (DiagramWriter(mainWindow->getScene()).write(fileName)) {
        mainWindow->getScene()->undoStack()->setClean();
        return;
    }
    showMessage(QStringLiteral("File writing error."));
    setModified(true);
}

// A file that cannot be opened is reported here; a damaged one leaves as the
// exception, which the open command reports.
void Application::readDiagramFile()
{
    switch (DiagramReader(mainWindow->getScene()).read(fileName)) {
    case DiagramReader::Read:
        break;
    case DiagramReader::NotOpened:
        showMessage(QStringLiteral("File reading error."));
        break;
    case DiagramReader::Refused:
        throw FileReadingException();
    }
}

void Application::showMessage(const QString& text)
{
    QMessageBox box;
    box.setText(text);
    box.exec();
}

void Application::readChecked(void* buffer, int size, int count, FILE* file)
{
    if (fread(buffer, size, count, file) != static_cast<size_t>(count))
        throw FileReadingException();
}
