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

QString MainFormRules::brightnessText(unsigned int argb)
{
    const unsigned int red = (argb >> 16) & 0xff, green = (argb >> 8) & 0xff, blue = argb & 0xff;
    return LocaleFormat::formatGeneral((red + green + blue) / 3.0);
}
