#pragma once

#include <QByteArray>
#include <QString>

// The one writer of a CSV field (RFC 4180), for every table the program
// writes: UTF-8, and quoted with its quotes doubled where it holds a comma,
// a quote, a line break or leading or trailing blanks (which a spreadsheet
// would otherwise drop or split at).
class CsvField
{
public:
    static QByteArray encode(const QString &text);
    // Whether encode() quotes the text.
    static bool needsQuotes(const QString &text);
};
