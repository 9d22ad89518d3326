#include "TDisplacementChartForm.h"

#include "AtomicFile.h"
#include "ChartErrorBand.h"
#include "ChartPicture.h"
#include "ChartToolTip.h"
#include "ChartValues.h"
#include "DialogService.h"
#include "DisplacementChartView.h"
#include "DisplacementCsv.h"
#include "Downsampling.h"
#include "JournalRunList.h"
#include "LocaleFormat.h"
#include "ZoneColours.h"
#include "ZoneLimitMarks.h"

#include <QChart>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QListWidget>
#include <QPushButton>
#include <QScatterSeries>
#include <QSplitter>
#include <QTimer>
#include <QToolTip>
#include <QValueAxis>
#include <QVBoxLayout>

#include <cmath>
#include <limits>

namespace {

// Two points per pixel column keep every spike; more cannot be seen.
constexpr int PointsPerPixel = 2;
// An image is "at" the mouse within this many pixels.
constexpr double HoverPixels = 10;
// A tool tip shown stays this long unless the mouse moves away: an hour.
constexpr int ToolTipMilliseconds = 3600 * 1000;

} // namespace

TDisplacementChartForm::TDisplacementChartForm(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("TDisplacementChartForm"));
    setWindowTitle(QStringLiteral("Графики смещений"));
    resize(1100, 650);

    m_chart = new QChart;
    m_chart->legend()->setAlignment(Qt::AlignRight);
    m_chart->setMargins(QMargins(4, 4, 4, 4));
    // Axis labels with the locale's decimal separator, like every number shown.
    m_chart->setLocalizeNumbers(true);
    m_chart->setLocale(LocaleFormat::locale());
    m_view = new DisplacementChartView(m_chart);
    connect(m_view, &DisplacementChartView::rangeChanged, this, [this] {
        m_zoomed = true;
        resample();
    });
    connect(m_view, &DisplacementChartView::resetRequested, this, &TDisplacementChartForm::resetZoom);
    connect(m_view, &DisplacementChartView::hovered, this, &TDisplacementChartForm::showToolTip);

    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setSingleShot(true);
    m_refreshTimer->setInterval(0);
    connect(m_refreshTimer, &QTimer::timeout, this, &TDisplacementChartForm::refreshLive);

    m_zoneList = new QListWidget;
    m_zoneList->setObjectName(QStringLiteral("ZoneList"));
    m_zoneList->setMaximumWidth(140);
    connect(m_zoneList, &QListWidget::itemChanged, this, [this](QListWidgetItem *item) {
        const int zone = item->data(Qt::UserRole).toInt();
        if (item->checkState() == Qt::Checked)
            m_hiddenZones.remove(zone);
        else
            m_hiddenZones.insert(zone);
        optionsChanged();
    });
    auto *splitter = new QSplitter;
    splitter->addWidget(m_zoneList);
    splitter->addWidget(m_view);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({140, 1000});

    m_infoLabel = new QLabel;
    m_infoLabel->setObjectName(QStringLiteral("InfoLabel"));
    m_banner = new QLabel;
    m_banner->setObjectName(QStringLiteral("LimitBanner"));
    m_banner->hide();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(createControls());
    layout->addWidget(m_banner);
    layout->addWidget(splitter, 1);
    layout->addWidget(m_infoLabel);
    refill();
}

TDisplacementChartForm::~TDisplacementChartForm() = default;

