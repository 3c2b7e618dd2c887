#include "support/fake_macro_host.h"

#include "macro/pick_script.h"

FakeMacroHost::FakeMacroHost()
{
    patientRow.fields = {{QStringLiteral("LastName"), QStringLiteral("Doe")},
                         {QStringLiteral("FirstName"), QStringLiteral("Jane")},
                         {QStringLiteral("Sex"), QStringLiteral("F")},
                         {QStringLiteral("DateOfBirth"), QDate(1980, 3, 10)}};
}

void FakeMacroHost::queuePicks(const QStringList& scripts)
{
    for (const QString& s : scripts) {
        const auto action = parsePickScript(s);
        Q_ASSERT_X(action, "FakeMacroHost::queuePicks", qPrintable(s));
        picks.enqueue(*action);
    }
}

QStringList FakeMacroHost::messageLines() const
{
    QStringList out;
    for (const Message& m : messages)
        out << QLatin1Char('[') + messageTypeName(m.type) + QStringLiteral("] ") + m.text;
    return out;
}

bool FakeMacroHost::paste(const QString& text, bool bold)
{
    if (failPastes)
        return false;
    note += text;
    pastes.append({text, bold});
    return true;
}

Answer FakeMacroHost::message(MessageType type, Buttons buttons, const QString& text)
{
    messages.append({type, buttons, text});
    if (!answers.isEmpty())
        return answers.dequeue();
    return buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel ? Answer::Yes : Answer::Ok;
}

PickAction FakeMacroHost::pick(const PickRequest& request)
{
    requests.append(request);
    return picks.isEmpty() ? PickAction::close() : picks.dequeue();
}
