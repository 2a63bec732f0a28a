#pragma once

#include "import/schema.h"
#include "import/sqlscript.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class QJsonObject;

// The tables that a PostgreSQL script creates: CREATE TABLE with its column
// and table constraints, the keys, columns and partitions that ALTER TABLE
// adds, and the uniqueness of CREATE UNIQUE INDEX. Every other statement is
// passed over.
class DdlReader
{
public:
    // The script must hold no zero byte (SqlScript).
    explicit DdlReader(const QByteArray& script);

    // Partitions come folded into their parents.
    Schema read();
    const QList<SqlScript::Rejection>& rejections() const;

private:
    void readStatement(const QJsonObject& statement);
    void createTable(const QJsonObject& create);
    void alterTable(const QJsonObject& alter);
    void alterTable(Schema::Table& table, const QJsonObject& command);
    void createUniqueIndex(const QJsonObject& index);
    void setSearchPath(const QJsonObject& set);
    void addColumn(Schema::Table& table, const QJsonObject& definition);
    void addConstraint(Schema::Table& table, const QJsonObject& constraint, const QStringList& declaredOn);
    Schema::ForeignKey foreignKey(const QJsonObject& constraint, const QStringList& columns) const;
    Schema::Table* existingTable(const QJsonObject& relation);
    QString schemaOf(const QJsonObject& relation) const;

    SqlScript script;
    Schema schema;
    // Where names without a schema go: the first schema of the search path.
    QString defaultSchema;
};
