#include "store/table_file.h"

#include "platform/code_page.h"
#include "platform/errors.h"
#include "store/extended_float.h"
#include "store/lzh_container.h"

#include <QtEndian>
#include <cmath>

namespace {

enum Tag : unsigned char {
    TagNull = 0, TagList = 1, TagInt8 = 2, TagInt16 = 3, TagInt32 = 4, TagExtended = 5,
    TagString = 6, TagFalse = 8, TagTrue = 9, TagLString = 12, TagWString = 18, TagInt64 = 19,
    TagUtf8String = 20
};

[[noreturn]] void fail(const char* text) { throw MedrovaError(QString::fromLatin1(text)); }
[[noreturn]] void readError() { fail("Stream read error"); }
[[noreturn]] void valueError() { fail("Invalid property value"); }

class Writer {
public:
    QByteArray out;
    void tag(Tag t) { out.append(char(t)); }
    void integer(qint32 v)
    {
        char b[4];
        if (v >= -128 && v <= 127) {
            tag(TagInt8);
            out.append(char(qint8(v)));
        } else if (v >= -32768 && v <= 32767) {
            tag(TagInt16);
            qToLittleEndian(qint16(v), b);
            out.append(b, 2);
        } else {
            tag(TagInt32);
            qToLittleEndian(v, b);
            out.append(b, 4);
        }
    }
    void text(const QString& s)
    {
        bool ascii = true;
        for (QChar c : s) {
            if (c.unicode() >= 0x80) {
                ascii = false;
                break;
            }
        }
        char b[4];
        if (!ascii) {
            const QByteArray utf8 = s.toUtf8();
            tag(TagUtf8String);
            qToLittleEndian(qint32(utf8.size()), b);
            out.append(b, 4);
            out.append(utf8);
        } else if (s.size() <= 255) {
            tag(TagString);
            out.append(char(quint8(s.size())));
            out.append(s.toLatin1());
        } else {
            tag(TagLString);
            qToLittleEndian(qint32(s.size()), b);
            out.append(b, 4);
            out.append(s.toLatin1());
        }
    }
    void boolean(bool v) { tag(v ? TagTrue : TagFalse); }
    void extended(double v)
    {
        unsigned char b[10];
        ExtendedFloat::encode(v, b);
        tag(TagExtended);
        out.append(reinterpret_cast<const char*>(b), 10);
    }
    void extendedInteger(qint64 v)
    {
        unsigned char b[10];
        ExtendedFloat::encodeInteger(v, b);
        tag(TagExtended);
        out.append(reinterpret_cast<const char*>(b), 10);
    }
};

QString kindName(FieldKind k)
{
    switch (k) {
    case FieldKind::Calculated: return QStringLiteral("Calculated");
    case FieldKind::Lookup: return QStringLiteral("Lookup");
    case FieldKind::InternalCalc: return QStringLiteral("InternalCalc");
    case FieldKind::Aggregate: return QStringLiteral("Aggregate");
    case FieldKind::Data: break;
    }
    return QStringLiteral("Data");
}

FieldKind kindFromName(const QString& s)
{
    if (s == QLatin1String("Calculated")) return FieldKind::Calculated;
    if (s == QLatin1String("Lookup")) return FieldKind::Lookup;
    if (s == QLatin1String("InternalCalc")) return FieldKind::InternalCalc;
    if (s == QLatin1String("Aggregate")) return FieldKind::Aggregate;
    return FieldKind::Data;
}

void writeValue(Writer& w, const FieldDef& f, const QVariant& v)
{
    switch (FieldTypes::valueKind(f.type)) {
    case ValueKind::Integer: w.integer(v.toInt()); break;
    case ValueKind::Boolean: w.boolean(v.toBool()); break;
    case ValueKind::Float: w.extended(v.toDouble()); break;
    case ValueKind::LargeInt: w.extendedInteger(v.toLongLong()); break;
    case ValueKind::Text:
        if (v.typeId() == QMetaType::QByteArray)
            w.text(QString::fromUtf8(LzhContainer::decompressBlob(v.toByteArray())));
        else
            w.text(v.toString());
        break;
    }
}

class Reader {
public:
    explicit Reader(const QByteArray& b)
        : m_p(reinterpret_cast<const unsigned char*>(b.constData())), m_end(m_p + b.size())
    {
    }
    qsizetype left() const { return m_end - m_p; }
    void need(qint64 n) const
    {
        if (n < 0 || n > left())
            readError();
    }
    unsigned char byte()
    {
        need(1);
        return *m_p++;
    }
    const unsigned char* take(qint64 n)
    {
        need(n);
        const unsigned char* p = m_p;
        m_p += n;
        return p;
    }
    unsigned char peekTag() const
    {
        need(1);
        return *m_p;
    }
    Tag tag() { return Tag(byte()); }
    void listBegin()
    {
        if (tag() != TagList)
            valueError();
    }
    bool endOfList() const { return peekTag() == TagNull; }
    void listEnd()
    {
        if (tag() != TagNull)
            valueError();
    }
    qint64 integerOf(Tag t, bool allow64)
    {
        switch (t) {
        case TagInt8: return qint8(byte());
        case TagInt16: return qFromLittleEndian<qint16>(take(2));
        case TagInt32: return qFromLittleEndian<qint32>(take(4));
        case TagInt64:
            if (allow64)
                return qFromLittleEndian<qint64>(take(8));
            valueError();
        default: valueError();
        }
    }
    qint32 integer() { return qint32(integerOf(tag(), false)); }
    QString text()
    {
        const Tag t = tag();
        switch (t) {
        case TagString: {
            const unsigned n = byte();
            const unsigned char* p = take(n);
            return CodePage::fromCp1252(reinterpret_cast<const char*>(p), n);
        }
        case TagLString: {
            const qint32 n = qFromLittleEndian<qint32>(take(4));
            const unsigned char* p = take(n);
            return CodePage::fromCp1252(reinterpret_cast<const char*>(p), n);
        }
        case TagUtf8String: {
            const qint32 n = qFromLittleEndian<qint32>(take(4));
            const unsigned char* p = take(n);
            return QString::fromUtf8(reinterpret_cast<const char*>(p), n);
        }
        case TagWString: {
            const qint32 n = qFromLittleEndian<qint32>(take(4));
            const unsigned char* p = take(qint64(n) * 2);
            QString s(n, Qt::Uninitialized);
            for (qint32 i = 0; i < n; ++i)
                s[i] = QChar(char16_t(p[2 * i] | (p[2 * i + 1] << 8)));
            return s;
        }
        default: valueError();
        }
    }
    bool boolean() { return tag() == TagTrue; }
    double floating()
    {
        const Tag t = tag();
        if (t == TagExtended)
            return ExtendedFloat::decode(take(10));
        return double(integerOf(t, true));
    }

private:
    const unsigned char* m_p;
    const unsigned char* m_end;
};

QVariant readValue(Reader& r, const FieldDef& f, qint64& autoIncMax)
{
    switch (f.type) {
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::Word:
        return r.integer();
    case FieldType::AutoInc: {
        const qint32 v = r.integer();
        autoIncMax = std::max<qint64>(autoIncMax, v);
        return v;
    }
    case FieldType::Boolean:
        return r.boolean();
    case FieldType::Float:
        return r.floating();
    case FieldType::LargeInt: {
        const double d = r.floating();
        if (!std::isfinite(d) || std::fabs(d) >= 9.2e18)
            valueError();
        return qint64(std::llround(d));
    }
    case FieldType::Currency:
    case FieldType::BCD: {
        const double d = r.floating();
        return std::isfinite(d) ? std::round(d * 10000.0) / 10000.0 : d;
    }
    case FieldType::Date:
    case FieldType::Time:
    case FieldType::DateTime: {
        const double d = r.floating();
        return d == 0.0 ? QVariant() : QVariant(d);
    }
    default:
        return r.text();
    }
}

void readValues(Reader& r, const std::vector<FieldDef>& fields, int version,
                std::vector<QVariant>& values, qint64& autoIncMax)
{
    values.resize(fields.size());
    for (size_t i = 0; i < fields.size(); ++i) {
        const bool isNull = version >= 249 ? r.boolean() : false;
        if (!isNull)
            values[i] = readValue(r, fields[i], autoIncMax);
    }
}

} // namespace

