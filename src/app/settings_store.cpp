#include "app/settings_store.h"

#include "platform/code_page.h"
#include "platform/dates.h"
#include "platform/errors.h"
#include "platform/ini_file.h"
#include "platform/paths.h"
#include "platform/printers.h"
#include "platform/program_dir.h"
#include "platform/prompter.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QSettings>
#include <QStandardPaths>
#include <QStorageInfo>

namespace {
constexpr qsizetype kMaxValueLength = 2047;
const QString kTitle = QStringLiteral("Medrova");

QMutex& iniMutex()
{
    static QMutex m;
    return m;
}

std::optional<QString> readValue(const QString& section, const QString& key)
{
    QMutexLocker lock(&iniMutex());
    auto v = IniFile::load(mainIniPath()).value(section, key);
    if (v)
        *v = v->left(kMaxValueLength);
    return v;
}

template <typename Change>
void change(Change&& fn)
{
    QMutexLocker lock(&iniMutex());
    const QString path = mainIniPath();
    IniFile ini = IniFile::load(path);
    fn(ini);
    if (!ini.save(path))
        throw MedrovaError(QStringLiteral("Unable to write to %1").arg(QDir::toNativeSeparators(path)));
}

// Whole decimal numbers with an optional sign; anything else is not a number.
std::optional<int> parseWhole(const QString& text)
{
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return v;
}

QSettings registry() { return QSettings(registryStorePath(), QSettings::IniFormat); }
} // namespace

QString mainIniPath() { return ProgramDir::file(QStringLiteral("Main.ini")); }

QString IniReadText(const QString& section, const QString& key, const QString& defaultText)
{
    const auto v = readValue(section, key);
    return (v && !v->isEmpty()) ? *v : defaultText;
}

void IniWriteText(const QString& section, const QString& key, const QString& value)
{
    change([&](IniFile& ini) { ini.setValue(section, key, value); });
}

int IniReadNumber(const QString& section, const QString& key, int defaultValue)
{
    const auto v = readValue(section, key);
    if (!v)
        return defaultValue;
    return parseWhole(*v).value_or(defaultValue);
}

void IniWriteNumber(const QString& section, const QString& key, int value)
{
    IniWriteText(section, key, QString::number(value));
}

bool IniReadFlag(const QString& section, const QString& key, bool defaultValue)
{
    const auto v = readValue(section, key);
    const QString text = v ? *v : (defaultValue ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
    return text.toUpper() == QLatin1String("TRUE");
}

void IniWriteFlag(const QString& section, const QString& key, bool value)
{
    IniWriteText(section, key, value ? QStringLiteral("TRUE") : QStringLiteral("False"));
}

QDateTime IniReadDate(const QString& section, const QString& key, const QDateTime& defaultValue)
{
    const QString text = IniReadText(section, key, Dates::dateTimeText(defaultValue));
    if (text.isEmpty())
        return defaultValue;
    if (auto dt = Dates::parseDateTimeText(text))
        return *dt;
    throw MedrovaError(QStringLiteral("'%1' is not a valid date and time").arg(text));
}

QStringList IniLoadList(const QString& section)
{
    QMutexLocker lock(&iniMutex());
    const IniFile ini = IniFile::load(mainIniPath());
    const qsizetype count = qsizetype(ini.entries(section).size());
    QStringList out;
    out.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        const QString v = ini.value(section, QString::number(i)).value_or(QString()).left(kMaxValueLength);
        out << v.mid(1);
    }
    return out;
}

void IniSaveList(const QString& section, const QStringList& items)
{
    change([&](IniFile& ini) {
        ini.eraseSection(section);
        for (qsizetype i = 0; i < items.size(); ++i)
            ini.setValue(section, QString::number(i), QLatin1Char('~') + items.at(i));
    });
}

QString registryStorePath()
{
    const QString env = qEnvironmentVariable("MEDROVA_REGISTRY");
    if (!env.isEmpty())
        return env;
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (folder.isEmpty())
        folder = QDir::homePath() + QStringLiteral("/.config");
    return folder + QStringLiteral("/Medrova/registry.ini");
}

