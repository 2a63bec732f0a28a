// Measures the editor at the scale of large data models, headless, through the
// program's own code paths, next to the toolkit floor: the same number of bare
// rectangle, text and line items added to a plain scene with no logic of ours.
// Run by `make bench`, which generates the diagrams first:
//   bench-diagram DIR [benchmark options]       DIR holds d1000.diagram, d10000.diagram
//   bench-diagram --peak-rss (open|floor) FILE  prints the peak resident kB after opening
//   bench-diagram --close-latency (open|floor) FILE  prints the ms that closing the window takes
#include "app/application.h"
#include "app/diagramreader.h"
#include "app/diagramwriter.h"
#include "app/mainwindow.h"
#include "items/connector.h"
#include "items/entity.h"
#include "scene/diagramscene.h"
#include "ui/diagrammenu.h"
#include "ui/viewnavigator.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsTextItem>
#include <QGraphicsView>
#include <QMainWindow>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <QUndoStack>

#include <benchmark/benchmark.h>

#include <cstdio>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

int argumentCount = 1;
char programName[] = "bench-diagram";
char* arguments[] = {programName, nullptr};
QString dataFolder;
QString benchProgram;

Application* application()
{
    static Application* instance = new Application(argumentCount, arguments);
    return instance;
}

DiagramScene* scene()
{
    return application()->getMainWindow()->getScene();
}

void sendMouse(QEvent::Type type, const QPointF& at, const QPointF& pressedAt)
{
    QGraphicsSceneMouseEvent event(type);
    event.setButton(type == QEvent::GraphicsSceneMouseMove ? Qt::NoButton : Qt::LeftButton);
    event.setButtons(type == QEvent::GraphicsSceneMouseRelease ? Qt::NoButton : Qt::LeftButton);
    event.setScenePos(at);
    event.setButtonDownScenePos(Qt::LeftButton, pressedAt);
    QCoreApplication::sendEvent(scene(), &event);
}

QString diagramPath(int entities)
{
    return QStringLiteral("%1/d%2.diagram").arg(dataFolder).arg(entities);
}

// What the open command does once the file dialog returned, followed by the
// event loop turn that the program gets right after.
bool openDiagram(const QString& path)
{
    const bool accepted = DiagramReader(scene()).read(path) == DiagramReader::Read;
    QCoreApplication::processEvents();
    return accepted;
}

DiagramMenu* diagramMenu()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* menu = qobject_cast<DiagramMenu*>(widget))
            return menu;
    }
    return nullptr;
}

void settle()
{
    QCoreApplication::processEvents();
}

// The toolkit floor of a diagram: per entity a rectangle with five text items
// and eight small rectangles, per line a line item with three text items.
void buildFloor(QGraphicsScene* floor, int entities, int lines)
{
    QFont small;
    small.setPixelSize(9);
    for (int i = 0; i < entities; ++i) {
        auto* box = new QGraphicsRectItem(0, 0, 120, 120);
        box->setPos(50 + (i % 100) * 99, 50 + (i / 100) * 99);
        for (int t = 0; t < 5; ++t)
            new QGraphicsTextItem(QStringLiteral("attribute%1").arg(t), box);
        for (int c = 0; c < 8; ++c)
            new QGraphicsRectItem(0, 0, 8, 8, box);
        floor->addItem(box);
    }
    for (int i = 0; i < lines; ++i) {
        auto* line = new QGraphicsLineItem(50 + (i % 100) * 99, 50 + (i / 100) * 99, 149 + (i % 100) * 99,
                                           50 + (i / 100) * 99);
        for (int t = 0; t < 3; ++t) {
            auto* label = new QGraphicsTextItem(line);
            label->setFont(small);
            label->setPlainText(QStringLiteral("r%1").arg(i));
        }
        floor->addItem(line);
    }
}

void BM_Open(benchmark::State& state)
{
    const QString path = diagramPath(int(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(openDiagram(path));
        state.PauseTiming();
        scene()->clearDiagram();
        settle();
        state.ResumeTiming();
    }
}

void BM_OpenFloor(benchmark::State& state)
{
    const int n = int(state.range(0));
    for (auto _ : state) {
        QGraphicsScene floor(0, 0, 10000, 10000);
        buildFloor(&floor, n, n);
        settle();
        state.PauseTiming();
        floor.clear();
        settle();
        state.ResumeTiming();
    }
}

void BM_Save(benchmark::State& state)
{
    openDiagram(diagramPath(int(state.range(0))));
    const QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("saved.diagram"));
    for (auto _ : state)
        benchmark::DoNotOptimize(DiagramWriter(scene()).write(path));
    scene()->clearDiagram();
    settle();
}