namespace TableFile {

void checkFieldCount(size_t count)
{
    if (count > size_t(MaxFields))
        fail("Too many fielddefs. Please raise KBM_MAX_FIELDS value.");
}

QByteArray write(const std::vector<FieldDef>& fields, const std::vector<IndexDef>& indexes,
                 const std::vector<const Row*>& rows, const std::function<void(int)>& progress)
{
    Writer w;
    w.out.reserve(qsizetype(64 + fields.size() * 48 + rows.size() * (8 + fields.size() * 12)));
    w.out.append("TPF0", 4);
    w.integer(Version);
    w.tag(TagList);
    for (const FieldDef& f : fields) {
        w.text(f.name);
        w.text(FieldTypes::name(f.type));
        w.integer(f.size);
        w.text(f.displayName);
        w.text(f.editMask);
        w.integer(f.displayWidth);
        w.boolean(f.required);
        w.boolean(f.readOnly);
        w.text(kindName(f.kind));
        w.text(f.defaultExpression);
    }
    w.tag(TagNull);
    w.tag(TagList);
    for (const IndexDef& d : indexes) {
        w.text(d.name);
        w.text(d.fields);
        w.text(d.displayName);
        w.boolean(d.descending);
        w.boolean(d.caseInsensitive);
        w.boolean(d.notMaintained);
        w.boolean(d.unique);
    }
    w.tag(TagNull);
    w.tag(TagList);
    const size_t total = rows.size();
    for (size_t n = 0; n < total; ++n) {
        const Row& row = *rows[n];
        w.tag(TagList);
        w.integer(0);
        for (size_t i = 0; i < fields.size(); ++i) {
            const QVariant& v = i < row.values.size() ? row.values[i] : QVariant();
            w.boolean(v.isNull());
            if (!v.isNull())
                writeValue(w, fields[i], v);
        }
        w.tag(TagNull);
        if (progress && n % 100 == 0)
            progress(int(n * 100 / total));
    }
    w.tag(TagNull);
    return std::move(w.out);
}

bool write(QIODevice& device, const TableData& data)
{
    std::vector<const Row*> rows;
    rows.reserve(data.rows.size());
    for (const Row& r : data.rows)
        rows.push_back(&r);
    const QByteArray bytes = write(data.fields, data.indexes, rows);
    return device.write(bytes) == bytes.size();
}

TableData read(const QByteArray& bytes, const std::vector<FieldDef>& ownFields,
               const std::vector<IndexDef>& ownIndexes)
{
    Reader r(bytes);
    const unsigned char* sig = r.take(4);
    if (std::memcmp(sig, "TPF0", 4) != 0)
        fail("Invalid stream format");
    int version = 100;
    if (r.peekTag() != TagList)
        version = r.integer();

    TableData data;
    r.listBegin();
    while (!r.endOfList()) {
        FieldDef f;
        f.name = r.text();
        const QString typeName = r.text();
        bool known = false;
        f.type = FieldTypes::fromName(typeName, &known);
        if (!known || !FieldTypes::isStorable(f.type))
            throw MedrovaError(QStringLiteral("Unknown field type (%1)").arg(typeName));
        f.size = r.integer();
        f.displayName = r.text();
        f.editMask = r.text();
        f.displayWidth = r.integer();
        f.required = r.boolean();
        f.readOnly = r.boolean();
        f.kind = version >= 250 ? kindFromName(r.text()) : FieldKind::Data;
        if (version > 250)
            f.defaultExpression = r.text();
        data.fields.push_back(std::move(f));
        checkFieldCount(data.fields.size());
    }
    r.listEnd();
    if (data.fields.empty())
        data.fields = ownFields;

    if (version >= 200) {
        r.listBegin();
        while (!r.endOfList()) {
            IndexDef d;
            d.name = r.text();
            d.fields = r.text();
            d.displayName = r.text();
            d.descending = r.boolean();
            d.caseInsensitive = r.boolean();
            d.notMaintained = r.boolean();
            d.unique = r.boolean();
            data.indexes.push_back(std::move(d));
        }
        r.listEnd();
    }
    if (data.indexes.empty())
        data.indexes = ownIndexes;

    if (data.fields.empty())
        fail("Couldnt determine field count for load.");

    // Every row takes at least one byte per field, which bounds the reservation.
    data.rows.reserve(size_t(r.left()) / (data.fields.size() + 3) / 4);
    qint64 autoIncMax = 0;
    r.listBegin();
    while (!r.endOfList()) {
        Row row;
        if (version >= 230) {
            r.listBegin();
            row.status = r.integer();
            readValues(r, data.fields, version, row.values, autoIncMax);
            while (!r.endOfList()) {
                RowVersion older;
                older.status = r.integer();
                readValues(r, data.fields, version, older.values, autoIncMax);
                row.earlier.push_back(std::move(older));
            }
            r.listEnd();
        } else {
            readValues(r, data.fields, version, row.values, autoIncMax);
        }
        data.rows.push_back(std::move(row));
    }
    r.listEnd();
    data.autoIncMax = autoIncMax;
    return data;
}

TableData read(QIODevice& device, const std::vector<FieldDef>& ownFields,
               const std::vector<IndexDef>& ownIndexes)
{
    return read(device.readAll(), ownFields, ownIndexes);
}

} // namespace TableFile
