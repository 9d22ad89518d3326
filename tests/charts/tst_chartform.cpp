// The displacement chart window: what it draws from a run, live updates,
// gaps, limits, correction, zoom, tool tips and saving.
#include "../monitoring/MonitoringRows.h"
#include "AlarmIndicator.h"
#include "ChartFormControls.h"
#include "ChartToolTip.h"
#include "DisplacementChartView.h"
#include "JournalRunList.h"
#include "LocaleFormat.h"
#include "MemoryJournal.h"
#include "ScriptedDialogs.h"
#include "TDisplacementChartForm.h"
#include "TestSupport.h"

#include <QChart>
#include <QCheckBox>
#include <QComboBox>
#include <QLegendMarker>
#include <QLineSeries>
#include <QListWidget>
#include <QPushButton>
#include <QScatterSeries>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QValueAxis>

#include <cmath>

Q_DECLARE_METATYPE(TJournalRun)

class TestChartForm : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void showsTheZonesOfAJournalRun();
    void runCaptions_data();
    void runCaptions();
    void notFoundImagesAreGaps();
    void limitsAreLines_data();
    void limitsAreLines();
    void correctedSeriesOfAShakenCameraAreFlat();
    void updatesLiveImageByImage();
    void liveValuesEqualAFullComputation();
    void longSeriesAreDownsampledAndZoomSamplesAgain();
    void toolTipNamesImageTimeAndValues();
    void uncertaintyInToolTipAndBand();
    void csvOfTheShownSeries();
    void savesPictures_data();
    void savesPictures();
    void savingFailureIsShown();
    void alarmIndicatorStaysUntilAcknowledged();
};

// Series with points, by name (the limit lines and a zone's stretches).
static QMap<QString, int> linesWithPoints(QChart *chart)
{
    QMap<QString, int> lines;
    for (QAbstractSeries *s : chart->series()) {
        auto *line = qobject_cast<QLineSeries *>(s);
        if (line && line->type() == QAbstractSeries::SeriesTypeLine && line->count() > 0)
            lines[line->name()] += 1;
    }
    return lines;
}

static QStringList legendNames(QChart *chart)
{
    QStringList names;

    for (QLegendMarker *marker : chart->legend()->markers()) {
        // The marker's own visibility follows the layout; the chart marks the
        // series it keeps out of the legend.
        if (marker->series()->property("inLegend").toBool())
            names << marker->label();
    }
    return names;
}

static std::unique_ptr<MemoryJournal> journalOf(const QList<TJournalRow> &rows)
{
    auto journal = std::make_unique<MemoryJournal>();
    // Run 5 has no image (a start with nothing selected): it is not offered.
    journal->runList = {TJournalRun{3, "watch", "r3", QDateTime(QDate(2026, 5, 1), QTime(12, 0), Qt::UTC), {}, 4, {}},
                        TJournalRun{5, "manual", "", QDateTime(QDate(2026, 5, 1), QTime(13, 0), Qt::UTC), {}, 0, {}},
                        TJournalRun{9, "cli", "r9", QDateTime(QDate(2026, 5, 2), QTime(8, 0), Qt::UTC), {}, 1, {}}};
    journal->rowList = rows;
    return journal;
}

void TestChartForm::showsTheZonesOfAJournalRun()
{
    QList<TJournalRow> rows;
    for (int n = 1; n <= 4; ++n)
        rows += imageRows(n, {{1, true, 0.1 * n, 0}, {2, true, 0, 0.2 * n}, {4, true, 1, 1}}, 3);
    rows += imageRows(1, {{7, true, 5, 5}}, 9);
    TDisplacementChartForm form;
    form.setJournal(journalOf(rows));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(RunBox(form)->count(), 3); // the current run and the journal's two with images, newest first
    QCOMPARE(RunBox(form)->itemData(1).toLongLong(), 9);
    QCOMPARE(RunBox(form)->findData(5), -1);
    form.showRun(3);
    QCOMPARE(RunBox(form)->currentIndex(), 2);
    QCOMPARE(form.shownZones(), (QList<int>{1, 2, 4}));
    QCOMPARE(ZoneList(form)->count(), 3);
    QCOMPARE(legendNames(form.chart()), (QStringList{"Зона 1", "Зона 2", "Зона 4"}));
    QCOMPARE(form.drawnPointCount(), 12);
    // A zone unticked leaves the chart.
    ZoneList(form)->item(1)->setCheckState(Qt::Unchecked);
    QCOMPARE(form.shownZones(), (QList<int>{1, 4}));
    QCOMPARE(legendNames(form.chart()), (QStringList{"Зона 1", "Зона 4"}));
    form.showRun(9);
    QCOMPARE(form.shownZones(), (QList<int>{7}));
    // Drawn anew many times, the chart still has one axis of each kind.
    QCOMPARE(form.chart()->axes(Qt::Horizontal).size(), 2); // time and number, one shown
    QCOMPARE(form.chart()->axes(Qt::Vertical).size(), 1);
}