QWidget *TDisplacementChartForm::createControls()
{
    auto *bar = new QWidget;
    m_runBox = new QComboBox;
    m_runBox->setObjectName(QStringLiteral("RunBox"));
    m_runBox->setMinimumContentsLength(30);
    m_runBox->addItem(QStringLiteral("Текущий запуск"), qint64(0));
    m_componentBox = new QComboBox;
    m_componentBox->setObjectName(QStringLiteral("ComponentBox"));
    m_componentBox->addItems({QStringLiteral("dx"), QStringLiteral("dy"), QStringLiteral("Модуль смещения")});
    m_componentBox->setCurrentIndex(2);
    m_axisBox = new QComboBox;
    m_axisBox->setObjectName(QStringLiteral("AxisBox"));
    m_axisBox->addItems({QStringLiteral("Время снимка"), QStringLiteral("Номер снимка")});
    m_correctedBox = new QCheckBox(QStringLiteral("С поправкой по опорным зонам"));
    m_correctedBox->setObjectName(QStringLiteral("CorrectedBox"));
    m_bandBox = ChartErrorBand::checkBox();
    m_resetButton = new QPushButton(QStringLiteral("Сбросить масштаб"));
    m_resetButton->setObjectName(QStringLiteral("ResetButton"));
    m_savePictureButton = new QPushButton(QStringLiteral("Сохранить график..."));
    m_savePictureButton->setObjectName(QStringLiteral("SavePictureButton"));
    m_saveCsvButton = new QPushButton(QStringLiteral("Сохранить данные..."));
    m_saveCsvButton->setObjectName(QStringLiteral("SaveCsvButton"));

    connect(m_runBox, &QComboBox::activated, this, &TDisplacementChartForm::runChosen);
    connect(m_componentBox, &QComboBox::currentIndexChanged, this, &TDisplacementChartForm::optionsChanged);
    connect(m_axisBox, &QComboBox::currentIndexChanged, this, &TDisplacementChartForm::optionsChanged);
    connect(m_correctedBox, &QCheckBox::toggled, this, &TDisplacementChartForm::optionsChanged);
    connect(m_bandBox, &QCheckBox::toggled, this, &TDisplacementChartForm::optionsChanged);
    connect(m_resetButton, &QPushButton::clicked, this, &TDisplacementChartForm::resetZoom);
    connect(m_savePictureButton, &QPushButton::clicked, this, &TDisplacementChartForm::savePictureAs);
    connect(m_saveCsvButton, &QPushButton::clicked, this, &TDisplacementChartForm::saveCsvAs);

    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(new QLabel(QStringLiteral("Запуск:")));
    row->addWidget(m_runBox);
    row->addWidget(new QLabel(QStringLiteral("Величина:")));
    row->addWidget(m_componentBox);
    row->addWidget(new QLabel(QStringLiteral("Ось X:")));
    row->addWidget(m_axisBox);
    row->addWidget(m_correctedBox);
    row->addWidget(m_bandBox);
    row->addStretch();
    row->addWidget(m_resetButton);
    row->addWidget(m_savePictureButton);
    row->addWidget(m_saveCsvButton);
    return bar;
}

// ---- what is shown ---------------------------------------------------------

void TDisplacementChartForm::setSettings(const MonitoringSettings &settings)
{
    m_settings = settings;
    m_current.setSettings(settings);
    m_run.setSettings(settings);
    const bool references = !settings.referenceZones.isEmpty();
    m_correctedBox->setEnabled(references);
    m_correctedBox->setToolTip(references ? QString()
                                        : QStringLiteral("Опорные зоны не заданы (настройки, страница \"Мониторинг\")"));
    // Corrected is what the limits watch; it is the view to start from.
    m_correctedBox->setChecked(references);
    refill();
}

void TDisplacementChartForm::setJournal(std::unique_ptr<JournalSource> journal, const QString &problem)
{
    m_journal = std::move(journal);
    while (m_runBox->count() > 1)
        m_runBox->removeItem(1);
    m_runBox->setToolTip(problem);
    if (!m_journal)
        return;
    m_runs = m_journal->runs();
    JournalRunList::fill(m_runBox, m_runs);
}

// What a saved picture says it shows: the run, its station and time span.
QString TDisplacementChartForm::pictureTitle() const
{
    for (const TJournalRun &run : m_runs) {
        if (run.id == m_runId && m_runId != 0)
            return JournalRunList::caption(run);
    }
    const TJournalRun current = JournalRunList::currentRun(m_current);
    if (current.images == 0)
        return QStringLiteral("Текущий запуск: изображений нет");
    return JournalRunList::caption(current);
}

void TDisplacementChartForm::showRun(qint64 runId)
{
    m_runId = runId;
    m_run.clear();
    m_run.setSettings(m_settings);
    if (runId != 0 && m_journal) {
        TJournalDisplacements displacements;
        if (m_journal->displacements(runId, &displacements))
            m_run.addDisplacements(std::move(displacements));
        else
            DialogService::instance().error(this, m_journal->errorString());
    }
    const int index = m_runBox->findData(runId);
    if (index >= 0)
        m_runBox->setCurrentIndex(index);
    m_zoomed = false;
    refill();
}

void TDisplacementChartForm::runChosen()
{
    showRun(m_runBox->currentData().toLongLong());
}

QAbstractAxis *TDisplacementChartForm::xAxis() const
{
    return m_view->xAxis();
}

const DisplacementSeries &TDisplacementChartForm::shownSeries() const
{
    return m_runId == 0 ? m_current : m_run;
}

QList<int> TDisplacementChartForm::shownZones() const
{
    QList<int> zones;
    for (int zone : shownSeries().zones()) {
        if (!m_hiddenZones.contains(zone))
            zones << zone;
    }
    return zones;
}

