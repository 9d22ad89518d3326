#include "JournalExport.h"

#include "AtomicFile.h"
#include "CsvField.h"
#include "IsoTime.h"
#include "LocaleFormat.h"
#include "TJournal.h"

#include <QDir>
#include <QLocale>

#include <charconv>
#include <cmath>
#include <cstring>

namespace {

constexpr qsizetype ChunkSize = 1 << 20;

// A JSON string literal.
QByteArray jsonString(const QString &text)
{
    QByteArray out = "\"";
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20)
                out += "\\u00" + QByteArray::number(static_cast<unsigned char>(c), 16).rightJustified(2, '0');
            else
                out += c;
        }
    }
    return out + '"';
}

QByteArray isoTime(const QDateTime &time)
{
    return IsoTime::text(time).toLatin1();
}

} // namespace

QByteArray JournalExport::exactNumber(double value)
{
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return QByteArray(buffer, result.ptr - buffer);
}

QByteArray JournalExport::fixedNumber(double value, int decimals)
{
    const auto exact = [&] { return LocaleFormat::formatFixed(value, decimals, QLatin1Char('.')).toLatin1(); };
    if (!std::isfinite(value) || std::fabs(value) >= 1e15 || decimals > 20)
        return exact();
    if (value == 0)
        value = 0.0; // no sign for a negative zero
    char buffer[64];
    // Only a value exactly half way at the last place rounds otherwise here
    // (to even) than in the coordinate files (away from zero).
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals + 1);
    if (result.ptr[-1] == '5') {
        double back = 0;
        std::from_chars(buffer, result.ptr, back);
        if (back == value)
            return exact();
    }
    result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return QByteArray(buffer, result.ptr - buffer);
}

QByteArray JournalExport::csvHeader()
{
    return "station,base,number,image,image_time,processed_at,zone,found,x,y,dx,dy,area,mean,maximum,threshold,"
           "sx,sy,spots\r\n";
}

QByteArray JournalExport::csvImagePart(const TJournalRow &row)
{
    return CsvField::encode(row.station) + ',' + CsvField::encode(row.base) + ',' + QByteArray::number(row.number)
        + ',' + CsvField::encode(row.image) + ',' + isoTime(row.imageTime) + ',' + isoTime(row.processedAt) + ',';
}

QByteArray JournalExport::csvZonePart(const TJournalRow &row)
{
    QByteArray line;
    appendCsvZonePart(line, row);
    return line;
}

// The spot's figures after the threshold, and the line's end: empty fields
// where the journal has none.
static void appendSpotFigures(QByteArray &out, const TJournalRow &row)
{
    out += ',';
    if (row.hasUncertainty())
        out += JournalExport::exactNumber(row.sx) + ',' + JournalExport::exactNumber(row.sy);
    else
        out += ',';
    out += ',';
    if (row.spots >= 0)
        out += QByteArray::number(row.spots);
    out += "\r\n";
}

// Appends without a temporary text per field: a million rows are exported in seconds.
void JournalExport::appendCsvZonePart(QByteArray &out, const TJournalRow &row)
{
    char buffer[512];
    char *p = buffer;
    char *const end = buffer + sizeof buffer;
    const auto integer = [&](int value) { p = std::to_chars(p, end, value).ptr; };
    const auto exact = [&](double value) { p = std::to_chars(p, end, value, std::chars_format::fixed).ptr; };
    const auto fixed = [&](double value, int decimals) {
        const QByteArray text = fixedNumber(value, decimals);
        std::memcpy(p, text.constData(), size_t(text.size()));
        p += text.size();
    };
    integer(row.zone);
    *p++ = ',';
    *p++ = row.found ? '1' : '0';
    *p++ = ',';
    if (row.found) {
        fixed(row.x, 6);
        *p++ = ',';
        fixed(row.y, 6);
        *p++ = ',';
        fixed(row.dx, 4);
        *p++ = ',';
        fixed(row.dy, 4);
        *p++ = ',';
    } else {
        for (int i = 0; i < 4; ++i)
            *p++ = ',';
    }
    integer(row.area);
    *p++ = ',';
    exact(row.mean);
    *p++ = ',';
    exact(row.maximum);
    *p++ = ',';
    exact(row.threshold);
    out.append(buffer, p - buffer);
    appendSpotFigures(out, row);
}

