#include "TDisplacementChartForm.h"

#include "AtomicFile.h"
#include "ChartPicture.h"
#include "ChartToolTip.h"
#include "CsvField.h"
#include "DialogService.h"
#include "DisplacementChartView.h"
#include "Downsampling.h"
#include "LocaleFormat.h"
#include "ZoneColours.h"

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

// Every series is added with its legend marker; a zone's further stretches
// and dots, and the second side of a limit, are kept out of the legend.
void showInLegend(QChart *chart, QAbstractSeries *series, bool shown)
{
    series->setProperty("inLegend", shown);
    for (QLegendMarker *marker : chart->legend()->markers(series))
        marker->setVisible(shown);
}

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
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(createControls());
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
    const QList<TJournalRun> runs = m_journal->runs();
    for (auto it = runs.crbegin(); it != runs.crend(); ++it) {
        m_runBox->addItem(QStringLiteral("Запуск %1: %2, изображений %3")
                            .arg(it->id)
                            .arg(ChartToolTip::timeText(it->start))
                            .arg(it->images),
                        it->id);
    }
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
    return component() == DisplacementComponent::Dx   ? QStringLiteral("dx")
           : component() == DisplacementComponent::Dy ? QStringLiteral("dy")
                                                      : QStringLiteral("magnitude");
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
    m_drawings.clear();
    m_limitLines.clear();
    rebuildAxes();
    computeValues();
    double x0, x1, y0, y1;
    fullRange(&x0, &x1, &y0, &y1);
    setRanges(x0, x1, y0, y1);
    resample();
}

