#include "SpotCentreGroup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>

static QCheckBox *checkBox(const char *name, const QString &text, const QString &toolTip)
{
    auto *box = new QCheckBox(text);
    box->setObjectName(QLatin1String(name));
    box->setToolTip(toolTip);
    return box;
}

SpotCentreGroup::SpotCentreGroup(QLabel *weightingLabel, QComboBox *weighting, QWidget *parent)
    : QGroupBox(QStringLiteral("Центр пятна"), parent)
{
    SpotBackgroundCheckBox = checkBox(
        "SpotBackgroundCheckBox", QStringLiteral("Порог над фоном зоны"),
        QStringLiteral("Фон B0 — медиана яркости точек на краю зоны; порог T = B0 + B·(M − B0)\n"
                       "(остальные коэффициенты как прежде). Без флажка T = B·M."));
    ConnectedSpotCheckBox = checkBox(
        "ConnectedSpotCheckBox", QStringLiteral("Только одно пятно цели"),
        QStringLiteral("В площадь, среднюю яркость и центр входят только точки одного связного пятна:\n"
                       "того, в котором больше всего света над порогом. Число пятен выше порога пишется\n"
                       "в журнал (столбец spots); если пятен больше одного, строка состояния называет зону."));
    CentroidWindowCheckBox = checkBox(
        "CentroidWindowCheckBox", QStringLiteral("Уточнять центр в гауссовом окне"),
        QStringLiteral("После центра по порогу центр уточняется в гауссовом окне (ширина по радиусу\n"
                       "половины света пятна, не более 10 итераций, до 0,0005 пикселя) по яркости над\n"
                       "фоном края зоны: центр не притягивается к сетке пикселей.\n"
                       "Стоит вдвое-втрое больше вычислений на зону. Хуже на больших дисках при\n"
                       "неровном фоне: широкое окно видит наклон фона, который край зоны передает неточно."));
    auto *grid = new QGridLayout(this);
    grid->addWidget(weightingLabel, 0, 0);
    grid->addWidget(weighting, 0, 1, Qt::AlignLeft);
    grid->addWidget(SpotBackgroundCheckBox, 1, 0, 1, 2);
    grid->addWidget(ConnectedSpotCheckBox, 2, 0, 1, 2);
    grid->addWidget(CentroidWindowCheckBox, 3, 0, 1, 2);
    grid->setColumnStretch(1, 1);
}

void SpotCentreGroup::setOptions(const Options &options)
{
    SpotBackgroundCheckBox->setChecked(options.background);
    ConnectedSpotCheckBox->setChecked(options.connected);
    CentroidWindowCheckBox->setChecked(options.window);
}

SpotCentreGroup::Options SpotCentreGroup::options() const
{
    return {SpotBackgroundCheckBox->isChecked(), ConnectedSpotCheckBox->isChecked(), CentroidWindowCheckBox->isChecked()};
}