QByteArray JournalExport::csvRow(const TJournalRow &row)
{
    return csvImagePart(row) + csvZonePart(row);
}

QByteArray JournalExport::jsonImagePart(const TJournalRow &row)
{
    const auto time
        = [](const QDateTime &t) { return t.isValid() ? jsonString(IsoTime::text(t)) : QByteArray("null"); };
    return "{\"station\":" + jsonString(row.station) + ",\"base\":" + jsonString(row.base)
        + ",\"number\":" + QByteArray::number(row.number)
        + ",\"image\":" + jsonString(row.image) + ",\"image_time\":" + time(row.imageTime)
        + ",\"processed_at\":" + time(row.processedAt) + ',';
}

QByteArray JournalExport::jsonZonePart(const TJournalRow &row)
{
    const auto number
        = [&](double value, int decimals) { return row.found ? fixedNumber(value, decimals) : QByteArray("null"); };
    return "\"zone\":" + QByteArray::number(row.zone) + ",\"found\":" + (row.found ? "1" : "0")
        + ",\"x\":" + number(row.x, 6) + ",\"y\":" + number(row.y, 6) + ",\"dx\":" + number(row.dx, 4) + ",\"dy\":"
        + number(row.dy, 4) + ",\"area\":" + QByteArray::number(row.area) + ",\"mean\":" + exactNumber(row.mean)
        + ",\"maximum\":" + exactNumber(row.maximum) + ",\"threshold\":" + exactNumber(row.threshold)
        + ",\"sx\":" + (row.hasUncertainty() ? exactNumber(row.sx) : QByteArray("null"))
        + ",\"sy\":" + (row.hasUncertainty() ? exactNumber(row.sy) : QByteArray("null"))
        + ",\"spots\":" + (row.spots >= 0 ? QByteArray::number(row.spots) : QByteArray("null")) + '}';
}

QByteArray JournalExport::jsonObject(const TJournalRow &row)
{
    return jsonImagePart(row) + jsonZonePart(row);
}

// A row with the caller's columns appended before its end ("\r\n" in CSV,
// "}" in JSON).
static void appendExtraValues(
    QByteArray &out, JournalExport::Format format, const QStringList &names, const QStringList &values)
{
    const bool csv = format == JournalExport::Format::Csv;
    out.chop(csv ? 2 : 1);
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString value = i < values.size() ? values.at(i) : QString();
        if (csv)
            out += ',' + value.toUtf8();
        else
            out += ",\"" + names.at(i).toUtf8() + "\":" + (value.isEmpty() ? QByteArray("null") : value.toUtf8());
    }
    out += csv ? "\r\n" : "}";
}

namespace {

// The rows of one export as they are read: each row appended to a buffer that
// goes to the sink a megabyte at a time; the part of a row that is the same
// for every zone of an image made once per image; with extra columns, an
// image's rows held until the image is complete.
class ExportRows
{
public:
    ExportRows(JournalExport::Format format, const std::function<bool(const QByteArray &)> &sink,
        const JournalExport::ExtraColumns *extra)
        : m_format(format), m_sink(sink), m_extra(extra)
    {
        m_buffer.reserve(ChunkSize + 4096);
        appendHeader();
    }

    void take(const TJournalRow &row)
    {
        if (m_sinkFailed)
            return;
        if (row.number != m_imageNumber || row.image != m_imageName || row.processedAt != m_imageProcessed)
            startImage(row);
        if (m_extra)
            m_imageRows.append(row);
        else
            appendRow(row, nullptr);
    }

