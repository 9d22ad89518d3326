#include "JournalExport.h"

#include "LocaleFormat.h"
#include "TJournal.h"

#include <QDir>
#include <QSaveFile>

#include <charconv>
#include <cmath>
#include <cstring>
#include <QLocale>

namespace {

constexpr qsizetype ChunkSize = 1 << 20;

// A JSON string literal.
QByteArray jsonString(const QString &text)
{
    QByteArray out = "\"";
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
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
    return TJournal::isoTime(time).toLatin1();
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
        value = 0.0;  // no sign for a negative zero
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

QByteArray JournalExport::csvField(const QString &text)
{
    const bool quote = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"'))
                    || text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'))
                    || (!text.isEmpty() && (text.front().isSpace() || text.back().isSpace()));
    if (!quote)
        return text.toUtf8();
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return '"' + quoted.toUtf8() + '"';
}

QByteArray JournalExport::csvHeader()
{
    return "base,number,image,image_time,processed_at,zone,found,x,y,dx,dy,area,mean,maximum,threshold\r\n";
}

QByteArray JournalExport::csvImagePart(const TJournalRow &row)
{
    return csvField(row.base) + ',' + QByteArray::number(row.number) + ',' + csvField(row.image) + ','
         + isoTime(row.imageTime) + ',' + isoTime(row.processedAt) + ',';
}

QByteArray JournalExport::csvZonePart(const TJournalRow &row)
{
    QByteArray line;
    appendCsvZonePart(line, row);
    return line;
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
    *p++ = '\r';
    *p++ = '\n';
    out.append(buffer, p - buffer);
}

QByteArray JournalExport::csvRow(const TJournalRow &row)
{
    return csvImagePart(row) + csvZonePart(row);
}

QByteArray JournalExport::jsonImagePart(const TJournalRow &row)
{
    const auto time = [](const QDateTime &t) { return t.isValid() ? jsonString(TJournal::isoTime(t)) : QByteArray("null"); };
    return "{\"base\":" + jsonString(row.base) + ",\"number\":" + QByteArray::number(row.number)
         + ",\"image\":" + jsonString(row.image) + ",\"image_time\":" + time(row.imageTime)
         + ",\"processed_at\":" + time(row.processedAt) + ',';
}

QByteArray JournalExport::jsonZonePart(const TJournalRow &row)
{
    const auto number = [&](double value, int decimals) {
        return row.found ? fixedNumber(value, decimals) : QByteArray("null");
    };
    return "\"zone\":" + QByteArray::number(row.zone) + ",\"found\":" + (row.found ? "1" : "0")
         + ",\"x\":" + number(row.x, 6) + ",\"y\":" + number(row.y, 6) + ",\"dx\":" + number(row.dx, 4)
         + ",\"dy\":" + number(row.dy, 4) + ",\"area\":" + QByteArray::number(row.area)
         + ",\"mean\":" + exactNumber(row.mean) + ",\"maximum\":" + exactNumber(row.maximum)
         + ",\"threshold\":" + exactNumber(row.threshold) + '}';
}

QByteArray JournalExport::jsonObject(const TJournalRow &row)
{
    return jsonImagePart(row) + jsonZonePart(row);
}

// A row with the caller's columns appended before its end ("\r\n" in CSV,
// "}" in JSON).
static void appendExtraValues(QByteArray &out, JournalExport::Format format, const QStringList &names,
                              const QStringList &values)
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

bool JournalExport::write(TJournal &journal, qint64 runId, Format format,
                          const std::function<bool(const QByteArray &)> &sink, QString *error,
                          const ExtraColumns *extra)
{
    QByteArray buffer;
    buffer.reserve(ChunkSize + 4096);
    bool sinkFailed = false;
    bool first = true;
    const auto flush = [&](bool always) {
        if (!sinkFailed && (always || buffer.size() >= ChunkSize)) {
            sinkFailed = !sink(buffer);
            buffer.clear();
        }
    };
    QByteArray header = format == Format::Csv ? csvHeader() : QByteArray("[");
    if (extra && format == Format::Csv) {
        header.chop(2);
        header += ',' + extra->names.join(QLatin1Char(',')).toUtf8() + "\r\n";
    }
    buffer += header;
    // The part of a row that is the same for every zone of an image is made once per image.
    QByteArray imagePart;
    int imageNumber = -1;
    QString imageName;
    QDateTime imageProcessed;
    // With extra columns the rows of one image wait until the image is complete.
    QList<TJournalRow> imageRows;
    const auto appendRow = [&](const TJournalRow &row, const QStringList *values) {
        if (format == Format::Csv) {
            buffer += imagePart;
            appendCsvZonePart(buffer, row);
        } else {
            buffer += (first ? "\n" : ",\n") + imagePart + jsonZonePart(row);
        }
        if (values)
            appendExtraValues(buffer, format, extra->names, *values);
        first = false;
        flush(false);
    };
    const auto appendImageRows = [&] {
        if (imageRows.isEmpty())
            return;
        const QList<QStringList> values = extra->valuesOfImage(imageRows);
        for (qsizetype i = 0; i < imageRows.size(); ++i)
            appendRow(imageRows.at(i), i < values.size() ? &values.at(i) : nullptr);
        imageRows.clear();
    };
    const bool read = journal.forEachRow(runId, [&](const TJournalRow &row) {
        if (sinkFailed)
            return;
        if (row.number != imageNumber || row.image != imageName || row.processedAt != imageProcessed) {
            if (extra)
                appendImageRows();
            imageNumber = row.number;
            imageName = row.image;
            imageProcessed = row.processedAt;
            imagePart = format == Format::Csv ? csvImagePart(row) : jsonImagePart(row);
        }
        if (extra)
            imageRows.append(row);
        else
            appendRow(row, nullptr);
    });
    if (extra && !sinkFailed)
        appendImageRows();
    if (format == Format::Json)
        buffer += first ? "]\n" : "\n]\n";
    flush(true);
    if (!read) {
        if (error)
            *error = journal.errorString();
        return false;
    }
    if (sinkFailed) {
        if (error)
            *error = QStringLiteral("экспорт не записан");
        return false;
    }
    return true;
}

bool JournalExport::writeFile(TJournal &journal, qint64 runId, Format format, const QString &path, QString *error,
                              const ExtraColumns *extra)
{
    // Written in pieces into a temporary file beside the target, renamed over
    // it only when complete, as AtomicFile does for files written in one piece.
    QSaveFile file(path);
    const auto failed = [&] {
        if (error)
            *error = QStringLiteral("Файл %1 не записан: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    };
    if (!file.open(QIODevice::WriteOnly))
        return failed();
    const auto piece = [&file](const QByteArray &bytes) { return file.write(bytes) == bytes.size(); };
    if (!write(journal, runId, format, piece, error, extra)) {
        // The file's own failure (a full disk) is named with the file; the journal's is as it came.
        const bool fileFailed = file.error() != QFileDevice::NoError;
        if (fileFailed)
            failed();
        file.cancelWriting();
        return false;
    }
    return file.commit() || failed();
}
