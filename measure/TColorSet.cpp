#include "TColorSet.h"

#include "MarkerColors.h"

#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>

static QComboBox *colourList(const QString &name)
{
    auto *list = new QComboBox;
    list->setObjectName(name);
    list->setEditable(false);
    list->setFont(QFont(QStringLiteral("Tahoma")));
    // Each colour shows a swatch and its Russian name; the item keeps the
    // name the settings know it by.
    for (const QString &name : MarkerColors::names()) {
        QPixmap swatch(16, 16);
        swatch.fill(MarkerColors::toQColor(MarkerColors::NameToColor(name)));
        QPainter frame(&swatch);
        frame.setPen(Qt::darkGray);
        frame.drawRect(0, 0, 15, 15);
        frame.end();
        list->addItem(QIcon(swatch), MarkerColors::shownName(name), name);
    }
    return list;
}

// Selects the colour's name, or nothing for a value without one.
static void selectColour(QComboBox *list, int colour)
{
    const QString name = MarkerColors::ColorToName(colour);
    list->setCurrentIndex(name.isEmpty() ? -1 : list->findData(name));
}

static QString sizeText(int size)
{
    return QStringLiteral("Размер: ") + QString::number(size);
}

TColorSet::TColorSet(int activeColor, int passiveColor, int size, QWidget *owner)
    : QDialog(owner), m_activeColor(activeColor), m_passiveColor(passiveColor), m_size(size)
{
    setObjectName(QStringLiteral("TColorSet"));
    setWindowTitle(QStringLiteral("Изменение цвета и размера"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    ComboBox1 = colourList(QStringLiteral("ComboBox1"));
    ComboBox2 = colourList(QStringLiteral("ComboBox2"));
    selectColour(ComboBox1, m_passiveColor);
    selectColour(ComboBox2, m_activeColor);
    connect(ComboBox1, &QComboBox::activated, this, &TColorSet::ComboBox1Change);
    connect(ComboBox2, &QComboBox::activated, this, &TColorSet::ComboBox2Change);

    QWidget *previewPanel = createPreviewPanel();
    QWidget *sizePanel = createSizePanel();
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(previewPanel);
    bottom->addWidget(sizePanel, 1);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(colourPanel(QStringLiteral("Panel1"), QStringLiteral("Label1"),
                                  QStringLiteral("Выберите цвет неактивного маркера"), ComboBox1));
    layout->addWidget(colourPanel(QStringLiteral("Panel2"), QStringLiteral("Label3"),
                                  QStringLiteral("Выберите цвет активного маркера"), ComboBox2));
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

// The preview of the two markers, drawn by paintPreview().
QWidget *TColorSet::createPreviewPanel()
{
    PaintBox1 = new QWidget;
    PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
    PaintBox1->setFixedSize(90, 90);
    PaintBox1->installEventFilter(this);
    auto *previewPanel = new QFrame;
    previewPanel->setObjectName(QStringLiteral("Panel3"));
    previewPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    (new QVBoxLayout(previewPanel))->addWidget(PaintBox1);
    return previewPanel;
}

// The size bar with its number, and the dialog's buttons.
QWidget *TColorSet::createSizePanel()
{
    TrackBar1 = new QSlider(Qt::Horizontal);
    TrackBar1->setObjectName(QStringLiteral("TrackBar1"));
    TrackBar1->setRange(8, 20);
    TrackBar1->setSingleStep(1);
    TrackBar1->setPageStep(1);
    TrackBar1->setTickInterval(1);
    TrackBar1->setTickPosition(QSlider::TicksAbove);
    TrackBar1->setValue(std::clamp(m_size, 8, 20));
    connect(TrackBar1, &QSlider::valueChanged, this, &TColorSet::TrackBar1Change);
    // The size as a number beside the bar, away from the preview's cross.
    m_sizeValue = new QLabel(sizeText(TrackBar1->value()));
    m_sizeValue->setObjectName(QStringLiteral("SizeValue"));
    m_sizeValue->setMinimumWidth(m_sizeValue->fontMetrics().horizontalAdvance(sizeText(20)) + 4);

    OkBtn = new QPushButton(QStringLiteral("OK"));
    OkBtn->setObjectName(QStringLiteral("OkBtn"));
    OkBtn->setDefault(true);
    connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
    CancelBtn = new QPushButton(QStringLiteral("Отмена"));
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    auto *sizePanel = new QFrame;
    sizePanel->setObjectName(QStringLiteral("Panel4"));
    sizePanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    auto *sizeLabel = new QLabel(QStringLiteral("Выберите размер маркера"));
    sizeLabel->setObjectName(QStringLiteral("Label5"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OkBtn);
    buttons->addWidget(CancelBtn);
    auto *sizeLayout = new QVBoxLayout(sizePanel);
    sizeLayout->addWidget(sizeLabel);
    auto *sizeRow = new QHBoxLayout;
    sizeRow->addWidget(TrackBar1, 1);
    sizeRow->addWidget(m_sizeValue);
    sizeLayout->addLayout(sizeRow);
    sizeLayout->addStretch();
    sizeLayout->addLayout(buttons);
    return sizePanel;
}

QWidget *TColorSet::colourPanel(const QString &name, const QString &labelName, const QString &text,
                                QComboBox *list)
{
    auto *panel = new QFrame;
    panel->setObjectName(name);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    auto *label = new QLabel(text);
    label->setObjectName(labelName);
    auto *layout = new QVBoxLayout(panel);
    layout->addWidget(label);
    layout->addWidget(list);
    return panel;
}

void TColorSet::ComboBox1Change(int)
{
    m_passiveColor = MarkerColors::NameToColor(ComboBox1->currentData().toString());
    PaintBox1->update();
}

void TColorSet::ComboBox2Change(int)
{
    m_activeColor = MarkerColors::NameToColor(ComboBox2->currentData().toString());
    PaintBox1->update();
}

void TColorSet::TrackBar1Change(int position)
{
    m_size = position;
    m_sizeValue->setText(sizeText(position));
    PaintBox1->update();
}

bool TColorSet::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != PaintBox1)
        return QDialog::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Paint:
        paintPreview();
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent *>(event)->buttons() & Qt::LeftButton) {
            m_previewActive = true;
            PaintBox1->update();
        }
        return true;
    case QEvent::MouseButtonRelease:
        if (!(static_cast<QMouseEvent *>(event)->buttons() & Qt::LeftButton)) {
            m_previewActive = false;
            PaintBox1->update();
        }
        return true;
    default:
        return QDialog::eventFilter(watched, event);
    }
}

// The same cross as a marker on the image: each line 2*size pixels, the end
// pixel left out, so the left and upper arms are one pixel longer.
void TColorSet::paintPreview()
{
    QPainter painter(PaintBox1);
    const int w = PaintBox1->width();
    const int h = PaintBox1->height();
    painter.fillRect(PaintBox1->rect(), Qt::white);
    const QColor colour = MarkerColors::toQColor(m_previewActive ? m_activeColor : m_passiveColor);
    painter.fillRect(QRect(w / 2 - m_size, h / 2, 2 * m_size, 1), colour);
    painter.fillRect(QRect(w / 2, h / 2 - m_size, 1, 2 * m_size), colour);
}