void BM_SaveFloorQuery(benchmark::State& state)
{
    QGraphicsScene floor(0, 0, 10000, 10000);
    buildFloor(&floor, int(state.range(0)), int(state.range(0)));
    settle();
    for (auto _ : state)
        benchmark::DoNotOptimize(floor.items(floor.sceneRect(), Qt::IntersectsItemShape, Qt::DescendingOrder));
}

// A hub entity with 100 lines to other entities, moved one step at a time by
// the mouse as a drag does.
void BM_DragStep(benchmark::State& state)
{
    scene()->clearDiagram();
    Entity* hub = scene()->createEntity(5000, 5000, false);
    hub->setVerConnectorCount(50);
    hub->updateLayout();
    for (int i = 0; i < 100; ++i) {
        Entity* other = scene()->createEntity(4000 + (i % 2) * 2200, 3000 + i * 40, false);
        Connector* from = hub->connectorAt(i % 2 ? Entity::RightSide : Entity::LeftSide, i / 2);
        scene()->createLine(from, other->connectorAt(Entity::TopSide, 0));
    }
    settle();
    const QPointF grab(5010, 5010);
    sendMouse(QEvent::GraphicsSceneMousePress, grab, grab);
    qreal offset = 0;
    for (auto _ : state) {
        offset = offset > 0 ? 0 : 1;
        sendMouse(QEvent::GraphicsSceneMouseMove, grab + QPointF(offset, offset), grab);
    }
    sendMouse(QEvent::GraphicsSceneMouseRelease, grab, grab);
    scene()->clearDiagram();
    settle();
}

Entity* anyEntity()
{
    for (QGraphicsItem* item : scene()->items()) {
        if (Entity* entity = qgraphicsitem_cast<Entity*>(item))
            return entity;
    }
    return nullptr;
}

// One drag of one entity in a diagram of N, undone and redone: two steps.
void BM_UndoRedoDrag(benchmark::State& state)
{
    openDiagram(diagramPath(int(state.range(0))));
    const Entity* entity = anyEntity();
    const QPointF grab = entity->pos() + entity->rect().center();
    sendMouse(QEvent::GraphicsSceneMousePress, grab, grab);
    sendMouse(QEvent::GraphicsSceneMouseMove, grab + QPointF(40, 30), grab);
    sendMouse(QEvent::GraphicsSceneMouseRelease, grab + QPointF(40, 30), grab);
    for (auto _ : state) {
        scene()->undo();
        scene()->redo();
    }
    state.counters["steps"] = scene()->undoStack()->count();
    scene()->clearDiagram();
    settle();
}

// Undoing Select All + Delete makes every entity and line again.
void BM_UndoSelectAllDelete(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        openDiagram(diagramPath(int(state.range(0))));
        diagramMenu()->selectAll();
        scene()->deleteSelected();
        settle();
        state.ResumeTiming();
        scene()->undo();
        settle();
        state.PauseTiming();
        QElapsedTimer redo;
        redo.start();
        scene()->redo();
        settle();
        state.counters["redo_ms"] = redo.nsecsElapsed() / 1e6;
        state.ResumeTiming();
    }
    scene()->clearDiagram();
    settle();
}

void BM_SelectAllDelete(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        openDiagram(diagramPath(int(state.range(0))));
        state.ResumeTiming();
        diagramMenu()->selectAll();
        scene()->deleteSelected();
        settle();
    }
}

void BM_SelectAllDeleteFloor(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        QGraphicsScene floor(0, 0, 10000, 10000);
        buildFloor(&floor, int(state.range(0)), int(state.range(0)));
        for (QGraphicsItem* item : floor.items())
            item->setFlag(QGraphicsItem::ItemIsSelectable, item->parentItem() == nullptr);
        settle();
        state.ResumeTiming();
        for (QGraphicsItem* item : floor.items())
            item->setSelected(true);
        qDeleteAll(floor.selectedItems());
        settle();
    }
}

void BM_OpenSmallAfterLarge(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        openDiagram(diagramPath(10000));
        state.ResumeTiming();
        openDiagram(diagramPath(20));
    }
    scene()->clearDiagram();
    settle();
}

