#pragma once
// A sectioned settings text file read and written whole: "[Section]" lines followed by
// "key=value" entries. Sections and keys match without regard to case; a value is one line
// with its outer blanks removed. Text is in the system code page. Lines that are not entries
// (comments, blanks) are kept as they are when the file is written back.

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

class IniFile {
public:
    // Reads the file; a missing or unreadable file gives an empty store.
    static IniFile load(const QString& path);
    // Saves through a temporary file and a rename; false when the file system refuses.
    bool save(const QString& path) const;

    std::optional<QString> value(const QString& section, const QString& key) const;
    void setValue(const QString& section, const QString& key, const QString& value);
    bool hasSection(const QString& section) const;
    // Keys of a section in file order.
    QStringList keys(const QString& section) const;
    // Entries (key, value) of a section in file order.
    std::vector<std::pair<QString, QString>> entries(const QString& section) const;
    void eraseSection(const QString& section);
    QStringList sections() const;

private:
    struct Line {
        QString key; // empty for a line that is not an entry
        QString value;
        QString raw; // the line as read, for non-entry lines
    };
    struct Section {
        QString name; // as first written; empty name for lines before any section
        std::vector<Line> lines;
    };
    Section* find(const QString& section);
    const Section* find(const QString& section) const;

    std::vector<Section> m_sections;
};