void TestChartForm::runCaptions_data()
{
    const QDateTime start(QDate(2026, 5, 1), QTime(12, 0, 5));
    QTest::addColumn<TJournalRun>("run");
    QTest::addColumn<QString>("expected");
    const QString from = ChartToolTip::timeText(start);
    QTest::newRow("station, same day")
        << TJournalRun{3, "watch", "r3", start, start.addSecs(3600), 40, "st-1"}
        << "Запуск 3: станция st-1, " + from + " – " + LocaleFormat::longTime(QTime(13, 0, 5)) + ", изображений 40";
    QTest::newRow("no station, next day")
        << TJournalRun{4, "cli", "r4", start, start.addDays(1), 2, {}}
        << "Запуск 4: " + from + " – " + ChartToolTip::timeText(start.addDays(1)) + ", изображений 2";
    QTest::newRow("still going") << TJournalRun{5, "watch", "r5", start, {}, 1, "st-2"}
                                 << "Запуск 5: станция st-2, " + from + " – (не завершен), изображений 1";
}

// What the chart's run box and the export dialog offer for each run.
void TestChartForm::runCaptions()
{
    QFETCH(TJournalRun, run);
    QFETCH(QString, expected);
    QCOMPARE(JournalRunList::caption(run), expected);
}

void TestChartForm::notFoundImagesAreGaps()
{
    QList<TJournalRow> rows;
    const QString found = QStringLiteral("xx.xxx..x.xx");
    for (int n = 1; n <= found.size(); ++n)
        rows += imageRows(n, {{1, found.at(n - 1) == 'x', 0.5, n * 0.1}}, 3);
    TDisplacementChartForm form;
    form.setJournal(journalOf(rows));
    form.showRun(3);
    // Three stretches joined by lines, the lone image a dot.
    QCOMPARE(linesWithPoints(form.chart()).value("Зона 1"), 3);
    int dots = 0;
    for (QAbstractSeries *s : form.chart()->series()) {
        if (auto *scatter = qobject_cast<QScatterSeries *>(s))
            dots += scatter->count();
    }
    QCOMPARE(dots, 1);
    QCOMPARE(form.drawnPointCount(), 8);
}

void TestChartForm::limitsAreLines_data()
{
    QTest::addColumn<int>("component");
    QTest::addColumn<int>("lines"); // limit lines with points
    QTest::newRow("dx: the limits do not watch it") << 0 << 0;
    QTest::newRow("magnitude: above only") << 2 << 2;
}

void TestChartForm::limitsAreLines()
{
    QFETCH(int, component);
    TDisplacementChartForm form;
    MonitoringSettings s;
    s.warningLimit = 1;
    s.alarmLimit = 2;
    form.setSettings(s);
    form.setJournal(journalOf(imageRows(1, {{1, true, 0.5, 0}}, 3) + imageRows(2, {{1, true, 0.7, 0}}, 3)));
    form.showRun(3);
    ComponentBox(form)->setCurrentIndex(component);
    const QMap<QString, int> lines = linesWithPoints(form.chart());
    QTEST(lines.value("Предупредительный предел") + lines.value("Аварийный предел"), "lines");
    QCOMPARE(legendNames(form.chart()).contains("Аварийный предел"), component == 2);
    // The axis reaches the alarm limit, so the operator sees how far away it is.
    auto *y = qobject_cast<QValueAxis *>(form.chart()->axes(Qt::Vertical).first());
    QVERIFY(y->max() >= 0.7);
}

