// diagram-render IN OUT [--scale FACTOR]: draws a diagram file to PNG, SVG or
// PDF, or writes it as a Mermaid erDiagram (.mmd) or a Graphviz graph (.dot),
// chosen by OUT's suffix, without a display.
#include "render/diagramrenderer.h"

#include <QGuiApplication>
#include <QByteArray>

#include <cstdio>
#include <cstring>

namespace {

// Only failures reach standard error; the platform's chatter does not.
void reportFailuresOnly(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        fprintf(stderr, "%s\n", qPrintable(message));
}

int usage(const char* program)
{
    fprintf(stderr, "usage: %s IN OUT.(png|svg|pdf|mmd|dot) [--scale FACTOR]\n", program);
    return DiagramRenderer::BadArguments;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 5)
        return usage(argv[0]);
    qreal scale = 1.0;
    if (argc == 5) {
        bool isNumber = false;
        scale = QByteArray(argv[4]).toDouble(&isNumber);
        if (strcmp(argv[3], "--scale") != 0 || !isNumber || !DiagramRenderer::isValidScale(scale))
            return usage(argv[0]);
    }
    const QString output = QString::fromLocal8Bit(argv[2]);
    if (!DiagramRenderer::isKnownFormat(output))
        return usage(argv[0]);
    qInstallMessageHandler(reportFailuresOnly);
    // Nothing is shown, so no display is needed unless one is asked for.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int applicationArgc = 1;
    QGuiApplication application(applicationArgc, argv);
    DiagramRenderer renderer;
    return renderer.render(QString::fromLocal8Bit(argv[1]), output, scale);
}