DisplacementComponent TDisplacementChartForm::component() const
{
    return m_componentBox->currentIndex() == 0   ? DisplacementComponent::Dx
           : m_componentBox->currentIndex() == 1 ? DisplacementComponent::Dy
                                               : DisplacementComponent::Magnitude;
}

QString TDisplacementChartForm::componentName() const
{
    return DisplacementCsv::componentName(component());
}

bool TDisplacementChartForm::corrected() const
{
    return m_correctedBox->isChecked() && !m_settings.referenceZones.isEmpty();
}

DisplacementSeries::XAxis TDisplacementChartForm::axisKind() const
{
    return m_axisBox->currentIndex() == 0 ? DisplacementSeries::XAxis::Time : DisplacementSeries::XAxis::Number;
}

QString TDisplacementChartForm::unitText() const
{
    bool mm = false;
    bool px = false;
    for (int zone : shownZones())
        (m_settings.inMillimetres(zone) ? mm : px) = true;
    if (mm && px)
        return QStringLiteral("мм / пикс");
    return Displacement::unitName(mm);
}

void TDisplacementChartForm::optionsChanged()
{
    m_zoomed = false;
    refill();
}

// ---- drawing ---------------------------------------------------------------

// Everything anew: the zone list, the axes, the values and the whole range.
void TDisplacementChartForm::refill()
{
    updateZoneList();
    m_chart->removeAllSeries();
    m_view->seriesRemoved();
    m_drawings.clear();
    rebuildAxes();
    m_values.compute(shownSeries(), valuesView());
    wholeRange();
    resample();
}

void TDisplacementChartForm::updateZoneList()
{
    const QSignalBlocker blocker(m_zoneList);
    const QList<int> zones = shownSeries().zones();
    QList<int> listed;
    for (int i = 0; i < m_zoneList->count(); ++i)
        listed << m_zoneList->item(i)->data(Qt::UserRole).toInt();
    if (listed != zones)
        fillZoneList(zones);
    // The marks are the current run's: a run of the journal shows none.
    ZoneLimitMarks::mark(m_zoneList, m_runId == 0 ? m_levels : QMap<int, LimitLevel>());
}

void TDisplacementChartForm::fillZoneList(const QList<int> &zones)
{
    m_zoneList->clear();
    for (int zone : zones) {
        auto *item = new QListWidgetItem(QStringLiteral("Зона %1").arg(zone), m_zoneList);
        item->setData(Qt::UserRole, zone);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(m_hiddenZones.contains(zone) ? Qt::Unchecked : Qt::Checked);
        QPixmap swatch(12, 12);
        swatch.fill(ZoneColours::of(zone));
        item->setIcon(QIcon(swatch));
    }
}

void TDisplacementChartForm::showLimitLevels(const QMap<int, LimitLevel> &levels)
{
    m_levels = levels;
    ZoneLimitMarks::showBanner(m_banner, m_levels);
    // Marks are no change of the ticked zones.
    const QSignalBlocker blocker(m_zoneList);
    if (m_runId == 0)
        ZoneLimitMarks::mark(m_zoneList, m_levels);
}

void TDisplacementChartForm::rebuildAxes()
{
    const QString what = component() == DisplacementComponent::Magnitude ? QStringLiteral("Смещение") : componentName();
    m_view->useAxis(axisKind(), QStringLiteral("%1%2, %3").arg(what, corrected() ? QStringLiteral(" с поправкой") : QString(),
                                                               unitText()));
}

ChartValues::View TDisplacementChartForm::valuesView() const
{
    return {axisKind(), shownZones(), component(), corrected(), m_bandBox->isChecked()};
}

void TDisplacementChartForm::wholeRange()
{
    double x0, x1, y0, y1;
    m_values.fullRange(component() == DisplacementComponent::Magnitude, &x0, &x1, &y0, &y1);
    m_view->setRanges(x0, x1, y0, y1);
}

// Samples the shown range again from the full values and hands the points to
// the series already in the chart; only a zone that needs more stretches than
// before gets new series.
void TDisplacementChartForm::resample()
{
    int colour = 0;
    for (int zone : shownZones()) {
        drawBand(zone, m_drawings[zone]);
        drawZone(zone, m_drawings[zone], colour++);
    }
    drawLimits();
    m_infoLabel->setText(QStringLiteral("Изображений: %1; зон: %2; точек на графике: %3; единицы: %4")
                           .arg(shownSeries().imageCount())
                           .arg(shownZones().size())
                           .arg(drawnPointCount())
                           .arg(unitText()));
}

