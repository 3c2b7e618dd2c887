#pragma once
// A MacroHost for tests: the note is a string, answers to lists and boxes come from queues,
// and every paste, message and list shown is recorded. A list with no queued answer is
// closed; a box with no queued answer gets its first button.

#include "macro/macro_host.h"

#include <QList>
#include <QQueue>
#include <QStringList>

class FakeMacroHost : public MacroHost {
public:
    struct Message {
        MessageType type;
        Buttons buttons;
        QString text;
    };
    struct Paste {
        QString text;
        bool bold;
    };

    // The rows the run reads. A patient with all four required fields is set by default.
    MacroRow patientRow;
    std::optional<MacroRow> historyRow = MacroRow{};
    bool inFieldMode = false;
    QDate noteDate = QDate(2024, 6, 15);
    QString user = QStringLiteral("drsmith");
    bool failPastes = false;

    QString note;             // what the run inserted, after any text set beforehand
    QList<Paste> pastes;
    QList<Message> messages;
    QList<PickRequest> requests;
    QQueue<PickAction> picks;
    QQueue<Answer> answers;
    QStringList printerArguments;
    int fontSize = 0;
    QString fontName;
    int resetCount = 0;
    int closedLists = 0;

    FakeMacroHost();

    // Queues scripted pick answers ("2", "line:1,3", "skip", ...; see pick_script.h).
    void queuePicks(const QStringList& scripts);
    // "[type] text" for every message shown, in order.
    QStringList messageLines() const;

    bool paste(const QString& text, bool bold) override;
    Answer message(MessageType type, Buttons buttons, const QString& text) override;
    MacroRow patient() override { return patientRow; }
    std::optional<MacroRow> synchronizeData() override { return historyRow; }
    bool fieldMode() override { return inFieldMode; }
    QDate defaultNoteDate() override { return noteDate; }
    QString userName() override { return user; }
    QString textBeforeCursor() override { return note; }
    void setFontSize(int size) override { fontSize = size; }
    void setFontName(const QString& name) override { fontName = name; }
    bool pickPrinter(const QString& argument) override
    {
        printerArguments << argument;
        return true;
    }
    void disableButtons() override {}
    void resetButtons() override { ++resetCount; }
    void stopStatusTimer() override {}
    PickAction pick(const PickRequest& request) override;
    void closePickList() override { ++closedLists; }
};
