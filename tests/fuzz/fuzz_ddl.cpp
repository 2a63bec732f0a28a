// Feeds arbitrary bytes to the importer's script path as diagram-import does:
// a script with a zero byte is refused, any other is read with libpg_query,
// and the tables it declares are laid out into a real scene, which must hold
// every invariant and survive a save and a second read unchanged.
#include "import/ddlreader.h"
#include "import/diagrambuilder.h"
#include "import/schema.h"
#include "scene/diagramscene.h"
#include "support/diagramcheck.h"

#include <QApplication>
#include <QByteArray>
#include <QCoreApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

int argumentCount = 1;
char programName[] = "fuzz_ddl";
char* arguments[] = {programName, nullptr};

DiagramScene* scene()
{
    static DiagramScene* instance = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        new QApplication(argumentCount, arguments);
        return new DiagramScene(nullptr, nullptr);
    }();
    return instance;
}

void failWith(const QString& fault)
{
    fprintf(stderr, "%s\n", qPrintable(fault));
    abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray script(reinterpret_cast<const char*>(data), qsizetype(size));
    if (script.contains('\0'))
        return 0;
    const Schema schema = DdlReader(script).read();
    if (schema.tables().isEmpty())
        return 0;
    DiagramBuilder builder(scene());
    const bool built = builder.build(schema);
    QString fault = diagramFault(scene());
    if (fault.isEmpty() && built)
        fault = roundTripFault(scene());
    if (!fault.isEmpty())
        failWith(fault);
    scene()->clearDiagram();
    QCoreApplication::processEvents();
    return 0;
}
