#include "LoaderLogging.h"

#include <QLibrary>
#include <QPluginLoader>

#include <mutex>

void LoaderLogging::registerCategories()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // No process has such an entry under its own /proc directory, so
        // neither probe touches the disk beyond a failed look-up.
        const QString nowhere = QStringLiteral("/proc/self/kelvarin2-no-such-library");
        QLibrary library(nowhere);
        library.load();
        QPluginLoader plugin(nowhere);
        plugin.load();
    });
}
