#pragma once

#include "BmpWriter.h"
#include "TestSupport.h"

#include <QDir>
#include <QPoint>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

// A station for the tool's watch: buffer and working directories, a settings
// file and a zone file with two zones, the left and right half of the images.
struct WatchStation
{
    static constexpr int Width = 40;
    static constexpr int Height = 32;

    QTemporaryDir dir;
    QString buffer = dir.filePath(QStringLiteral("buffer"));
    QString work = dir.filePath(QStringLiteral("work"));
    QString settings = dir.filePath(QStringLiteral("settings.ini"));
    QString zones = dir.filePath(QStringLiteral("z.zon"));

    explicit WatchStation(const QByteArray &archiving = QByteArray())
    {
        QDir().mkpath(buffer);
        QDir().mkpath(work);
        TestSupport::writeFile(zones, "0;0;19;31\r\n20;0;39;31\r\n");
        TestSupport::writeFile(settings, "[Parameters]\r\nWorkDir=" + work.toUtf8() + "\r\nZonesFileName="
                                             + zones.toUtf8() + "\r\nMinSCount=0\r\nMaxSCount=100\r\n"
                                             + "AverageYPorog=50\r\nNeedVisualization=0\r\n" + archiving);
    }

    static QString tool() { return QStringLiteral(KELVARIN_BINARY_DIR "/kelvarin2-cli"); }

    // Runs the tool to its end; its exit code, or -1 when it crashed or hung.
    static int run(const QStringList &arguments, QByteArray *out, QByteArray *err)
    {
        QProcess process;
        process.start(tool(), arguments);
        if (!process.waitForFinished(60000))
            return -1;
        *out = process.readAllStandardOutput();
        *err = process.readAllStandardError();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    static bool haveZip()
    {
        return !QStandardPaths::findExecutable(QStringLiteral("zip")).isEmpty()
            && !QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty();
    }

    // An 8-bit image with a 3 x 3 spot of 200 at (x, y) in the left half and
    // the same spot 20 columns to the right.
    static QByteArray image(int x, int y)
    {
        BmpWriter::Image image;
        image.width = Width;
        image.height = Height;
        image.bitsPerPixel = 8;
        image.pixels = QList<quint32>(Width * Height, 5);
        for (int dy = 0; dy < 3; ++dy) {
            for (int dx = 0; dx < 3; ++dx) {
                image.pixels[(y + dy) * Width + x + dx] = 200;
                image.pixels[(y + dy) * Width + x + dx + 20] = 200;
            }
        }
        for (quint32 g = 0; g < 256; ++g)
            image.palette << (g << 16 | g << 8 | g);
        return BmpWriter::encode(image);
    }

    // The result set of the first watch in the working directory.
    QString base() const { return QDir(work).filePath(QStringLiteral("work_0001")); }
    QList<QByteArray> crdLines(int zone) const
    {
        const QByteArray bytes = TestSupport::readFile(base() + QLatin1Char('_') + QString::number(zone)
                                                       + QStringLiteral(".crd"));
        QList<QByteArray> lines = bytes.split('\n');
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }
    QStringList bufferFiles() const { return QDir(buffer).entryList(QDir::Files); }

    static QStringList archiveEntries(const QString &archive)
    {
        QProcess unzip;
        unzip.start(QStringLiteral("unzip"), {QStringLiteral("-Z1"), archive});
        unzip.waitForFinished();
        return QString::fromLocal8Bit(unzip.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
};
