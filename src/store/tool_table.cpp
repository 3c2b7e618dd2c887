// medrova-tool table: dump, convert and create table files.

#include "platform/dates.h"
#include "platform/errors.h"
#include "platform/safe_save.h"
#include "store/lzh_container.h"
#include "store/table_file.h"
#include "tool/tool_command.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QByteArray readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw MedrovaError(QStringLiteral("Cannot open file \"%1\". %2").arg(path, f.errorString()));
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    if (!SafeSave::save(path, bytes))
        throw MedrovaError(QStringLiteral("Cannot create file \"%1\".").arg(path));
}

// Plain stream of a table file in either form.
QByteArray plainOf(const QByteArray& file)
{
    return LzhContainer::isCompressed(file) ? LzhContainer::decompressTable(file) : file;
}

QJsonValue jsonValue(const FieldDef& f, const QVariant& v)
{
    if (v.isNull())
        return QJsonValue::Null;
    if (f.type == FieldType::Date)
        return Dates::dateFromDayCount(v.toDouble()).toString(Qt::ISODate);
    if (f.type == FieldType::DateTime)
        return Dates::fromDayCount(v.toDouble()).toString(Qt::ISODate);
    switch (FieldTypes::valueKind(f.type)) {
    case ValueKind::Integer: return v.toInt();
    case ValueKind::LargeInt: return v.toLongLong();
    case ValueKind::Boolean: return v.toBool();
    case ValueKind::Float: return v.toDouble();
    case ValueKind::Text: return v.toString();
    }
    return QJsonValue::Null;
}

QVariant fromJson(const FieldDef& f, const QJsonValue& v)
{
    if (v.isNull() || v.isUndefined())
        return {};
    if (FieldTypes::isDateTime(f.type) && v.isString()) {
        const QDateTime dt = QDateTime::fromString(v.toString(), Qt::ISODate);
        if (!dt.isValid())
            throw MedrovaError(QStringLiteral("Invalid date \"%1\" for field %2").arg(v.toString(), f.name));
        return Dates::toDayCount(dt);
    }
    switch (FieldTypes::valueKind(f.type)) {
    case ValueKind::Integer: return v.toInt();
    case ValueKind::LargeInt: return qint64(v.toDouble());
    case ValueKind::Boolean: return v.toBool();
    case ValueKind::Float: return v.toDouble();
    case ValueKind::Text: return v.isString() ? v.toString() : v.toVariant().toString();
    }
    return {};
}

int dump(const QStringList& args, QTextStream& out, QTextStream& err)
{
    const bool json = args.contains(QStringLiteral("--json"));
    QStringList files = args;
    files.removeAll(QStringLiteral("--json"));
    if (files.size() != 1) {
        err << "Usage: medrova-tool table dump FILE [--json]\n";
        return 2;
    }
    const QByteArray file = readFile(files[0]);
    const bool compressed = LzhContainer::isCompressed(file);
    const TableData d = TableFile::read(plainOf(file));
    if (json) {
        QJsonObject root;
        root[QStringLiteral("form")] = compressed ? QStringLiteral("compressed") : QStringLiteral("plain");
        QJsonArray fields, indexes, rows;
        for (const FieldDef& f : d.fields)
            fields.append(QJsonObject{{"name", f.name}, {"type", FieldTypes::name(f.type)}, {"size", f.size},
                                      {"required", f.required}, {"editMask", f.editMask}});
        for (const IndexDef& i : d.indexes)
            indexes.append(QJsonObject{{"name", i.name}, {"fields", i.fields}, {"descending", i.descending},
                                       {"caseInsensitive", i.caseInsensitive}, {"unique", i.unique}});
        for (const Row& r : d.rows) {
            QJsonObject row;
            for (size_t i = 0; i < d.fields.size(); ++i)
                row[d.fields[i].name] = jsonValue(d.fields[i], r.values[i]);
            rows.append(row);
        }
        root[QStringLiteral("fields")] = fields;
        root[QStringLiteral("indexes")] = indexes;
        root[QStringLiteral("rows")] = rows;
        out << QJsonDocument(root).toJson(QJsonDocument::Indented);
        return 0;
    }
    out << "Form: " << (compressed ? "compressed" : "plain") << "\nFields:\n";
    for (const FieldDef& f : d.fields) {
        out << "  " << f.name << " " << FieldTypes::name(f.type);
        if (f.type == FieldType::String)
            out << " " << f.size;
        if (f.required)
            out << " required";
        out << "\n";
    }
    out << "Indexes:\n";
    for (const IndexDef& i : d.indexes) {
        out << "  " << i.name << " on " << i.fields;
        if (i.caseInsensitive)
            out << " case-insensitive";
        if (i.unique)
            out << " unique";
        if (i.descending)
            out << " descending";
        out << "\n";
    }
    out << "Rows: " << d.rows.size() << "\n";
    int n = 0;
    for (const Row& r : d.rows) {
        out << "  " << ++n << ":";
        for (size_t i = 0; i < d.fields.size(); ++i) {
            const QJsonValue v = jsonValue(d.fields[i], r.values[i]);
            if (v.isNull())
                continue;
            QString text = v.isString() ? v.toString() : v.toVariant().toString();
            text.replace(QLatin1Char('\r'), QStringLiteral("\\r")).replace(QLatin1Char('\n'), QStringLiteral("\\n"));
            out << " " << d.fields[i].name << "=" << text << ";";
        }
        out << "\n";
    }
    return 0;
}

