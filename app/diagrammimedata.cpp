#include "app/diagrammimedata.h"

#include "render/diagramrenderer.h"
#include "render/mermaidwriter.h"

namespace {

const QString pngType = QStringLiteral("image/png");
const QString svgType = QStringLiteral("image/svg+xml");

} // namespace

const QString DiagramMimeData::recordsType = QStringLiteral("application/x-diagram-editor-records");

DiagramMimeData::DiagramMimeData(const QByteArray& records, const DiagramFile::Diagram& diagram)
    : diagram(diagram)
{
    setData(recordsType, records);
    setText(MermaidWriter::write(diagram));
}

DiagramMimeData::~DiagramMimeData() = default;

QStringList DiagramMimeData::formats() const
{
    return QMimeData::formats() << pngType << svgType;
}

bool DiagramMimeData::hasFormat(const QString& mimeType) const
{
    return isPicture(mimeType) || QMimeData::hasFormat(mimeType);
}

bool DiagramMimeData::isPicture(const QString& mimeType)
{
    return mimeType == pngType || mimeType == svgType;
}

// A picture of thousands of entities takes a while to draw, and most pastes
// never ask for one.
QVariant DiagramMimeData::retrieveData(const QString& mimeType, QMetaType type) const
{
    if (!isPicture(mimeType))
        return QMimeData::retrieveData(mimeType, type);
    if (!renderer)
        renderer = std::make_unique<DiagramRenderer>();
    return mimeType == pngType ? renderer->png(diagram) : renderer->svg(diagram);
}
