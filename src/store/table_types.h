#pragma once
// Field and index definitions and rows: what a table holds and what its file carries.
// Values are QVariants by kind: QString (text types), int, bool, double, qint64; null = empty.

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

// Position in this list is the type code of the table file format.
enum class FieldType {
    Unknown, String, SmallInt, Integer, Word, Boolean, Float, Currency, BCD, Date, Time,
    DateTime, Bytes, VarBytes, AutoInc, Blob, Memo, Graphic, FmtMemo, ParadoxOle, dBaseOle,
    TypedBinary, Cursor, FixedChar, WideString, LargeInt, ADT, Array, Reference, DataSet,
    HugeBlob, HugeClob, Variant, Interface, Dispatch, Guid, SQLTimeStamp, FMTBcdField
};

enum class ValueKind { Text, Integer, Boolean, Float, LargeInt };

namespace FieldTypes {
QString name(FieldType type);
// The type of a stored name (exact spelling); nullopt-like Unknown when none matches.
FieldType fromName(const QString& name, bool* ok);
// False for the types a table file may not declare.
bool isStorable(FieldType type);
bool isBlob(FieldType type);
ValueKind valueKind(FieldType type);
bool isDateTime(FieldType type);
} // namespace FieldTypes

enum class FieldKind { Data, Calculated, Lookup, InternalCalc, Aggregate };

struct FieldDef {
    QString name;
    FieldType type = FieldType::String;
    int size = 0;
    QString displayName;
    QString editMask;
    int displayWidth = 0;
    bool required = false;
    bool readOnly = false;
    FieldKind kind = FieldKind::Data;
    QString defaultExpression;

    // A data field with the usual display name and width for its type.
    static FieldDef make(const QString& name, FieldType type, int size = 0, bool required = false);
};

struct IndexDef {
    QString name;
    QString fields; // names separated by ';'
    QString displayName;
    bool descending = false;
    bool caseInsensitive = false;
    bool notMaintained = false;
    bool unique = false;

    static IndexDef make(const QString& name, const QString& fields, bool caseInsensitive = false,
                         bool unique = false);
    QStringList fieldList() const;
};

struct RowVersion {
    int status = 0;
    std::vector<QVariant> values;
};

struct Row {
    int status = 0;
    std::vector<QVariant> values;
    std::vector<RowVersion> earlier; // earlier versions read from a file; never written
};

// A whole table as its file holds it.
struct TableData {
    std::vector<FieldDef> fields;
    std::vector<IndexDef> indexes;
    std::vector<Row> rows;
    qint64 autoIncMax = 0; // largest AutoInc value read
};
