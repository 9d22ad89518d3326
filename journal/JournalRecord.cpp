#include "JournalRecord.h"

#include <QDataStream>
#include <QIODevice>

namespace {

constexpr QDataStream::Version StreamVersion = QDataStream::Qt_6_0;

void write(QDataStream &out, const TZoneMeasurement &m)
{
    out << m.found << m.x << m.y << m.maximum << m.threshold << qint32(m.area) << m.mean << qint32(m.rejection)
        << m.hasOrigin << m.dx << m.dy << qint32(m.spots) << m.sx << m.sy;
}

void read(QDataStream &in, TZoneMeasurement &m)
{
    qint32 area = 0;
    qint32 rejection = 0;
    qint32 spots = 0;
    in >> m.found >> m.x >> m.y >> m.maximum >> m.threshold >> area >> m.mean >> rejection >> m.hasOrigin >> m.dx
        >> m.dy >> spots >> m.sx >> m.sy;
    m.area = area;
    m.spots = spots;
    m.rejection = TZoneMeasurement::Rejection(rejection);
}

void write(QDataStream &out, const TRecordedImage &image)
{
    out << image.path << image.modified << image.size << qint32(image.fate) << image.storedAs << image.detail
        << qint32(image.number) << image.processedAt << qint32(image.zones.size());
    for (const TZoneMeasurement &zone : image.zones)
        write(out, zone);
}

void read(QDataStream &in, TRecordedImage &image)
{
    qint32 fate = 0;
    qint32 number = 0;
    qint32 zones = 0;
    in >> image.path >> image.modified >> image.size >> fate >> image.storedAs >> image.detail >> number
        >> image.processedAt >> zones;
    image.fate = TRecordedImage::Fate(fate);
    image.number = number;
    image.zones.clear();
    for (qint32 k = 0; k < zones && in.status() == QDataStream::Ok; ++k) {
        TZoneMeasurement zone;
        read(in, zone);
        image.zones << zone;
    }
}

void write(QDataStream &out, const TJournal::RunStart &run)
{
    out << run.kind << run.base << run.settings << run.zonesText << run.zonesFile << run.zones << run.origins
        << run.startedAt << run.station;
}

void read(QDataStream &in, TJournal::RunStart &run)
{
    in >> run.kind >> run.base >> run.settings >> run.zonesText >> run.zonesFile >> run.zones >> run.origins
        >> run.startedAt >> run.station;
}

void write(QDataStream &out, const TIssue &issue)
{
    out << qint32(issue.severity) << qint32(issue.source) << issue.file << issue.text << issue.time;
}

void read(QDataStream &in, TIssue &issue)
{
    qint32 severity = 0;
    qint32 source = 0;
    in >> severity >> source >> issue.file >> issue.text >> issue.time;
    issue.severity = TIssue::Severity(severity);
    issue.source = TIssue::Source(source);
}

} // namespace

JournalRecord JournalRecord::begin(const TJournal::RunStart &run)
{
    JournalRecord record;
    record.kind = Kind::Begin;
    record.run = run;
    if (!record.run.startedAt.isValid())
        record.run.startedAt = QDateTime::currentDateTime();
    return record;
}

JournalRecord JournalRecord::ofImage(const TRecordedImage &image)
{
    JournalRecord record;
    record.kind = Kind::Image;
    record.image = image;
    return record;
}

JournalRecord JournalRecord::laterFate(const TRecordedImage &image)
{
    JournalRecord record = ofImage(image);
    record.kind = Kind::LaterFate;
    return record;
}

JournalRecord JournalRecord::end(const QString &base)
{
    JournalRecord record;
    record.kind = Kind::End;
    record.base = base;
    record.at = QDateTime::currentDateTime();
    return record;
}

JournalRecord JournalRecord::event(const TIssue &issue)
{
    JournalRecord record;
    record.kind = Kind::Event;
    record.issue = issue;
    return record;
}

QByteArray JournalRecord::encode() const
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(StreamVersion);
    switch (kind) {
    case Kind::Begin: write(out, run); break;
    case Kind::Image:
    case Kind::LaterFate: write(out, image); break;
    case Kind::End: out << base << at; break;
    case Kind::Event: write(out, issue); break;
    }
    return bytes;
}

bool JournalRecord::decode(Kind kind, const QByteArray &bytes, JournalRecord *record)
{
    *record = JournalRecord();
    record->kind = kind;
    QDataStream in(bytes);
    in.setVersion(StreamVersion);
    switch (kind) {
    case Kind::Begin: read(in, record->run); break;
    case Kind::Image:
    case Kind::LaterFate: read(in, record->image); break;
    case Kind::End: in >> record->base >> record->at; break;
    case Kind::Event: read(in, record->issue); break;
    default: return false;
    }
    return in.status() == QDataStream::Ok;
}
