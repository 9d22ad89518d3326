#include "AtomicFile.h"

#include "KelvarinError.h"

#include <QDir>
#include <QSaveFile>

bool AtomicFile::write(const QString &path, const QByteArray &bytes, QString *errorText)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    if (errorText)
        *errorText = file.errorString();
    return false;
}

void AtomicFile::writeOrThrow(const QString &path, const QByteArray &bytes)
{
    QString reason;
    if (!write(path, bytes, &reason)) {
        throw KelvarinError(QStringLiteral("Не удается создать файл %1. %2")
                                .arg(QDir::toNativeSeparators(path), reason));
    }
}

QByteArray AtomicFile::crlfLines(const QList<QByteArray> &lines)
{
    QByteArray bytes;
    for (const QByteArray &line : lines) {
        bytes += line;
        bytes += "\r\n";
    }
    return bytes;
}
