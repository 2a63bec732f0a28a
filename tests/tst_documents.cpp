#include "support/testsupport.h"

#include "app/diagramwriter.h"
#include "app/mainwindow.h"
#include "items/entity.h"
#include "scene/diagramscene.h"
#include "ui/toolbar.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QToolButton>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString question = QStringLiteral("The diagram has been modified.");

bool isUnsavedChangesQuestion(QWidget* window)
{
    auto* box = static_cast<QMessageBox*>(window);
    return box->text() == question && box->informativeText() == "Do you want to save your changes?"
           && box->standardButtons() == (QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel)
           && box->defaultButton() == box->button(QMessageBox::Save);
}

QString pathOf(const QString& folder, const QString& token)
{
    if (token == "noname")
        return token;
    return token == "missing" ? folder + "/missing/x.dia" : folder + '/' + token + ".dia";
}

// "file:" and a path token accepts a file dialog, "file:" alone cancels it;
// Save, Discard and Cancel answer only the full unsaved-changes question.
ModalAnswer answerFor(const QString& token, const QString& folder)
{
    if (token.startsWith("file:"))
        return ::answerFor(token == "file:" ? token : "file:" + pathOf(folder, token.mid(5)));
    const ModalAnswer press = ::answerFor(token);
    if (token == "OK")
        return press;
    return {press.fits, [press](QWidget* window) {
                return isUnsavedChangesQuestion(window) ? press.act(window)
                                                        : QStringLiteral("not the unsaved-changes question");
            }};
}

void answerInTurn(const QStringList& tokens, const QString& folder)
{
    QList<ModalAnswer> answers;
    for (const QString& token : tokens)
        answers.append(answerFor(token, folder));
    answerInTurn(answers);
}

// What the command printed on standard output, which a file stands in for meanwhile.
QByteArray printedBy(const std::function<void()>& command)
{
    QTemporaryFile capture;
    if (!capture.open())
        return "no file to capture standard output";
    fflush(stdout);
    const int original = dup(STDOUT_FILENO);
    dup2(capture.handle(), STDOUT_FILENO);
    command();
    fflush(stdout);
    dup2(original, STDOUT_FILENO);
    close(original);
    return fileBytes(capture.fileName());
}

} // namespace

class TestDocuments : public QObject, private ApplicationFixture
{
    Q_OBJECT

private slots:
    void init() { startApplication(); }
    void cleanup() { stopApplication(); }

    void commandsLeaveDocumentState_data();
    void commandsLeaveDocumentState();
    void failedWriteKeepsPreviousFile();
    void toolBarFollowsModeAndModified();
    void neverReplacesASpecialFile();
    void savesWhatEarlierVersionsSaved_data();
    void savesWhatEarlierVersionsSaved();

private:
    void saveUnderSizeLimit(const QString& folder);
    QStringList entityNames() const;

    QTemporaryDir dir;
};

QStringList TestDocuments::entityNames() const
{
    QStringList names;
    for (QGraphicsItem* item : scene()->items()) {
        if (auto* entity = qgraphicsitem_cast<Entity*>(item))
            names << entity->name();
    }
    names.sort();
    return names;
}

