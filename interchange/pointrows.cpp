// SPDX-License-Identifier: GPL-3.0-or-later
#include "interchange/pointrows.h"

#include "platform/numbers.h"

#include <cmath>

namespace {
constexpr double kFeetPerMetre = 3.28083;

bool inRange(double lat, double lon) {
    return std::isfinite(lat) && std::isfinite(lon) && lat >= -90 && lat <= 90 && lon >= -180 && lon <= 180;
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
    bool okLat = false, okLon = false;
    const double lat = TextToNumber(row.latitude, &okLat);
    const double lon = TextToNumber(row.longitude, &okLon);
    if (!okLat || !okLon || !inRange(lat, lon))
        return std::nullopt;
    return Coordinates{lat, lon};
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
    bool ok = false;
    const double v = TextToNumber(t, &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v * factor;
}

QString ElevationText(double metres) {
    const double whole = std::nearbyint(metres);
    if (!std::isfinite(whole) || std::fabs(whole) > 1e15)
        return QString();
    const auto n = static_cast<long long>(whole);
    return (n < 0 ? QStringLiteral("-") : QString()) +
           QStringLiteral("%1M").arg(n < 0 ? -n : n, 7, 10, QLatin1Char('0'));
}

QString CoordinateText(double degrees) {
    QString t = NumberToText(degrees);
    if (!t.contains(QLatin1Char('E'))) {
        if (t.startsWith(QLatin1Char('.')))
            t.prepend(QLatin1Char('0'));
        else if (t.startsWith(QLatin1String("-.")))
            t.insert(1, QLatin1Char('0'));
        return t;
    }
    t = QString::number(degrees, 'f', 15);
    while (t.endsWith(QLatin1Char('0')))
        t.chop(1);
    if (t.endsWith(QLatin1Char('.')))
        t.chop(1);
    return t;
}

bool SetRowCoordinates(PointRow& row, const QString& latitude, const QString& longitude) {
    bool okLat = false, okLon = false;
    const double lat = TextToNumber(latitude, &okLat);
    const double lon = TextToNumber(longitude, &okLon);
    if (!okLat || !okLon || !inRange(lat, lon))
        return false;
    row.latitude = NumberToText(lat);
    row.longitude = NumberToText(lon);
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
        fraction = Val(QLatin1Char('0') + t.mid(at, end - at));
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
    return QString::asprintf("%02lld%02lld%02lld.%02lld", secs / 3600, secs / 60 % 60, secs % 60, cs % 100);
}

bool IsEmptyRow(const PointRow& r) {
    return r.name.isEmpty() && r.latitude.isEmpty() && r.longitude.isEmpty() && r.elevation.isEmpty() &&
           r.message.isEmpty() && r.icon.isEmpty();
}
