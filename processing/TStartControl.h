#pragma once

#include "AwaitingDisposal.h"
#include "BufferWatcher.h"
#include "ImageDisposal.h"
#include "TDateTime.h"
#include "TIssue.h"
#include "TMeasurementRecorder.h"
#include "WorkDirLock.h"
#include "ZipArchiver.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

struct TParameters;
class TPointFinder;
class TRunHost;
class TStartHost;

// The three ways processing starts and the 100 ms timer behind styles 1 and 2:
// 1 runs once over the chosen directory at the set date and time, 2 watches
// the buffer directory and handles every new image as it arrives, 3 is the
// manual start. The main window and the headless tool's `watch` both drive
// their watch through this one class.
//
// A watched image goes, one per tick, through detection (BufferWatcher picks
// it) and is then archived or moved (ImageDisposal). The result set is
// rewritten after every image under the base name fixed when the watch began.
// An image that cannot be read or decoded is moved, after its attempts, into
// the subdirectory "Отложенные" of the buffer directory (never deleted, never
// overwriting); an image that was processed but could not be archived or moved
// keeps its points and stays in the buffer for another try at that alone.
class TStartControl : public QObject
{
    Q_OBJECT

public:
    // What became of one image given to HandleNewFile.
    enum class Disposal {
        Archived,  // packed by the archiver, gone from the buffer
        Moved,     // copied into the working directory and deleted from the buffer
        SetAside,  // moved into "Отложенные"
        Retry,     // left in the buffer for another attempt; its points were taken back
        Skipped,   // could not even be set aside; left in place and passed over from now on
        Pending    // processed, points kept; archiving or moving is tried again later
    };

    static constexpr int TimerInterval = 100;            // ms
    // Less than two seconds, in days: the scheduled start's window on either side.
    static constexpr double ScheduleWindow = 0.000023148;
    static constexpr int DefaultArchiverTimeout = ZipArchiver::DefaultTimeout; // ms
    static constexpr int MaxAttempts = BufferWatcher::MaxAttempts;

    TStartControl(TPointFinder &finder, TParameters &params, TRunTimes &times, TRunHost &runHost,
                  TStartHost &startHost, QObject *parent = nullptr);

    // Switches to a style (any value but 1 and 2 is the manual style 3) and
    // makes it the stored StartStyle: the user's choice in the settings.
    // Style 2 throws KelvarinError, changing nothing, when the buffer directory
    // does not exist or is the working directory, or when another run or
    // watch holds the working directory (WorkDirLock); the watch holds it
    // until it ends.
    void SetStartStyle(int style);

    // The start-up variant: switches to the stored StartStyle; when that is
    // impossible (style 2 without its buffer directory) it puts the manual
    // style in force instead, the reason into the status line, and returns
    // false. StartStyle keeps the stored style: the style is suspended.
    bool StartStoredStyle();

    // A stop (the stop button, Esc) or the start-up fallback put the manual
    // style in force while the stored style is the timer or the watch.
    bool suspended() const;
    // Switches back to the stored style when suspended; false when it was not.
    // Throws KelvarinError as SetStartStyle does.
    bool resume();

    // One tick of the timer; public so that tests can tick without waiting.
    void TimerTimer();

    // Processes one image of the buffer directory and disposes of it.
    Disposal HandleNewFile(const QString &path);

    int startStyle() const { return m_style; }
    const QString &ResultsBase() const { return m_resultsBase; }
    bool timerActive() const { return m_timer.isActive(); }
    // Whether the latest writing of the watch's result set succeeded (true before any).
    bool resultsWritten() const { return m_resultsWritten; }
    // Whether the last watch ended without any image processed (and so wrote no result set).
    bool endedWithNothingProcessed() const { return m_nothingProcessed; }
    // True while an archiver started by HandleNewFile runs.
    bool waitingForArchiver() const { return m_zip.waiting(); }
    // Images moved into "Отложенные" by this watch.
    int imagesSetAside() const { return m_imagesSetAside; }
    // Images processed but still waiting for archiving or moving.
    int imagesAwaitingDisposal() const { return m_watcher.pendingCount(); }
    // The notices shown before the waiting text: a failure to write the
    // results (until a later writing succeeds) and the last problem with an
    // image (until an image is handled without one). Empty when all went well.
    QString notice() const;

