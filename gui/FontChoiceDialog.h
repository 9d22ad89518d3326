#pragma once

#include <QDialog>
#include <QFont>

class QCheckBox;
class QFontComboBox;
class QLabel;
class QSpinBox;

// A font dialog that offers what the program uses: the name, the size, bold
// and italic, with a sample. It opens on the font given; when that family is
// not installed it shows the nearest one installed, with the size and bold
// kept. OK without a change gives back the font it was opened on, untouched
// (also its family name when that is not installed here).
class FontChoiceDialog : public QDialog
{
    Q_OBJECT

public:
    explicit FontChoiceDialog(const QFont &font, QWidget *parent = nullptr);

    // The font chosen: the font given when nothing was changed.
    QFont chosenFont() const;

private:
    void showSample();
    QFont shownFont() const;

    QFont m_original;
    bool m_changed = false;
    QFontComboBox *m_family = nullptr;
    QSpinBox *m_size = nullptr;
    QCheckBox *m_bold = nullptr;
    QCheckBox *m_italic = nullptr;
    QLabel *m_sample = nullptr;
};
