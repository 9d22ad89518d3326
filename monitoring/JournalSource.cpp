#include "JournalSource.h"

#include "IniFile.h"
#include "TParameters.h"

// The one place that opens the measurement journal for the monitoring.
// JOURNAL SEAM: the journal's reading class is not part of this build yet, so
// opening reports that no journal can be read; once it is, this function wraps
// it in a JournalSource and nothing else changes.
std::unique_ptr<JournalSource> JournalSource::open(const QString &location, QString *error)
{
    if (location.trimmed().isEmpty()) {
        *error = QStringLiteral("журнал измерений не задан");
        return nullptr;
    }
    *error = QStringLiteral("журнал измерений %1 не может быть прочитан этой сборкой").arg(location);
    return nullptr;
}

QString JournalSource::locationOf(const QString &settingsFile)
{
    IniFile ini(settingsFile);
    ini.load();
    const QString section = QString::fromLatin1(ParametersSection);
    const QString url = ini.readString(section, QStringLiteral("JournalUrl"), QString()).trimmed();
    return url.isEmpty() ? ini.readString(section, QStringLiteral("JournalFile"), QString()).trimmed() : url;
}
