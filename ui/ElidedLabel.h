#pragma once

#include <QLabel>

// A one-line label for long texts: what does not fit is left out in the
// middle ("…"), and the whole text is the tool tip. text() is always the
// whole text.
class ElidedLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    // Sets the text and, with it, the tool tip.
    void setFullText(const QString &text);
    // The text as painted at the label's present width.
    QString shownText() const;

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};