void TestChartForm::correctedSeriesOfAShakenCameraAreFlat()
{
    QList<TJournalRow> rows;
    for (int n = 1; n <= 30; ++n) {
        const double shake = n % 4 == 0 ? 9.0 : 0.0; // all targets jump together
        rows += imageRows(n, {{1, true, 1 + shake, shake}, {2, true, shake, shake}, {3, true, shake, shake}}, 3);
    }
    TDisplacementChartForm form;
    MonitoringSettings s;
    s.referenceZones = {2, 3};
    form.setSettings(s);
    QVERIFY(CorrectedBox(form)->isEnabled());
    QVERIFY(CorrectedBox(form)->isChecked());
    form.setJournal(journalOf(rows));
    form.showRun(3);
    ComponentBox(form)->setCurrentIndex(0); // dx
    auto valuesOfZone1 = [&] {
        QList<double> ys;
        for (QAbstractSeries *series : form.chart()->series()) {
            auto *line = qobject_cast<QLineSeries *>(series);
            if (line && line->name() == QStringLiteral("Зона 1"))
                for (const QPointF &p : line->points())
                    ys << p.y();
        }
        std::sort(ys.begin(), ys.end());
        ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
        return ys;
    };
    QCOMPARE(valuesOfZone1(), (QList<double>{1.0}));
    CorrectedBox(form)->setChecked(false);
    QCOMPARE(valuesOfZone1(), (QList<double>{1.0, 10.0}));
}

void TestChartForm::updatesLiveImageByImage()
{
    TDisplacementChartForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.currentRunStarted();
    form.imageMeasured(imageRecord(1, {{1, true, 0.1, 0}, {2, false, 0, 0}}));
    QTRY_COMPARE(form.shownZones(), (QList<int>{1, 2}));
    QTRY_COMPARE(form.drawnPointCount(), 1);
    form.imageMeasured(imageRecord(2, {{1, true, 0.2, 0}, {2, true, 0, 0.3}}));
    form.imageMeasured(imageRecord(3, {{1, true, 0.3, 0}, {2, true, 0, 0.4}}));
    QTRY_COMPARE(form.drawnPointCount(), 5);
    QCOMPARE(form.shownSeries().imageCount(), 3);
    // The axis grows with the series (image numbers on the x axis).
    AxisBox(form)->setCurrentIndex(1);
    form.imageMeasured(imageRecord(4, {{1, true, 0.4, 0}, {2, true, 0, 0.5}}));
    auto *x = qobject_cast<QValueAxis *>(form.xAxis());
    QTRY_COMPARE(x->max(), 4.0);
    // A new run starts empty.
    form.currentRunStarted();
    QTRY_COMPARE(form.drawnPointCount(), 0);
}

// A watch's images are appended to what is drawn, not computed anew; an
// image measured again, or one older than the last, needs everything again.
// Whichever way, the values must be those of a full computation.
void TestChartForm::liveValuesEqualAFullComputation()
{
    TDisplacementChartForm form;
    MonitoringSettings s;
    s.referenceZones = {2};
    s.pixelSize = 0.5;
    form.setSettings(s);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.currentRunStarted();
    for (int n = 1; n <= 40; ++n) {
        TRecordedImage image =
            imageRecord(n, {{1, n % 6 != 0, n / 10.0, -n / 20.0}, {2, n % 5 != 0, 0.5 * (n % 3), 0.1}, {3, true, 1, double(n)}});
        if (n == 30)
            image.modified = image.modified.addDays(-1);
        form.imageMeasured(image);
        if (n == 26)
            form.imageMeasured(imageRecord(25, {{1, true, 9, 9}, {2, true, 1, 1}, {3, false, 0, 0}}));
        if (n % 3 == 0)
            QTest::qWait(1);
    }
    QTest::qWait(20);
    QCOMPARE(form.shownSeries().imageCount(), 40);
    for (int axis : {0, 1}) {
        AxisBox(form)->setCurrentIndex(axis);
        form.imageMeasured(imageRecord(41 + axis, {{1, true, 2, 2}, {2, true, 0, 0}, {3, true, 3, 3}}));
        QTest::qWait(20);
        const QByteArray live = form.csv();
        QVERIFY(live.contains("\r\n25,img0025.bmp,"));
        QVERIFY(live.contains(axis == 0 ? "\r\n30,img0030.bmp," : "\r\n41,img0041.bmp,"));
        // Everything computed anew: the other quantity and back.
        ComponentBox(form)->setCurrentIndex(0);
        ComponentBox(form)->setCurrentIndex(2);
        QCOMPARE(form.csv(), live);
    }
}

