#include "store/table_types.h"

#include <array>

namespace {
constexpr std::array<const char*, 38> kTypeNames = {
    "Unknown", "String", "SmallInt", "Integer", "Word", "Boolean", "Float", "Currency", "BCD",
    "Date", "Time", "DateTime", "Bytes", "VarBytes", "AutoInc", "Blob", "Memo", "Graphic",
    "FmtMemo", "ParadoxOle", "dBaseOle", "TypedBinary", "Cursor", "FixedChar", "WideString",
    "LargeInt", "ADT", "Array", "Reference", "DataSet", "HugeBlob", "HugeClob", "Variant",
    "Interface", "Dispatch", "Guid", "SQLTimeStamp", "FMTBcdField"};
} // namespace

namespace FieldTypes {

QString name(FieldType type) { return QString::fromLatin1(kTypeNames[size_t(type)]); }

FieldType fromName(const QString& name, bool* ok)
{
    for (size_t i = 0; i < kTypeNames.size(); ++i) {
        if (name == QLatin1String(kTypeNames[i])) {
            *ok = true;
            return FieldType(i);
        }
    }
    *ok = false;
    return FieldType::Unknown;
}

bool isStorable(FieldType type)
{
    switch (type) {
    case FieldType::Unknown:
    case FieldType::Cursor:
    case FieldType::WideString:
    case FieldType::Reference:
    case FieldType::DataSet:
    case FieldType::Variant:
    case FieldType::Interface:
    case FieldType::Dispatch:
        return false;
    default:
        return true;
    }
}

bool isBlob(FieldType type)
{
    switch (type) {
    case FieldType::Blob:
    case FieldType::Memo:
    case FieldType::Graphic:
    case FieldType::FmtMemo:
    case FieldType::ParadoxOle:
    case FieldType::dBaseOle:
    case FieldType::TypedBinary:
    case FieldType::HugeBlob:
    case FieldType::HugeClob:
        return true;
    default:
        return false;
    }
}

ValueKind valueKind(FieldType type)
{
    switch (type) {
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::Word:
    case FieldType::AutoInc:
        return ValueKind::Integer;
    case FieldType::Boolean:
        return ValueKind::Boolean;
    case FieldType::Float:
    case FieldType::Currency:
    case FieldType::BCD:
    case FieldType::Date:
    case FieldType::Time:
    case FieldType::DateTime:
        return ValueKind::Float;
    case FieldType::LargeInt:
        return ValueKind::LargeInt;
    default:
        return ValueKind::Text;
    }
}

bool isDateTime(FieldType type)
{
    return type == FieldType::Date || type == FieldType::Time || type == FieldType::DateTime;
}

} // namespace FieldTypes

FieldDef FieldDef::make(const QString& name, FieldType type, int size, bool required)
{
    FieldDef f;
    f.name = name;
    f.type = type;
    f.size = type == FieldType::String ? size : 0;
    f.displayName = name;
    f.displayWidth = type == FieldType::String ? size : type == FieldType::Boolean ? 5 : 10;
    f.required = required;
    return f;
}

IndexDef IndexDef::make(const QString& name, const QString& fields, bool caseInsensitive, bool unique)
{
    IndexDef d;
    d.name = name;
    d.fields = fields;
    d.displayName = name;
    d.caseInsensitive = caseInsensitive;
    d.unique = unique;
    return d;
}

QStringList IndexDef::fieldList() const { return fields.split(QLatin1Char(';'), Qt::SkipEmptyParts); }