void BM_RejectCutLarge(benchmark::State& state)
{
    const QString cut = QStringLiteral("%1/d10000-cut.diagram").arg(dataFolder);
    for (auto _ : state)
        benchmark::DoNotOptimize(openDiagram(cut));
    settle();
}

void BM_QuitWithLarge(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        openDiagram(diagramPath(int(state.range(0))));
        state.ResumeTiming();
        scene()->clearDiagram();
    }
}

void BM_QuitFloor(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        QGraphicsScene floor(0, 0, 10000, 10000);
        buildFloor(&floor, int(state.range(0)), int(state.range(0)));
        settle();
        state.ResumeTiming();
        floor.clear();
    }
}

// The whole diagram fitted into the window's view and painted once, as after
// Ctrl+9; and at 1:1 for comparison. Fitting from 1:1, which turns every
// text, connector and label to bars or nothing, is timed once beside it.
void BM_RepaintFitted(benchmark::State& state, bool fitted)
{
    openDiagram(diagramPath(int(state.range(0))));
    MainWindow* window = application()->getMainWindow();
    window->show();
    auto* view = window->findChild<QGraphicsView*>();
    auto* navigator = view->findChild<ViewNavigator*>();
    settle();
    QElapsedTimer fitting;
    fitting.start();
    if (fitted)
        navigator->fitDiagram();
    else
        navigator->resetZoom();
    state.counters["zoom_change_ms"] = fitting.nsecsElapsed() / 1e6;
    settle();
    for (auto _ : state)
        view->viewport()->repaint();
    state.counters["zoom"] = navigator->zoom();
    navigator->resetZoom();
    window->hide();
    scene()->clearDiagram();
    settle();
}

// From the decision to close the active main window until it is hidden; the
// teardown of the items may follow. A window of its own per child process, so
// that no other case runs with a closed window.
double closeLatencyMs(QWidget* window)
{
    window->show();
    window->activateWindow();
    for (int tries = 0; tries < 100 && !window->isActiveWindow(); ++tries)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QElapsedTimer timer;
    timer.start();
    window->close();
    return timer.nsecsElapsed() / 1e6;
}

int reportCloseLatency(const QString& what, const QString& path)
{
    if (what == QLatin1String("open")) {
        openDiagram(path);
        application()->setModified(false);
        printf("%f\n", closeLatencyMs(application()->getMainWindow()));
        return 0;
    }
    QGraphicsScene floor(0, 0, 10000, 10000);
    buildFloor(&floor, 10000, 10000);
    QMainWindow window;
    window.setCentralWidget(new QGraphicsView(&floor));
    window.setGeometry(100, 100, 800, 600);
    settle();
    printf("%f\n", closeLatencyMs(&window));
    return 0;
}

void BM_CloseWindowWithLarge(benchmark::State& state, const char* what)
{
    for (auto _ : state) {
        QProcess child;
        child.start(benchProgram, {QStringLiteral("--close-latency"), QLatin1String(what), diagramPath(10000)});
        child.waitForFinished(-1);
        state.counters["close_ms"] = child.readAllStandardOutput().trimmed().toDouble();
    }
}

// The high-water mark of this process image: getrusage() would also count a
// parent's peak, which survives fork and exec.
qint64 peakResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

void BM_PeakMemory(benchmark::State& state, const char* what)
{
    for (auto _ : state) {
        QProcess child;
        child.start(benchProgram, {QStringLiteral("--peak-rss"), QLatin1String(what), diagramPath(10000)});
        child.waitForFinished(-1);
        state.counters["peak_MB"] = child.readAllStandardOutput().trimmed().toDouble() / 1024.0;
    }
}

int reportPeakResident(const QString& what, const QString& path)
{
    if (what == QLatin1String("open")) {
        openDiagram(path);
    } else {
        QGraphicsScene floor(0, 0, 10000, 10000);
        buildFloor(&floor, 10000, 10000);
        settle();
        printf("%lld\n", peakResidentKb());
        return 0;
    }
    printf("%lld\n", peakResidentKb());
    return 0;
}