void TestChartForm::longSeriesAreDownsampledAndZoomSamplesAgain()
{
    QList<TJournalRow> rows;
    for (int n = 1; n <= 20000; ++n)
        rows += imageRows(n, {{1, true, std::sin(n / 300.0), 0}, {2, n != 777, n == 12345 ? 50.0 : 0.0, 0}}, 3);
    TDisplacementChartForm form;
    form.resize(1000, 600);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.setJournal(journalOf(rows));
    form.showRun(3);
    AxisBox(form)->setCurrentIndex(1);
    const int width = int(form.chart()->plotArea().width());
    QVERIFY2(form.drawnPointCount() <= 2 * 2 * (width + 2), qPrintable(QString::number(form.drawnPointCount())));
    // The one-image spike of zone 2 survives.
    auto *y = qobject_cast<QValueAxis *>(form.chart()->axes(Qt::Vertical).first());
    QVERIFY(y->max() >= 50);
    // Zooming to 100 images shows each of them.
    auto *x = qobject_cast<QValueAxis *>(form.xAxis());
    form.view()->zoomX(1000, 100.0 / (x->max() - x->min()));
    QVERIFY(x->max() - x->min() < 101);
    QCOMPARE(form.drawnPointCount(), 2 * (int(x->max()) - int(std::ceil(x->min())) + 1 + 2));
    // The wheel zooms about the mouse, the reset goes back to the whole run.
    const QPointF centre = form.chart()->plotArea().center();
    QWheelEvent wheel(centre, form.view()->mapToGlobal(centre.toPoint()), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(form.view()->viewport(), &wheel);
    QVERIFY(x->max() - x->min() > 101);
    ResetButton(form)->click();
    QCOMPARE(x->min(), 1.0);
    QCOMPARE(x->max(), 20000.0);
}

void TestChartForm::toolTipNamesImageTimeAndValues()
{
    LocaleGuard guard(QChar(','));
    TDisplacementChartForm form;
    MonitoringSettings s;
    s.pixelSize = 0.5;
    form.setSettings(s);
    form.resize(900, 500);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.setJournal(journalOf(imageRows(1, {{2, true, 3, 4}}, 3) + imageRows(2, {{2, true, 6, 8}}, 3)));
    form.showRun(3);
    AxisBox(form)->setCurrentIndex(1);
    const QString tip = form.toolTipAt(QPointF(2, 5));
    QCOMPARE(tip.section('\n', 0, 1), QStringLiteral("Зона 2\nСнимок 2: img0002.bmp"));
    QVERIFY2(tip.endsWith(QStringLiteral("dx = 3,0000 мм\ndy = 4,0000 мм\nмодуль = 5,0000 мм")), qPrintable(tip));
    QVERIFY(form.toolTipAt(QPointF(1.5, 0)).isEmpty()); // nowhere near an image
}

// sx, sy in the chart's unit in the tool tip, a zone with a second spot
// marked, and the error band: off at first, then ± the uncertainty around
// the line, none where a point has no uncertainty.
void TestChartForm::uncertaintyInToolTipAndBand()
{
    LocaleGuard guard(QChar(','));
    QList<TJournalRow> rows;
    for (int n = 1; n <= 3; ++n)
        rows += imageRows(n, {{2, true, 3.0 * n, 4.0 * n}, {3, true, 1, 1}}, 3);
    for (TJournalRow &row : rows) {
        if (row.zone == 2) {
            row.sx = 0.02;
            row.sy = 0.04;
            row.spots = row.number == 2 ? 2 : 1;
        }
    }
    TDisplacementChartForm form;
    MonitoringSettings s;
    s.pixelSize = 0.5;
    form.setSettings(s);
    form.resize(900, 500);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.setJournal(journalOf(rows));
    form.showRun(3);
    AxisBox(form)->setCurrentIndex(1);
    ComponentBox(form)->setCurrentIndex(0); // dx
    const QString second = form.toolTipAt(QPointF(2, 3));
    QVERIFY2(second.endsWith(QStringLiteral("sx = 0,0100 мм, sy = 0,0200 мм\nНесколько пятен: 2")), qPrintable(second));
    const QString first = form.toolTipAt(QPointF(1, 1.5));
    QVERIFY2(first.endsWith(QStringLiteral("sx = 0,0100 мм, sy = 0,0200 мм")), qPrintable(first));
    const QString plain = form.toolTipAt(QPointF(1, 0.5));
    QVERIFY2(plain.startsWith(QStringLiteral("Зона 3")) && !plain.contains(QStringLiteral("sx")), qPrintable(plain));
    QCOMPARE(ChartToolTip::uncertaintyText(0.00006), QStringLiteral("0,000060"));

    QVERIFY(!ErrorBandBox(form)->isChecked());
    QVERIFY(form.drawnBands(2).isEmpty());
    ErrorBandBox(form)->setChecked(true);
    const auto bands = form.drawnBands(2);
    QCOMPARE(bands.size(), 1);
    QCOMPARE(bands.first().first.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const double dx = 1.5 * (i + 1);
        // sx, sy are kept in single precision.
        QCOMPARE(bands.first().first.at(i).x(), i + 1.0);
        QVERIFY(std::abs(bands.first().first.at(i).y() - (dx - 0.01)) < 1e-7);
        QVERIFY(std::abs(bands.first().second.at(i).y() - (dx + 0.01)) < 1e-7);
    }
    QVERIFY(form.drawnBands(3).isEmpty());
    // The magnitude's band: sx, sy carried through its formula.
    ComponentBox(form)->setCurrentIndex(2);
    const auto magnitude = form.drawnBands(2);
    QCOMPARE(magnitude.size(), 1);
    const double half = magnitude.first().second.at(0).y() - 2.5;
    QVERIFY2(std::abs(half - std::sqrt(1.5 * 1.5 * 1e-4 + 2.0 * 2.0 * 4e-4) / 2.5) < 1e-7, qPrintable(QString::number(half)));
}

void TestChartForm::csvOfTheShownSeries()
{
    TDisplacementChartForm form;
    MonitoringSettings s;
    s.zonePixelSizes = {{1, 0.5}};
    form.setSettings(s);
    QList<TJournalRow> rows;
    for (int n = 1; n <= 3; ++n)
        rows += imageRows(n, {{1, true, 3, 4}, {2, n != 2, 0, 0.5 * n}}, 3);
    form.setJournal(journalOf(rows));
    form.showRun(3);
    QCOMPARE(form.csv(), QByteArray("number,image,time,zone1_magnitude_mm,zone2_magnitude_px\r\n"
                                    "1,img0001.bmp,2026-05-01T12:10:00.000+00:00,2.5000,0.5000\r\n"
                                    "2,img0002.bmp,2026-05-01T12:20:00.000+00:00,2.5000,\r\n"
                                    "3,img0003.bmp,2026-05-01T12:30:00.000+00:00,2.5000,1.5000\r\n"));
    // Only what is shown: the chosen zones, within the shown range.
    AxisBox(form)->setCurrentIndex(1);
    ComponentBox(form)->setCurrentIndex(1);
    ZoneList(form)->item(0)->setCheckState(Qt::Unchecked);
    qobject_cast<QValueAxis *>(form.xAxis())->setRange(1.5, 3.5);
    QCOMPARE(form.csv(), QByteArray("number,image,time,zone2_dy_px\r\n"
                                    "2,img0002.bmp,2026-05-01T12:20:00.000+00:00,\r\n"
                                    "3,img0003.bmp,2026-05-01T12:30:00.000+00:00,1.5000\r\n"));
    QTemporaryDir dir;
    const QString file = dir.filePath("series.csv");
    QVERIFY(form.saveCsv(file));
    QCOMPARE(TestSupport::readFile(file), form.csv());
}

void TestChartForm::savesPictures_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("start");
    QTest::newRow("png") << "chart.png" << QByteArray("\x89PNG");
    QTest::newRow("svg") << "chart.SVG" << QByteArray("<?xml");
}

