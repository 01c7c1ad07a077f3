// SPDX-License-Identifier: GPL-3.0-or-later
#include "interchange/pointrows.h"

#include "conversion/numbertext.h"
#include "platform/numbers.h"

#include <cmath>
#include <cstdio>

namespace {
constexpr double kFeetPerMetre = 3.28083;

bool inRange(double lat, double lon) {
    return std::isfinite(lat) && std::isfinite(lon) && lat >= -90 && lat <= 90 && lon >= -180 && lon <= 180;
}

// The text as ASCII in buf (for the number reader), or false when it is
// longer than buf or holds other characters.
bool asciiView(const QString& text, char (&buf)[64], std::string_view* out) {
    const qsizetype n = text.size();
    if (n > qsizetype(sizeof buf))
        return false;
    const QChar* c = text.constData();
    for (qsizetype i = 0; i < n; ++i) {
        if (c[i].unicode() > 0x7F)
            return false;
        buf[i] = char(c[i].unicode());
    }
    *out = std::string_view(buf, size_t(n));
    return true;
}

std::optional<double> parseNumber(const QString& text) {
    char buf[64];
    std::string_view v;
    if (asciiView(text, buf, &v))
        return numtext::ParseNumber(v);
    bool ok = false;
    const double x = TextToNumber(text, &ok);
    return ok ? std::optional<double>(x) : std::nullopt;
}

} // namespace

// Up to 15 significant digits survive the trip through a double unchanged, so
// such text needs no formatting: most files' coordinates are kept as read.
bool IsNumberText(std::string_view t) {
    size_t i = 0;
    if (i < t.size() && t[i] == '-')
        ++i;
    const size_t intStart = i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9')
        ++i;
    const size_t intLen = i - intStart;
    if (intLen == 0 || intLen > 15 || (intLen > 1 && t[intStart] == '0'))
        return false;
    size_t significant = t[intStart] == '0' ? 0 : intLen;
    if (i == t.size())
        return t != "-0";
    if (t[i] != '.' || i + 1 == t.size() || t.back() == '0')
        return false;
    size_t leadingZeros = 0;
    for (size_t j = i + 1; j < t.size(); ++j) {
        if (t[j] < '0' || t[j] > '9')
            return false;
        if (significant == 0 && t[j] == '0')
            ++leadingZeros;
        else
            ++significant;
    }
    return significant <= 15 && (intLen > 1 || t[intStart] != '0' || leadingZeros <= 3);
}

bool IsNumberText(const QString& text) {
    char buf[64];
    std::string_view v;
    return asciiView(text, buf, &v) && IsNumberText(v);
}

namespace {

QString numberText(double value, std::string_view original) {
    if (IsNumberText(original))
        return QString::fromLatin1(original.data(), qsizetype(original.size()));
    return QString::fromStdString(numtext::NumberToText(value));
}

int digitsAt(const QString& t, qsizetype at, int count) {
    if (at + count > t.size())
        return -1;
    int v = 0;
    for (int i = 0; i < count; ++i) {
        const QChar c = t.at(at + i);
        if (!c.isDigit())
            return -1;
        v = v * 10 + c.digitValue();
    }
    return v;
}
} // namespace

std::optional<Coordinates> RowCoordinates(const PointRow& row) {
    const std::optional<double> lat = parseNumber(row.latitude);
    const std::optional<double> lon = parseNumber(row.longitude);
    if (!lat || !lon || !inRange(*lat, *lon))
        return std::nullopt;
    return Coordinates{*lat, *lon};
}

std::optional<double> ElevationMetres(const QString& elevation) {
    QString t = elevation.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    double factor = 1;
    const QChar unit = t.back().toUpper();
    if (unit == QLatin1Char('M') || unit == QLatin1Char('F')) {
        factor = unit == QLatin1Char('F') ? 1 / kFeetPerMetre : 1;
        t.chop(1);
    }
    const std::optional<double> v = parseNumber(t);
    if (!v || !std::isfinite(*v))
        return std::nullopt;
    return *v * factor;
}

QString ElevationText(double metres) {
    const double whole = std::nearbyint(metres);
    if (!std::isfinite(whole) || std::fabs(whole) > 1e15)
        return QString();
    const auto n = static_cast<long long>(whole);
    char buf[32];
    const int len = std::snprintf(buf, sizeof buf, "%s%07lldM", n < 0 ? "-" : "", n < 0 ? -n : n);
    return QString::fromLatin1(buf, len);
}

