#pragma once

#include <QString>
#include <QStringList>

// A small ini-style settings file: "[Section]" headings and "Key=Value" lines.
//
// The file is a document held in memory: load() parses it once, set*() change
// a key's line where it stands (or append it at the end of its section,
// creating the section at the end of the file when it is missing), and
// commit() replaces the whole file atomically, so other keys, comments and
// sections survive untouched. Reading looks keys up without regard to case
// and trims the blanks around a value. The write*() calls are a set and a
// commit of one key, reading the file afresh first.
class IniFile
{
public:
    explicit IniFile(const QString &path);

    const QString &path() const { return m_path; }

    // Reads the file into memory. A missing file reads as empty and succeeds;
    // a file that exists but cannot be read fails.
    bool load();
    // Why the last load failed ("... не является обычным файлом.").
    const QString &errorText() const { return m_error; }

    // Whether the loaded file has the section.
    bool hasSection(const QString &section) const { return findSection(m_lines, section) >= 0; }

    // The keys of a section as loaded, in file order (for keys named after a
    // zone, such as "PixelSize_3", which are not known in advance).
    QStringList keys(const QString &section) const;

    // Value of a key as loaded; false when the key is absent.
    bool value(const QString &section, const QString &key, QString *value) const;

    QString readString(const QString &section, const QString &key, const QString &fallback) const;
    int readInteger(const QString &section, const QString &key, int fallback) const;
    bool readBool(const QString &section, const QString &key, bool fallback) const;
    // A real number, with "." or "," whatever the locale. An absent key or an
    // empty value leaves *number as it is and succeeds; a value that is no
    // number fails, and *error names the file, the line and the key.
    bool readReal(const QString &section, const QString &key, double *number, QString *error) const;

    // The 1-based line of a key as loaded; 0 when it is absent.
    int lineOf(const QString &section, const QString &key) const;
    // "<file>, строка N, ключ Key: «text» - не число": what a reader reports
    // about a value it cannot take.
    QString badValueText(const QString &section, const QString &key) const;

    // Changes the loaded document; false (and nothing changed) when the value
    // holds a line break, which would end the entry and start lines of its own.
    bool setString(const QString &section, const QString &key, const QString &value);
    bool setInteger(const QString &section, const QString &key, int value);
    bool setBool(const QString &section, const QString &key, bool value);
    bool setReal(const QString &section, const QString &key, double value);
    // Writes the document to the file, whole and atomically.
    bool commit();

    // Each write goes to disk at once; false when the file cannot be read or
    // written or the value holds a line break.
    bool writeString(const QString &section, const QString &key, const QString &value);

    // The longest text a read returns; longer values are cut.
    static constexpr int MaxTextLength = 2047;

private:
    static QStringList readLines(const QString &path, bool *ok, QString *errorText = nullptr);
    static int findSection(const QStringList &lines, const QString &section);
    static int findKey(const QStringList &lines, int sectionLine, const QString &key, int *endOfSection);

    QString m_path;
    QStringList m_lines;
    QString m_error;
};
