// medrova-tool macro run: scripted picks and answers in, note text and messages out.

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct ToolRun {
    int exitCode;
    QString out;
    QString err;
};

ToolRun tool(const QStringList& args, const QStringList& before = {})
{
    QProcess p;
    p.start(QStringLiteral(MEDROVA_TOOL_PATH), before + QStringList{QStringLiteral("macro"), QStringLiteral("run")} + args);
    p.waitForFinished(20000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

const QStringList kPatient = {"--field", "LastName=Doe", "--field", "FirstName=jane", "--field", "Sex=F",
                              "--field", "DateOfBirth=1980-03-10", "--date", "2024-06-15"};

} // namespace

class TestToolMacro : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void run_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("out");
        QTest::newRow("picks in order")
            << (kPatient + QStringList{"--pick", "2", "--pick", "everyother:1,3", "{FirstNameProper}: {List a,b} {List x,y,z}"})
            << "Jane: b x\n\nz\n";
        QTest::newRow("messages after the note")
            << (kPatient + QStringList{"--pick", "line:", "--pick", "cancel", "{Age}{Nope}{List a}tail"})
            << "44 year old\n[warning] Unrecognized macro command: {Nope.\n[information] You have not made any "
               "selection(s).\n";
        QTest::newRow("text before the insertion point")
            << (kPatient + QStringList{"--text-before", "pain for ", "--pick", "6", "{Interval} ago"})
            << "about a year ago\n";
        QTest::newRow("answer to the incomplete-data question")
            << QStringList{"--field", "LastName=Doe", "--answer", "yes", "--macro", "x"}
            << "\n[warning] The patient data is incomplete. Do you want to enter a first name, last name, sex and "
               "date of birth before \r\nproceding.\n";
        QTest::newRow("history fields") << (kPatient + QStringList{"--history", "FHx=gout", "{FHx}"}) << "gout\n";
    }
    void run()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, out);
        const ToolRun r = tool(args);
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, out);
    }

    void patientFromTheProgramDirectory()
    {
        QTemporaryDir dir;
        const auto write = [&](const QString& name, const QByteArray& json) {
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(json);
        };
        write(QStringLiteral("p.json"),
              R"({"fields":[{"name":"LastName","type":"String","size":30},{"name":"FirstName","type":"String","size":30},
                 {"name":"DateOfBirth","type":"Date"},{"name":"Sex","type":"String","size":6},{"name":"ID","type":"Integer"}],
                 "rows":[{"LastName":"MCDONALD","FirstName":"ann","DateOfBirth":"1980-03-10","Sex":"F","ID":7}]})");
        write(QStringLiteral("h.json"),
              R"({"fields":[{"name":"ID","type":"Integer"},{"name":"FHx","type":"Memo"}],"rows":[{"ID":7,"FHx":"gout"}]})");
        QCOMPARE(QProcess::execute(QStringLiteral(MEDROVA_TOOL_PATH),
                                   {"table", "create", dir.filePath("p.json"), dir.filePath("Patient.bin"), "--compressed"}),
                 0);
        QCOMPARE(QProcess::execute(QStringLiteral(MEDROVA_TOOL_PATH),
                                   {"table", "create", dir.filePath("h.json"), dir.filePath("PtHistory.bin")}),
                 0);
        const QStringList at = {"--dir", dir.path()};
        ToolRun r = tool({"--patient", "7", "--date", "2024-06-15", "{LastNameProper}{FirstNameProper}, {Age}, {FHx}"}, at);
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QStringLiteral("McDonald Ann, 44 year old, gout\n"));
        r = tool({"--patient", "8", "x"}, at);
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.err, QStringLiteral("No patient with ID 8\n"));
    }

    void badArguments_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("err");
        QTest::newRow("bad pick") << QStringList{"--pick", "twice", "x"} << "Not a pick action: twice\n";
        QTest::newRow("bad answer") << QStringList{"--answer", "maybe", "x"} << "--answer takes yes or no\n";
        QTest::newRow("bad date") << QStringList{"--date", "soon", "x"} << "Not a date: soon\n";
    }
    void badArguments()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, err);
        const ToolRun r = tool(args);
        QVERIFY(r.exitCode != 0);
        QCOMPARE(r.err, err);
    }
};

QTEST_GUILESS_MAIN(TestToolMacro)
#include "test_tool_macro.moc"
