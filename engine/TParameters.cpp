#include "TParameters.h"

#include "IniFile.h"
#include "KelvarinError.h"
#include "TIssue.h"

#include <QDir>
#include <QSysInfo>

#include <stdexcept>
#include <type_traits>
#include <variant>
#include <vector>

TParameters TParameters::zeroed()
{
    TParameters p;
    p.StartStyle = 0;
    p.Koeff_B = 0;
    p.BMPInputFormat = false;
    p.AverageYPorog = 0;
    p.MaxSCount = 0;
    p.MinSCount = 0;
    p.NeedVisualization = false;
    p.ResAutoSave = false;
    p.GlobalAverageYPercent = 0;
    return p;
}

QString TParameters::stationName() const
{
    const QString name = Station.trimmed();
    return name.isEmpty() ? QSysInfo::machineHostName() : name;
}

namespace {

// One key of section "Parameters": its name and the field it holds. The table
// lists the keys in the writer's order (a fresh file shows them so); the
// reader takes them in its own steps below, by name.
struct Key
{
    const char *name;
    std::variant<int TParameters::*, double TParameters::*, bool TParameters::*, QString TParameters::*> field;
};

const Key keyTable[] = {
    {"StartStyle", &TParameters::StartStyle},
    {"Koeff_A", &TParameters::Koeff_A},
    {"Koeff_n", &TParameters::Koeff_n},
    {"Koeff_B", &TParameters::Koeff_B},
    {"Koeff_C", &TParameters::Koeff_C},
    {"WorkDir", &TParameters::WorkDir},
    {"BufferDir", &TParameters::BufferDir},
    {"Steps", &TParameters::Steps},
    {"ZonesFileName", &TParameters::ZonesFileName},
    {"BMPInputFormat", &TParameters::BMPInputFormat},
    {"AverageYPorog", &TParameters::AverageYPorog},
    {"MinSCount", &TParameters::MinSCount},
    {"MaxSCount", &TParameters::MaxSCount},
    {"StartDate", &TParameters::StartDate},
    {"NeedVisualization", &TParameters::NeedVisualization},
    {"ResAutoSave", &TParameters::ResAutoSave},
    {"GlobalAverageYPercent", &TParameters::GlobalAverageYPercent},
    {"SaveToOneZip", &TParameters::SaveToOneZip},
    {"SaveToManyZip", &TParameters::SaveToManyZip},
    // --- Keys added after the original nineteen: new blocks go below.
    // The measurement journal
    {"JournalFile", &TParameters::JournalFile},
    {"JournalUrl", &TParameters::JournalUrl},
    // Centroid weighting
    {"CentroidWeighting", &TParameters::CentroidWeighting},
    // The spot's background, connected spot and windowed centre
    {"SpotBackground", &TParameters::SpotBackground},
    {"ConnectedSpot", &TParameters::ConnectedSpot},
    {"CentroidWindow", &TParameters::CentroidWindow},
    // The station's name in a shared journal
    {"Station", &TParameters::Station},
};

const Key &keyNamed(const char *name)
{
    for (const Key &k : keyTable) {
        if (qstrcmp(k.name, name) == 0)
            return k;
    }
    Q_UNREACHABLE();
}

// A real number that is there but cannot be read: the step fails with this
// text, which names the file, the line and the key.
struct BadNumber : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

void readReal(const IniFile &ini, const QString &section, const QString &name, double *field, double fallback)
{
    double number = fallback;
    QString error;
    if (!ini.readReal(section, name, &number, &error))
        throw BadNumber(error.toStdString());
    *field = number;
}

// Reads one key into its field; `fallback` is the value of a missing or
// unreadable key (the field of `defaults`, or the text given). A real number
// that is no number throws BadNumber, its field left zero.
void readKey(const IniFile &ini, const Key &k, TParameters &params, const TParameters &defaults,
             const QString *textFallback = nullptr)
{
    const QString section = QString::fromLatin1(ParametersSection);
    const QString name = QString::fromLatin1(k.name);
    std::visit(
        [&](auto field) {
            using Value = std::remove_cvref_t<decltype(params.*field)>;
            if constexpr (std::is_same_v<Value, int>)
                params.*field = ini.readInteger(section, name, defaults.*field);
            else if constexpr (std::is_same_v<Value, double>)
                readReal(ini, section, name, &(params.*field), defaults.*field);
            else if constexpr (std::is_same_v<Value, bool>)
                params.*field = ini.readBool(section, name, defaults.*field);
            else
                params.*field = ini.readString(section, name, textFallback ? *textFallback : defaults.*field);
        },
        k.field);
}

bool writeKey(IniFile &ini, const Key &k, const TParameters &params)
{
    const QString section = QString::fromLatin1(ParametersSection);
    const QString name = QString::fromLatin1(k.name);
    return std::visit(
        [&](auto field) {
            using Value = std::remove_cvref_t<decltype(params.*field)>;
            if constexpr (std::is_same_v<Value, int>)
                return ini.setInteger(section, name, params.*field);
            else if constexpr (std::is_same_v<Value, double>)
                return ini.setReal(section, name, params.*field);
            else if constexpr (std::is_same_v<Value, bool>)
                return ini.setBool(section, name, params.*field);
            else
                return ini.setString(section, name, params.*field);
        },
        k.field);
}

// One guarded step of the reader: its keys, what runs after them, and the
// message shown when it fails.
struct ReadStep
{
    const char *message;
    std::vector<const char *> keys;
    std::function<void()> after = {};
};

} // namespace