    // The archiver program, found on the PATH; "zip" unless a test says otherwise.
    void setArchiver(const QString &program) { m_zip.setProgram(program); }
    void setArchiverTimeout(int milliseconds) { m_zip.setTimeout(milliseconds); }
    // Ticks a complete image may stay unopenable for reading and writing (read-only) before it is set aside.
    void setNotOpenableTicks(int ticks) { m_watcher.setNotOpenableLooks(ticks); }
    // Where every handled image goes as well (the journal); a watch is one run.
    void setRecorder(TMeasurementRecorder *recorder) { m_recorder = recorder; }

    static QString setAsideDirectoryName() { return BufferWatcher::setAsideDirectoryName(); }

Q_SIGNALS:
    // Emitted after every SetStartStyle with the style now in force.
    void startStyleChanged(int style);

private:
    void switchTo(int style, int stored);
    void checkBufferDirectory() const;
    void takeWorkDir();
    void takeOverAwaiting();
    void rememberAwaiting();
    void scheduleTick();
    void watchTick();
    void lookAtBuffer();
    void tellOfBuffer(const BufferWatcher::Next &next);
    void endWatch();
    bool saveResults();

    Disposal processAndDispose(const QString &path);
    void record(Disposal disposal);
    void recordLaterFate(Disposal disposal);
    Disposal dispose(const QString &path);
    Disposal disposeOnly(const BufferWatcher::Next &next);
    Disposal disposalOutcome(const QString &path, const ImageDisposal::Result &result);
    Disposal failedAttempt(const QString &path, const QString &reason, const QList<qsizetype> &pointsBefore);
    Disposal setAside(const QString &path, const QString &reason);
    static qint64 nowMs();

    QList<qsizetype> pointCounts() const;
    void takeBackPoints(const QList<qsizetype> &counts);
    void setNotice(QString *slot, const QString &text, const QString &file,
                   TIssue::Severity severity = TIssue::Severity::Warning);
    QString waitingText() const;

    TPointFinder &m_finder;
    TParameters &m_params;
    TRunTimes &m_times;
    TRunHost &m_runHost;
    TStartHost &m_startHost;

    QTimer m_timer;
    int m_style = 3;
    int m_imagesSetAside = 0;
    QString m_resultsBase;
    bool m_scheduledRunStarted = false;

    ZipArchiver m_zip;
    BufferWatcher m_watcher;
    ImageDisposal m_disposal{m_zip};
    int m_imagesHandled = 0;
    QString m_saveFailure;
    QString m_imageNotice;
    // Images passed over because they keep growing, with what was said of each;
    // said until the image is taken or gone.
    QMap<QString, QString> m_growingNotices;
    bool m_resultsWritten = true;

    TMeasurementRecorder *m_recorder = nullptr;
    TRecordedImage m_record;  // the image in hand, as the recorder will get it
    // Images processed and left in the buffer for another try at their
    // disposal: the name in the buffer now, and the path they were recorded under.
    QHash<QString, QString> m_recordedAs;
    bool m_nothingProcessed = false;
    std::unique_ptr<WorkDirLock> m_lock;  // held while a watch runs
    bool m_workDirRefused = false;        // the last SetStartStyle(2) found the directory held
    // Images awaiting disposal as last written to the working directory, and
    // those listed there for other buffer directories (kept as they are).
    QList<AwaitingDisposal::Image> m_awaitingWritten;
    QList<AwaitingDisposal::Image> m_awaitingElsewhere;
};
