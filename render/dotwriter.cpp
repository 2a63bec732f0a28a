#include "render/dotwriter.h"

#include <QStringList>

namespace {

QString escaped(const QString& text, const QString& special)
{
    QString out;
    for (const QChar c : text) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            out += QLatin1Char(' ');
        else if (special.contains(c))
            out += QLatin1Char('\\') + c;
        else
            out += c;
    }
    return out;
}

// Inside a record's label, braces, bars and angle brackets shape the record,
// so the texts escape them as well as quotes and backslashes.
QString recordText(const QString& text)
{
    return escaped(text, QStringLiteral("\\\"{}|<> "));
}

QString quoted(const QString& text)
{
    return QLatin1Char('"') + escaped(text, QStringLiteral("\\\"")) + QLatin1Char('"');
}

// The name over the attributes, each attribute on a line of its own, set left.
QString recordLabel(const DiagramFile::EntityRecord& entity)
{
    QString attributes;
    for (const QString& attribute : entity.attributes)
        attributes += recordText(attribute) + QStringLiteral("\\l");
    return QStringLiteral("\"{%1|%2}\"").arg(recordText(entity.name), attributes);
}

} // namespace

QString DotWriter::write(const DiagramFile::Diagram& diagram)
{
    QStringList lines{QStringLiteral("graph diagram {"), QStringLiteral("    node [shape=record];")};
    for (int i = 0; i < diagram.entities.size(); ++i)
        lines << QStringLiteral("    e%1 [label=%2];").arg(i).arg(recordLabel(diagram.entities.at(i)));
    for (const DiagramFile::LineRecord& line : diagram.lines)
        lines << QStringLiteral("    e%1 -- e%2 [label=%3, taillabel=%4, headlabel=%5];")
                     .arg(line.startReference.entity)
                     .arg(line.endReference.entity)
                     .arg(quoted(line.name), quoted(line.multiplicityA), quoted(line.multiplicityB));
    lines << QStringLiteral("}");
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}
