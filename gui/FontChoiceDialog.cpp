#include "FontChoiceDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFontComboBox>
#include <QFontInfo>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

FontChoiceDialog::FontChoiceDialog(const QFont &font, QWidget *parent)
    : QDialog(parent), m_original(font)
{
    setObjectName(QStringLiteral("FontChoiceDialog"));
    setWindowTitle(QStringLiteral("Шрифт"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    // The family the font resolves to here: the nearest installed one when
    // the named family is missing.
    const QFontInfo resolved(font);
    m_family = new QFontComboBox;
    m_family->setObjectName(QStringLiteral("fontFamily"));
    m_family->setCurrentFont(QFont(resolved.family()));
    m_size = new QSpinBox;
    m_size->setObjectName(QStringLiteral("fontSize"));
    m_size->setRange(4, 72);
    m_size->setValue(font.pointSize() > 0 ? font.pointSize() : resolved.pointSize());
    m_bold = new QCheckBox(QStringLiteral("Полужирный"));
    m_bold->setObjectName(QStringLiteral("fontBold"));
    m_bold->setChecked(font.bold());
    m_italic = new QCheckBox(QStringLiteral("Курсив"));
    m_italic->setObjectName(QStringLiteral("fontItalic"));
    m_italic->setChecked(font.italic());
    m_sample = new QLabel(QStringLiteral("1 2 3 45 678"));
    m_sample->setObjectName(QStringLiteral("fontSample"));
    m_sample->setAlignment(Qt::AlignCenter);
    m_sample->setMinimumSize(240, 60);
    m_sample->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Шрифт:"), m_family);
    form->addRow(QStringLiteral("Размер:"), m_size);
    form->addRow(QString(), m_bold);
    form->addRow(QString(), m_italic);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_sample);
    layout->addWidget(buttons);

    // Connected last, so that filling the controls counts as no change.
    auto changed = [this] {
        m_changed = true;
        showSample();
    };
    connect(m_family, &QFontComboBox::currentFontChanged, this, changed);
    connect(m_size, &QSpinBox::valueChanged, this, changed);
    connect(m_bold, &QCheckBox::toggled, this, changed);
    connect(m_italic, &QCheckBox::toggled, this, changed);
    showSample();
}

QFont FontChoiceDialog::shownFont() const
{
    QFont font(m_family->currentFont().family());
    font.setPointSize(m_size->value());
    font.setBold(m_bold->isChecked());
    font.setItalic(m_italic->isChecked());
    // Underline and strike-out are not offered; they stay as they were.
    font.setUnderline(m_original.underline());
    font.setStrikeOut(m_original.strikeOut());
    return font;
}

void FontChoiceDialog::showSample()
{
    m_sample->setFont(shownFont());
}

QFont FontChoiceDialog::chosenFont() const
{
    return m_changed ? shownFont() : m_original;
}
