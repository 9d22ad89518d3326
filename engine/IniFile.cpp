#include "IniFile.h"

#include "RegularFile.h"

#include "AtomicFile.h"
#include "Cp1251.h"
#include "LocaleFormat.h"

#include <QFile>
#include <QStringDecoder>

#include <functional>

IniFile::IniFile(const QString &path)
    : m_path(path)
{
}

// Files are written in UTF-8; a file brought over from a Windows station may be
// in the Cyrillic code page, which shows as invalid UTF-8.
QStringList IniFile::readLines(const QString &path, bool *ok, QString *errorText)
{
    *ok = true;
    QByteArray bytes;
    const RegularFile::Status status = RegularFile::read(path, &bytes, errorText);
    if (status == RegularFile::Status::Missing) {
        if (errorText)
            errorText->clear();
        return {};
    }
    if (status != RegularFile::Status::Ok) {
        *ok = false;
        return {};
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        text = Cp1251::decode(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

bool IniFile::load()
{
    bool ok = false;
    m_lines = readLines(m_path, &ok, &m_error);
    return ok;
}

int IniFile::findSection(const QStringList &lines, const QString &section)
{
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))
            && line.mid(1, line.size() - 2).trimmed().compare(section, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

// Finds the key's line after the section heading; *endOfSection receives the
// index just after the section's last non-blank line, where a new key goes.
int IniFile::findKey(const QStringList &lines, int sectionLine, const QString &key, int *endOfSection)
{
    int end = sectionLine + 1;
    for (int i = sectionLine + 1; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.startsWith(QLatin1Char('[')))
            break;
        if (!line.isEmpty())
            end = i + 1;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0 && line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0) {
            *endOfSection = end;
            return i;
        }
    }
    *endOfSection = end;
    return -1;
}

QStringList IniFile::keys(const QString &section) const
{
    QStringList found;
    const int sectionLine = findSection(m_lines, section);
    if (sectionLine < 0)
        return found;
    for (int i = sectionLine + 1; i < m_lines.size(); ++i) {
        const QString line = m_lines.at(i).trimmed();
        if (line.startsWith(QLatin1Char('[')))
            break;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0)
            found << line.left(eq).trimmed();
    }
    return found;
}

bool IniFile::value(const QString &section, const QString &key, QString *value) const
{
    const int sectionLine = findSection(m_lines, section);
    if (sectionLine < 0)
        return false;
    int end = 0;
    const int keyLine = findKey(m_lines, sectionLine, key, &end);
    if (keyLine < 0)
        return false;
    const QString &line = m_lines.at(keyLine);
    QString text = line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed();
    if (text.size() >= 2 && (text.front() == QLatin1Char('"') || text.front() == QLatin1Char('\''))
        && text.back() == text.front())
        text = text.mid(1, text.size() - 2);
    *value = text.left(MaxTextLength);
    return true;
}

QString IniFile::readString(const QString &section, const QString &key, const QString &fallback) const
{
    QString text;
    return value(section, key, &text) ? text : fallback.left(MaxTextLength);
}

int IniFile::readInteger(const QString &section, const QString &key, int fallback) const
{
    QString text;
    int number = 0;
    if (value(section, key, &text) && LocaleFormat::parseInteger(text, &number, true))
        return number;
    return fallback;
}

bool IniFile::readBool(const QString &section, const QString &key, bool fallback) const
{
    return readInteger(section, key, fallback ? 1 : 0) != 0;
}

bool IniFile::readReal(const QString &section, const QString &key, double *number, QString *error) const
{
    QString text;
    if (!value(section, key, &text) || text.trimmed().isEmpty())
        return true;
    double parsed = 0;
    if (!LocaleFormat::parseReal(text, &parsed)) {
        if (error)
            *error = badValueText(section, key);
        return false;
    }
    *number = parsed;
    return true;
}

int IniFile::lineOf(const QString &section, const QString &key) const
{
    const int sectionLine = findSection(m_lines, section);
    int end = 0;
    const int keyLine = sectionLine < 0 ? -1 : findKey(m_lines, sectionLine, key, &end);
    return keyLine + 1;
}

QString IniFile::badValueText(const QString &section, const QString &key) const
{
    QString text;
    value(section, key, &text);
    return QStringLiteral("%1, строка %2, ключ %3: «%4» - не число")
        .arg(m_path, QString::number(lineOf(section, key)), key, text);
}

bool IniFile::setString(const QString &section, const QString &key, const QString &value)
{
    if (value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r')))
        return false;
    const QString entry = key + QLatin1Char('=') + value;
    int sectionLine = findSection(m_lines, section);
    if (sectionLine < 0) {
        m_lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
        sectionLine = int(m_lines.size()) - 1;
    }
    int end = 0;
    const int keyLine = findKey(m_lines, sectionLine, key, &end);
    if (keyLine >= 0)
        m_lines[keyLine] = entry;
    else
        m_lines.insert(end, entry);
    return true;
}

bool IniFile::setInteger(const QString &section, const QString &key, int value)
{
    return setString(section, key, QString::number(value));
}

bool IniFile::setBool(const QString &section, const QString &key, bool value)
{
    return setString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool IniFile::setReal(const QString &section, const QString &key, double value)
{
    return setString(section, key, LocaleFormat::formatGeneral(value));
}

bool IniFile::commit()
{
    return AtomicFile::write(m_path, (m_lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
}

// One key at once: the file as it is now, the key changed, the file replaced.
// A document that fails to be written keeps the lines it had.
static bool writeOne(IniFile &ini, const std::function<bool(IniFile &)> &set)
{
    IniFile fresh(ini.path());
    if (!fresh.load() || !set(fresh) || !fresh.commit())
        return false;
    ini = fresh;
    return true;
}

bool IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    return writeOne(*this, [&](IniFile &f) { return f.setString(section, key, value); });
}
