#pragma once

#include "JournalExport.h"
#include "MonitoringSettings.h"
#include "TJournalRow.h"

#include <QList>
#include <QStringList>

// The columns the monitoring adds to the journal's export, after the export's
// own: "dx_corrected,dy_corrected" (pixels, by the reference zones; the raw
// values where no reference zones are set) and "dx_mm,dy_mm" (millimetres, from
// the corrected values where reference zones are set; empty without a pixel
// size). A value that does not exist is an empty field; numbers have four
// decimals and always ".", like the coordinate files.
namespace MonitoringExport {

QStringList header();

// One list of four fields per row, in the order of `rows`.
QList<QStringList> columns(const QList<TJournalRow> &rows, const MonitoringSettings &settings);

// The same as columns the journal's export appends, image by image: the
// corrected pair where reference zones are set, the millimetre pair where a
// pixel size is; no columns (empty names) where neither is.
JournalExport::ExtraColumns extraColumns(const MonitoringSettings &settings);

} // namespace MonitoringExport