void TestDocuments::commandsLeaveDocumentState_data()
{
    for (const char* column : {"named", "changed", "closed", "chosen", "modified"})
        QTest::addColumn<bool>(column);
    for (const char* column : {"command", "name", "written", "printed"})
        QTest::addColumn<QString>(column);
    for (const char* column : {"answers", "modals", "entities"})
        QTest::addColumn<QStringList>(column);

    // Before: a diagram "first", saved as a.dia when named, then "second" added when changed.
    // b.dia holds "fromfile", short.dia is cut short, none.dia does not exist.
    // After: file name, whether it counts as chosen and modified, the window closed,
    // which file now holds the two entities of the scene, the entities in the scene,
    // what the command printed on standard output.
    const QStringList both{"first", "second"};
    const QStringList fromFile{"fromfile"};
    const QStringList asked{question, "file dialog"};
    auto row = [](const char* title, bool named, bool changed, const char* command, QStringList answers,
                  QStringList modals, const char* name, bool chosen, bool modified, QStringList entities,
                  const char* written = "", bool closed = false, const char* printed = "") {
        QTest::newRow(title) << named << changed << closed << chosen << modified << QString(command) << QString(name)
                             << QString(written) << QString(printed) << answers << modals << entities;
    };
    row("save, name chosen", true, true, "save", {}, {}, "a", true, false, both, "a");
    row("save, no name, dialog cancelled", false, true, "save", {"file:"}, {"file dialog"}, "noname", false, true,
        both);
    row("save, no name, name chosen", false, true, "save", {"file:b"}, {"file dialog"}, "b", true, false, both, "b");
    row("save as, dialog cancelled", true, true, "save as", {"file:"}, {"file dialog"}, "a", true, true, both);
    row("save as, name chosen", true, true, "save as", {"file:b"}, {"file dialog"}, "b", true, false, both, "b");
    row("save as, folder missing", false, true, "save as", {"file:missing", "OK"},
        {"file dialog", "File writing error."}, "missing", true, true, both);
    row("open, cancel", true, true, "open", {"Cancel"}, {question}, "a", true, true, both);
    row("open, discard, dialog cancelled", false, true, "open", {"Discard", "file:"}, asked, "noname", false, true,
        both);
    row("open, save, dialog cancelled", true, true, "open", {"Save", "file:"}, asked, "a", true, false, both, "a",
        false, "Saved: 1\n");
    row("open, save as cancelled", false, true, "open", {"Save", "file:"}, asked, "noname", false, true, both, "",
        false, "Saved: 0\n");
    row("open, save, read", true, true, "open", {"Save", "file:b"}, asked, "b", true, false, fromFile, "a", false,
        "Saved: 1\n");
    row("open, discard, read", false, true, "open", {"Discard", "file:b"}, asked, "b", true, false, fromFile);
    row("open unchanged, read", true, false, "open", {"file:b"}, {"file dialog"}, "b", true, false, fromFile);
    row("open, file missing", true, false, "open", {"file:none", "OK"}, {"file dialog", "File reading error."},
        "none", true, false, {});
    row("open, file too short", true, false, "open", {"file:short", "OK"}, {"file dialog", "File reading error."},
        "short", true, false, {});
    row("close unchanged", true, false, "close", {}, {}, "a", true, false, {"first"}, "", true);
    row("close, cancel", false, true, "close", {"Cancel"}, {question}, "noname", false, true, both);
    row("close, discard", false, true, "close", {"Discard"}, {question}, "noname", false, true, both, "", true);
    row("close, save as cancelled", false, true, "close", {"Save", "file:"}, asked, "noname", false, true, both, "",
        false, "Saved: 0\n");
    row("close, save fails", false, true, "close", {"Save", "file:missing", "OK"},
        {question, "file dialog", "File writing error."}, "missing", true, true, both, "", false, "Saved: 0\n");
    row("close, save", false, true, "close", {"Save", "file:a"}, asked, "a", true, false, both, "a", true,
        "Saved: 0\n");
}

void TestDocuments::commandsLeaveDocumentState()
{
    QFETCH(bool, named);
    QFETCH(bool, changed);
    QFETCH(QString, command);
    QFETCH(QStringList, answers);
    const QString folder = dir.path();
    QFile::remove(pathOf(folder, "a"));
    writeFileBytes(pathOf(folder, "b"), QByteArray::fromHex("01000000640000003200000008000000") + "fromfile"
                                       + QByteArray::fromHex("02000000020000000000000000000000"));
    writeFileBytes(pathOf(folder, "short"), QByteArray("\1\0\0", 3));
    placeEntity(QPointF(5000, 5000), "first");
    if (named) {
        answerInTurn({"file:a"}, folder);
        toolButton(SaveAsButton)->click();
        QCOMPARE(modalsMet(), QStringList{"file dialog"});
    }
    if (changed)
        placeEntity(QPointF(5300, 5000), "second");
    QCOMPARE(app()->isModified(), changed);

    QToolButton* button = command == "save"      ? toolButton(SaveButton)
                           : command == "save as" ? toolButton(SaveAsButton)
                           : command == "open"    ? toolButton(OpenButton)
                                                  : nullptr;
    QVERIFY(!button || button->isEnabled());
    answerInTurn(answers, folder);
    const QByteArray printed = printedBy([&] {
        if (button)
            button->click();
        else
            window()->close();
    });

    QTEST(modalsMet(), "modals");
    QTEST(QString(printed), "printed");
    QFETCH(QString, name);
    QCOMPARE(window()->windowTitle(), "Diagram Editor (" + pathOf(folder, name) + ")");
    QTEST(app()->isFileNameChosen(), "chosen");
    QTEST(app()->isModified(), "modified");
    QTEST(toolButton(SaveButton)->isEnabled(), "modified");
    QTEST(!window()->isVisible(), "closed");
    QTEST(entityNames(), "entities");
    QFETCH(QString, written);
    if (!written.isEmpty())
        QCOMPARE(fileBytes(pathOf(folder, written)).left(4), QByteArray::fromHex("02000000"));
}