void TestChartForm::savesPictures()
{
    QFETCH(QString, name);
    TDisplacementChartForm form;
    form.resize(800, 500);
    form.setJournal(journalOf(imageRows(1, {{1, true, 3, 4}}, 3) + imageRows(2, {{1, true, 3, 5}}, 3)));
    form.showRun(3);
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    dialogs.answerFile(dir.filePath(name));
    SavePictureButton(form)->click();
    const QByteArray bytes = TestSupport::readFile(dir.filePath(name));
    QFETCH(QByteArray, start);
    QVERIFY(bytes.startsWith(start));
    QVERIFY(dialogs.messageTexts().isEmpty());
    // The picture says what it shows: the run with its time span; the window
    // itself keeps no title.
    const QString title = form.pictureTitle();
    QVERIFY2(title.startsWith(QStringLiteral("Запуск 3: ")) && title.endsWith(QStringLiteral(", изображений 4")),
             qPrintable(title));
    if (name.endsWith(QLatin1String("SVG")))
        QVERIFY(QString::fromUtf8(bytes).contains(title.toHtmlEscaped()));
    QVERIFY(form.chart()->title().isEmpty());
    // The current run names the station it runs on.
    form.showRun(0);
    QCOMPARE(form.pictureTitle(), QStringLiteral("Текущий запуск: изображений нет"));
    form.imageMeasured(imageRecord(1, {{1, true, 3, 4}}));
    QVERIFY(form.pictureTitle().startsWith(QStringLiteral("Текущий запуск: станция %1, ").arg(QSysInfo::machineHostName())));
}

