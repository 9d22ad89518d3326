#include "TParameters.h"

#include "IniFile.h"
#include "KelvarinError.h"
#include "TMessageReporter.h"

#include <QDir>

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

namespace {

// One guarded step of the reader: its keys and the message shown when it fails.
struct ReadStep
{
    const char *message;
    std::function<void(const IniFile &)> run;
};

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

} // namespace

void ReadParameters(const QString &fileName, TParameters &params,
                    const TParametersActions &actions, TMessageReporter &reporter)
{
    const QString section = QString::fromLatin1(ParametersSection);
    const TParameters defaults;
    params = TParameters::zeroed();
    IniFile ini(fileName);
    // An unreadable file behaves as a missing one: every value takes its default.
    ini.load();
    auto readInt = [&](const IniFile &f, const char *k, int def) { return f.readInteger(section, key(k), def); };
    auto readBool = [&](const IniFile &f, const char *k, bool def) { return f.readBool(section, key(k), def); };
    auto readReal = [&](const IniFile &f, const char *k, double def) { return f.readReal(section, key(k), def); };
    auto readText = [&](const IniFile &f, const char *k, const QString &def) { return f.readString(section, key(k), def); };

    const ReadStep steps[] = {
        {"Ошибка чтения способа запуска из ini-файла!",
         [&](const IniFile &f) { params.StartStyle = readInt(f, "StartStyle", defaults.StartStyle); }},
        {"Ошибка чтения настроечных коэффициентов из ini-файла!",
         [&](const IniFile &f) {
             params.Koeff_A = readReal(f, "Koeff_A", defaults.Koeff_A);
             params.Koeff_n = readReal(f, "Koeff_n", defaults.Koeff_n);
             params.Koeff_B = readReal(f, "Koeff_B", defaults.Koeff_B);
             params.Koeff_C = readReal(f, "Koeff_C", defaults.Koeff_C);
         }},
        {"Ошибка чтения флага выполнения по шагам из ini-файла!",
         [&](const IniFile &f) { params.Steps = readBool(f, "Steps", defaults.Steps); }},
        {"Ошибка чтения имени рабочей директории из ini-файла!",
         [&](const IniFile &f) {
             params.WorkDir = readText(f, "WorkDir", actions.startDirectory);
             if (actions.applyWorkDir)
                 actions.applyWorkDir(params.WorkDir);
         }},
        {"Ошибка чтения имени буферной директории из ini-файла!",
         [&](const IniFile &f) { params.BufferDir = readText(f, "BufferDir", QString()); }},
        {"Ошибка чтения файла зон из ini-файла!",
         [&](const IniFile &f) {
             params.ZonesFileName = readText(f, "ZonesFileName",
                                             actions.startDirectory + QDir::separator() + QLatin1String("z1.zon"));
             if (actions.loadZones)
                 actions.loadZones(params.ZonesFileName);
         }},
        {"Ошибка чтения флага формата входных файлов из ini-файла!",
         [&](const IniFile &f) { params.BMPInputFormat = readBool(f, "BMPInputFormat", defaults.BMPInputFormat); }},
        {"Ошибка чтения средней яркости области из ini-файла!",
         [&](const IniFile &f) { params.AverageYPorog = readReal(f, "AverageYPorog", defaults.AverageYPorog); }},
        {"Ошибка чтения максимальной площади из ini-файла!",
         [&](const IniFile &f) { params.MaxSCount = readInt(f, "MaxSCount", defaults.MaxSCount); }},
        {"Ошибка чтения минимальной площади из ini-файла!",
         [&](const IniFile &f) { params.MinSCount = readInt(f, "MinSCount", defaults.MinSCount); }},
        {"Ошибка чтения даты запуска по таймеру из ini-файла!",
         [&](const IniFile &f) { params.StartDate = readReal(f, "StartDate", defaults.StartDate); }},
        {"Ошибка чтения флага визуализации из ini-файла!",
         [&](const IniFile &f) { params.NeedVisualization = readBool(f, "NeedVisualization", defaults.NeedVisualization); }},
        {"Ошибка чтения флага автосохранения из ini-файла!",
         [&](const IniFile &f) { params.ResAutoSave = readBool(f, "ResAutoSave", defaults.ResAutoSave); }},
        {"Ошибка чтения процента порога средней яркости из ini-файла!",
         [&](const IniFile &f) { params.GlobalAverageYPercent = readReal(f, "GlobalAverageYPercent", defaults.GlobalAverageYPercent); }},
        {"Ошибка чтения флага сохранения в zip-файл из ini-файла!",
         [&](const IniFile &f) { params.SaveToOneZip = readBool(f, "SaveToOneZip", defaults.SaveToOneZip); }},
        {"Ошибка чтения флага сохранения в zip-файл из ini-файла!",
         [&](const IniFile &f) { params.SaveToManyZip = readBool(f, "SaveToManyZip", defaults.SaveToManyZip); }},

        // --- Centroid weighting: any value but 1 is the brightness weighting.
        {"Ошибка чтения способа определения центра пятна из ini-файла!",
         [&](const IniFile &f) {
             const int w = readInt(f, "CentroidWeighting", defaults.CentroidWeighting);
             params.CentroidWeighting = w == TParameters::WeightAboveThreshold ? w : TParameters::WeightByBrightness;
         }},
    };
    for (const ReadStep &step : steps) {
        try {
            step.run(ini);
        } catch (const std::exception &) {
            reporter.ReportMessage(QStringLiteral("Ошибка"), QString::fromUtf8(step.message));
        }
    }
}

bool WriteParameters(const QString &fileName, const TParameters &p, TMessageReporter &reporter)
{
    const QString s = QString::fromLatin1(ParametersSection);
    IniFile ini(fileName);
    // Each key goes to the file at once; the chain stops at the first failure,
    // leaving the keys written before it in place.
    const bool ok = ini.writeInteger(s, key("StartStyle"), p.StartStyle)
        && ini.writeReal(s, key("Koeff_A"), p.Koeff_A)
        && ini.writeReal(s, key("Koeff_n"), p.Koeff_n)
        && ini.writeReal(s, key("Koeff_B"), p.Koeff_B)
        && ini.writeReal(s, key("Koeff_C"), p.Koeff_C)
        && ini.writeString(s, key("WorkDir"), p.WorkDir)
        && ini.writeString(s, key("BufferDir"), p.BufferDir)
        && ini.writeBool(s, key("Steps"), p.Steps)
        && ini.writeString(s, key("ZonesFileName"), p.ZonesFileName)
        && ini.writeBool(s, key("BMPInputFormat"), p.BMPInputFormat)
        && ini.writeReal(s, key("AverageYPorog"), p.AverageYPorog)
        && ini.writeInteger(s, key("MinSCount"), p.MinSCount)
        && ini.writeInteger(s, key("MaxSCount"), p.MaxSCount)
        && ini.writeReal(s, key("StartDate"), p.StartDate)
        && ini.writeBool(s, key("NeedVisualization"), p.NeedVisualization)
        && ini.writeBool(s, key("ResAutoSave"), p.ResAutoSave)
        && ini.writeReal(s, key("GlobalAverageYPercent"), p.GlobalAverageYPercent)
        && ini.writeBool(s, key("SaveToOneZip"), p.SaveToOneZip)
        && ini.writeBool(s, key("SaveToManyZip"), p.SaveToManyZip)
        // --- Centroid weighting
        && ini.writeInteger(s, key("CentroidWeighting"), p.CentroidWeighting);
    if (!ok)
        reporter.ReportMessage(QStringLiteral("Ошибка"), QStringLiteral("Ошибка записи ini-файла!"));
    return ok;
}
