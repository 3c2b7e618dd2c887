#include "platform/errors.h"
#include "store/extended_float.h"
#include "store/lzh_container.h"
#include "store/table.h"
#include "store/table_file.h"

#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <limits>

#define B(s) QByteArray(s, sizeof(s) - 1)

namespace {
QByteArray str(const QByteArray& s) { return char(6) + QByteArray(1, char(s.size())) + s; }
QByteArray ext(double v)
{
    unsigned char b[10];
    ExtendedFloat::encode(v, b);
    return char(5) + QByteArray(reinterpret_cast<const char*>(b), 10);
}
// A one-field definition of version 251.
QByteArray fieldDef(const QByteArray& name, const QByteArray& type, int size = 0)
{
    return str(name) + str(type) + "\x02" + char(size) + str(name) + str("") + "\x02" + char(size) +
           "\x08\x08" + str("Data") + str("");
}
const QByteArray header = QByteArray("TPF0\x03\xFB\x00", 7);

QString readError(const QByteArray& bytes)
{
    try {
        TableFile::read(bytes);
    } catch (const MedrovaError& e) {
        return e.text();
    }
    return QStringLiteral("(no error)");
}
} // namespace

class TestTableFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void workedExample()
    {
        Table t("kbmTableCategory");
        t.setFieldDefs({FieldDef::make("CATEGORY", FieldType::String, 40)});
        t.setIndexDefs({IndexDef::make("Cat_Index", "CATEGORY")});
        t.createTable();
        t.setActiveIndex("Cat_Index");
        QVERIFY(t.insert());
        t.setValue("CATEGORY", "Heart");
        QVERIFY(t.post());
        const QByteArray expected = QByteArray::fromHex(
            "54504630" "03fb00" "01"
            "0608" "43415445474f5259" "0606" "537472696e67" "0228" "0608" "43415445474f5259" "0600"
            "0228" "08" "08" "0604" "44617461" "0600" "00"
            "01" "0609" "4361745f496e646578" "0608" "43415445474f5259" "0609" "4361745f496e646578"
            "08080808" "00"
            "01" "01020008" "0605" "4865617274" "00" "00");
        QCOMPARE(t.plainStream().toHex(' '), expected.toHex(' '));
    }

    void emptyTableAndTextTags()
    {
        Table t("t");
        t.setFieldDefs({FieldDef::make("S", FieldType::Memo)});
        t.createTable();
        QVERIFY(t.plainStream().endsWith(QByteArray("\x00\x01\x00", 3)));
        for (const QString& s : {QString(255, 'a'), QString(256, 'b'), QString::fromUtf8("Ren\xc3\xa9"),
                                 QString::fromUtf8("\xe2\x82\xac and \xe4\xb8\xad")}) {
            QVERIFY(t.insert());
            t.setValue("S", s);
            QVERIFY(t.post());
        }
        const QByteArray bytes = t.plainStream();
        QVERIFY(bytes.contains(QByteArray("\x08\x06\xFF") + QByteArray(255, 'a')));
        QVERIFY(bytes.contains(QByteArray("\x08\x0C\x00\x01\x00\x00", 6) + QByteArray(256, 'b')));
        QVERIFY(bytes.contains(QByteArray("\x08\x14\x05\x00\x00\x00Ren\xc3\xa9", 11)));
        const TableData back = TableFile::read(bytes);
        QCOMPARE(back.rows.size(), size_t(4));
        QCOMPARE(back.rows[2].values[0].toString(), QString::fromUtf8("Ren\xc3\xa9"));
        QCOMPARE(back.rows[3].values[0].toString(), QString::fromUtf8("\xe2\x82\xac and \xe4\xb8\xad"));
        // Code-page texts of tags 6 and 12 read as Windows-1252.
        QCOMPARE(TableFile::read(header + "\x01" + fieldDef("S", "String", 9) + B("\x00\x01\x00\x01\x01\x02\x00\x08") +
                                 str("\x80\xe9") + B("\x00\x00")).rows[0].values[0].toString(),
                 QString::fromUtf8("\xe2\x82\xac\xc3\xa9"));
    }

    void extendedFloat_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("1") << 1.0 << QByteArray::fromHex("0000000000000080ff3f");
        QTest::newRow("-2") << -2.0 << QByteArray::fromHex("000000000000008000c0");
        QTest::newRow("0.5") << 0.5 << QByteArray::fromHex("0000000000000080fe3f");
        QTest::newRow("0") << 0.0 << QByteArray::fromHex("00000000000000000000");
        QTest::newRow("day 36526") << 36526.0 << QByteArray::fromHex("000000000000ae8e0e40");
        QTest::newRow("0.1") << 0.1 << QByteArray::fromHex("00d0cccccccccccc fb3f");
        QTest::newRow("smallest subnormal") << std::numeric_limits<double>::denorm_min()
                                            << QByteArray::fromHex("0000000000000080cd3b");
        QTest::newRow("max") << std::numeric_limits<double>::max() << QByteArray::fromHex("00f8fffffffffffffe43");
        QTest::newRow("inf") << HUGE_VAL << QByteArray::fromHex("0000000000000080ff7f");
    }
    void extendedFloat()
    {
        QFETCH(double, value);
        QFETCH(QByteArray, bytes);
        unsigned char b[10];
        ExtendedFloat::encode(value, b);
        QCOMPARE(QByteArray(reinterpret_cast<char*>(b), 10).toHex(), bytes.toHex());
        QCOMPARE(ExtendedFloat::decode(b), value);
    }

    void extendedInteger()
    {
        unsigned char b[10];
        for (qint64 v : {qint64(1), qint64(-1), std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::min()}) {
            ExtendedFloat::encodeInteger(v, b);
            QCOMPARE(ExtendedFloat::decode(b), double(v));
        }
        ExtendedFloat::encodeInteger(std::numeric_limits<qint64>::max(), b);
        QCOMPARE(QByteArray(reinterpret_cast<char*>(b), 10).toHex(), QByteArray("feffffffffffffff3d40"));
    }

    void everyTypeRoundTripsInBothForms()
    {
        QTemporaryDir dir;
        std::vector<FieldDef> fields;
        for (int t = 1; t <= 37; ++t) {
            const auto type = FieldType(t);
            if (FieldTypes::isStorable(type))
                fields.push_back(FieldDef::make(FieldTypes::name(type) + "F", type, type == FieldType::String ? 20 : 0));
        }
        fields.back().required = true;
        fields.front().editMask = "!99/99/0000;1;_";
        Table t("all");
        t.setFieldDefs(fields);
        t.setIndexDefs({IndexDef::make("I1", "IntegerF", false, true), IndexDef::make("I2", "StringF;DateF", true)});
        t.createTable();
        t.setActiveIndex("I2");
        for (int r = 0; r < 3; ++r) {
            QVERIFY(t.insert());
            for (int i = 0; i < t.fieldCount(); ++i) {
                const FieldDef& f = t.fieldDefs()[size_t(i)];
                if (r == 2 && !f.required)
                    continue; // a row of empty values
                switch (FieldTypes::valueKind(f.type)) {
                case ValueKind::Integer: t.setValue(i, r == 0 ? -40000 : 7 + r); break;
                case ValueKind::Boolean: t.setValue(i, r == 0); break;
                case ValueKind::Float: t.setValue(i, r == 0 ? 45123.0 : 0.3 + r); break;
                case ValueKind::LargeInt: t.setValue(i, qint64(1) << (40 + r)); break;
                case ValueKind::Text: t.setValue(i, QString("v%1 \xe9").arg(r)); break;
                }
            }
            QVERIFY(t.post());
        }
        for (FileForm form : {FileForm::Plain, FileForm::Compressed}) {
            const QString path = dir.filePath(form == FileForm::Plain ? "plain.bin" : "packed.bin");
            t.saveToFile(path, form);
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(LzhContainer::isCompressed(f), form == FileForm::Compressed);
            Table back("back");
            back.loadFromFile(path, form);
            QCOMPARE(back.fieldCount(), t.fieldCount());
            QCOMPARE(back.fieldDefs().front().editMask, QString("!99/99/0000;1;_"));
            QVERIFY(back.fieldDefs().back().required);
            QCOMPARE(back.indexDefs().size(), size_t(2));
            QVERIFY(back.indexDefs()[0].unique);
            QCOMPARE(back.indexDefs()[1].fields, QString("StringF;DateF"));
            QCOMPARE(back.totalRowCount(), 3);
            QCOMPARE(back.plainStream(), t.plainStream());
        }
    }

    void dateZeroAndBooleans()
    {
        const QByteArray body = header + "\x01" + fieldDef("D", "Date") + fieldDef("B", "Boolean") + B("\x00\x01\x00") +
                                B("\x01\x01\x02\x00\x08") + ext(0) + B("\x08\x02\x00") + B("\x01\x02\x00\x08") +
                                ext(2.0) + "\x08\x09" + B("\x00") + B("\x00");
        const TableData d = TableFile::read(body);
        QVERIFY(d.rows[0].values[0].isNull());
        QCOMPARE(d.rows[0].values[1], QVariant(false)); // a tag other than 9 reads false
        QCOMPARE(d.rows[1].values[0], QVariant(2.0));
        QCOMPARE(d.rows[1].values[1], QVariant(true));
    }

    void olderVersionsAndEarlierRowVersions()
    {
        // No version (100): no index list, rows without list or null flags.
        const QByteArray v100 = QByteArray("TPF0\x01", 5) + str("N") + str("Integer") + B("\x02\x00") + str("N") + str("") +
                                "\x02\x0a\x08\x08" + B("\x00") + "\x01" + "\x02\x05" + "\x02\x06" + B("\x00");
        TableData d = TableFile::read(v100, {}, {IndexDef::make("own", "N")});
        QCOMPARE(d.rows.size(), size_t(2));
        QCOMPARE(d.rows[1].values[0], QVariant(6));
        QCOMPARE(d.indexes.front().name, QString("own"));
        // Version 249: row lists with status and null flags, no field kind.
        const QByteArray v249 = QByteArray("TPF0\x03\xF9\x00\x01", 8) + str("N") + str("Integer") + B("\x02\x00") + str("N") +
                                str("") + "\x02\x0a\x08\x08" + B("\x00\x01\x00") +
                                B("\x01\x01\x02\x00\x08\x02\x05") + "\x02\x01\x08\x02\x04" + B("\x00\x00");
        d = TableFile::read(v249);
        QCOMPARE(d.rows.size(), size_t(1));
        QCOMPARE(d.rows[0].values[0], QVariant(5));
        QCOMPARE(d.rows[0].earlier.size(), size_t(1));
        QCOMPARE(d.rows[0].earlier[0].status, 1);
        QCOMPARE(d.rows[0].earlier[0].values[0], QVariant(4));
    }

    void emptyFieldListUsesOwnFields()
    {
        const QByteArray bytes = header + B("\x01\x00\x01\x00\x01") + B("\x01\x02\x00\x08") + str("Heart") + B("\x00\x00");
        const TableData d = TableFile::read(bytes, {FieldDef::make("CATEGORY", FieldType::String, 40)});
        QCOMPARE(d.fields.front().name, QString("CATEGORY"));
        QCOMPARE(d.rows[0].values[0], QVariant(QString("Heart")));
    }

    void readErrors_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error");
        QTest::newRow("empty file") << QByteArray() << "Stream read error";
        QTest::newRow("bad signature") << QByteArray("TPF1\x03\xFB\x00", 7) << "Invalid stream format";
        QTest::newRow("cut short") << header + "\x01" + fieldDef("A", "String", 4).left(9) << "Stream read error";
        QTest::newRow("text length past end") << header + "\x01\x0c\xff\xff\xff\x7f" << "Stream read error";
        QTest::newRow("negative length") << header + "\x01\x0c\xff\xff\xff\xff" << "Stream read error";
        QTest::newRow("version as text") << QByteArray("TPF0") + str("251") << "Invalid property value";
        QTest::newRow("size as text") << header + "\x01" + str("A") + str("String") + str("x") << "Invalid property value";
        QTest::newRow("WideString") << header + "\x01" + fieldDef("A", "WideString") << "Unknown field type (WideString)";
        QTest::newRow("lower-case type") << header + "\x01" + fieldDef("A", "string") << "Unknown field type (string)";
        QTest::newRow("no fields") << header + B("\x01\x00\x01\x00\x01\x00") << "Couldnt determine field count for load.";
        QTest::newRow("integer as text") << header + "\x01" + fieldDef("N", "Integer") + B("\x00\x01\x00\x01\x01\x02\x00\x08") +
                                                str("7") + B("\x00\x00")
                                         << "Invalid property value";
        QTest::newRow("row without end") << header + "\x01" + fieldDef("N", "Integer") + B("\x00\x01\x00\x01\x01\x02\x00\x09")
                                         << "Stream read error";
    }
    void readErrors()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        QCOMPARE(readError(bytes), error);
    }

    void tooManyFields()
    {
        QByteArray bytes = header + "\x01";
        for (int i = 0; i < 257; ++i)
            bytes += fieldDef("F" + QByteArray::number(i), "Integer");
        QCOMPARE(readError(bytes), QString("Too many fielddefs. Please raise KBM_MAX_FIELDS value."));
        Table t("t");
        QVERIFY_THROWS_EXCEPTION(MedrovaError, t.setFieldDefs(std::vector<FieldDef>(257, FieldDef::make("x", FieldType::Integer))));
    }

    void filteredTableWritesEveryRow()
    {
        Table t("t");
        t.setFieldDefs({FieldDef::make("N", FieldType::Integer)});
        t.createTable();
        for (int i = 0; i < 5; ++i) {
            t.insert();
            t.setValue("N", i);
            t.post();
        }
        t.onFilterRecord = [](const Table& tb, const Row& r) { return tb.rowValue(r, 0).toInt() == 3; };
        t.setFiltered(true);
        QCOMPARE(t.rowCount(), 1);
        QCOMPARE(TableFile::read(t.plainStream()).rows.size(), size_t(5));
        QVERIFY(t.filtered());
    }

    void noFormat()
    {
        Table t("t");
        t.setFieldDefs({FieldDef::make("N", FieldType::Integer)});
        t.createTable();
        QVERIFY_THROWS_EXCEPTION(MedrovaError, t.saveToFile("x", FileForm::None));
        try {
            t.saveToFile("x", FileForm::None);
        } catch (const MedrovaError& e) {
            QCOMPARE(e.text(), QString("No format specified."));
        }
    }
};

QTEST_GUILESS_MAIN(TestTableFile)
#include "test_table_file.moc"
