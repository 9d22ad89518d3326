#include "ResultSetWriter.h"

#include "AtomicFile.h"
#include "ResultFiles.h"

void ResultSetWriter::write(const QList<TZoneInfo> &zones, const QString &base, const TRunTimes &times)
{
    QList<std::pair<QString, QByteArray>> files;
    for (qsizetype k = 0; k < zones.size(); ++k)
        files.append({ResultFiles::coordinateFilePath(base, int(k + 1)), ResultFiles::coordinateFileBytes(zones.at(k))});
    files.append({ResultFiles::logFilePath(base), ResultFiles::logBytes(ResultFiles::fileCount(zones), times)});
    AtomicFile::writeSetOrThrow(files);
}
