#include "MainFormHost.h"

#include "BrowserPanel.h"
#include "DialogService.h"
#include "MainFormCommands.h"
#include "MainImageView.h"
#include "TIssue.h"
#include "TJournalRecorder.h"
#include "TMainForm.h"
#include "TStartControl.h"
#include "MainStatusBar.h"

#include <QCoreApplication>
#include <QFileInfo>

void MainFormHost::ShowImage(bool show)
{
    // A newly loaded image ends any hand-off made for the previous one.
    m_form.m_handOffFileName.clear();
    m_form.m_view->showImage(show);
}

void MainFormHost::HideOverlay()
{
    m_form.m_view->setOverlayVisible(false);
}

void MainFormHost::ShowOverlay()
{
    m_form.m_view->setOverlayVisible(true);
    // The run is over: its last image, if shown in part, is shown whole.
    m_form.m_view->completeRunImage();
}

void MainFormHost::ShowMeasuredImage(const QString &path)
{
    m_form.m_view->showMeasuredImage(path);
}

void MainFormHost::ShowMask()
{
    m_form.m_view->showMask();
}

bool MainFormHost::ConfirmStep(const QString &text)
{
    return DialogService::instance().message(&m_form, QStringLiteral("Сообщение"), text,
                                             DialogService::Ok | DialogService::Cancel,
                                             DialogService::Icon::None)
        == DialogService::Ok;
}

void MainFormHost::ShowNotice(const QString &text)
{
    DialogService::instance().notice(&m_form, text);
}

void MainFormHost::MarkPoint(int x, int y)
{
    m_form.m_view->markPoint(x, y);
}

void MainFormHost::EndImage()
{
    m_form.m_view->endImage();
}

void MainFormHost::DrawZoneOverlay()
{
    m_form.m_view->drawZoneOverlay();
}

void MainFormHost::SetStatusText(const QString &text)
{
    if (!m_form.m_watchSummary.isEmpty()) {
        m_form.setStatusText(text + QLatin1Char(' ') + m_form.m_watchSummary);
        m_form.m_watchSummary.clear();
        return;
    }
    m_form.setStatusText(text);
    // A watch ends every tick with its status text: the file list then shows
    // the buffer directory as it is now.
    if (m_form.m_startControl && m_form.m_startControl->startStyle() == 2)
        m_form.m_browser->refreshFileList();
}

void MainFormHost::EnableCommands(bool on)
{
    m_form.m_commandsEnabled = on;
    m_form.m_browser->enableLists(on);
    m_form.m_commands->setEnabled(on);
    m_form.m_status->enableResume(on);
}

void MainFormHost::ProcessEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void MainFormHost::ImageProcessed(const QString &path, int index)
{
    Q_EMIT m_form.imageProcessed(path, index);
}

void MainFormHost::report(const TIssue &issue)
{
    // The measurement journal keeps the run's events too.
    m_form.m_journal->report(issue);
    logIssue(issue);
    // A watch's notices and limit crossings go to the status line, never to a box that would wait.
    if (issue.source == TIssue::Source::Watch || issue.source == TIssue::Source::Monitoring)
        m_form.setStatusText(QLatin1Char(' ') + issue.text);
    else if (!issue.caption.isEmpty())
        DialogService::instance().message(&m_form, issue.caption, issue.text, DialogService::Ok,
                                          DialogService::Icon::None);
    else
        DialogService::instance().error(&m_form, issue.text);
}

// The event log of the working directory and the warning sign.
void MainFormHost::logIssue(const TIssue &issue)
{
    const QString &workDir = m_form.m_parameters.WorkDir;
    m_events.setDirectory(QFileInfo(workDir).isDir() ? workDir : QString());
    m_events.report(issue);
    m_form.m_status->noteIssue(issue, m_events.path());
}

void MainFormHost::BeginBusy()
{
    m_busy.emplace();
}

void MainFormHost::EndBusy()
{
    m_busy.reset();
}

void MainFormHost::EnableFileLists(bool on)
{
    // The drive box stays usable; while a watch runs it does not move the
    // lists away from the buffer directory (see TMainForm::changeDrive).
    m_form.m_browser->enableLists(on);
}

void MainFormHost::ShowDirectory(const QString &directory)
{
    m_form.m_browser->setDirectory(directory);
}

void MainFormHost::StartScheduledRun()
{
    m_form.startProcessing();
}
