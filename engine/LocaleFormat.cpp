#include "LocaleFormat.h"


#include <charconv>
#include <cmath>
#include <optional>
#include <string>

static std::optional<QLocale> &overrideLocale()
{
    static std::optional<QLocale> locale;
    return locale;
}

QLocale LocaleFormat::locale()
{
    return overrideLocale() ? *overrideLocale() : QLocale::system();
}

void LocaleFormat::setLocale(const QLocale &locale)
{
    overrideLocale() = locale;
}

void LocaleFormat::useSystemLocale()
{
    overrideLocale().reset();
}

QChar LocaleFormat::decimalSeparator()
{
    const QString point = locale().decimalPoint();
    return point.isEmpty() ? QChar('.') : point.at(0);
}

// Decimal digits of a magnitude with the position of its decimal point: the
// value equals 0.digits x 10^pointPos. The exact binary value is expanded to 40
// places, far finer than any double lies from a true decimal tie, so rounding
// these digits half away from zero sees a tie only where the binary value is one.
struct Digits
{
    std::string digits; // no leading zeros unless the value is zero
    int pointPos = 0;
};

static Digits exactDigits(double magnitude)
{
    char buf[400];
    auto res = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::fixed, 40);
    const std::string text(buf, res.ptr);
    const auto dot = text.find('.');
    std::string all = text.substr(0, dot) + text.substr(dot + 1);
    int pointPos = int(dot);
    size_t lead = 0;
    while (lead + 1 < all.size() && all[lead] == '0') {
        ++lead;
        --pointPos;
    }
    return {all.substr(lead), pointPos};
}

// The same digits taken from a scientific expansion to 41 significant digits:
// a fixed expansion to 40 places keeps too few digits of a very small magnitude
// (below 1E-40 none at all), so the scientific range of the general form uses this.
static Digits exactSignificantDigits(double magnitude)
{
    char buf[80];
    auto res = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific, 40);
    const std::string text(buf, res.ptr);
    const auto e = text.find('e');
    const char *expBegin = text.data() + e + 1;
    if (*expBegin == '+')
        ++expBegin;
    int exponent = 0;
    std::from_chars(expBegin, text.data() + text.size(), exponent);
    return {text.substr(0, 1) + text.substr(2, e - 2), exponent + 1};
}

// Rounds to `keep` digits (keep may be 0 or negative: the value rounds to 0 or 1 unit).
static Digits roundDigits(Digits d, int keep)
{
    if (keep >= int(d.digits.size()))
        return d;
    if (keep < 0)
        return {"0", d.pointPos};
    const bool up = d.digits[size_t(keep)] >= '5';
    d.digits.resize(size_t(keep));
    if (up) {
        int i = keep - 1;
        while (i >= 0 && d.digits[size_t(i)] == '9')
            d.digits[size_t(i--)] = '0';
        if (i >= 0) {
            ++d.digits[size_t(i)];
        } else {
            d.digits.insert(d.digits.begin(), '1');
            ++d.pointPos;
        }
    }
    if (d.digits.empty())
        d.digits = "0";
    return d;
}

QString LocaleFormat::formatFixed(double value, int decimals)
{
    return formatFixed(value, decimals, decimalSeparator());
}

QString LocaleFormat::formatFixed(double value, int decimals, QChar separator)
{
    if (!std::isfinite(value))
        return QString::number(value);
    const Digits exact = exactDigits(std::fabs(value));
    const Digits d = roundDigits(exact, exact.pointPos + decimals);
    auto digitAt = [&d](int j) {
        return (j >= 0 && j < int(d.digits.size())) ? d.digits[size_t(j)] : '0';
    };
    std::string text;
    for (int j = 0; j < d.pointPos; ++j)
        text += digitAt(j);
    if (text.empty())
        text = "0";
    if (decimals > 0) {
        text += '.';
        for (int j = d.pointPos; j < d.pointPos + decimals; ++j)
            text += digitAt(j);
    }
    QString result = QString::fromStdString(text);
    if (decimals > 0)
        result[result.indexOf(QLatin1Char('.'))] = separator;
    if (std::signbit(value) && value != 0.0)
        result.prepend(QLatin1Char('-'));
    return result;
}

