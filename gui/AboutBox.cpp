#include "AboutBox.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

// The pictures are compiled into this static library; its resources must be
// registered by hand before the first use.
static void registerResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(gui);
        return true;
    }();
    Q_UNUSED(done);
}

QPixmap AboutBox::resourcePicture(const QString &fileName)
{
    registerResources();
    return QPixmap(QStringLiteral(":/kelvarin/images/") + fileName);
}

QPixmap AboutBox::programPicture()
{
    return resourcePicture(QStringLiteral("program.png"));
}

AboutBox::AboutBox(const QString &productName, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("О программе"));
    setWindowIcon(programPicture());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(316, 193);

    auto *panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    ProgramIcon = new QLabel(panel);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setFixedSize(80, 70);
    ProgramIcon->setScaledContents(true);
    ProgramIcon->setPixmap(programPicture());

    ProductName = new QLabel(productName, panel);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    QFont nameFont = ProductName->font();
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.5);
    nameFont.setBold(true);
    ProductName->setFont(nameFont);

    Version = new QLabel(QStringLiteral("Version ") + QLatin1String(KELVARIN_VERSION), panel);
    Version->setObjectName(QStringLiteral("Version"));

    auto *texts = new QVBoxLayout;
    texts->addWidget(ProductName);
    texts->addWidget(Version);
    texts->addStretch();
    auto *panelLayout = new QHBoxLayout(panel);
    panelLayout->addWidget(ProgramIcon, 0, Qt::AlignTop);
    panelLayout->addSpacing(12);
    panelLayout->addLayout(texts, 1);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(panel, 1);
    layout->addWidget(OKButton, 0, Qt::AlignHCenter);
}
