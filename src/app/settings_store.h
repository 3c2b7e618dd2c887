#pragma once
// The program's settings: typed reads and writes on Main.ini in the program directory and on
// the per-user registry store, plus the small shared text and device helpers. Every operation
// opens the file, does one read or write and closes it: a value written is seen by the very
// next read. Reads pass their own default; writes that the file system refuses raise
// "Unable to write to <path of Main.ini>".

#include <QByteArray>
#include <QChar>
#include <QDateTime>
#include <QString>
#include <QStringList>

QString IniReadText(const QString& section, const QString& key, const QString& defaultText);
void IniWriteText(const QString& section, const QString& key, const QString& value);
int IniReadNumber(const QString& section, const QString& key, int defaultValue);
void IniWriteNumber(const QString& section, const QString& key, int value);
bool IniReadFlag(const QString& section, const QString& key, bool defaultValue);
void IniWriteFlag(const QString& section, const QString& key, bool value);
// Raises a MedrovaError when a non-empty value is not a date-time text.
QDateTime IniReadDate(const QString& section, const QString& key, const QDateTime& defaultValue);
QStringList IniLoadList(const QString& section);
void IniSaveList(const QString& section, const QStringList& items);

// The registry store: an INI-format file in the user's configuration folder
// (MEDROVA_REGISTRY names another file, for tests). A failed write shows a warning and the
// program goes on; a failed read gives an empty text.
QString RegReadText(const QString& section, const QString& key, const QString& defaultText);
void RegWriteText(const QString& section, const QString& key, const QString& value);
void RegDeleteValue(const QString& section, const QString& key);
QString registryStorePath();

// Byte-wise complement in the system code page; applying it twice gives the text back.
QString ComplementBytes(const QString& text);
QByteArray ComplementBytes(const QByteArray& bytes);
// Removes \ / : * " > < from a text meant for a file name.
QString StripPathChars(const QString& text);
// True when the drive's folder exists and its size can be read. Raises "Not a valid drive ID"
// for a character outside a-z, A-Z.
bool DriveHasDisk(QChar drive);
// The Nth word (from 1) of a text; words are separated by space, tab and the code 20 character.
QString NthWord(const QString& text, int n);
// Makes the printer named by an index digit or a name prefix current; true when the current
// printer changed. Raises "Printer index out of range" for a digit past the list.
bool PickPrinter(const QString& text);

// Full path of Main.ini.
QString mainIniPath();