QString RegReadText(const QString& section, const QString& key, const QString& defaultText)
{
    QSettings s = registry();
    if (s.status() != QSettings::NoError)
        return QString();
    return s.value(section + QLatin1Char('/') + key, defaultText).toString();
}

void RegWriteText(const QString& section, const QString& key, const QString& value)
{
    bool ok = QDir().mkpath(QFileInfo(registryStorePath()).absolutePath());
    if (ok) {
        QSettings s = registry();
        s.setValue(section + QLatin1Char('/') + key, value);
        s.sync();
        ok = s.status() == QSettings::NoError;
    }
    if (!ok)
        Prompter::current().warning(QStringLiteral("Unable to write to registry key ") + kTitle +
                                    QLatin1Char('\\') + section + QLatin1Char('\\') + key);
}

void RegDeleteValue(const QString& section, const QString& key)
{
    QSettings s = registry();
    s.remove(section + QLatin1Char('/') + key);
    s.sync(); // a failed delete is ignored
}

QByteArray ComplementBytes(const QByteArray& bytes)
{
    QByteArray out(bytes);
    for (char& c : out)
        c = static_cast<char>(~static_cast<unsigned char>(c));
    return out;
}

QString ComplementBytes(const QString& text)
{
    return CodePage::fromCp1252(ComplementBytes(CodePage::toCp1252(text)));
}

QString StripPathChars(const QString& text)
{
    static const QString kDrop = QStringLiteral("\\/:*\"><");
    QString out;
    out.reserve(text.size());
    for (QChar c : text)
        if (!kDrop.contains(c))
            out += c;
    return out;
}

bool DriveHasDisk(QChar drive)
{
    const char16_t c = drive.unicode();
    const bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
    if (!letter)
        throw MedrovaError(QStringLiteral("Not a valid drive ID"));
    // Probing a folder never raises a system prompt here, so there is no error mode to switch.
    const auto folder = Paths::driveFolder(drive.toUpper());
    if (!folder || !QFileInfo(*folder).isDir())
        return false;
    const QStorageInfo info(*folder);
    return info.isValid() && info.bytesTotal() > 0;
}

QString NthWord(const QString& text, int n)
{
    const auto isWordChar = [](QChar c) {
        return c != QLatin1Char(' ') && c != QLatin1Char('\t') && c.unicode() != 20;
    };
    const QString t = text + QLatin1Char(' ');
    int count = 0;
    qsizetype start = -1;
    bool prevWord = false;
    for (qsizetype i = 0; i < t.size(); ++i) {
        const bool w = isWordChar(t.at(i));
        if (w && !prevWord) {
            ++count;
            if (count == n)
                start = i;
        } else if (!w && start >= 0) {
            return t.mid(start, i - start);
        }
        prevWord = w;
    }
    return QString();
}

bool PickPrinter(const QString& text)
{
    PrinterList& printers = PrinterList::current();
    const int before = printers.currentIndex();
    const QStringList names = printers.names();
    if (text.size() == 1 && text.at(0).unicode() >= u'0' && text.at(0).unicode() <= u'9') {
        const int index = text.at(0).unicode() - u'0';
        if (index >= names.size())
            throw MedrovaError(QStringLiteral("Printer index out of range"));
        printers.setCurrentIndex(index);
    } else {
        const auto asciiUpper = [](QString s) {
            for (QChar& c : s)
                if (c.unicode() >= u'a' && c.unicode() <= u'z')
                    c = QChar(char16_t(c.unicode() - 32));
            return s;
        };
        const QString wanted = asciiUpper(text);
        for (int i = 0; i < names.size(); ++i) {
            if (asciiUpper(names.at(i)).startsWith(wanted)) {
                printers.setCurrentIndex(i);
                break;
            }
        }
    }
    return printers.currentIndex() != before;
}