// Guards against a save that dies part way (here at a file size limit of every
// byte count short of the whole diagram) and leaves a truncated file in place
// of the previous one, or reports success.
void TestDocuments::failedWriteKeepsPreviousFile()
{
    const QString childFolder = qEnvironmentVariable("DIAGRAM_TEST_LIMITED_SAVE_IN");
    if (!childFolder.isEmpty())
        return saveUnderSizeLimit(childFolder);
    QTemporaryDir folder;
    placeEntity(QPointF(5000, 5000), "first");
    answerInTurn({"file:a"}, folder.path());
    toolButton(SaveAsButton)->click();
    const QByteArray previous = fileBytes(pathOf(folder.path(), "a"));
    QCOMPARE(previous.size(), 37);

    // A second run of this executable does the limited save: a forked copy of a
    // Qt process hangs when it paints, and the limit must not reach this process.
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DIAGRAM_TEST_LIMITED_SAVE_IN", folder.path());
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {"failedWriteKeepsPreviousFile"});
    QVERIFY(child.waitForFinished(120000));
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, child.readAll().constData());
    QCOMPARE(fileBytes(pathOf(folder.path(), "a")).left(4), QByteArray::fromHex("02000000"));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"a.dia"});
}

void TestDocuments::saveUnderSizeLimit(const QString& folder)
{
    answerInTurn({"file:a"}, folder);
    toolButton(OpenButton)->click();
    QCOMPARE(entityNames(), QStringList{"first"});
    placeEntity(QPointF(5300, 5000), "second");
    const QString path = pathOf(folder, "a");
    const QByteArray previous = fileBytes(path);
    char* buffer = nullptr;
    size_t size = 0;
    FILE* memory = open_memstream(&buffer, &size);
    DiagramWriter(scene()).write(memory);
    fclose(memory);
    const QByteArray wanted(buffer, int(size));
    free(buffer);

    signal(SIGXFSZ, SIG_IGN);
    for (rlim_t k = 0; k <= rlim_t(wanted.size()); ++k) {
        const rlimit limit{k, RLIM_INFINITY};
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
        const bool fits = k == rlim_t(wanted.size());
        answerInTurn(fits ? QStringList() : QStringList{"OK"}, folder);
        toolButton(SaveButton)->click();
        QCOMPARE(modalsMet(), fits ? QStringList() : QStringList{"File writing error."});
        QCOMPARE(app()->isModified(), !fits);
        QCOMPARE(toolButton(SaveButton)->isEnabled(), !fits);
        QCOMPARE(fileBytes(path), fits ? wanted : previous);
    }
    app()->setModified(true);
    const rlimit limit{0, RLIM_INFINITY};
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
    answerInTurn({"OK"}, folder);
    toolButton(SaveButton)->click();
    QCOMPARE(fileBytes(path), wanted);
}

