#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The command line of the desktop program. `kelvarin2 FILE` opens the table
// editor on FILE instead of the main window. The mode follows the file's
// kind: ".zon" zones (11), ".lst" point list (4), ".cam" camera (5), ".ort"
// orientation (7), ".crd" image points (2) or, when its lines hold tabs, the
// program's results (12); "--mode N" names any of the twelve modes. --help, --version and the manual page are answered without
// a window. The help and the manual page come from the option table that
// the parser reads.
class EditorFileArguments
{
public:
    enum class Shown { None, Help, Version, Manual };

    struct Request final
    {
        QString file;
        int mode = 0;
        Shown shown = Shown::None; // set: print it and end, mode stays 0
    };

    // The request of these arguments (the program's name left out):
    // nothing when there are no arguments at all (the main window starts).
    // A request with mode 0 and nothing to show is a usage error, described
    // in `error`.
    static std::optional<Request> parse(const QStringList &arguments, QString *error);

    // The mode a file's extension gives (case does not matter), 0 for none.
    static int modeForFile(const QString &path);
    // Whether a ".crd" file is one of the program's result files.
    static bool isResultFile(const QString &path);

    static QString usage();
    // The manual page kelvarin2(1).
    static QString manPage();
};