QString LocaleFormat::formatGeneral(double value)
{
    if (value == 0.0)
        return QStringLiteral("0");
    if (!std::isfinite(value))
        return QString::number(value);
    const double magnitude = std::fabs(value);
    Digits d = roundDigits(magnitude < 1e-4 ? exactSignificantDigits(magnitude) : exactDigits(magnitude), 15);
    while (d.digits.size() > 1 && d.digits.back() == '0')
        d.digits.pop_back();
    const int exponent = d.pointPos - 1; // value = d.ddd x 10^exponent
    const QChar sep = decimalSeparator();
    QString text;
    const QString digits = QString::fromStdString(d.digits);
    if (exponent >= -4 && exponent < 15) {
        if (exponent >= 0) {
            QString intPart = digits.left(exponent + 1);
            intPart = intPart.leftJustified(exponent + 1, QLatin1Char('0'));
            text = intPart;
            if (digits.size() > exponent + 1)
                text += sep + digits.mid(exponent + 1);
        } else {
            text = QLatin1Char('0') + sep + QString(-exponent - 1, QLatin1Char('0')) + digits;
        }
    } else {
        text = digits.left(1);
        if (digits.size() > 1)
            text += sep + digits.mid(1);
        text += QLatin1Char('E') + QString::number(exponent);
    }
    if (value < 0)
        text.prepend(QLatin1Char('-'));
    return text;
}

bool LocaleFormat::parseReal(const QString &text, double *value)
{
    // A file written under one locale is read under another: the number's
    // fields stand alone or between ";", so either mark can only be the
    // decimal separator (there are no thousands separators to mistake it for).
    return parseWith(text, QLatin1Char('.'), QLatin1Char(','), value);
}

bool LocaleFormat::parseReal(const QString &text, QChar separator, double *value)
{
    return parseWith(text, separator, separator, value);
}

bool LocaleFormat::parseWith(const QString &text, QChar separator, QChar otherSeparator, double *value)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    auto skipBlanks = [&] { while (i < n && text.at(i) == QLatin1Char(' ')) ++i; };
    auto digitsAt = [&](std::string &out) {
        while (i < n && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9'))
            out += char(text.at(i++).unicode());
    };
    skipBlanks();
    std::string number;
    if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        if (text.at(i) == QLatin1Char('-'))
            number += '-';
        ++i;
    }
    std::string intDigits, fracDigits, expDigits;
    digitsAt(intDigits);
    bool hasSeparator = false;
    if (i < n && (text.at(i) == separator || text.at(i) == otherSeparator)) {
        hasSeparator = true;
        ++i;
        digitsAt(fracDigits);
    }
    if (intDigits.empty() && fracDigits.empty() && !hasSeparator)
        return false;
    std::string exponent;
    if (i < n && (text.at(i) == QLatin1Char('e') || text.at(i) == QLatin1Char('E'))) {
        ++i;
        if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
            if (text.at(i) == QLatin1Char('-'))
                exponent += '-';
            ++i;
        }
        digitsAt(expDigits);
        if (expDigits.empty())
            return false;
        exponent += expDigits;
    }
    skipBlanks();
    if (i != n)
        return false;
    number += (intDigits.empty() ? "0" : intDigits) + "." + (fracDigits.empty() ? "0" : fracDigits);
    if (!exponent.empty())
        number += "e" + exponent;
    double result = 0;
    const auto res = std::from_chars(number.data(), number.data() + number.size(), result);
    if (res.ec == std::errc::result_out_of_range) {
        // Too small to represent reads as zero; too large is no number at all.
        if (exponent.empty() || exponent[0] != '-')
            return false;
        result = number[0] == '-' ? -0.0 : 0.0;
    } else if (res.ec != std::errc() || res.ptr != number.data() + number.size()) {
        return false;
    }
    *value = result;
    return true;
}

bool LocaleFormat::parseInteger(const QString &text, int *value, bool allowHex)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text.at(i) == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    int base = 10;
    if (allowHex && i + 1 < n && text.at(i) == QLatin1Char('0')
        && (text.at(i + 1) == QLatin1Char('x') || text.at(i + 1) == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    if (i == n)
        return false;
    qint64 magnitude = 0;
    for (; i < n; ++i) {
        const char16_t c = text.at(i).unicode();
        int digit = 0;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            return false;
        magnitude = magnitude * base + digit;
        // Hexadecimal takes the full 32 bits, as a bit pattern; decimal must fit.
        const qint64 limit = base == 16 ? 0xFFFFFFFFLL : (negative ? 2147483648LL : 2147483647LL);
        if (magnitude > limit)
            return false;
    }
    const qint64 signedValue = negative ? -magnitude : magnitude;
    *value = static_cast<int>(static_cast<quint32>(signedValue));
    return true;
}

QString LocaleFormat::shortDate(const QDate &date)
{
    const QLocale loc = locale();
    return loc.toString(date, loc.dateFormat(QLocale::ShortFormat));
}

QString LocaleFormat::longTime(const QTime &time)
{
    const QLocale loc = locale();
    // Qt's long time format names the time zone ("t", with the spaces before
    // it); the log shows a local wall clock.
    QString format;
    for (const QChar c : loc.timeFormat(QLocale::LongFormat)) {
        if (c == QLatin1Char('t')) {
            while (!format.isEmpty() && format.back().isSpace())
                format.chop(1);
        } else {
            format += c;
        }
    }
    return loc.toString(time, format.trimmed());
}
