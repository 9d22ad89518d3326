#include "PrometheusMetrics.h"

#include <QLocale>
#include <QMap>

#include <algorithm>
#include <cmath>

namespace {

// One metric family: its HELP and TYPE lines, then its samples in order.
class Family
{
public:
    Family(const char *name, const char *type, const char *help)
        : m_name(QString::fromLatin1(name)), m_type(QString::fromLatin1(type)), m_help(QString::fromUtf8(help))
    {
    }

    void add(const QString &labels, double value)
    {
        m_samples << m_name + QLatin1Char('{') + labels + QStringLiteral("} ") + PrometheusMetrics::number(value);
    }

    // Nothing at all for a family without samples.
    QString text() const
    {
        if (m_samples.isEmpty())
            return QString();
        return QStringLiteral("# HELP %1 %2\n# TYPE %1 %3\n").arg(m_name, m_help, m_type)
               + m_samples.join(QLatin1Char('\n')) + QLatin1Char('\n');
    }

private:
    QString m_name;
    QString m_type;
    QString m_help;
    QStringList m_samples;
};

QString label(const char *name, const QString &value)
{
    return QString::fromLatin1(name) + QStringLiteral("=\"") + PrometheusMetrics::labelValue(value)
           + QLatin1Char('"');
}

// The samples of one component of one zone, raw and corrected, in pixels
// and, where the zone has a pixel size, in metres (millimetres / 1000).
void addDisplacement(Family &pixels, Family &meters, const QString &zoneLabels, const DisplacementPoint &point)
{
    static const std::pair<DisplacementComponent, const char *> components[] = {
        {DisplacementComponent::Dx, "x"}, {DisplacementComponent::Dy, "y"}, {DisplacementComponent::Magnitude, "magnitude"}};
    DisplacementPoint inPixels = point;
    inPixels.pixelSize = 0;
    for (const bool corrected : {false, true}) {
        for (const auto &[component, axis] : components) {
            const QString labels = zoneLabels + QLatin1Char(',') + label("axis", QString::fromLatin1(axis))
                                   + QLatin1Char(',') + label("correction", corrected ? "corrected" : "raw");
            double value = 0;
            if (!inPixels.value(component, corrected, &value))
                continue;
            pixels.add(labels, value);
            if (point.inMillimetres() && point.value(component, corrected, &value))
                meters.add(labels, value / 1000.0);
        }
    }
}

} // namespace

QString PrometheusMetrics::labelValue(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\\'))
            out += QLatin1String("\\\\");
        else if (c == QLatin1Char('"'))
            out += QLatin1String("\\\"");
        else if (c == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else
            out += c;
    }
    return out;
}

QString PrometheusMetrics::number(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("+Inf") : QStringLiteral("-Inf");
    // QString::number never follows the locale; the shortest exact form.
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

bool PrometheusMetrics::fromJournal(JournalSource &journal, qint64 runId, Station *station, QString *error)
{
    const QList<TJournalRun> runs = journal.runs();
    const auto run = std::find_if(runs.cbegin(), runs.cend(), [runId](const TJournalRun &r) { return r.id == runId; });
    if (run == runs.cend()) {
        *error = journal.errorString().isEmpty() ? QStringLiteral("запуска %1 нет в журнале").arg(runId)
                                                 : journal.errorString();
        return false;
    }
    if (station->name.isEmpty())
        station->name = run->station;
    station->processed = run->images;
    // The rows of the image with the highest number: the run's last.
    const QList<TJournalRow> rows = journal.rows(runId);
    int last = 0;
    for (const TJournalRow &row : rows)
        last = std::max(last, row.number);
    station->lastImageRows.clear();
    for (const TJournalRow &row : rows) {
        if (row.number == last)
            station->lastImageRows << row;
    }
    if (!station->lastImageRows.isEmpty()) {
        const TJournalRow &first = station->lastImageRows.first();
        station->lastImage = first.imageTime.isValid() ? first.imageTime : first.processedAt;
    }
    return true;
}

QByteArray PrometheusMetrics::format(const Station &station, const MonitoringSettings &settings)
{
    const QString stationLabel = label("station", station.name);
    Family lastImage("kelvarin2_last_image_timestamp_seconds", "gauge",
                     "Modification time of the last image measured, in seconds since the epoch.");
    Family processed("kelvarin2_images_processed_total", "counter", "Images measured.");
    Family setAside("kelvarin2_images_set_aside_total", "counter", "Images set aside because they could not be read.");
    Family waiting("kelvarin2_images_waiting_for_journal", "gauge",
                   "Images measured but not yet stored in the measurement journal.");
    Family found("kelvarin2_zone_found", "gauge", "1 when the zone's spot was found in the last image, else 0.");
    Family pixels("kelvarin2_zone_displacement_pixels", "gauge",
                  "Displacement of the zone's spot from its zero point in the last image, in pixels.");
    Family meters("kelvarin2_zone_displacement_meters", "gauge",
                  "Displacement of the zone's spot from its zero point in the last image, in metres.");
    Family limit("kelvarin2_zone_limit_state", "gauge", "Limit state of the zone: 0 ok, 1 warning, 2 alarm.");

    if (station.lastImage.isValid())
        lastImage.add(stationLabel, double(station.lastImage.toMSecsSinceEpoch()) / 1000.0);
    if (station.processed)
        processed.add(stationLabel, double(*station.processed));
    if (station.setAside)
        setAside.add(stationLabel, double(*station.setAside));
    if (station.waitingForJournal)
        waiting.add(stationLabel, double(*station.waitingForJournal));

    QMap<int, bool> foundByZone;
    for (const TJournalRow &row : station.lastImageRows)
        foundByZone[row.zone] = row.found;
    QMap<int, DisplacementPoint> points;
    for (const DisplacementPoint &point : Displacement::evaluate(station.lastImageRows, settings))
        points.insert(point.zone, point);
    for (auto it = foundByZone.cbegin(); it != foundByZone.cend(); ++it) {
        const QString zoneLabels = stationLabel + QLatin1Char(',') + label("zone", QString::number(it.key()));
        found.add(zoneLabels, it.value() ? 1 : 0);
        const auto point = points.constFind(it.key());
        if (point == points.cend())
            continue;
        addDisplacement(pixels, meters, zoneLabels, *point);
        double magnitude = 0;
        if (Displacement::monitoredMagnitude(*point, settings, &magnitude))
            limit.add(zoneLabels, double(int(Displacement::levelOf(magnitude, it.key(), settings))));
    }
    QString out;
    for (const Family *family : {&lastImage, &processed, &setAside, &waiting, &found, &pixels, &meters, &limit})
        out += family->text();
    return out.toUtf8();
}