int convert(const QStringList& args, QTextStream&, QTextStream& err)
{
    if (args.size() != 3 || (args[2] != QLatin1String("--plain") && args[2] != QLatin1String("--compressed"))) {
        err << "Usage: medrova-tool table convert IN OUT --plain|--compressed\n";
        return 2;
    }
    QByteArray plain = plainOf(readFile(args[0]));
    TableFile::read(plain); // refuse to pass on a broken stream
    writeFile(args[1], args[2] == QLatin1String("--compressed") ? LzhContainer::compressTable(plain) : plain);
    return 0;
}

int create(const QStringList& args, QTextStream&, QTextStream& err)
{
    QStringList rest = args;
    const bool compressed = rest.removeAll(QStringLiteral("--compressed")) > 0;
    if (rest.size() != 2) {
        err << "Usage: medrova-tool table create JSON OUT [--compressed]\n";
        return 2;
    }
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(readFile(rest[0]), &pe);
    if (!doc.isObject()) {
        err << "Invalid JSON: " << pe.errorString() << "\n";
        return 1;
    }
    const QJsonObject root = doc.object();
    TableData d;
    for (const QJsonValue& v : root.value(QStringLiteral("fields")).toArray()) {
        const QJsonObject o = v.toObject();
        bool ok = false;
        const FieldType type = FieldTypes::fromName(o.value(QStringLiteral("type")).toString(), &ok);
        if (!ok || !FieldTypes::isStorable(type))
            throw MedrovaError(QStringLiteral("Unknown field type (%1)").arg(o.value(QStringLiteral("type")).toString()));
        FieldDef f = FieldDef::make(o.value(QStringLiteral("name")).toString(), type,
                                    o.value(QStringLiteral("size")).toInt(), o.value(QStringLiteral("required")).toBool());
        f.editMask = o.value(QStringLiteral("editMask")).toString();
        d.fields.push_back(f);
    }
    TableFile::checkFieldCount(d.fields.size());
    for (const QJsonValue& v : root.value(QStringLiteral("indexes")).toArray()) {
        const QJsonObject o = v.toObject();
        IndexDef i = IndexDef::make(o.value(QStringLiteral("name")).toString(), o.value(QStringLiteral("fields")).toString(),
                                    o.value(QStringLiteral("caseInsensitive")).toBool(), o.value(QStringLiteral("unique")).toBool());
        i.descending = o.value(QStringLiteral("descending")).toBool();
        d.indexes.push_back(i);
    }
    for (const QJsonValue& v : root.value(QStringLiteral("rows")).toArray()) {
        Row r;
        r.values.resize(d.fields.size());
        for (size_t i = 0; i < d.fields.size(); ++i) {
            const QJsonValue cell = v.isArray() ? v.toArray().at(qsizetype(i)) : v.toObject().value(d.fields[i].name);
            r.values[i] = fromJson(d.fields[i], cell);
            if (r.values[i].typeId() == QMetaType::QString && r.values[i].toString().isEmpty())
                r.values[i] = QVariant();
        }
        d.rows.push_back(std::move(r));
    }
    std::vector<const Row*> rows;
    for (const Row& r : d.rows)
        rows.push_back(&r);
    const QByteArray plain = TableFile::write(d.fields, d.indexes, rows);
    writeFile(rest[1], compressed ? LzhContainer::compressTable(plain) : plain);
    return 0;
}

int table(const QStringList& args, QTextStream& out, QTextStream& err)
{
    const QString sub = args.value(0);
    const QStringList rest = args.mid(1);
    if (sub == QLatin1String("dump"))
        return dump(rest, out, err);
    if (sub == QLatin1String("convert"))
        return convert(rest, out, err);
    if (sub == QLatin1String("create"))
        return create(rest, out, err);
    err << "Usage: medrova-tool table dump FILE [--json] | convert IN OUT --plain|--compressed | "
           "create JSON OUT [--compressed]\n";
    return 2;
}

const ToolCommandRegistration registration({QStringLiteral("table"),
                                            QStringLiteral("dumps, converts and creates table files"), table});

} // namespace
