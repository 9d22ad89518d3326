#include "KelvarinApplication.h"

#include "DialogService.h"
#include "KelvarinError.h"

#include <QLibraryInfo>
#include <QTranslator>

KelvarinApplication::KelvarinApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setApplicationName(DialogService::applicationTitle());
    setApplicationVersion(QStringLiteral(KELVARIN_VERSION));
    setDesktopFileName(QStringLiteral("kelvarin2"));
    // Widgets, Qt's dialogs and the names of file types take the default
    // locale; numbers and dates in files take the system one through LocaleFormat.
    QLocale::setDefault(interfaceLocale());
    installRussianTranslation(this);
}

QLocale KelvarinApplication::interfaceLocale()
{
    return QLocale(QLocale::Russian, QLocale::Russia);
}

bool KelvarinApplication::installRussianTranslation(QCoreApplication *app)
{
    auto *translator = new QTranslator(app);
    if (!translator->load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

void KelvarinApplication::showError(const QString &text)
{
    DialogService::instance().error(QApplication::activeWindow(), text);
}

bool KelvarinApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const KelvarinError &error) {
        showError(error.message());
    } catch (const std::exception &error) {
        showError(QString::fromLocal8Bit(error.what()));
    }
    return false;
}