QString CoordinateText(double degrees) {
    QString t = QString::fromStdString(numtext::NumberToText(degrees));
    if (!t.contains(QLatin1Char('E'))) {
        if (t.startsWith(QLatin1Char('.')))
            t.prepend(QLatin1Char('0'));
        else if (t.startsWith(QLatin1String("-.")))
            t.insert(1, QLatin1Char('0'));
        return t;
    }
    // Fixed notation with the same 15 significant digits.
    const int decimals = qBound(0, 14 - int(std::floor(std::log10(std::fabs(degrees)))), 340);
    t = QString::number(degrees, 'f', decimals);
    if (t.contains(QLatin1Char('.'))) {
        while (t.endsWith(QLatin1Char('0')))
            t.chop(1);
        if (t.endsWith(QLatin1Char('.')))
            t.chop(1);
    }
    return t;
}

bool SetRowCoordinates(PointRow& row, const QString& latitude, const QString& longitude) {
    char latBuf[64], lonBuf[64];
    std::string_view lat, lon;
    if (asciiView(latitude.trimmed(), latBuf, &lat) && asciiView(longitude.trimmed(), lonBuf, &lon))
        return SetRowCoordinates(row, lat, lon);
    return false; // not ASCII, or longer than any number: not a number
}

bool SetRowCoordinates(PointRow& row, std::string_view latitude, std::string_view longitude) {
    const std::optional<double> lat = numtext::ParseNumber(latitude);
    const std::optional<double> lon = numtext::ParseNumber(longitude);
    if (!lat || !lon || !inRange(*lat, *lon))
        return false;
    row.latitude = numberText(*lat, latitude);
    row.longitude = numberText(*lon, longitude);
    return true;
}

QString TrackPointName(const QString& isoTime, int number) {
    // yyyy-mm-ddThh:mm:ss[.fff][Z|+hh:mm|-hh:mm]
    const QString t = isoTime.trimmed();
    const qsizetype tpos = t.indexOf(QLatin1Char('T'));
    const int h = tpos < 0 ? -1 : digitsAt(t, tpos + 1, 2);
    const int m = tpos < 0 ? -1 : digitsAt(t, tpos + 4, 2);
    const int s = tpos < 0 ? -1 : digitsAt(t, tpos + 7, 2);
    if (h < 0 || m < 0 || s < 0 || t.at(tpos + 3) != QLatin1Char(':') || t.at(tpos + 6) != QLatin1Char(':') ||
        h > 23 || m > 59 || s > 60)
        return QString::number(number);
    qsizetype at = tpos + 9;
    double fraction = 0;
    if (at < t.size() && t.at(at) == QLatin1Char('.')) {
        qsizetype end = at + 1;
        while (end < t.size() && t.at(end).isDigit())
            ++end;
        double scale = 0.1;
        for (qsizetype i = at + 1; i < end; ++i, scale /= 10)
            fraction += t.at(i).digitValue() * scale;
        at = end;
    }
    int offsetMinutes = 0;
    if (at < t.size() && (t.at(at) == QLatin1Char('+') || t.at(at) == QLatin1Char('-'))) {
        const int oh = digitsAt(t, at + 1, 2);
        const int om = at + 3 < t.size() && t.at(at + 3) == QLatin1Char(':') ? digitsAt(t, at + 4, 2)
                                                                             : digitsAt(t, at + 3, 2);
        if (oh < 0)
            return QString::number(number);
        offsetMinutes = (oh * 60 + qMax(om, 0)) * (t.at(at) == QLatin1Char('-') ? -1 : 1);
    }
    // Hundredths of a second into the UTC day; local time minus its offset.
    long long cs = std::llround(((h * 60 + m - offsetMinutes) * 60 + s + fraction) * 100);
    constexpr long long kDay = 24LL * 3600 * 100;
    cs = ((cs % kDay) + kDay) % kDay;
    const long long secs = cs / 100;
    char buf[16];
    const int len = std::snprintf(buf, sizeof buf, "%02lld%02lld%02lld.%02lld", secs / 3600, secs / 60 % 60,
                                  secs % 60, cs % 100);
    return QString::fromLatin1(buf, len);
}

bool IsEmptyRow(const PointRow& r) {
    return r.name.isEmpty() && r.latitude.isEmpty() && r.longitude.isEmpty() && r.elevation.isEmpty() &&
           r.message.isEmpty() && r.icon.isEmpty();
}
