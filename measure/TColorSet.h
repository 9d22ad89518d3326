#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;
class QSlider;

// The marker colour and size dialog: the passive and the active colour from
// the eighteen named colours, the cross half-length from 8 to 20, and a
// preview cross in the passive colour (the active colour while the left
// button is held on it). Created for one use with the current values; after
// OK the caller reads the three values back.
class TColorSet : public QDialog
{
    Q_OBJECT

public:
    TColorSet(int activeColor, int passiveColor, int size, QWidget *owner = nullptr);

    int activeColor() const { return m_activeColor; }
    int passiveColor() const { return m_passiveColor; }
    // A size outside 8 to 20 given at construction is returned unchanged
    // unless the track bar is moved; the bar itself shows the nearest bound.
    int size() const { return m_size; }
    bool previewActive() const { return m_previewActive; }

    QComboBox *ComboBox1 = nullptr;
    QComboBox *ComboBox2 = nullptr;
    QWidget *PaintBox1 = nullptr;
    QSlider *TrackBar1 = nullptr;
    QPushButton *OkBtn = nullptr;
    QPushButton *CancelBtn = nullptr;

public Q_SLOTS:
    void ComboBox1Change(int index);
    void ComboBox2Change(int index);
    void TrackBar1Change(int position);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *createPreviewPanel();
    QWidget *createSizePanel();
    QWidget *colourPanel(const QString &name, const QString &labelName, const QString &text,
                         QComboBox *list);
    void paintPreview();

    QLabel *m_sizeValue = nullptr;
    int m_activeColor;
    int m_passiveColor;
    int m_size;
    bool m_previewActive = false;
};
