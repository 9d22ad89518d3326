#pragma once

#include <QString>

#include <functional>

class TIssueSink;

// The nineteen settings of section "Parameters" of "Kelvarin2.ini", one field
// per key, initialised with their defaults. The start directory defaults
// (`WorkDir`, `ZonesFileName`) are filled in by ReadParameters.
struct TParameters
{
    int StartStyle = 3;          // 1 timer, 2 new files in the buffer directory, 3 manual
    double Koeff_A = 0;          // threshold T = A * M^n + B * M + C
    double Koeff_n = 0;
    double Koeff_B = 0.75;
    double Koeff_C = 0;
    bool Steps = false;          // stop after every zone with its mask and figures
    QString WorkDir;
    QString BufferDir;
    QString ZonesFileName;
    bool BMPInputFormat = true;  // only read and written back
    double AverageYPorog = 200;  // a spot's mean must exceed it
    int MaxSCount = 3000;        // a spot's area must stay below it
    int MinSCount = 1000;        // and exceed this
    double StartDate = 0;        // days since 30 December 1899
    bool NeedVisualization = true;
    bool ResAutoSave = true;
    double GlobalAverageYPercent = 0.75;
    bool SaveToOneZip = false;
    bool SaveToManyZip = false;

    // --- Keys added after the original nineteen, each block written after them.

    // The measurement journal, the first block: a file (SQLite) or a
    // postgresql:// address; both empty = "kelvarin2-journal.sqlite" in WorkDir.
    QString JournalFile;
    QString JournalUrl;

    // The spot's centre: weights of its pixels.
    enum CentroidWeightings { WeightByBrightness = 0, WeightAboveThreshold = 1 };
    int CentroidWeighting = WeightByBrightness; // 0 brightness b, 1 brightness above the threshold b - T

    // The spot's centre, further: the threshold over the background B0 (the
    // median of the zone's border), T = B0 + A (M - B0)^n + B (M - B0) + C;
    // only one 8-connected spot (the one with the most light above T); and a centre
    // refined in a Gaussian window on the brightness above B0.
    bool SpotBackground = false;
    bool ConnectedSpot = false;
    bool CentroidWindow = false;
    // The station that measures, as the journal tells stations apart; empty:
    // the computer's host name (so one settings file serves any computer).
    QString Station;
    // Station, or the host name when it is empty.
    QString stationName() const;

    // Every field zero, false or empty: what a field holds when its reading step fails.
    static TParameters zeroed();

    bool operator==(const TParameters &) const = default;
};

// What reading the settings does beyond filling the record.
struct TParametersActions
{
    QString startDirectory;                                  // default WorkDir and zone file place
    std::function<void(const QString &)> applyWorkDir;      // throws KelvarinError when it cannot be entered
    std::function<void(const QString &)> loadZones;         // reads the zone file, reports its own errors
};

// Reads every setting from `fileName` in the reader's order, running the actions
// of the working directory and zone file steps. A step that fails reports its
// own message (caption "Ошибка") and reading goes on; a missing or unreadable
// value gives the default, a step that did not complete leaves its fields zero.
// A real number that is neither "." nor "," notation fails its step with a
// message naming the file, the line and the key; false when one did.
bool ReadParameters(const QString &fileName, TParameters &params,
                    const TParametersActions &actions, TIssueSink &reporter);

// Writes all keys in the writer's order (the nineteen, then the added ones):
// the file is read once, the keys changed in place and the file replaced once,
// atomically. A value that cannot be stored (a line break) or a file that
// cannot be read or written leaves the file as it was and reports "Ошибка
// записи ini-файла!".
bool WriteParameters(const QString &fileName, const TParameters &params, TIssueSink &reporter);

// The section name of the settings file.
inline constexpr char ParametersSection[] = "Parameters";