void TestDocuments::toolBarFollowsModeAndModified()
{
    const auto* bar = window()->findChild<ToolBar*>();
    QToolButton* save = toolButton(SaveButton);
    const QList<QToolButton*> modeButtons{toolButton(SelectButton), toolButton(AddEntityButton), toolButton(AddLineButton)};
    QList<QWidget*> shown;
    QStringList tips;
    for (QAction* action : bar->actions()) {
        auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action));
        shown << button;
        tips << (button ? button->toolTip() + button->text() : "-");
    }
    QCOMPARE(shown, (QList<QWidget*>{save, toolButton(SaveAsButton), toolButton(OpenButton), nullptr, modeButtons[0],
                                     modeButtons[1], modeButtons[2], nullptr}));
    QCOMPARE(tips, (QStringList{"", "", "", "-", "Select (S)", "Add entity (E)", "Add line (L)", "-"}));

    auto checked = [&] {
        QList<bool> states;
        for (QToolButton* button : modeButtons)
            states << button->isChecked();
        return states;
    };
    auto shows = [save](const char* icon) {
        return save->icon().pixmap(27, 27).toImage() == QIcon(icon).pixmap(27, 27).toImage();
    };
    QCOMPARE(checked(), (QList<bool>{true, false, false}));
    QVERIFY(save->isEnabled() && shows(":/images/disk.png"));
    pressKey(Qt::Key_E);
    QCOMPARE(checked(), (QList<bool>{false, true, false}));
    pressKey(Qt::Key_L);
    QCOMPARE(checked(), (QList<bool>{false, false, true}));
    pressKey(Qt::Key_S);
    QCOMPARE(checked(), (QList<bool>{true, false, false}));
    QSignalSpy modeSpy(app(), &Application::changedMode);
    modeButtons[0]->click();
    QCOMPARE(modeSpy.count(), 1);
    QCOMPARE(checked(), (QList<bool>{true, false, false}));
    modeButtons[2]->click();
    QCOMPARE(app()->getMode(), AddLineMode);
    modeButtons[1]->click();
    QCOMPARE(app()->getMode(), AddEntityMode);
    QCOMPARE(checked(), (QList<bool>{false, true, false}));
    clickAt(QPointF(5000, 5000));
    QCOMPARE(app()->getMode(), SelectMode);
    QCOMPARE(checked(), (QList<bool>{true, false, false}));

    answerInTurn({"file:a"}, dir.path());
    save->click();
    QCOMPARE(modalsMet(), QStringList{"file dialog"});
    QVERIFY(!save->isEnabled() && shows(":/images/diskgray.png"));
    placeEntity(QPointF(5300, 5000), "second");
    QVERIFY(save->isEnabled() && shows(":/images/disk.png"));
    save->click();
    QVERIFY(!save->isEnabled());
    QCOMPARE(fileBytes(pathOf(dir.path(), "a")).left(4), QByteArray::fromHex("02000000"));
}

// Saving over a pipe (as over a device) would put a regular file in its place.
void TestDocuments::neverReplacesASpecialFile()
{
    QTemporaryDir folder;
    const QString pipe = pathOf(folder.path(), "pipe");
    QCOMPARE(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    placeEntity(QPointF(5000, 5000), "first");
    answerInTurn({"file:pipe", "OK"}, folder.path());
    toolButton(SaveAsButton)->click();
    QCOMPARE(modalsMet(), (QStringList{"file dialog", "File writing error."}));
    QVERIFY(app()->isModified());
    QVERIFY(QFileInfo(pipe).exists() && !QFileInfo(pipe).isFile());
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             QStringList{"pipe.dia"});
}

void TestDocuments::savesWhatEarlierVersionsSaved_data()
{
    QTest::addColumn<QString>("name");
    for (const char* name : {"built", "generated", "grid", "three-lines"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

// Each pair of files was written by an earlier build: the diagram, and what
// that build saved after opening it. Opening and saving must write those bytes.
void TestDocuments::savesWhatEarlierVersionsSaved()
{
    QFETCH(QString, name);
    const QString golden = QStringLiteral(DIAGRAM_GOLDEN) + '/' + name;
    answerInTurn({answerFor("file:" + golden + ".diagram"), answerFor("file:" + dir.filePath(name))});
    toolButton(OpenButton)->click();
    toolButton(SaveAsButton)->click();
    QCOMPARE(modalsMet(), (QStringList{"file dialog", "file dialog"}));
    QCOMPARE(fileBytes(dir.filePath(name)), fileBytes(golden + ".saved.diagram"));
}

DIAGRAM_TEST_MAIN(TestDocuments)
#include "tst_documents.moc"
