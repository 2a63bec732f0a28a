#pragma once

#include <QApplication>
#include <QKeySequence>
#include <QString>

#include <cstdio>

class MainWindow;

enum EditMode { SelectMode = 0, AddEntityMode = 1, AddLineMode = 2 };

extern const QString applicationTitle;
extern const QKeySequence closeKey;
extern const QKeySequence deleteKey;
extern const QKeySequence selectModeKey;
extern const QKeySequence addEntityModeKey;
extern const QKeySequence addLineModeKey;

class Application : public QApplication
{
    Q_OBJECT

public:
    class FileReadingException
    {
    };

    Application(int& argc, char** argv);
    ~Application() override;

    EditMode getMode() const;
    void setMode(EditMode newMode);
    bool isModified() const;
    void setModified(bool changed);

    bool askToSaveChanges();
    void readDiagramFile();
    void writeDiagramFile();
    void showMessage(const QString& text);
    static void readChecked(void* buffer, int size, int count, FILE* file);

    MainWindow* getMainWindow() const;
    bool isFileNameChosen() const;

signals:
    void changedMode();
    void changedSignal(bool changed);

public slots:
    void saveSlot();
    void saveAsSlot();
    void openSlot();
    void setSelectModeSlot();
    void setAddEntityModeSlot();
    void setAddLineModeSlot();
    void undoSlot();
    void redoSlot();

private:
    void chooseFileName(const QString& name);
    void createShortcuts();
    void followHistory();

    EditMode mode = SelectMode;
    bool modified = false;
    bool fileNameChosen = false;
    QString fileName = QStringLiteral("noname");
    // Last, so that the document state above exists when the window is built.
    MainWindow* const mainWindow;
};
