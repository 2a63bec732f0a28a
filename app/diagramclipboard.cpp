#include "app/diagramclipboard.h"

#include "app/diagrammimedata.h"
#include "app/diagramreader.h"
#include "app/diagramwriter.h"
#include "scene/diagramscene.h"

#include <QClipboard>
#include <QCursor>
#include <QGraphicsView>
#include <QGuiApplication>

#include <algorithm>

namespace {

struct Span {
    qint64 left = 0;
    qint64 top = 0;
    qint64 right = 0;
    qint64 bottom = 0;
};

// Where the entities' top-left corners lie.
Span cornersOf(const DiagramFile::Diagram& diagram)
{
    const DiagramFile::EntityRecord& first = diagram.entities.first();
    Span span{first.x, first.y, first.x, first.y};
    for (const DiagramFile::EntityRecord& record : diagram.entities) {
        span.left = std::min<qint64>(span.left, record.x);
        span.top = std::min<qint64>(span.top, record.y);
        span.right = std::max<qint64>(span.right, record.x);
        span.bottom = std::max<qint64>(span.bottom, record.y);
    }
    return span;
}

void moveCornerTo(DiagramFile::Diagram& diagram, const Span& span, const QPoint& corner)
{
    for (DiagramFile::EntityRecord& record : diagram.entities) {
        record.x = int(record.x - span.left + corner.x());
        record.y = int(record.y - span.top + corner.y());
    }
}

} // namespace

DiagramClipboard::DiagramClipboard(DiagramScene* scene, QGraphicsView* view)
    : QObject(view)
    , scene(scene)
    , view(view)
{
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] { pastesSinceCopy = 0; });
}

// The records are read back as a paste would read them, so that the
// clipboard never holds what this editor would refuse.
bool DiagramClipboard::copy()
{
    const QByteArray records = DiagramWriter(scene, DiagramWriter::Selection).bytes();
    DiagramFile::Diagram diagram;
    if (DiagramReader::readRecords(records, diagram) != DiagramReader::Read || diagram.entities.isEmpty())
        return false;
    QGuiApplication::clipboard()->setMimeData(new DiagramMimeData(records, diagram));
    return true;
}

// Only what went onto the clipboard is deleted: lines selected without
// their entities are not cut.
void DiagramClipboard::cut()
{
    if (copy())
        scene->deleteSelected();
}

// Records come from any process and are checked as a file is. No copy of this
// editor holds entities further apart than the canvas is wide, so such
// records are refused rather than pasted partly out of the canvas.
void DiagramClipboard::paste()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data || !data->hasFormat(DiagramMimeData::recordsType))
        return;
    DiagramFile::Diagram diagram;
    if (DiagramReader::readRecords(data->data(DiagramMimeData::recordsType), diagram) != DiagramReader::Read
        || diagram.entities.isEmpty())
        return;
    const Span span = cornersOf(diagram);
    const QRectF canvas = scene->sceneRect();
    if (span.right - span.left > canvas.width() || span.bottom - span.top > canvas.height())
        return;
    const std::optional<QPoint> pointer = pointerInScene();
    QPoint corner;
    if (pointer) {
        corner = *pointer;
    } else {
        const qint64 step = qint64(pasteStep) * ++pastesSinceCopy;
        corner = QPoint(int(std::clamp<qint64>(span.left + step, canvas.left(), canvas.right())),
                        int(std::clamp<qint64>(span.top + step, canvas.top(), canvas.bottom())));
    }
    moveCornerTo(diagram, span, corner);
    scene->paste(diagram);
}

std::optional<QPoint> DiagramClipboard::pointerInScene() const
{
    const QPoint at = view->viewport()->mapFromGlobal(QCursor::pos());
    if (!view->viewport()->rect().contains(at))
        return std::nullopt;
    const QPointF scenePos = view->mapToScene(at);
    return QPoint(int(scenePos.x()), int(scenePos.y()));
}
