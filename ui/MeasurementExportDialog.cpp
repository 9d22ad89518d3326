#include "MeasurementExportDialog.h"

#include "JournalRunList.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>

MeasurementExportDialog::MeasurementExportDialog(const QList<TJournalRun> &runs, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("MeasurementExportDialog"));
    setWindowTitle(QStringLiteral("Экспорт измерений"));
    m_runs = new QComboBox;
    m_runs->setObjectName(QStringLiteral("comboRun"));
    m_runs->setMinimumContentsLength(50);
    JournalRunList::fill(m_runs, runs);
    m_formats = new QComboBox;
    m_formats->setObjectName(QStringLiteral("comboFormat"));
    m_formats->addItem(QStringLiteral("CSV (таблица)"), int(JournalExport::Format::Csv));
    m_formats->addItem(QStringLiteral("JSON"), int(JournalExport::Format::Json));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->setObjectName(QStringLiteral("buttonBox"));
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Выгрузить..."));
    buttons->button(QDialogButtonBox::Ok)->setEnabled(hasRuns());
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *form = new QFormLayout(this);
    form->addRow(QStringLiteral("Запуск:"), m_runs);
    form->addRow(QStringLiteral("Формат:"), m_formats);
    form->addRow(buttons);
}

bool MeasurementExportDialog::hasRuns() const
{
    return m_runs->count() > 0;
}

qint64 MeasurementExportDialog::runId() const
{
    return m_runs->currentIndex() < 0 ? 0 : m_runs->currentData().toLongLong();
}

JournalExport::Format MeasurementExportDialog::format() const
{
    return JournalExport::Format(m_formats->currentData().toInt());
}
