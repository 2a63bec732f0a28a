// Feeds arbitrary bytes through the diagram reader into a real scene, the way
// the open command does, then checks the scene's invariants; a file that was
// accepted must survive a save and a second read unchanged.
#include "app/application.h"
#include "app/diagramreader.h"
#include "app/mainwindow.h"
#include "scene/diagramscene.h"
#include "support/diagramcheck.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

int argumentCount = 1;
char programName[] = "fuzz_reader";
char* arguments[] = {programName, nullptr};

Application* application()
{
    static Application* instance = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new Application(argumentCount, arguments);
    }();
    return instance;
}

void failWith(const QString& fault)
{
    fprintf(stderr, "%s\n", qPrintable(fault));
    abort();
}

// fmemopen refuses an empty buffer, so empty input comes from an empty file.
FILE* openBytes(const uint8_t* data, size_t size)
{
    if (size == 0)
        return fopen("/dev/null", "rb");
    return fmemopen(const_cast<uint8_t*>(data), size, "rb");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    DiagramScene* scene = application()->getMainWindow()->getScene();
    FILE* file = openBytes(data, size);
    const bool accepted = DiagramReader(scene).read(file) == DiagramReader::Read;
    fclose(file);
    QString fault = diagramFault(scene);
    if (fault.isEmpty() && accepted)
        fault = roundTripFault(scene);
    if (fault.isEmpty())
        fault = diagramFault(scene);
    if (!fault.isEmpty())
        failWith(fault);
    scene->clearDiagram();
    // The program returns to its event loop after an open; without this the
    // scene's posted work piles up across inputs and slows every later one.
    QCoreApplication::processEvents();
    return 0;
}
