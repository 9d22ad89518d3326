#include "AwaitingDisposal.h"

#include "AtomicFile.h"
#include "RegularFile.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

AwaitingDisposal::Image AwaitingDisposal::lookAt(const QString &path, const QString &copiedTo)
{
    Image image;
    image.path = path;
    image.copiedTo = copiedTo;
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) == 0) {
        image.size = qint64(st.st_size);
        image.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    }
    return image;
}

bool AwaitingDisposal::unchanged(const Image &image)
{
    const Image now = lookAt(image.path);
    return now.size >= 0 && now.size == image.size && now.modifiedNs == image.modifiedNs;
}

QList<AwaitingDisposal::Image> AwaitingDisposal::read(const QString &workDir)
{
    QByteArray bytes;
    QString reason;
    QList<Image> images;
    if (RegularFile::read(QDir(workDir).filePath(fileName()), &bytes, &reason) != RegularFile::Status::Ok)
        return images;
    for (const QByteArray &line : bytes.split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() != 4)
            continue;
        Image image;
        bool sizeRead = false, timeRead = false;
        image.size = fields.at(0).toLongLong(&sizeRead);
        image.modifiedNs = fields.at(1).toLongLong(&timeRead);
        image.copiedTo = QString::fromUtf8(fields.at(2));
        image.path = QString::fromUtf8(fields.at(3));
        if (sizeRead && timeRead && !image.path.isEmpty())
            images << image;
    }
    return images;
}

bool AwaitingDisposal::write(const QString &workDir, const QList<Image> &images, QString *reason)
{
    const QString path = QDir(workDir).filePath(fileName());
    if (images.isEmpty())
        return !QFile::exists(path) || QFile::remove(path);
    QByteArray bytes;
    for (const Image &image : images) {
        bytes += QByteArray::number(image.size) + '\t' + QByteArray::number(image.modifiedNs) + '\t'
               + image.copiedTo.toUtf8() + '\t' + image.path.toUtf8() + '\n';
    }
    return AtomicFile::write(path, bytes, reason);
}