void TDisplacementChartForm::updateZoneList()
{
    const QSignalBlocker blocker(m_zoneList);
    const QList<int> zones = shownSeries().zones();
    QList<int> listed;
    for (int i = 0; i < m_zoneList->count(); ++i)
        listed << m_zoneList->item(i)->data(Qt::UserRole).toInt();
    if (listed == zones)
        return;
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

// Both x axes (time and number) stay in the chart and the one not in use is
// hidden: a chart whose axes are removed keeps drawing their labels.
void TDisplacementChartForm::rebuildAxes()
{
    if (!m_axisY) {
        auto *time = new QDateTimeAxis;
        time->setFormat(QStringLiteral("dd.MM.yy HH:mm"));
        time->setTitleText(QStringLiteral("Время снимка"));
        auto *number = new QValueAxis;
        number->setLabelFormat(QStringLiteral("%.0f"));
        number->setTitleText(QStringLiteral("Номер снимка"));
        auto *y = new QValueAxis;
        y->setLabelFormat(QStringLiteral("%.3g"));
        m_timeAxis = time;
        m_numberAxis = number;
        m_axisY = y;
        m_chart->addAxis(m_timeAxis, Qt::AlignBottom);
        m_chart->addAxis(m_numberAxis, Qt::AlignBottom);
        m_chart->addAxis(m_axisY, Qt::AlignLeft);
    }
    const bool time = axisKind() == DisplacementSeries::XAxis::Time;
    m_axisX = time ? m_timeAxis : m_numberAxis;
    for (QAbstractAxis *axis : {m_timeAxis, m_numberAxis}) {
        const bool used = axis == m_axisX;
        axis->setVisible(used);
        axis->setLabelsVisible(used);
        axis->setGridLineVisible(used);
    }
    const QString what = component() == DisplacementComponent::Magnitude ? QStringLiteral("Смещение") : componentName();
    m_axisY->setTitleText(QStringLiteral("%1%2, %3").arg(what, corrected() ? QStringLiteral(" с поправкой") : QString(),
                                                         unitText()));
}

// The full-resolution values of the shown zones, in the order of the x axis.
void TDisplacementChartForm::computeValues()
{
    const DisplacementSeries &series = shownSeries();
    series.axis(axisKind(), &m_xs, &m_order);
    for (int zone : shownZones())
        m_drawings[zone].ys = series.values(zone, component(), corrected(), m_order);
    m_valuesRevision = series.revision();
}

// The values of images added since the last computation, appended when
// nothing held changed and the new images come after the others on the x
// axis (a watch's next image); false when everything must be computed anew.
bool TDisplacementChartForm::appendValues()
{
    const DisplacementSeries &series = shownSeries();
    const int known = int(m_order.size());
    if (series.revision() != m_valuesRevision || known > series.imageCount())
        return false;
    double last = m_xs.isEmpty() ? -std::numeric_limits<double>::infinity() : m_xs.last();
    for (int image = known; image < series.imageCount(); ++image) {
        const double x = series.axisValue(axisKind(), image);
        if (x < last)
            return false;
        last = x;
    }
    QList<int> added;
    for (int image = known; image < series.imageCount(); ++image) {
        added << image;
        m_xs << series.axisValue(axisKind(), image);
    }
    m_order << added;
    for (int zone : shownZones())
        m_drawings[zone].ys << series.values(zone, component(), corrected(), added);
    return true;
}

void TDisplacementChartForm::fullRange(double *x0, double *x1, double *y0, double *y1) const
{
    *x0 = m_xs.isEmpty() ? 0 : m_xs.first();
    *x1 = m_xs.isEmpty() ? 1 : m_xs.last();
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (const ZoneDrawing &drawing : m_drawings) {
        for (double y : drawing.ys) {
            if (!std::isnan(y)) {
                low = std::min(low, y);
                high = std::max(high, y);
            }
        }
    }
    if (low > high)
        low = high = 0;
    const double span = high > low ? high - low : std::max(1e-3, std::abs(high));
    // A magnitude is never below zero: its axis starts there.
    *y0 = component() == DisplacementComponent::Magnitude && low >= 0 ? 0 : low - span * 0.05;
    *y1 = high + span * 0.05;
}

void TDisplacementChartForm::setRanges(double x0, double x1, double y0, double y1)
{
    if (auto *time = qobject_cast<QDateTimeAxis *>(m_axisX)) {
        if (x1 - x0 < 60000) {
            x0 -= 30000;
            x1 += 30000;
        }
        time->setRange(QDateTime::fromMSecsSinceEpoch(qint64(x0)), QDateTime::fromMSecsSinceEpoch(qint64(x1)));
    } else {
        if (x1 - x0 < 1) {
            x0 -= 0.5;
            x1 += 0.5;
        }
        static_cast<QValueAxis *>(m_axisX)->setRange(x0, x1);
    }
    auto *y = static_cast<QValueAxis *>(m_axisY);
    y->setRange(y0, y1);
    // Round steps (0.5, 1, 2 ...) are what a reader of displacement expects.
    y->applyNiceNumbers();
}

QPair<double, double> TDisplacementChartForm::xRange() const
{
    if (auto *time = qobject_cast<QDateTimeAxis *>(m_axisX))
        return {double(time->min().toMSecsSinceEpoch()), double(time->max().toMSecsSinceEpoch())};
    auto *value = static_cast<QValueAxis *>(m_axisX);
    return {value->min(), value->max()};
}

// Samples the shown range again from the full values and hands the points to
// the series already in the chart; only a zone that needs more stretches than
// before gets new series.
void TDisplacementChartForm::resample()
{
    int colour = 0;
    for (int zone : shownZones())
        drawZone(zone, m_drawings[zone], colour++);
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
    const auto [from, to] = xRange();
    const int buckets = std::max(50, int(m_chart->plotArea().width()));
    const QList<QList<QPointF>> segments = Downsampling::segments(m_xs, drawing.ys, from, to, buckets * PointsPerPixel / 2);
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
            line->attachAxis(m_axisX);
            line->attachAxis(m_axisY);
            showInLegend(m_chart, line, used == 0);
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
        drawing.dots->attachAxis(m_axisX);
        drawing.dots->attachAxis(m_axisY);
        showInLegend(m_chart, drawing.dots, drawing.lines.isEmpty());
    }
    drawing.dots->replace(single);
    // The legend names a zone once: by its line, or by its dots while it has none.
    if (drawing.dots->property("inLegend").toBool() != drawing.lines.isEmpty())
        showInLegend(m_chart, drawing.dots, drawing.lines.isEmpty());
}

// Horizontal lines across the shown range: the general limits in the legend,
// a zone's own limits in its colour. dx and dy get them on both sides.
void TDisplacementChartForm::drawLimits()
{
    struct Limit
    {
        double value;
        QColor colour;
        Qt::PenStyle style;
        QString name;
    };
    QList<Limit> limits;
    if (m_settings.warningLimit > 0)
        limits << Limit{m_settings.warningLimit, QColor(230, 140, 0), Qt::DashLine, QStringLiteral("Предупредительный предел")};
    if (m_settings.alarmLimit > 0)
        limits << Limit{m_settings.alarmLimit, QColor(220, 0, 0), Qt::DashLine, QStringLiteral("Аварийный предел")};
    for (int zone : shownZones()) {
        if (m_settings.zoneWarningLimits.contains(zone))
            limits << Limit{m_settings.zoneWarningLimits.value(zone), ZoneColours::of(zone), Qt::DotLine, QString()};
        if (m_settings.zoneAlarmLimits.contains(zone))
            limits << Limit{m_settings.zoneAlarmLimits.value(zone), ZoneColours::of(zone), Qt::DashDotLine, QString()};
    }
    const bool bothSides = component() != DisplacementComponent::Magnitude;
    const auto [from, to] = xRange();
    int used = 0;
    for (const Limit &limit : limits) {
        for (int side : {1, -1}) {
            if (side < 0 && !bothSides)
                continue;
            if (used == m_limitLines.size()) {
                auto *line = new QLineSeries;
                m_chart->addSeries(line);
                line->attachAxis(m_axisX);
                line->attachAxis(m_axisY);
                m_limitLines << line;
            }
            QLineSeries *line = m_limitLines.at(used++);
            line->setName(limit.name);
            line->setPen(QPen(limit.colour, 1.5, limit.style));
            line->replace({QPointF(from, side * limit.value), QPointF(to, side * limit.value)});
            showInLegend(m_chart, line, !limit.name.isEmpty() && side > 0);
        }
    }
    for (int i = used; i < m_limitLines.size(); ++i)
        m_limitLines.at(i)->clear();
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
    double x0, x1, y0, y1;
    fullRange(&x0, &x1, &y0, &y1);
    setRanges(x0, x1, y0, y1);
    resample();
}

