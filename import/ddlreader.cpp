#include "import/ddlreader.h"

#include "import/ddltypename.h"
#include "import/parsetree.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>

namespace {

const QString publicSchema = QStringLiteral("public");

// Column names only: a unique index on an expression says nothing of columns.
QStringList indexedColumns(const QJsonArray& parameters)
{
    QStringList columns;
    for (const QJsonValue& parameter : parameters) {
        const QJsonObject element = ParseTree::member(parameter.toObject(), "IndexElem");
        if (!element.contains(QLatin1String("name")))
            return {};
        columns.append(ParseTree::text(element, "name"));
    }
    return columns;
}

} // namespace

DdlReader::DdlReader(const QByteArray& script)
    : script(script)
    , defaultSchema(publicSchema)
{
}

Schema DdlReader::read()
{
    script.read([this](const QJsonObject& statement) { readStatement(statement); });
    schema.foldPartitions();
    return schema;
}

const QList<SqlScript::Rejection>& DdlReader::rejections() const
{
    return script.rejections();
}

void DdlReader::readStatement(const QJsonObject& statement)
{
    if (statement.contains(QLatin1String("CreateStmt")))
        createTable(ParseTree::member(statement, "CreateStmt"));
    else if (statement.contains(QLatin1String("AlterTableStmt")))
        alterTable(ParseTree::member(statement, "AlterTableStmt"));
    else if (statement.contains(QLatin1String("IndexStmt")))
        createUniqueIndex(ParseTree::member(statement, "IndexStmt"));
    else if (statement.contains(QLatin1String("VariableSetStmt")))
        setSearchPath(ParseTree::member(statement, "VariableSetStmt"));
}

// A table created twice keeps its first definition, as CREATE TABLE IF NOT
// EXISTS does; temporary tables are no part of a schema.
void DdlReader::createTable(const QJsonObject& create)
{
    const QJsonObject relation = ParseTree::member(create, "relation");
    if (ParseTree::text(relation, "relpersistence") == QLatin1String("t") || existingTable(relation))
        return;
    Schema::Table& table = schema.table(schemaOf(relation), ParseTree::text(relation, "relname"));
    const QJsonArray parents = create.value(QLatin1String("inhRelations")).toArray();
    if (create.contains(QLatin1String("partbound")) && !parents.isEmpty()) {
        const QJsonObject parent = ParseTree::member(parents.first().toObject(), "RangeVar");
        table.parentSchema = schemaOf(parent);
        table.parentName = ParseTree::text(parent, "relname");
    }
    for (const QJsonValue& element : create.value(QLatin1String("tableElts")).toArray()) {
        const QJsonObject node = element.toObject();
        if (node.contains(QLatin1String("ColumnDef")))
            addColumn(table, ParseTree::member(node, "ColumnDef"));
        else if (node.contains(QLatin1String("Constraint")))
            addConstraint(table, ParseTree::member(node, "Constraint"), {});
    }
}

void DdlReader::alterTable(const QJsonObject& alter)
{
    if (ParseTree::text(alter, "objtype") != QLatin1String("OBJECT_TABLE"))
        return;
    Schema::Table* table = existingTable(ParseTree::member(alter, "relation"));
    if (!table)
        return;
    for (const QJsonValue& command : alter.value(QLatin1String("cmds")).toArray())
        alterTable(*table, ParseTree::member(command.toObject(), "AlterTableCmd"));
}

void DdlReader::alterTable(Schema::Table& table, const QJsonObject& command)
{
    const QString subtype = ParseTree::text(command, "subtype");
    const QJsonObject definition = ParseTree::member(command, "def");
    if (subtype == QLatin1String("AT_AddConstraint")) {
        addConstraint(table, ParseTree::member(definition, "Constraint"), {});
    } else if (subtype == QLatin1String("AT_AddColumn")) {
        addColumn(table, ParseTree::member(definition, "ColumnDef"));
    } else if (subtype == QLatin1String("AT_AttachPartition")) {
        if (Schema::Table* partition = existingTable(ParseTree::member(ParseTree::member(definition, "PartitionCmd"), "name"))) {
            partition->parentSchema = table.schema;
            partition->parentName = table.name;
        }
    } else if (subtype == QLatin1String("AT_SetNotNull") || subtype == QLatin1String("AT_DropNotNull")) {
        if (Schema::Column* column = table.column(ParseTree::text(command, "name")))
            column->notNull = subtype == QLatin1String("AT_SetNotNull");
    }
}

