#pragma once

#include <QDate>
#include <QString>
#include <QTime>

#include <functional>

struct TParameters;

// What the settings dialog shows, control by control: the texts of its edits
// (numbers in the locale's notation), the marks of its check boxes and radio
// buttons, and the date and the time to the minute of the scheduled start.
// Filling the dialog and taking its values over are done here, without
// widgets, so that the order of the conversions and their failures are tested
// directly.
class PropertysValues final
{
public:
    // The first five groups of taking over, in their order; a value that
    // cannot be converted (or a working directory that cannot be entered)
    // ends taking over in its group.
    // AreaOrder: both areas are numbers, but no spot can lie between them.
    enum Group { AllTakenOver = 0, Paths = 1, KoeffB = 2, KoeffC = 3, Brightness = 4, Areas = 5, AreaOrder = 6 };

    bool steps = false;
    bool visualization = true;
    bool autoSave = true;
    QString koeffB;
    QString koeffC;
    QString workDir;
    QString zonesFile;
    int startStyle = 3;
    QDate date;
    QTime time;
    QString bufferDir;
    bool oneZip = false;
    bool manyZip = false;
    QString minS;
    QString maxS;
    QString percent; // GlobalAverageYPercent x 100
    QString porog;
    // The measurement journal: a file and a PostgreSQL address, empty = the default.
    QString journalFile;
    QString journalUrl;
    int centroidWeighting = 0; // TParameters::CentroidWeighting
    // The spot centre's further options: SpotBackground, ConnectedSpot, CentroidWindow.
    struct SpotCentre
    {
        bool background = false;
        bool connected = false;
        bool window = false;
        bool operator==(const SpotCentre &) const = default;
    };
    SpotCentre spotCentre;

    bool operator==(const PropertysValues &) const = default;

    // The values of the settings as the dialog shows them. The archive marks
    // are given as stored; the dialog's check boxes exclude each other.
    static PropertysValues fromSettings(const TParameters &params);

    // Takes these values over into `params` in the dialog's order: the mode,
    // the zone file and the working directory (entered with `applyWorkDir`,
    // which throws KelvarinError when it cannot), then Koeff_B, Koeff_C, the
    // brightness threshold and its percentage, the areas, the check boxes, the
    // start date and the buffer directory. The start style is not taken here.
    //
    // Returns the group whose value failed, its settings and all later ones
    // left as they were, or AllTakenOver. `shown` holds the values the dialog
    // was filled with: a number or date left as shown keeps its setting
    // exactly, since a text of 15 digits, a percentage or a time to the minute
    // would not give back every stored value bit for bit.
    Group takeOver(const PropertysValues &shown, TParameters &params,
                   const std::function<void(const QString &)> &applyWorkDir) const;

    // The start date from the date and time fields: whole days of the date
    // plus the time of day. A time left as shown keeps the stored seconds.
    // With no date stored (0), the fields show today; the timer then takes
    // what they show, any other start style keeps 0.
    double startDate(const PropertysValues &shown, double stored) const;

    // Whether two directory texts name the same directory (a trailing
    // separator, "." or ".." parts, or a link do not make them differ).
    static bool sameDirectory(const QString &a, const QString &b);
};