// ---- the current run -------------------------------------------------------

void TDisplacementChartForm::currentRunStarted()
{
    m_current.clear();
    if (m_runId == 0)
        scheduleRefresh();
}

void TDisplacementChartForm::imageMeasured(const QList<TJournalRow> &rows)
{
    m_current.addRows(rows);
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
    if (!appendValues())
        computeValues();
    if (!m_zoomed) {
        double x0, x1, y0, y1;
        fullRange(&x0, &x1, &y0, &y1);
        setRanges(x0, x1, y0, y1);
    }
    resample();
}

// ---- tool tip --------------------------------------------------------------

QString TDisplacementChartForm::toolTipAt(const QPointF &value) const
{
    if (m_chart->series().isEmpty())
        return {};
    const QPointF mouse = m_chart->mapToPosition(value, nullptr);
    double best = HoverPixels;
    int bestZone = 0;
    int bestIndex = -1;
    const qsizetype at = Downsampling::lowerBound(m_xs, value.x());
    for (auto it = m_drawings.cbegin(); it != m_drawings.cend(); ++it) {
        // The images around the mouse's x; a steep line may pass closer further away.
        for (qsizetype i = std::max<qsizetype>(0, at - 3); i < std::min(m_xs.size(), at + 3); ++i) {
            const double y = it->ys.value(i, std::nan(""));
            if (std::isnan(y))
                continue;
            const QPointF p = m_chart->mapToPosition(QPointF(m_xs.at(i), y), nullptr);
            const double distance = std::hypot(p.x() - mouse.x(), p.y() - mouse.y());
            if (distance < best) {
                best = distance;
                bestZone = it.key();
                bestIndex = int(i);
            }
        }
    }
    if (bestIndex < 0)
        return {};
    return ChartToolTip::text(shownSeries(), bestZone, m_order.at(bestIndex), corrected());
}

void TDisplacementChartForm::showToolTip(const QPointF &value, const QPoint &globalPos)
{
    const QString text = toolTipAt(value);
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(globalPos, text, m_view);
}

// ---- saving ----------------------------------------------------------------

bool TDisplacementChartForm::savePicture(const QString &fileName)
{
    const bool svg = QFileInfo(fileName).suffix().compare(QLatin1String("svg"), Qt::CaseInsensitive) == 0;
    QString error;
    if (!AtomicFile::write(fileName, ChartPicture::render(m_view, windowTitle(), svg), &error)) {
        DialogService::instance().error(this, QStringLiteral("График не сохранен в %1: %2").arg(fileName, error));
        return false;
    }
    return true;
}

// number,image,time and one column per shown zone, the images within the
// shown range at full resolution; "." and four decimals, an empty field
// where an image has no value.
QByteArray TDisplacementChartForm::csv() const
{
    const QList<int> zones = shownZones();
    QStringList header{QStringLiteral("number"), QStringLiteral("image"), QStringLiteral("time")};
    for (int zone : zones)
        header << QStringLiteral("zone%1_%2%3_%4")
                      .arg(zone)
                      .arg(componentName(), corrected() ? QStringLiteral("_corrected") : QString(),
                           m_settings.inMillimetres(zone) ? QStringLiteral("mm") : QStringLiteral("px"));
    QList<QByteArray> lines{header.join(QLatin1Char(',')).toUtf8()};
    const auto [from, to] = xRange();
    const DisplacementSeries &series = shownSeries();
    for (qsizetype i = Downsampling::lowerBound(m_xs, from); i < m_xs.size() && m_xs.at(i) <= to; ++i) {
        const DisplacementSeries::Image &image = series.image(m_order.at(i));
        QStringList fields{QString::number(image.number), QString::fromUtf8(CsvField::encode(image.name)),
                           image.time.toString(Qt::ISODate)};
        for (int zone : zones) {
            const double y = m_drawings.value(zone).ys.value(i, std::nan(""));
            fields << (std::isnan(y) ? QString() : LocaleFormat::formatFixed(y, 4, QLatin1Char('.')));
        }
        lines << fields.join(QLatin1Char(',')).toUtf8();
    }
    return AtomicFile::crlfLines(lines);
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