void DdlReader::createUniqueIndex(const QJsonObject& index)
{
    if (!index.value(QLatin1String("unique")).toBool() || index.contains(QLatin1String("whereClause")))
        return;
    if (Schema::Table* table = existingTable(ParseTree::member(index, "relation")))
        table->addUniqueKey(indexedColumns(index.value(QLatin1String("indexParams")).toArray()));
}

void DdlReader::setSearchPath(const QJsonObject& set)
{
    if (ParseTree::text(set, "name") != QLatin1String("search_path"))
        return;
    const QJsonArray values = set.value(QLatin1String("args")).toArray();
    const QString first = values.isEmpty() ? QString()
                                           : ParseTree::text(ParseTree::member(ParseTree::member(values.first().toObject(), "A_Const"), "sval"), "sval");
    defaultSchema = first.isEmpty() ? publicSchema : first;
}

void DdlReader::addColumn(Schema::Table& table, const QJsonObject& definition)
{
    const QString name = ParseTree::text(definition, "colname");
    if (name.isEmpty() || table.column(name))
        return;
    const DdlTypeName type(ParseTree::member(definition, "typeName"));
    table.columns.append({name, type.text(), type.isSerial()});
    for (const QJsonValue& constraint : definition.value(QLatin1String("constraints")).toArray())
        addConstraint(table, ParseTree::member(constraint.toObject(), "Constraint"), {name});
}

// A constraint declared on a column names that column alone; a table
// constraint names its own.
void DdlReader::addConstraint(Schema::Table& table, const QJsonObject& constraint, const QStringList& declaredOn)
{
    const QString type = ParseTree::text(constraint, "contype");
    const QStringList keys = declaredOn.isEmpty() ? ParseTree::names(constraint.value(QLatin1String("keys"))) : declaredOn;
    if (type == QLatin1String("CONSTR_NOTNULL") && !declaredOn.isEmpty()) {
        if (Schema::Column* column = table.column(declaredOn.first()))
            column->notNull = true;
    } else if (type == QLatin1String("CONSTR_PRIMARY") && !keys.isEmpty() && table.primaryKey.isEmpty()) {
        table.primaryKey = keys;
    } else if (type == QLatin1String("CONSTR_UNIQUE")) {
        table.addUniqueKey(keys);
    } else if (type == QLatin1String("CONSTR_FOREIGN")) {
        const QStringList columns = declaredOn.isEmpty() ? ParseTree::names(constraint.value(QLatin1String("fk_attrs"))) : declaredOn;
        if (!columns.isEmpty())
            table.foreignKeys.append(foreignKey(constraint, columns));
    }
}

Schema::ForeignKey DdlReader::foreignKey(const QJsonObject& constraint, const QStringList& columns) const
{
    const QJsonObject referenced = ParseTree::member(constraint, "pktable");
    Schema::ForeignKey key;
    key.name = ParseTree::text(constraint, "conname");
    key.columns = columns;
    key.referencedSchema = schemaOf(referenced);
    key.referencedTable = ParseTree::text(referenced, "relname");
    key.referencedColumns = ParseTree::names(constraint.value(QLatin1String("pk_attrs")));
    return key;
}

Schema::Table* DdlReader::existingTable(const QJsonObject& relation)
{
    return schema.find(schemaOf(relation), ParseTree::text(relation, "relname"));
}

QString DdlReader::schemaOf(const QJsonObject& relation) const
{
    const QString named = ParseTree::text(relation, "schemaname");
    return named.isEmpty() ? defaultSchema : named;
}
