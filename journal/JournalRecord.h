#pragma once

#include "TIssue.h"
#include "TJournal.h"
#include "TRecordedImage.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

// One thing a run hands the journal, as data: the run's start, an image, an
// image's later fate, the run's end or an event. The writer writes it at once
// or, while the journal is away, keeps it in the spool as bytes (encode()),
// to be written later exactly as it would have been then.
struct JournalRecord
{
    enum class Kind { Begin = 1, Image = 2, LaterFate = 3, End = 4, Event = 5 };

    Kind kind = Kind::Event;
    TJournal::RunStart run;  // Begin
    TRecordedImage image;    // Image, LaterFate
    QString base;            // End: the base the results went under, empty when none
    QDateTime at;            // End: when the run ended
    TIssue issue;            // Event

    static JournalRecord begin(const TJournal::RunStart &run);
    static JournalRecord ofImage(const TRecordedImage &image);
    static JournalRecord laterFate(const TRecordedImage &image);
    static JournalRecord end(const QString &base);
    static JournalRecord event(const TIssue &issue);

    bool isImage() const { return kind == Kind::Image; }

    // Every field, so that a record read back writes what it would have.
    // A new field of the record (or of a zone) is added at the end of its part.
    QByteArray encode() const;
    // False when the bytes are not a record of this kind.
    static bool decode(Kind kind, const QByteArray &bytes, JournalRecord *record);
};
