#pragma once

#include <QComboBox>
#include <QHash>

// The drive box of the main window's file browser and of the directory
// chooser: the mounted volumes by their mount points. It follows the
// directory list, and remembers the last directory the list showed on every
// volume, so that choosing a volume returns there.
class DriveComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit DriveComboBox(QWidget *parent = nullptr);

    // Reads the mounted volumes anew.
    void fillVolumes();
    // Selects the volume holding `directory` and remembers the directory for it.
    void follow(const QString &directory);
    // Where the directory list goes when the volume at `index` is chosen.
    QString directoryFor(int index) const;

private:
    QHash<QString, QString> m_lastDirectory;
};
