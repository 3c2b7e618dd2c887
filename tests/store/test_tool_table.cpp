#include "store/data_module.h"
#include "support/temp_program_dir.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

namespace {
struct Run {
    int code;
    QString out;
    QString err;
};
Run tool(const QStringList& args)
{
    QProcess p;
    p.start(MEDROVA_TOOL_PATH, args);
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}
void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
} // namespace

class TestToolTable : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void dumpsPatientFileWrittenByTheProgram()
    {
        TempProgramDir dir;
        {
            TDataModule1 dm;
            dm.startUp();
            Table& p = dm.kbmTablePatient();
            p.insert();
            p.setValue("LastName", "Smith");
            p.setValue("FirstName", "Ann");
            p.setValue("DateOfBirth", 30000.0);
            p.setValue("Sex", "Female");
            p.setValue("Diagnosies", "Asthma\r\nGERD");
            QVERIFY(p.post());
            dm.shutDown();
        }
        const Run r = tool({"table", "dump", dir.file("Patient.bin")});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.startsWith("Form: compressed\nFields:\n  LastName String 30\n"));
        QVERIFY(r.out.contains("  ID Integer required\n"));
        QVERIFY(r.out.contains("  NAME on LastName;FirstName case-insensitive\n"));
        QVERIFY2(r.out.contains("1: LastName=Smith; FirstName=Ann; DateOfBirth=1982-02-18; Sex=Female; "
                                "Diagnosies=Asthma\\r\\nGERD; ID=1;"),
                 qPrintable(r.out));
    }

    void createConvertAndLzh()
    {
        TempProgramDir dir;
        writeFile(dir.file("t.json"), R"({"fields":[{"name":"CATEGORY","type":"String","size":40}],
            "indexes":[{"name":"Cat_Index","fields":"CATEGORY"}], "rows":[["Heart"],{"CATEGORY":"Lung"}]})");
        QCOMPARE(tool({"table", "create", dir.file("t.json"), dir.file("Category.bin")}).code, 0);
        QCOMPARE(tool({"table", "convert", dir.file("Category.bin"), dir.file("c.bin"), "--compressed"}).code, 0);
        const Run json = tool({"table", "dump", dir.file("c.bin"), "--json"});
        QCOMPARE(json.code, 0);
        const QJsonObject o = QJsonDocument::fromJson(json.out.toUtf8()).object();
        QCOMPARE(o["form"].toString(), QString("compressed"));
        QCOMPARE(o["rows"].toArray().size(), 2);
        QCOMPARE(o["rows"].toArray()[1].toObject()["CATEGORY"].toString(), QString("Lung"));
        QCOMPARE(tool({"table", "convert", dir.file("c.bin"), dir.file("p.bin"), "--plain"}).code, 0);
        QFile a(dir.file("Category.bin")), b(dir.file("p.bin"));
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        QCOMPARE(b.readAll(), a.readAll());

        QCOMPARE(tool({"lzh", "compress", dir.file("t.json"), dir.file("t.lzh")}).code, 0);
        QCOMPARE(tool({"lzh", "expand", dir.file("t.lzh"), dir.file("t2.json")}).code, 0);
        QFile x(dir.file("t.json")), y(dir.file("t2.json"));
        QVERIFY(x.open(QIODevice::ReadOnly) && y.open(QIODevice::ReadOnly));
        QCOMPARE(y.readAll(), x.readAll());
    }

    void errorsGoToStderr()
    {
        TempProgramDir dir;
        writeFile(dir.file("bad.bin"), "TPF1");
        Run r = tool({"table", "dump", dir.file("bad.bin")});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QString("Invalid stream format\n"));
        r = tool({"lzh", "expand", dir.file("bad.bin"), dir.file("out")});
        QCOMPARE(r.err, QString("Stream read error\n"));
        QVERIFY(!QFile::exists(dir.file("out")));
    }
};

QTEST_GUILESS_MAIN(TestToolTable)
#include "test_tool_table.moc"
