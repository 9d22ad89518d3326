#pragma once

#include "ChartErrorBand.h"
#include "ChartValues.h"
#include "DisplacementSeries.h"
#include "JournalSource.h"

#include <QHash>
#include <QMap>
#include <QSet>
#include <QWidget>

#include <memory>

class DisplacementChartView;
class QAbstractAxis;
class QAreaSeries;
class QChart;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineSeries;
class QListWidget;
class QPushButton;
class QScatterSeries;
class QTimer;

// The window "Графики смещений": the displacement of the chosen zones of a run
// against the image time or number, as dx, dy or magnitude, raw or corrected
// by the reference zones, with the warning and alarm limits and, on demand,
// a band of ± the points' uncertainty. The current run
// grows image by image while a watch runs; earlier runs come from the journal.
// Long series are downsampled to what the plot's width can show and sampled
// again from the full data after every zoom or pan.
class TDisplacementChartForm : public QWidget
{
    Q_OBJECT

public:
    explicit TDisplacementChartForm(QWidget *parent = nullptr);
    ~TDisplacementChartForm() override;

    void setSettings(const MonitoringSettings &settings);
    // The journal to list earlier runs from; null: only the current run.
    void setJournal(std::unique_ptr<JournalSource> journal, const QString &problem = QString());
    // Shows a run of the journal, or the current run for 0.
    void showRun(qint64 runId);

    // What is drawn, for the tests and the benchmark.
    const DisplacementSeries &shownSeries() const;
    QList<int> shownZones() const;
    int drawnPointCount() const;
    // The error band's stretches drawn, as (lower, upper) edges.
    QList<ChartErrorBand::Edges> drawnBands(int zone) const { return ChartErrorBand::drawn(m_drawings.value(zone).bands); }
    QChart *chart() const { return m_chart; }
    DisplacementChartView *view() const { return m_view; }
    QAbstractAxis *xAxis() const;
    // The tool tip the mouse would get at a position of the plot (chart values).
    QString toolTipAt(const QPointF &value) const;
    // The title of a saved picture: the run shown, its station and time span.
    QString pictureTitle() const;

    // Saving: PNG or SVG by the name's suffix; CSV of the shown series within
    // the shown range. False (with the reason shown) when the file cannot be written.
    bool savePicture(const QString &fileName);
    bool saveCsv(const QString &fileName);
    QByteArray csv() const;


public Q_SLOTS:
    // Where the zones of the current run stand against their limits: marks
    // in the zone list and the banner above the plot.
    void showLimitLevels(const QMap<int, LimitLevel> &levels);
    // A new run has begun in the window: the current run starts empty.
    void currentRunStarted();
    // The rows of an image just measured in the window (a watch or a run).
    void imageMeasured(const TRecordedImage &image);
    // Back to the whole series.
    void resetZoom();
    void savePictureAs();
    void saveCsvAs();

protected:
    void showEvent(QShowEvent *event) override;

private:
    struct ZoneDrawing
    {
        QList<QLineSeries *> lines;     // one per unbroken stretch
        QScatterSeries *dots = nullptr; // images with no neighbour to join
        QList<QAreaSeries *> bands;     // the error band, one per unbroken stretch
    };

    QWidget *createControls();
    void runChosen();
    void optionsChanged();
    void refill();
    void updateZoneList();
    void fillZoneList(const QList<int> &zones);
    void rebuildAxes();
    ChartValues::View valuesView() const;
    void wholeRange();
    void resample();
    void drawZone(int zone, ZoneDrawing &drawing, int colourIndex);
    void drawBand(int zone, ZoneDrawing &drawing);
    void drawLimits();
    void scheduleRefresh();
    void refreshLive();
    QString unitText() const;
    void showToolTip(const QPointF &value, const QPoint &globalPos);
    DisplacementComponent component() const;
    bool corrected() const;
    DisplacementSeries::XAxis axisKind() const;
    QString componentName() const;

    // The controls; tests reach them by their object names.
    QComboBox *m_runBox = nullptr;
    QComboBox *m_componentBox = nullptr;
    QComboBox *m_axisBox = nullptr;
    QCheckBox *m_correctedBox = nullptr;
    QCheckBox *m_bandBox = nullptr;
    QListWidget *m_zoneList = nullptr;
    QPushButton *m_resetButton = nullptr;
    QPushButton *m_savePictureButton = nullptr;
    QPushButton *m_saveCsvButton = nullptr;
    QLabel *m_infoLabel = nullptr;
    QLabel *m_banner = nullptr;

    QChart *m_chart = nullptr;
    DisplacementChartView *m_view = nullptr;
    QTimer *m_refreshTimer = nullptr;

    MonitoringSettings m_settings;
    std::unique_ptr<JournalSource> m_journal;
    QList<TJournalRun> m_runs;
    DisplacementSeries m_current;
    DisplacementSeries m_run;
    qint64 m_runId = 0;
    bool m_zoomed = false;
    QSet<int> m_hiddenZones;
    QMap<int, LimitLevel> m_levels;

    ChartValues m_values;
    QHash<int, ZoneDrawing> m_drawings;
};
