#include "render/mermaidwriter.h"

#include <QRegularExpression>
#include <QSet>
#include <QStringList>

namespace {

struct Cardinality {
    const char* left;
    const char* right;
};

// A quoted text holds no quote and no line break: Mermaid has no escape for either.
QString quoted(const QString& text)
{
    QString clean = text.simplified();
    clean.replace(QLatin1Char('"'), QLatin1Char('\''));
    return QLatin1Char('"') + clean + QLatin1Char('"');
}

// Mermaid merges entities of the same name, so a repeated name gets a number.
QStringList uniqueNames(const QList<DiagramFile::EntityRecord>& entities)
{
    QStringList names;
    QSet<QString> taken;
    for (const DiagramFile::EntityRecord& entity : entities) {
        const QString base = entity.name.simplified().isEmpty() ? QStringLiteral("(no name)") : entity.name;
        QString name = base;
        for (int n = 2; taken.contains(quoted(name)); ++n)
            name = QStringLiteral("%1 (%2)").arg(base).arg(n);
        taken.insert(quoted(name));
        names.append(quoted(name));
    }
    return names;
}

// A type or an attribute name is a word of ASCII letters, digits, '_', '-',
// brackets and parentheses that starts with a letter or '_'.
QString word(const QString& text)
{
    static const QRegularExpression other(QStringLiteral(R"([^A-Za-z0-9_\-\[\]()])"));
    QString clean = text.trimmed();
    clean.replace(other, QStringLiteral("_"));
    if (clean.isEmpty() || !(clean.at(0).isLetter() || clean.at(0) == QLatin1Char('_')))
        clean.prepend(QLatin1Char('_'));
    return clean;
}

// "name : type" with PK and FK marks after the type, as diagram-import writes
// them, becomes "type name PK, FK"; any other text becomes a plain attribute
// that keeps the text itself as its comment.
QString attributeLine(const QString& attribute)
{
    static const QRegularExpression declared(QStringLiteral(R"(^\s*(\S+)\s*:\s*(.*?)((?:\s+(?:PK|FK))*)\s*$)"));
    const QRegularExpressionMatch match = declared.match(attribute);
    if (!match.hasMatch() || match.captured(2).isEmpty())
        return QStringLiteral("        string %1 %2").arg(word(attribute), quoted(attribute));
    const QString keys = match.captured(3).split(QLatin1Char(' '), Qt::SkipEmptyParts).join(QStringLiteral(", "));
    const QString type = word(match.captured(2));
    const QString name = word(match.captured(1));
    QString line = QStringLiteral("        %1 %2").arg(type, name);
    if (!keys.isEmpty())
        line += QLatin1Char(' ') + keys;
    if (type != match.captured(2).trimmed() || name != match.captured(1))
        line += QLatin1Char(' ') + quoted(attribute);
    return line;
}

// None for a multiplicity Mermaid has no mark for.
const Cardinality* cardinalityOf(const QString& multiplicity)
{
    static const Cardinality exactlyOne{"||", "||"};
    static const Cardinality zeroOrOne{"|o", "o|"};
    static const Cardinality zeroOrMore{"}o", "o{"};
    static const Cardinality oneOrMore{"}|", "|{"};
    const QString text = multiplicity.trimmed();
    if (text == QLatin1String("1"))
        return &exactlyOne;
    if (text == QLatin1String("0..1"))
        return &zeroOrOne;
    if (text == QLatin1String("*") || text == QLatin1String("n") || text == QLatin1String("0..*"))
        return &zeroOrMore;
    if (text == QLatin1String("1..*"))
        return &oneOrMore;
    return nullptr;
}

// A multiplicity without a mark is drawn as "zero or more" and kept in the label.
QString relationshipLine(const DiagramFile::LineRecord& line, const QStringList& names)
{
    const Cardinality* start = cardinalityOf(line.multiplicityA);
    const Cardinality* end = cardinalityOf(line.multiplicityB);
    QStringList unmarked;
    if (!start)
        unmarked << line.multiplicityA.simplified();
    if (!end)
        unmarked << line.multiplicityB.simplified();
    QString label = line.name;
    if (!unmarked.isEmpty())
        label += QStringLiteral(" (%1)").arg(unmarked.join(QStringLiteral(" to ")));
    return QStringLiteral("    %1 %2--%3 %4 : %5")
        .arg(names.at(line.startReference.entity), QLatin1String(start ? start->left : "}o"),
             QLatin1String(end ? end->right : "o{"), names.at(line.endReference.entity), quoted(label));
}

} // namespace

QString MermaidWriter::write(const DiagramFile::Diagram& diagram)
{
    const QStringList names = uniqueNames(diagram.entities);
    QStringList lines{QStringLiteral("erDiagram")};
    for (int i = 0; i < diagram.entities.size(); ++i) {
        const QStringList& attributes = diagram.entities.at(i).attributes;
        if (attributes.isEmpty()) {
            lines << QStringLiteral("    %1").arg(names.at(i));
            continue;
        }
        lines << QStringLiteral("    %1 {").arg(names.at(i));
        for (const QString& attribute : attributes)
            lines << attributeLine(attribute);
        lines << QStringLiteral("    }");
    }
    for (const DiagramFile::LineRecord& line : diagram.lines)
        lines << relationshipLine(line, names);
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}
