#include "THelpWindow.h"

#include <QTextBrowser>
#include <QVBoxLayout>

THelpWindow::THelpWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("THelpWindow"));
    setWindowTitle(QStringLiteral("Kelvarin-2. Справка"));
    resize(640, 560);
    Browser = new QTextBrowser(this);
    Browser->setObjectName(QStringLiteral("Browser"));
    Browser->setOpenExternalLinks(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Browser);
}

QUrl THelpWindow::contentsUrl()
{
    return QUrl(QStringLiteral("qrc:/kelvarin-ui/help/kelvarin2.html"));
}

void THelpWindow::showContents()
{
    if (Browser->source() != contentsUrl())
        Browser->setSource(contentsUrl());
    Browser->scrollToAnchor(QStringLiteral("contents"));
    show();
    raise();
    activateWindow();
}