void TDisplacementChartForm::drawZone(int zone, ZoneDrawing &drawing, int colourIndex)
{
    Q_UNUSED(colourIndex);
    const auto [from, to] = m_view->xRange();
    const int buckets = std::max(50, int(m_chart->plotArea().width()));
    const QList<QList<QPointF>> segments = Downsampling::segments(m_values.xs(), m_values.ys(zone), from, to, buckets * PointsPerPixel / 2);
    const QColor colour = ZoneColours::of(zone);
    QList<QPointF> single;
    int used = 0;
    for (const QList<QPointF> &segment : segments) {
        if (segment.size() == 1) {
            single << segment.first();
            continue;
        }
        if (used == drawing.lines.size()) {
            auto *line = new QLineSeries;
            line->setName(QStringLiteral("Зона %1").arg(zone));
            line->setPen(QPen(colour, 1.5));
            m_chart->addSeries(line);
            m_view->attach(line);
            DisplacementChartView::showInLegend(m_chart, line, used == 0);
            drawing.lines << line;
        }
        drawing.lines.at(used++)->replace(segment);
    }
    for (int i = used; i < drawing.lines.size(); ++i)
        drawing.lines.at(i)->clear();
    if (!drawing.dots) {
        drawing.dots = new QScatterSeries;
        drawing.dots->setName(QStringLiteral("Зона %1").arg(zone));
        drawing.dots->setMarkerSize(5);
        drawing.dots->setColor(colour);
        drawing.dots->setBorderColor(colour);
        m_chart->addSeries(drawing.dots);
        m_view->attach(drawing.dots);
        DisplacementChartView::showInLegend(m_chart, drawing.dots, drawing.lines.isEmpty());
    }
    drawing.dots->replace(single);
    // The legend names a zone once: by its line, or by its dots while it has none.
    if (drawing.dots->property("inLegend").toBool() != drawing.lines.isEmpty())
        DisplacementChartView::showInLegend(m_chart, drawing.dots, drawing.lines.isEmpty());
}

// Drawn before the line, so the band lies under it.
void TDisplacementChartForm::drawBand(int zone, ZoneDrawing &drawing)
{
    const int buckets = std::max(50, int(m_chart->plotArea().width())) * PointsPerPixel / 2;
    const QList<double> low = m_values.bandLow(zone);
    const QList<double> high = m_values.bandHigh(zone);
    ChartErrorBand::draw(m_view, drawing.bands, zone, {m_values.xs(), low, high}, m_view->xRange(), buckets);
}

// The limits watch the monitored value: the magnitude, corrected when there
// are reference zones, in each zone's unit. Only that plot gets their lines:
// the general limits in the legend, a zone's own limits in its colour.
void TDisplacementChartForm::drawLimits()
{
    QList<DisplacementChartView::Limit> limits;
    const bool monitored = component() == DisplacementComponent::Magnitude
                        && corrected() == !m_settings.referenceZones.isEmpty();
    if (monitored && m_settings.warningLimit > 0)
        limits << DisplacementChartView::Limit{m_settings.warningLimit, QColor(230, 140, 0), Qt::DashLine,
                                               QStringLiteral("Предупредительный предел")};
    if (monitored && m_settings.alarmLimit > 0)
        limits << DisplacementChartView::Limit{m_settings.alarmLimit, QColor(220, 0, 0), Qt::DashLine,
                                               QStringLiteral("Аварийный предел")};
    for (int zone : monitored ? shownZones() : QList<int>()) {
        if (m_settings.zoneWarningLimits.contains(zone))
            limits << DisplacementChartView::Limit{m_settings.zoneWarningLimits.value(zone), ZoneColours::of(zone),
                                                   Qt::DotLine, QString()};
        if (m_settings.zoneAlarmLimits.contains(zone))
            limits << DisplacementChartView::Limit{m_settings.zoneAlarmLimits.value(zone), ZoneColours::of(zone),
                                                   Qt::DashDotLine, QString()};
    }
    m_view->drawLimits(limits, false);
}

int TDisplacementChartForm::drawnPointCount() const
{
    int points = 0;
    for (const ZoneDrawing &d : m_drawings) {
        for (const QLineSeries *line : d.lines)
            points += line->count();
        if (d.dots)
            points += d.dots->count();
    }
    return points;
}

void TDisplacementChartForm::resetZoom()
{
    m_zoomed = false;
    wholeRange();
    resample();
}

