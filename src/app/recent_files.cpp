#include "app/recent_files.h"

#include "app/settings_store.h"
#include "platform/errors.h"
#include "platform/ini_file.h"

#include <QDir>

namespace {
const QString Section = QStringLiteral("MRU Items");
}

void RecentFileList::load()
{
    m_entries.clear();
    // Keys are F0, F1, ... ; a gap ends the list so that stray keys are not taken in.
    for (int i = 0; i < MaxEntries; ++i) {
        const QString v = IniReadText(Section, QStringLiteral("F%1").arg(i), QString());
        if (v.isEmpty())
            break;
        if (!m_entries.contains(v, Qt::CaseInsensitive))
            m_entries.append(v);
    }
}

void RecentFileList::save() const
{
    // The F-keys are not the numbered list format of IniSaveList, so the section is
    // rewritten here as a whole.
    IniFile ini = IniFile::load(mainIniPath());
    ini.eraseSection(Section);
    for (qsizetype i = 0; i < m_entries.size(); ++i)
        ini.setValue(Section, QStringLiteral("F%1").arg(i), m_entries.at(i));
    if (!ini.save(mainIniPath()))
        throw MedrovaError(QStringLiteral("Unable to write to %1").arg(QDir::toNativeSeparators(mainIniPath())));
}

void RecentFileList::add(const QString& entry)
{
    if (entry.isEmpty())
        return;
    m_entries.removeIf([&](const QString& e) { return e.compare(entry, Qt::CaseInsensitive) == 0; });
    m_entries.prepend(entry);
    while (m_entries.size() > MaxEntries)
        m_entries.removeLast();
}
