#include "ImageFormStatus.h"

#include <QLabel>

ImageFormStatus::ImageFormStatus(QWidget *parent)
    : QStatusBar(parent)
{
    setObjectName(QStringLiteral("ImageStatus"));
    setSizeGripEnabled(false);
    const int widths[] = {80, 80, 130, 0};
    const Qt::Alignment alignments[] = {Qt::AlignLeft, Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
    const QString texts[] = {QStringLiteral("X="), QStringLiteral("Y="), QStringLiteral("Нет точки"), QString()};
    for (int i = 0; i < 4; ++i) {
        auto *panel = new QLabel(texts[i], this);
        panel->setObjectName(QStringLiteral("Panel%1").arg(i));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setAlignment(alignments[i] | Qt::AlignVCenter);
        // The last panel takes the rest of the width.
        if (widths[i] > 0)
            panel->setFixedWidth(widths[i]);
        else
            panel->setMinimumWidth(1);
        addWidget(panel, widths[i] > 0 ? 0 : 1);
        m_panels[i] = panel;
    }
}

void ImageFormStatus::setText(int panel, const QString &text)
{
    m_panels[panel]->setText(text);
}

QString ImageFormStatus::text(int panel) const
{
    return m_panels[panel]->text();
}
