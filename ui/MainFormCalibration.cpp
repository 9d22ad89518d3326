#include "MainFormCalibration.h"

#include "BrowserPanel.h"
#include "DialogService.h"
#include "FileListBox.h"
#include "GuardedCommand.h"
#include "KelvarinError.h"
#include "MainFormCommands.h"
#include "MainFormHost.h"
#include "MainImageView.h"
#include "TIssue.h"
#include "TJournalRecorder.h"
#include "TMainForm.h"
#include "TWaitCursor.h"
#include "ThresholdCalibration.h"
#include "ZoneRefinement.h"

#include <QScopeGuard>

void MainFormCalibration::toggleMode()
{
    // The button toggles itself when clicked; it shows the mode, whatever happens.
    const auto showMode = qScopeGuard([this] { m_form.m_commands->showCalibrationMode(m_form.m_calibrateMode); });
    if (m_form.m_finder.width() == 0 || m_form.m_running)
        return;
    m_form.m_calibrateMode = !m_form.m_calibrateMode;
    m_form.m_dragging = false;
    if (m_form.m_calibrateMode) {
        // New zones are drawn on the bare image.
        m_form.m_finder.zones().clear();
        m_form.m_view->clearOverlay();
        m_form.m_host->EnableCommands(false);
        m_form.m_commands->enableCalibrationCommands();
        m_form.repaint();
    } else {
        // The zones drawn are dropped; the overlay is redrawn whether or not the file was read.
        m_form.m_finder.ReadZoneFile(m_form.m_parameters.ZonesFileName);
        m_form.m_view->drawZoneOverlay();
        m_form.m_host->EnableCommands(true);
        // The request to draw a zone ends with the mode.
        if (m_form.statusText(0) == QStringLiteral(" Укажите зону"))
            m_form.setStatusText(QString());
    }
}

template<typename Command>
void MainFormCalibration::command(Command run)
{
    if (m_form.m_running)
        return;
    m_form.m_running = true;
    m_form.m_host->EnableCommands(false);
    m_form.m_finder.StopRequested = false;
    // The closing steps run as an error unwinds, before guarded shows it.
    guardedCommand(&m_form, [&] {
        const auto closing = qScopeGuard([this] {
            m_form.m_finder.StopRequested = false;
            m_form.m_host->EnableCommands(true);
            m_form.m_calibrateMode = false;
            m_form.m_dragging = false;
            m_form.m_commands->showCalibrationMode(false);
            // Processing without visualisation hides the overlay; the zones are shown again.
            m_form.m_view->setOverlayVisible(true);
            m_form.m_running = false;
        });
        run();
    });
}

// The reference image: the first selected file in list order, if any. The
// busy cursor covers the processing only; the dialogs after it wait for the user.
void MainFormCalibration::processFirstSelected()
{
    const QString reference = m_form.m_browser->fileList()->selectedPaths().value(0);
    if (reference.isEmpty())
        return;
    TWaitCursor wait;
    ZoneRefinement::measure(m_form.m_finder, reference);
}

void MainFormCalibration::calibrateThreshold()
{
    command([this] {
        m_form.setStatusText(QStringLiteral(" Идет калибровка..."));
        m_form.repaint();
        // Without zones there is no threshold to propose: the error ends the command.
        int recommended = 0;
        {
            TWaitCursor wait;
            recommended = ThresholdCalibration::recommend(m_form.m_finder, m_form.m_browser->fileList()->selectedPaths().value(0),
                                                          m_form.m_parameters, m_form.m_journal.get());
        }
        const DialogService::Button answer = DialogService::instance().message(
            &m_form, QStringLiteral("Калибровка порога яркости"),
            QStringLiteral("Рекомендуемый порог яркости:  ") + QString::number(recommended),
            DialogService::Ok | DialogService::Cancel, DialogService::Icon::None);
        if (answer != DialogService::Ok) {
            m_form.setStatusText(QStringLiteral(" Калибровка прервана."));
            return;
        }
        m_form.m_parameters.AverageYPorog = recommended;
        WriteParameters(m_form.m_settingsFileName, m_form.m_parameters, *m_form.m_host);
        m_form.repaint();
        m_form.setStatusText(QStringLiteral(" Калибровка произведена."));
    });
}

void MainFormCalibration::refineZones()
{
    command([this] {
        m_form.setStatusText(QStringLiteral(" Идет калибровка..."));
        m_form.repaint();
        processFirstSelected();
        saveRefinedZones();
        // Also after a cancelled or failed save: the settings hold the zone file in force.
        WriteParameters(m_form.m_settingsFileName, m_form.m_parameters, *m_form.m_host);
        m_form.repaint();
        m_form.setStatusText(QStringLiteral(" Калибровка произведена."));
    });
}

// Inside the calibration mode the zones go to a new file chosen by the user,
// outside it they replace the zone file in force.
void MainFormCalibration::saveRefinedZones()
{
    const QString target = m_form.m_calibrateMode
        ? DialogService::instance().saveFileName(&m_form, QStringLiteral("Сохранить как"), m_form.m_saveDirectory, QString(),
                                                 QStringLiteral("Файлы зон|*.zon|Все файлы|*.*"),
                                                 QStringLiteral("zon"))
        : m_form.m_parameters.ZonesFileName;
    if (target.isEmpty())
        return;
    try {
        if (ZoneRefinement::save(m_form.m_finder, m_form.m_parameters, target))
            m_form.m_view->drawZoneOverlay();
    } catch (const KelvarinError &) {
        m_form.m_host->report(TIssue::settingsError(QStringLiteral("Ошибка"), QStringLiteral("Ошибка сохранения файла зон!")));
    }
}
