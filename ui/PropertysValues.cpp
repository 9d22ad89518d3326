#include "PropertysValues.h"

#include "KelvarinError.h"
#include "LocaleFormat.h"
#include "TDateTime.h"
#include "TParameters.h"

#include <QDir>
#include <QFileInfo>

PropertysValues PropertysValues::fromSettings(const TParameters &p)
{
    PropertysValues v;
    v.steps = p.Steps;
    v.visualization = p.NeedVisualization;
    v.autoSave = p.ResAutoSave;
    v.koeffB = LocaleFormat::formatGeneral(p.Koeff_B);
    v.koeffC = LocaleFormat::formatGeneral(p.Koeff_C);
    v.workDir = p.WorkDir;
    v.zonesFile = p.ZonesFileName;
    v.startStyle = p.StartStyle == 1 || p.StartStyle == 2 ? p.StartStyle : 3;
    // No start date stored yet (0 is 30.12.1899): the pickers offer today.
    v.date = p.StartDate == 0 ? QDate::currentDate() : TDateTime::datePart(p.StartDate);
    const QTime time = TDateTime::timePart(p.StartDate);
    v.time = QTime(time.hour(), time.minute());
    v.bufferDir = p.BufferDir;
    v.oneZip = p.SaveToOneZip;
    v.manyZip = p.SaveToManyZip;
    v.minS = QString::number(p.MinSCount);
    v.maxS = QString::number(p.MaxSCount);
    v.percent = LocaleFormat::formatGeneral(p.GlobalAverageYPercent * 100);
    v.porog = LocaleFormat::formatGeneral(p.AverageYPorog);
    v.journalFile = p.JournalFile;
    v.journalUrl = p.JournalUrl;
    v.centroidWeighting = p.CentroidWeighting;
    v.spotCentre = {p.SpotBackground, p.ConnectedSpot, p.CentroidWindow};
    return v;
}

// A real from an edit; a text left as shown keeps the stored value.
static bool takeReal(const QString &text, const QString &shown, double *value, double scale = 1)
{
    if (text == shown)
        return true;
    double parsed = 0;
    if (!LocaleFormat::parseReal(text, &parsed))
        return false;
    *value = parsed * scale;
    return true;
}

static bool takeInteger(const QString &text, int *value)
{
    int parsed = 0;
    if (!LocaleFormat::parseInteger(text, &parsed))
        return false;
    *value = parsed;
    return true;
}

PropertysValues::Group PropertysValues::takeOver(const PropertysValues &shown, TParameters &p,
                                                 const std::function<void(const QString &)> &applyWorkDir) const
{
    p.Steps = steps;
    p.ZonesFileName = zonesFile;
    // The new text is the setting even when the browser cannot go there.
    p.WorkDir = workDir;
    try {
        applyWorkDir(workDir);
    } catch (const KelvarinError &) {
        return Paths;
    }
    if (!takeReal(koeffB, shown.koeffB, &p.Koeff_B))
        return KoeffB;
    if (!takeReal(koeffC, shown.koeffC, &p.Koeff_C))
        return KoeffC;
    if (!takeReal(porog, shown.porog, &p.AverageYPorog)
        || !takeReal(percent, shown.percent, &p.GlobalAverageYPercent, 0.01))
        return Brightness;
    if (!takeInteger(minS, &p.MinSCount) || !takeInteger(maxS, &p.MaxSCount))
        return Areas;
    // A spot's area must exceed the minimum and stay below the maximum.
    if (p.MinSCount >= p.MaxSCount)
        return AreaOrder;
    p.NeedVisualization = visualization;
    p.ResAutoSave = autoSave;
    p.SaveToOneZip = oneZip;
    p.SaveToManyZip = manyZip;
    p.StartDate = startDate(shown, p.StartDate);
    p.BufferDir = bufferDir;
    p.JournalFile = journalFile.trimmed();
    p.JournalUrl = journalUrl.trimmed();
    p.CentroidWeighting = centroidWeighting;
    p.SpotBackground = spotCentre.background;
    p.ConnectedSpot = spotCentre.connected;
    p.CentroidWindow = spotCentre.window;
    return AllTakenOver;
}

double PropertysValues::startDate(const PropertysValues &shown, double stored) const
{
    // A timer chosen with no date stored starts at the date and time shown.
    if (stored == 0 && startStyle == 1)
        return TDateTime::fromDateAndTime(date, QTime(time.hour(), time.minute()));
    if (time == shown.time) {
        if (date == shown.date)
            return stored;
        return TDateTime::fromDateAndTime(date, TDateTime::timePart(stored));
    }
    return TDateTime::fromDateAndTime(date, QTime(time.hour(), time.minute()));
}

bool PropertysValues::sameDirectory(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    const QFileInfo first(a), second(b);
    if (QDir::cleanPath(first.absoluteFilePath()) == QDir::cleanPath(second.absoluteFilePath()))
        return true;
    const QString canonical = first.canonicalFilePath();
    return !canonical.isEmpty() && canonical == second.canonicalFilePath();
}
