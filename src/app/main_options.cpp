#include "app/main_options.h"

#include "app/settings_store.h"
#include "platform/clock.h"

QueueMode queueModeFromSetting(const QString& setting)
{
    if (setting == QLatin1String("Off"))
        return QueueMode::Off;
    if (setting == QLatin1String("Continuous"))
        return QueueMode::Continuous;
    return QueueMode::NewSheet;
}

MainOptions MainOptions::read(const QString& user)
{
    MainOptions o;
    o.noteFolder = IniReadText(user, QStringLiteral("NoteFolder"), QStringLiteral("C:\\My Documents"));
    o.fontSize = IniReadText(user, QStringLiteral("FontSize"), QStringLiteral("10"));
    o.patientDataEncrypted = IniReadFlag(QStringLiteral("PtDataFile"), QStringLiteral("ENCRYPTED"), true);
    o.autoToggle = IniReadFlag(user, QStringLiteral("Autotoggle"), false);
    o.showHints = IniReadFlag(user, QStringLiteral("ShowHints"), true);
    o.showPatientHints = IniReadFlag(user, QStringLiteral("ShowPatientHints"), false);
    o.flickerReduction = IniReadFlag(QStringLiteral("EditorOptions"), QStringLiteral("FlickerReduction"), false);
    o.queueMode = queueModeFromSetting(IniReadText(QStringLiteral("Queue"), QStringLiteral("Setting"), QStringLiteral("Off")));
    return o;
}

void MainOptions::writeAutoToggle(const QString& user, bool on)
{
    IniWriteFlag(user, QStringLiteral("Autotoggle"), on);
}

void MainOptions::writeShowHints(const QString& user, bool on)
{
    IniWriteFlag(user, QStringLiteral("ShowHints"), on);
}

void MainOptions::writeShowPatientHints(const QString& user, bool on)
{
    IniWriteFlag(user, QStringLiteral("ShowPatientHints"), on);
}

void MainOptions::writeFlickerReduction(bool on)
{
    IniWriteFlag(QStringLiteral("EditorOptions"), QStringLiteral("FlickerReduction"), on);
}

void MainOptions::writePatientDataEncrypted(bool on)
{
    IniWriteFlag(QStringLiteral("PtDataFile"), QStringLiteral("ENCRYPTED"), on);
}

DefaultNoteDate::DefaultNoteDate() : m_date(Clock::current().today()) {}

void DefaultNoteDate::chooseToday()
{
    m_today = true;
    m_date = Clock::current().today();
}

void DefaultNoteDate::chooseDate(const QDate& date)
{
    m_today = false;
    m_date = date;
}

void DefaultNoteDate::refreshIfToday()
{
    if (m_today)
        m_date = Clock::current().today();
}