    // The last image and the closing bracket; false when the sink refused.
    bool finish()
    {
        if (m_extra && !m_sinkFailed)
            appendImageRows();
        if (m_format == JournalExport::Format::Json)
            m_buffer += m_first ? "]\n" : "\n]\n";
        flush(true);
        return !m_sinkFailed;
    }

private:
    bool csv() const { return m_format == JournalExport::Format::Csv; }

    void appendHeader()
    {
        QByteArray header = csv() ? JournalExport::csvHeader() : QByteArray("[");
        if (m_extra && csv()) {
            header.chop(2);
            header += ',' + m_extra->names.join(QLatin1Char(',')).toUtf8() + "\r\n";
        }
        m_buffer += header;
    }

    void startImage(const TJournalRow &row)
    {
        if (m_extra)
            appendImageRows();
        m_imageNumber = row.number;
        m_imageName = row.image;
        m_imageProcessed = row.processedAt;
        m_imagePart = csv() ? JournalExport::csvImagePart(row) : JournalExport::jsonImagePart(row);
    }

    void appendRow(const TJournalRow &row, const QStringList *values)
    {
        if (csv()) {
            m_buffer += m_imagePart;
            JournalExport::appendCsvZonePart(m_buffer, row);
        } else {
            m_buffer += (m_first ? "\n" : ",\n") + m_imagePart + JournalExport::jsonZonePart(row);
        }
        if (values)
            appendExtraValues(m_buffer, m_format, m_extra->names, *values);
        m_first = false;
        flush(false);
    }

    void appendImageRows()
    {
        if (m_imageRows.isEmpty())
            return;
        const QList<QStringList> values = m_extra->valuesOfImage(m_imageRows);
        for (qsizetype i = 0; i < m_imageRows.size(); ++i)
            appendRow(m_imageRows.at(i), i < values.size() ? &values.at(i) : nullptr);
        m_imageRows.clear();
    }

    void flush(bool always)
    {
        if (!m_sinkFailed && (always || m_buffer.size() >= ChunkSize)) {
            m_sinkFailed = !m_sink(m_buffer);
            m_buffer.clear();
        }
    }

    const JournalExport::Format m_format;
    const std::function<bool(const QByteArray &)> &m_sink;
    const JournalExport::ExtraColumns *m_extra;
    QByteArray m_buffer;
    bool m_sinkFailed = false;
    bool m_first = true;
    QByteArray m_imagePart;
    int m_imageNumber = -1;
    QString m_imageName;
    QDateTime m_imageProcessed;
    QList<TJournalRow> m_imageRows;
};

} // namespace

bool JournalExport::write(TJournal &journal, qint64 runId, Format format,
    const std::function<bool(const QByteArray &)> &sink, QString *error, const ExtraColumns *extra)
{
    ExportRows rows(format, sink, extra);
    const bool read = journal.forEachRow(runId, [&](const TJournalRow &row) { rows.take(row); });
    const bool written = rows.finish();
    if (!read) {
        if (error)
            *error = journal.errorString();
        return false;
    }
    if (!written) {
        if (error)
            *error = QStringLiteral("экспорт не записан");
        return false;
    }
    return true;
}

bool JournalExport::writeFile(
    TJournal &journal, qint64 runId, Format format, const QString &path, QString *error, const ExtraColumns *extra)
{
    QString exportError;
    QString fileError;
    const bool written = AtomicFile::writeStreamed(
        path, [&](const AtomicFile::PieceWriter &piece) { return write(journal, runId, format, piece, &exportError, extra); },
        &fileError);
    if (written)
        return true;
    // The file's own failure (a full disk, a link) is named with the file; the journal's is as it came.
    if (error) {
        *error = fileError.isEmpty() ? exportError
                                     : QStringLiteral("Файл %1 не записан: %2").arg(QDir::toNativeSeparators(path), fileError);
    }
    return false;
}
