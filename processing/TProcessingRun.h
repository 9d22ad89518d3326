#pragma once

#include "TDateTime.h"

#include <QString>
#include <QStringList>

struct TParameters;
class TMeasurementRecorder;
struct TRecordedImage;
class TPointFinder;
class TRunHost;
class WorkDirLock;

// A run over chosen images: detection on each in the given order, then the
// result set saved under the next free base name when automatic saving is on.
// The same run serves the main window's "Найти координаты", the scheduled
// start and the headless tool.
class TProcessingRun
{
public:
    struct Outcome
    {
        bool ran = false;       // false when the zone file could not be read
        bool stopped = false;   // the user stopped it
        int imagesProcessed = 0;
        int imagesGiven = 0;    // the images the run was asked to process
        QString resultsBase;    // where the results went; empty when not saved
        QString imageError;     // the error that ended the loop, if any
        QString failedImage;    // the image it concerns
        QString saveError;      // the error that stopped the saving, if any
        QString refusal;        // why the run did not start (its working directory is held), if so
    };

    TProcessingRun(TPointFinder &finder, const TParameters &params, TRunHost &host, TRunTimes &times);

    // The base name to save under instead of the next free one in WorkDir.
    void setResultsBase(const QString &base) { m_fixedBase = base; }
    // Images measured at once (the headless tool's --jobs); 1, the default,
    // measures them one after the other. Step-by-step runs always take one.
    void setJobs(int jobs) { m_jobs = jobs; }

    // Where every image's measurements go as well (the journal), and the kind
    // of run it records ("manual", "scheduled", "cli"); none by default.
    void setRecorder(TMeasurementRecorder *recorder, const QString &kind)
    {
        m_recorder = recorder;
        m_kind = kind;
    }

    // Runs over the images. A run that saves into the working directory holds
    // it (WorkDirLock) from start to end and does not start while another
    // run or watch holds it: `refusal` says who, reported as an error.
    Outcome Run(const QStringList &imagePaths);

private:
    void processImages(const QStringList &imagePaths, Outcome &outcome);
    void processInParallel(const QStringList &imagePaths, Outcome &outcome);
    void recordImage(TRecordedImage &image);
    void finish(Outcome &outcome);
    QString finalStatus(const Outcome &outcome) const;
    bool takeWorkDir(WorkDirLock &lock, Outcome &outcome);

    TPointFinder &m_finder;
    const TParameters &m_params;
    TRunHost &m_host;
    TRunTimes &m_times;
    QString m_fixedBase;
    TMeasurementRecorder *m_recorder = nullptr;
    QString m_kind;
    int m_jobs = 1;
};
