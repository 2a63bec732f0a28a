#pragma once

#include "items/diagramfile.h"

#include <QMimeData>

#include <memory>

class DiagramRenderer;

// A copied part of a diagram as the clipboard offers it: the diagram file's
// own records under a type of ours, for this editor in any process; a
// Mermaid erDiagram as plain text; and PNG and SVG pictures, drawn by the
// renderer only when something asks for them.
class DiagramMimeData : public QMimeData
{
    Q_OBJECT

public:
    static const QString recordsType;

    DiagramMimeData(const QByteArray& records, const DiagramFile::Diagram& diagram);
    ~DiagramMimeData() override;

    QStringList formats() const override;
    bool hasFormat(const QString& mimeType) const override;

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    static bool isPicture(const QString& mimeType);

    const DiagramFile::Diagram diagram;
    mutable std::unique_ptr<DiagramRenderer> renderer;
};
