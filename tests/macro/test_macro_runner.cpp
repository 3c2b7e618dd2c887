// The worker-thread adapter: host calls reach the UI thread, the worker waits for each, and
// a cancel at the second list ends the run with nothing more inserted.

#include "macro/macro_runner.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

namespace {

// UI-side services that note which thread each call arrives on.
class UiServices final : public MacroServices {
public:
    QString note;
    QStringList messages;
    int resets = 0;
    bool wrongThread = false;

    void check()
    {
        if (QThread::currentThread() != QCoreApplication::instance()->thread())
            wrongThread = true;
    }
    bool paste(const QString& text, bool) override
    {
        check();
        note += text;
        return true;
    }
    Answer message(MessageType, Buttons, const QString& text) override
    {
        check();
        messages << text;
        return Answer::Ok;
    }
    MacroRow patient() override
    {
        check();
        MacroRow row;
        row.fields = {{QStringLiteral("LastName"), QStringLiteral("Doe")},
                      {QStringLiteral("FirstName"), QStringLiteral("Jane")},
                      {QStringLiteral("Sex"), QStringLiteral("F")},
                      {QStringLiteral("DateOfBirth"), QDate(1980, 3, 10)}};
        return row;
    }
    std::optional<MacroRow> synchronizeData() override { return check(), MacroRow{}; }
    bool fieldMode() override { return check(), false; }
    QDate defaultNoteDate() override { return check(), QDate(2024, 6, 15); }
    QString userName() override { return check(), QString(); }
    QString textBeforeCursor() override { return check(), note; }
    void setFontSize(int) override { check(); }
    void setFontName(const QString&) override { check(); }
    bool pickPrinter(const QString&) override { return check(), true; }
    void disableButtons() override { check(); }
    void resetButtons() override
    {
        check();
        ++resets;
    }
    void stopStatusTimer() override { check(); }
};

} // namespace

class TestMacroRunner : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cancelAtTheSecondList()
    {
        UiServices ui;
        MacroSession session;
        MacroRunner runner(ui, session);
        QList<QStringList> shown;
        int closed = 0;
        connect(&runner, &MacroRunner::pickListRequested, this, [&](const PickRequest& request) {
            shown << request.items;
            if (shown.size() == 1)
                runner.answerPick(PickAction::doubleClick(1, {1}));
            else
                runner.answerPick(PickAction::cancel());
        });
        connect(&runner, &MacroRunner::pickListClosed, this, [&] { ++closed; });
        QSignalSpy finished(&runner, &MacroRunner::finished);

        QVERIFY(runner.start(QStringLiteral("A {List a,b} B {List c,d} C {Age}")));
        QVERIFY(runner.isRunning());
        QVERIFY(!runner.start(QStringLiteral("refused while running")));
        QVERIFY(finished.wait(5000));

        QCOMPARE(shown, (QList<QStringList>{{"a", "b"}, {"c", "d"}}));
        QCOMPARE(ui.note, QStringLiteral("A b B "));
        QCOMPARE(closed, 2);
        QCOMPARE(ui.resets, 1);
        QVERIFY(ui.messages.isEmpty());
        QVERIFY(!ui.wrongThread);
        QVERIFY(!runner.isRunning());
    }

    void stopWhileAListWaits()
    {
        UiServices ui;
        MacroSession session;
        MacroRunner runner(ui, session);
        connect(&runner, &MacroRunner::pickListRequested, this, [&](const PickRequest&) { runner.requestStop(); });
        QSignalSpy finished(&runner, &MacroRunner::finished);
        QVERIFY(runner.start(QStringLiteral("A {List a,b} B")));
        QVERIFY(finished.wait(5000));
        QCOMPARE(ui.note, QStringLiteral("A "));
        QCOMPARE(ui.resets, 1);
    }

    void destroyedWhileAListWaits()
    {
        UiServices ui;
        MacroSession session;
        auto runner = std::make_unique<MacroRunner>(ui, session);
        QSignalSpy requested(runner.get(), &MacroRunner::pickListRequested);
        QVERIFY(runner->start(QStringLiteral("A {List a,b} B")));
        QVERIFY(requested.wait(5000));
        runner.reset(); // must not hang: the waiting worker is released and joined
        QCOMPARE(ui.note, QStringLiteral("A "));
    }
};

QTEST_GUILESS_MAIN(TestMacroRunner)
#include "test_macro_runner.moc"