// What the renderer did before it drew from the records: the editor's whole
// scene built, rendered, and torn down.
int renderThroughScene(const QString& input, const QString& output)
{
    DiagramScene scene(nullptr, nullptr);
    if (DiagramReader(&scene).read(input) != DiagramReader::Read)
        return 1;
    QCoreApplication::sendPostedEvents();
    const QRectF source = scene.itemsBoundingRect().adjusted(-10, -10, 10, 10);
    const auto paint = [&](QPaintDevice* device, const QSizeF& target) {
        QPainter painter(device);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.fillRect(QRectF(QPointF(0, 0), target), Qt::white);
        scene.render(&painter, QRectF(QPointF(0, 0), target), source, Qt::IgnoreAspectRatio);
    };
    if (output.endsWith(QLatin1String(".png"))) {
        QImage image(source.size().toSize(), QImage::Format_RGB32);
        paint(&image, image.size());
        return image.save(output, "PNG") ? 0 : 1;
    }
    QPdfWriter writer(output);
    writer.setResolution(72);
    writer.setPageLayout(QPageLayout(QPageSize(source.size(), QPageSize::Point), QPageLayout::Portrait, QMarginsF()));
    paint(&writer, source.size());
    return 0;
}

QByteArray outputFor(const QTemporaryDir& folder, const char* format)
{
    return QFile::encodeName(folder.filePath(QStringLiteral("picture.") + QLatin1String(format)));
}

int runChild(std::vector<char*>& arguments, rusage* usage)
{
    const pid_t child = fork();
    if (child == 0) {
        execv(arguments.front(), arguments.data());
        _exit(127);
    }
    int status = 0;
    wait4(child, &status, 0, usage);
    return status;
}

// A program as a user runs it, in a process of its own: wall time and that
// process's own peak resident memory. One run comes first unmeasured, as the
// first start after a build reads the program and its libraries from disk.
void measureChild(benchmark::State& state, QList<QByteArray> command)
{
    std::vector<char*> arguments;
    for (QByteArray& argument : command)
        arguments.push_back(argument.data());
    arguments.push_back(nullptr);
    rusage usage{};
    runChild(arguments, &usage);
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        const int status = runChild(arguments, &usage);
        state.SetIterationTime(clock.nsecsElapsed() / 1e9);
        state.counters["peak_MB"] = usage.ru_maxrss / 1024.0;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            state.SkipWithError("the picture was not drawn");
    }
}

void BM_Render(benchmark::State& state, const char* format)
{
    const QTemporaryDir folder;
    measureChild(state, {DIAGRAM_RENDER, QFile::encodeName(diagramPath(int(state.range(0)))), outputFor(folder, format)});
}

void BM_RenderThroughScene(benchmark::State& state, const char* format)
{
    const QTemporaryDir folder;
    measureChild(state, {QFile::encodeName(benchProgram), "--render-through-scene",
                         QFile::encodeName(diagramPath(int(state.range(0)))), outputFor(folder, format)});
}

} // namespace

BENCHMARK(BM_Open)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_OpenFloor)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Save)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_SaveFloorQuery)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_DragStep)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UndoRedoDrag)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UndoSelectAllDelete)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SelectAllDelete)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_SelectAllDeleteFloor)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_OpenSmallAfterLarge)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_RejectCutLarge)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_QuitWithLarge)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_RepaintFitted, fitted, true)->Arg(10000)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_CAPTURE(BM_RepaintFitted, one_to_one, false)->Arg(10000)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_QuitFloor)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_Render, png, "png")->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK_CAPTURE(BM_Render, svg, "svg")->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK_CAPTURE(BM_Render, pdf, "pdf")->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK_CAPTURE(BM_Render, png_small, "png")->Arg(20)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK_CAPTURE(BM_RenderThroughScene, png, "png")->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK_CAPTURE(BM_RenderThroughScene, pdf, "pdf")->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK_CAPTURE(BM_PeakMemory, open, "open")->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_PeakMemory, floor, "floor")->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_CloseWindowWithLarge, open, "open")->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_CloseWindowWithLarge, floor, "floor")->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 4 && QLatin1String(argv[1]) == QLatin1String("--peak-rss")) {
        application();
        return reportPeakResident(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    if (argc == 4 && QLatin1String(argv[1]) == QLatin1String("--render-through-scene")) {
        QApplication plain(argumentCount, argv);
        return renderThroughScene(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    if (argc == 4 && QLatin1String(argv[1]) == QLatin1String("--close-latency")) {
        application();
        return reportCloseLatency(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    if (argc < 2) {
        fprintf(stderr, "usage: %s DATA_FOLDER [benchmark options]\n", argv[0]);
        return 2;
    }
    dataFolder = QString::fromLocal8Bit(argv[1]);
    benchProgram = QString::fromLocal8Bit(argv[0]);
    application();
    int benchmarkArgc = argc - 1;
    benchmark::Initialize(&benchmarkArgc, argv + 1);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