// ---- the current run -------------------------------------------------------

void TDisplacementChartForm::currentRunStarted()
{
    m_current.clear();
    showLimitLevels({});
    if (m_runId == 0)
        scheduleRefresh();
}

void TDisplacementChartForm::imageMeasured(const TRecordedImage &image)
{
    m_current.addImage(image);
    if (m_runId == 0)
        scheduleRefresh();
}

// Images of a watch can come faster than a repaint: one refresh for all.
// A hidden window only gathers the images and draws them when shown.
void TDisplacementChartForm::scheduleRefresh()
{
    if (isVisible())
        m_refreshTimer->start();
}

void TDisplacementChartForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refill();
}

void TDisplacementChartForm::refreshLive()
{
    const QList<int> before = m_drawings.keys();
    QList<int> now = shownZones();
    std::sort(now.begin(), now.end());
    QList<int> sortedBefore = before;
    std::sort(sortedBefore.begin(), sortedBefore.end());
    if (sortedBefore != now) {
        // New zones (the first image) need their series and legend.
        const bool zoomed = m_zoomed;
        refill();
        m_zoomed = zoomed;
        return;
    }
    if (!m_values.append(shownSeries(), valuesView()))
        m_values.compute(shownSeries(), valuesView());
    if (!m_zoomed)
        wholeRange();
    resample();
}

// ---- tool tip --------------------------------------------------------------

QString TDisplacementChartForm::toolTipAt(const QPointF &value) const
{
    if (m_chart->series().isEmpty())
        return {};
    int bestZone = 0;
    const int bestIndex = m_values.nearest(value, HoverPixels, [this](const QPointF &point) {
        return m_chart->mapToPosition(point, nullptr);
    }, &bestZone);
    if (bestIndex < 0)
        return {};
    return ChartToolTip::text(shownSeries(), bestZone, m_values.order().at(bestIndex), corrected());
}

void TDisplacementChartForm::showToolTip(const QPointF &value, const QPoint &globalPos)
{
    const QString text = toolTipAt(value);
    if (text.isEmpty())
        QToolTip::hideText();
    else
        // It stays while the mouse stays near the point, not for a few seconds only.
        QToolTip::showText(globalPos, text, m_view,
                           QRect(m_view->mapFromGlobal(globalPos) - QPoint(int(HoverPixels), int(HoverPixels)),
                                 QSize(2 * int(HoverPixels), 2 * int(HoverPixels))),
                           ToolTipMilliseconds);
}

// ---- saving ----------------------------------------------------------------

bool TDisplacementChartForm::savePicture(const QString &fileName)
{
    const bool svg = QFileInfo(fileName).suffix().compare(QLatin1String("svg"), Qt::CaseInsensitive) == 0;
    QString error;
    // The picture carries its title; the window does not need it on screen.
    const QString title = pictureTitle();
    m_chart->setTitle(title);
    const QByteArray picture = ChartPicture::render(m_view, title, svg);
    m_chart->setTitle(QString());
    if (!AtomicFile::write(fileName, picture, &error)) {
        DialogService::instance().error(this, QStringLiteral("График не сохранен в %1: %2").arg(fileName, error));
        return false;
    }
    return true;
}

// The images within the shown range at full resolution.
QByteArray TDisplacementChartForm::csv() const
{
    const auto [from, to] = m_view->xRange();
    return DisplacementCsv::table(shownSeries(), m_values.imagesWithin(from, to), shownZones(), component(),
                                  corrected());
}

bool TDisplacementChartForm::saveCsv(const QString &fileName)
{
    QString error;
    if (!AtomicFile::write(fileName, csv(), &error)) {
        DialogService::instance().error(this, QStringLiteral("Данные не сохранены в %1: %2").arg(fileName, error));
        return false;
    }
    return true;
}

void TDisplacementChartForm::savePictureAs()
{
    const QString name = DialogService::instance().saveFileName(
        this, QStringLiteral("Сохранить график"), QString(), QStringLiteral("смещения.png"),
        QStringLiteral("Рисунок PNG|*.png|Рисунок SVG|*.svg"), QStringLiteral("png"));
    if (!name.isEmpty())
        savePicture(name);
}

void TDisplacementChartForm::saveCsvAs()
{
    const QString name = DialogService::instance().saveFileName(this, QStringLiteral("Сохранить данные"), QString(),
                                                                 QStringLiteral("смещения.csv"),
                                                                 QStringLiteral("Таблица CSV|*.csv"), QStringLiteral("csv"));
    if (!name.isEmpty())
        saveCsv(name);
}
