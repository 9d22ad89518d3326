#pragma once

// A main window on a scratch directory, for the widget tests of the commands
// that work around it: a working directory with images, a zone file, the
// settings file in a private configuration directory, and the scripted
// dialogs that answer every message box.

#include "BmpWriter.h"
#include "FileListBox.h"
#include "MainFormControls.h"
#include "PictureBox.h"
#include "ScriptedDialogs.h"
#include "SettingsLocation.h"
#include "TMainForm.h"
#include "TIssue.h"
#include "TParameters.h"
#include "TestSupport.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

struct QuietReporter : TIssueSink
{
    QStringList messages;
    void report(const TIssue &issue) override { messages << issue.text; }
};

class MainFormSetup
{
public:
    static constexpr int ImageWidth = 160;
    static constexpr int ImageHeight = 120;

    MainFormSetup()
    {
        QDir::setCurrent(root.path());
        work = root.path() + QLatin1String("/work");
        QDir().mkpath(work);
        zones = root.path() + QLatin1String("/zones.zon");
        TestSupport::writeFile(zones, "20;20;60;60\r\n90;30;140;80;115;55\r\n");
        for (int i = 0; i < 3; ++i)
            sceneImage(i).save(imagePath(i), "BMP");
        params.WorkDir = work;
        params.ZonesFileName = zones;
        params.MinSCount = 20;
        params.MaxSCount = 500;
        writeSettings();
    }
    ~MainFormSetup()
    {
        form.reset();
        QDir::setCurrent(QDir::tempPath());
    }

    // A dark image with a bright disc of radius 5 (81 pixels) in each zone of
    // the zone file, at (40 + index, 40) and (115, 52 + index).
    static QImage sceneImage(int index)
    {
        QImage image(ImageWidth, ImageHeight, QImage::Format_RGB32);
        image.fill(qRgb(20, 20, 20));
        disc(image, QPoint(40 + index, 40), 250);
        disc(image, QPoint(115, 52 + index), 250);
        return image;
    }
    static void disc(QImage &image, QPoint centre, int grey)
    {
        for (int y = -5; y <= 5; ++y) {
            for (int x = -5; x <= 5; ++x) {
                if (x * x + y * y <= 25)
                    image.setPixel(centre + QPoint(x, y), qRgb(grey, grey, grey));
            }
        }
    }

    // An 8-bit image with a grey palette, whose brightness is the palette
    // index: discs of the given indices at (40, 40) and (115, 52) on 10.
    static QByteArray indexedImage(int first, int second)
    {
        BmpWriter::Image image;
        image.width = ImageWidth;
        image.height = ImageHeight;
        image.bitsPerPixel = 8;
        image.pixels = QList<quint32>(ImageWidth * ImageHeight, 10);
        for (int y = -5; y <= 5; ++y) {
            for (int x = -5; x <= 5; ++x) {
                if (x * x + y * y > 25)
                    continue;
                image.pixels[(40 + y) * ImageWidth + 40 + x] = quint32(first);
                image.pixels[(52 + y) * ImageWidth + 115 + x] = quint32(second);
            }
        }
        for (quint32 g = 0; g < 256; ++g)
            image.palette << (g << 16 | g << 8 | g);
        return BmpWriter::encode(image);
    }

    QString imagePath(int index) const { return work + QStringLiteral("/img_%1.bmp").arg(index); }
    QString settingsFile() const { return SettingsLocation::filePath(QStringLiteral("Kelvarin2.ini")); }
    QByteArray settingsBytes() const { return TestSupport::readFile(settingsFile()); }

    // The settings as the file holds them now.
    TParameters storedSettings() const
    {
        TParameters stored;
        TParametersActions actions;
        actions.applyWorkDir = [](const QString &) {};
        actions.loadZones = [](const QString &) {};
        QuietReporter reporter;
        ReadParameters(settingsFile(), stored, actions, reporter);
        return stored;
    }

    void writeSettings()
    {
        QFile::remove(settingsFile());
        QuietReporter reporter;
        WriteParameters(settingsFile(), params, reporter);
    }

    TMainForm *openForm()
    {
        form = std::make_unique<TMainForm>();
        form->show();
        if (!QTest::qWaitForWindowExposed(form.get()))
            return nullptr;
        form->endSplash();
        return form.get();
    }

    void select(const QList<int> &rows)
    {
        listFiles(*form)->clearSelection();
        for (int row : rows)
            listFiles(*form)->item(row)->setSelected(true);
    }

    QRgb overlayPixel(int x, int y) const { return overlayImage(*form)->picture().pixel(x, y); }

    QTemporaryDir root;
    QString work;
    QString zones;
    TParameters params;
    ScriptedDialogs dialogs;
    std::unique_ptr<TMainForm> form;
};