// Reads a step's keys and runs what follows them; a failure is reported with
// the step's message. False only when a number of the step could not be read.
static bool runStep(const ReadStep &step, const IniFile &ini, TParameters &params, const TParameters &defaults,
                    const TParametersActions &actions, const QString &zonesDefault, TIssueSink &reporter)
{
    const QString message = QString::fromUtf8(step.message);
    try {
        for (const char *name : step.keys) {
            const Key &k = keyNamed(name);
            const bool directory = qstrcmp(name, "WorkDir") == 0, zones = qstrcmp(name, "ZonesFileName") == 0;
            readKey(ini, k, params, defaults, directory ? &actions.startDirectory : zones ? &zonesDefault : nullptr);
        }
        if (step.after)
            step.after();
    } catch (const BadNumber &bad) {
        reporter.report(TIssue::settingsError(QStringLiteral("Ошибка"),
                                              message + QLatin1Char('\n') + QString::fromStdString(bad.what())));
        return false;
    } catch (const std::exception &) {
        reporter.report(TIssue::settingsError(QStringLiteral("Ошибка"), message));
    }
    return true;
}

bool ReadParameters(const QString &fileName, TParameters &params,
                    const TParametersActions &actions, TIssueSink &reporter)
{
    const TParameters defaults;
    params = TParameters::zeroed();
    IniFile ini(fileName);
    // An unreadable file behaves as a missing one: every value takes its default,
    // and the user is told why (a pipe or a device there is not waited on).
    if (!ini.load())
        reporter.report(TIssue::settingsError(QStringLiteral("Ошибка"), ini.errorText()));
    const QString zonesDefault = actions.startDirectory + QDir::separator() + QLatin1String("z1.zon");

    const ReadStep steps[] = {
        {"Ошибка чтения способа запуска из ini-файла!", {"StartStyle"}},
        {"Ошибка чтения настроечных коэффициентов из ini-файла!", {"Koeff_A", "Koeff_n", "Koeff_B", "Koeff_C"}},
        {"Ошибка чтения флага выполнения по шагам из ini-файла!", {"Steps"}},
        {"Ошибка чтения имени рабочей директории из ini-файла!", {"WorkDir"},
         [&] {
             if (actions.applyWorkDir)
                 actions.applyWorkDir(params.WorkDir);
         }},
        {"Ошибка чтения имени буферной директории из ini-файла!", {"BufferDir"}},
        {"Ошибка чтения файла зон из ini-файла!", {"ZonesFileName"},
         [&] {
             if (actions.loadZones)
                 actions.loadZones(params.ZonesFileName);
         }},
        {"Ошибка чтения флага формата входных файлов из ini-файла!", {"BMPInputFormat"}},
        {"Ошибка чтения средней яркости области из ini-файла!", {"AverageYPorog"}},
        {"Ошибка чтения максимальной площади из ini-файла!", {"MaxSCount"}},
        {"Ошибка чтения минимальной площади из ini-файла!", {"MinSCount"}},
        {"Ошибка чтения даты запуска по таймеру из ini-файла!", {"StartDate"}},
        {"Ошибка чтения флага визуализации из ini-файла!", {"NeedVisualization"}},
        {"Ошибка чтения флага автосохранения из ini-файла!", {"ResAutoSave"}},
        {"Ошибка чтения процента порога средней яркости из ini-файла!", {"GlobalAverageYPercent"}},
        {"Ошибка чтения флага сохранения в zip-файл из ini-файла!", {"SaveToOneZip"}},
        {"Ошибка чтения флага сохранения в zip-файл из ini-файла!", {"SaveToManyZip"}},
        // --- The journal's keys; missing in older files, which then keep the default journal.
        {"Ошибка чтения места журнала измерений из ini-файла!", {"JournalFile", "JournalUrl"}},
        // --- Centroid weighting: any value but 1 is the brightness weighting.
        {"Ошибка чтения способа определения центра пятна из ini-файла!", {"CentroidWeighting"},
         [&] {
             if (params.CentroidWeighting != TParameters::WeightAboveThreshold)
                 params.CentroidWeighting = TParameters::WeightByBrightness;
         }},
        // --- The spot's background, connected spot and windowed centre: off when missing.
        {"Ошибка чтения настроек центра пятна из ini-файла!", {"SpotBackground", "ConnectedSpot", "CentroidWindow"}},
        // --- The station's name; missing in older files, which then name the host.
        {"Ошибка чтения имени станции из ini-файла!", {"Station"}},
    };
    bool numbersRead = true;
    for (const ReadStep &step : steps)
        numbersRead = runStep(step, ini, params, defaults, actions, zonesDefault, reporter) && numbersRead;
    return numbersRead;
}

bool WriteParameters(const QString &fileName, const TParameters &p, TIssueSink &reporter)
{
    // The file is read once, every key changed in place, and written once: a
    // value that cannot be stored leaves the file as it was.
    IniFile ini(fileName);
    bool ok = ini.load();
    for (const Key &k : keyTable) {
        if (!ok)
            break;
        ok = writeKey(ini, k, p);
    }
    ok = ok && ini.commit();
    if (!ok)
        reporter.report(TIssue::settingsError(QStringLiteral("Ошибка"), QStringLiteral("Ошибка записи ini-файла!")));
    return ok;
}
