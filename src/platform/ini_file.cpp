#include "platform/ini_file.h"

#include "platform/code_page.h"
#include "platform/safe_save.h"

#include <QFile>

namespace {
bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }
} // namespace

IniFile IniFile::load(const QString& path)
{
    IniFile ini;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return ini;
    const QByteArray bytes = f.readAll();
    ini.m_sections.push_back(Section{});
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        qsizetype stop = end;
        if (stop > start && bytes.at(stop - 1) == '\r')
            --stop;
        const QString line = CodePage::fromCp1252(bytes.constData() + start, stop - start);
        start = end + 1;

        const QString t = line.trimmed();
        if (t.startsWith(QLatin1Char('[')) && t.contains(QLatin1Char(']'))) {
            ini.m_sections.push_back(Section{t.mid(1, t.indexOf(QLatin1Char(']')) - 1).trimmed(), {}});
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0 && !t.startsWith(QLatin1Char(';'))) {
            ini.m_sections.back().lines.push_back(
                Line{line.left(eq).trimmed(), line.mid(eq + 1).trimmed(), QString()});
        } else {
            ini.m_sections.back().lines.push_back(Line{QString(), QString(), line});
        }
    }
    return ini;
}

bool IniFile::save(const QString& path) const
{
    QByteArray out;
    for (const Section& s : m_sections) {
        if (&s != &m_sections.front() || !s.name.isEmpty())
            out += CodePage::toCp1252(QLatin1Char('[') + s.name + QLatin1Char(']')) + "\r\n";
        for (const Line& l : s.lines) {
            if (l.key.isEmpty())
                out += CodePage::toCp1252(l.raw) + "\r\n";
            else
                out += CodePage::toCp1252(l.key + QLatin1Char('=') + l.value) + "\r\n";
        }
    }
    return SafeSave::save(path, out);
}

IniFile::Section* IniFile::find(const QString& section)
{
    for (Section& s : m_sections)
        if (sameName(s.name, section) && (!s.name.isEmpty() || &s != &m_sections.front()))
            return &s;
    return nullptr;
}

const IniFile::Section* IniFile::find(const QString& section) const
{
    return const_cast<IniFile*>(this)->find(section);
}

std::optional<QString> IniFile::value(const QString& section, const QString& key) const
{
    if (const Section* s = find(section))
        for (const Line& l : s->lines)
            if (!l.key.isEmpty() && sameName(l.key, key))
                return l.value;
    return std::nullopt;
}

void IniFile::setValue(const QString& section, const QString& key, const QString& value)
{
    // A value is one line: a line break would start a new entry on the next read.
    QString v = value;
    v.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    v = v.trimmed();
    Section* s = find(section);
    if (!s) {
        if (m_sections.empty())
            m_sections.push_back(Section{});
        // Keep a blank line between sections, as hand-edited files have them.
        Section& last = m_sections.back();
        if (!last.lines.empty() && !(last.lines.back().key.isEmpty() && last.lines.back().raw.trimmed().isEmpty()))
            last.lines.push_back(Line{QString(), QString(), QString()});
        m_sections.push_back(Section{section, {}});
        s = &m_sections.back();
    }
    for (Line& l : s->lines) {
        if (!l.key.isEmpty() && sameName(l.key, key)) {
            l.value = v;
            return;
        }
    }
    // New keys go after the section's last entry, before trailing blank lines.
    auto pos = s->lines.end();
    while (pos != s->lines.begin() && std::prev(pos)->key.isEmpty() && std::prev(pos)->raw.trimmed().isEmpty())
        --pos;
    s->lines.insert(pos, Line{key, v, QString()});
}

bool IniFile::hasSection(const QString& section) const { return find(section) != nullptr; }

QStringList IniFile::keys(const QString& section) const
{
    QStringList out;
    for (const auto& e : entries(section))
        out << e.first;
    return out;
}

std::vector<std::pair<QString, QString>> IniFile::entries(const QString& section) const
{
    std::vector<std::pair<QString, QString>> out;
    if (const Section* s = find(section))
        for (const Line& l : s->lines)
            if (!l.key.isEmpty())
                out.emplace_back(l.key, l.value);
    return out;
}

void IniFile::eraseSection(const QString& section)
{
    for (auto it = m_sections.begin(); it != m_sections.end(); ++it) {
        if (sameName(it->name, section) && (!it->name.isEmpty() || it != m_sections.begin())) {
            m_sections.erase(it);
            return;
        }
    }
}

QStringList IniFile::sections() const
{
    QStringList out;
    for (const Section& s : m_sections)
        if (!s.name.isEmpty())
            out << s.name;
    return out;
}