void TestChartForm::savingFailureIsShown()
{
    TDisplacementChartForm form;
    form.setJournal(journalOf(imageRows(1, {{1, true, 3, 4}}, 3)));
    form.showRun(3);
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    const QString missing = dir.filePath("no/such/dir/chart.png");
    QVERIFY(!form.savePicture(missing));
    QVERIFY(!form.saveCsv(dir.filePath("no/such/dir/series.csv")));
    QCOMPARE(dialogs.messageTexts().size(), 2);
    QVERIFY2(dialogs.messageTexts().at(0).startsWith("График не сохранен в " + missing + ": "),
             qPrintable(dialogs.messageTexts().at(0)));
    QVERIFY(dialogs.messageTexts().at(1).startsWith("Данные не сохранены в "));
    QVERIFY(!QFile::exists(missing));
}

void TestChartForm::alarmIndicatorStaysUntilAcknowledged()
{
    AlarmIndicator indicator;
    indicator.show();
    QCOMPARE(indicator.level(), LimitLevel::None);
    AlarmEvent warning;
    warning.zone = 3;
    warning.level = LimitLevel::Warning;
    warning.magnitude = 1.5;
    warning.limit = 1;
    warning.image = "img0004.bmp";
    indicator.addEvent(warning);
    QCOMPARE(indicator.level(), LimitLevel::Warning);
    QCOMPARE(indicator.text(), QStringLiteral("ПРЕДУПРЕЖДЕНИЕ"));
    AlarmEvent alarm = warning;
    alarm.level = LimitLevel::Alarm;
    indicator.addEvent(alarm);
    indicator.addEvent(warning); // a later warning does not lower it
    QCOMPARE(indicator.level(), LimitLevel::Alarm);
    QCOMPARE(indicator.text(), QStringLiteral("АВАРИЯ"));
    QCOMPARE(indicator.events().size(), 3);
    QVERIFY(indicator.toolTip().contains(QStringLiteral("Зона 3: смещение")));
    QTest::mouseClick(&indicator, Qt::LeftButton);
    QCOMPARE(indicator.level(), LimitLevel::None);
    QVERIFY(indicator.events().isEmpty());
}
QTEST_MAIN(TestChartForm)
#include "tst_chartform.moc"
