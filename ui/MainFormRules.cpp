#include "MainFormRules.h"

#include "LocaleFormat.h"


QStringList MainFormRules::runImages(const QStringList &all, const QStringList &selected, int startStyle)
{
    return startStyle == 1 ? all : selected;
}

QString MainFormRules::resultsBaseFromChosenPath(const QString &path)
{
    const int nameStart = path.lastIndexOf(QLatin1Char('/')) + 1;
    const int dot = path.indexOf(QLatin1Char('.'), nameStart);
    return dot < 0 ? path : path.left(dot);
}

QString MainFormRules::positionText(QPoint imagePoint)
{
    return QStringLiteral(" X= ") + QString::number(imagePoint.x()) + QStringLiteral(";  Y= ")
        + QString::number(imagePoint.y()) + QLatin1Char(' ');
}

QString MainFormRules::brightnessText(QRgb colour)
{
    return LocaleFormat::formatGeneral((qRed(colour) + qGreen(colour) + qBlue(colour)) / 3.0);
}
