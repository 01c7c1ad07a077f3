// SPDX-License-Identifier: GPL-3.0-or-later
#include "gps/magellansentence.h"

#include "platform/ansi.h"
#include "platform/numbers.h"

#include <cmath>

namespace {
const QString kCrLf = QStringLiteral("\r\n");

int hexValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

QString hex2(unsigned v) {
    return QStringLiteral("%1").arg(v & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
}

bool allDigits(const QString& s) {
    for (QChar c : s)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}
} // namespace

const QString kVersionRequest = BuildSentence(QStringLiteral("$PMGNCMD,VERSION,2*"));
const QString kTonCommand = QStringLiteral("$PMGNCMD,TON*27\r\n");
const QString kWaypointRequest = QStringLiteral("$PMGNCMD,WAYPOINT*71\r\n");
const QString kTrackRequest = BuildSentence(QStringLiteral("$PMGNCMD,TRACK,2*"));
const QString kDeleteAllRequest = BuildSentence(QStringLiteral("$PMGNCMD,DELETE,WAYPOINT*"));
const QString kUnableReply = QStringLiteral("$PMGNCMD,UNABLE*63");
const QString kEndReply = QStringLiteral("$PMGNCMD,END*3D");

QString SentenceChecksum(const QString& text) {
    const QByteArray bytes = ToAnsi(text);
    unsigned sum = 0;
    // Positions 2 .. n-3 counted from 1: indexes 1 .. n-4.
    for (qsizetype i = 1; i + 3 < bytes.size(); ++i)
        sum ^= static_cast<unsigned char>(bytes.at(i));
    return hex2(sum);
}

QString BuildSentence(const QString& bodyThroughStar) {
    return bodyThroughStar + SentenceChecksum(bodyThroughStar + kCrLf) + kCrLf;
}

bool HasValidChecksum(const QString& line) {
    const qsizetype star = line.lastIndexOf(QLatin1Char('*'));
    if (!line.startsWith(QLatin1Char('$')) || star < 0 || star != line.size() - 3)
        return false;
    const int hi = hexValue(line.at(star + 1));
    const int lo = hexValue(line.at(star + 2));
    if (hi < 0 || lo < 0)
        return false;
    const QString computed = SentenceChecksum(line.left(star + 1) + kCrLf);
    return computed == hex2(static_cast<unsigned>(hi * 16 + lo));
}

QString StripChecksum(const QString& line) {
    QString s = line;
    if (s.endsWith(kCrLf))
        s.chop(2);
    const qsizetype star = s.lastIndexOf(QLatin1Char('*'));
    if (star >= 0 && star == s.size() - 3 && hexValue(s.at(star + 1)) >= 0 && hexValue(s.at(star + 2)) >= 0)
        s.truncate(star);
    return s;
}

QString DecodeEscapes(const QString& field) {
    if (!field.contains(QChar(27)))
        return field;
    QString out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field.at(i) == QChar(27) && i + 2 < field.size()) {
            const int hi = hexValue(field.at(i + 1));
            const int lo = hexValue(field.at(i + 2));
            if (hi >= 0 && lo >= 0) {
                out += FromAnsi(QByteArray(1, static_cast<char>(hi * 16 + lo)));
                i += 2;
                continue;
            }
        }
        out += field.at(i);
    }
    return out;
}

QStringList SplitReceivedFields(const QString& line) {
    QStringList fields = StripChecksum(line).split(QLatin1Char(','));
    for (QString& f : fields)
        f = DecodeEscapes(f);
    return fields;
}

bool ParseDegreesMinutes(const QString& field, double* degrees) {
    const qsizetype dot = field.indexOf(QLatin1Char('.'));
    const QString whole = dot < 0 ? field : field.left(dot);
    const QString decimals = dot < 0 ? QString() : field.mid(dot + 1);
    if (whole.size() < 3 || !allDigits(whole) || !allDigits(decimals))
        return false;
    const QString deg = whole.left(whole.size() - 2);
    const QString min = field.mid(deg.size());
    *degrees = Val(deg) + Val(min) / 60;
    return true;
}

LineProblem ParseDataLine(const QString& line, ReceivedPoint* out) {
    if (!HasValidChecksum(line))
        return LineProblem::Checksum;
    const QStringList f = SplitReceivedFields(line);
    if (f.size() < 10)
        return LineProblem::TooFewFields;
    double lat = 0, lon = 0;
    if (!ParseDegreesMinutes(f.at(1), &lat) || !ParseDegreesMinutes(f.at(3), &lon))
        return LineProblem::BadCoordinate;
    if (f.at(2) == QLatin1String("S"))
        lat = -lat;
    if (f.at(4) == QLatin1String("W"))
        lon = -lon;
    out->name = f.at(7);
    out->latitude = NumberToText(lat);
    out->longitude = NumberToText(lon);
    out->elevation = f.at(5) + f.at(6);
    out->message = f.at(8);
    // A waypoint's icon may take two letters ("aa" to "ap" on the later
    // models); cutting it would change the icon on the next upload. A track
    // line has the track's name in this place, of which the first letter is kept.
    out->icon = f.at(0) == QLatin1String("$PMGNWPL") ? f.at(9) : f.at(9).left(1);
    return LineProblem::None;
}

bool CoordinateToField(const QString& text, int degreeDigits, QChar positive, QChar negative, QString* field,
                       QString* hemisphere) {
    QString t = text.trimmed();
    bool ok = false;
    const double value = TextToNumber(t, &ok);
    if (!ok || !std::isfinite(value))
        return false;
    // An exponent form (1E-05, or 3.55D1 as the number reader also takes it)
    // has no degree digits to cut: write it out first.
    if (t.contains(QLatin1Char('E'), Qt::CaseInsensitive) ||
        t.contains(QLatin1Char('D'), Qt::CaseInsensitive)) {
        t = QString::number(value, 'f', 15);
        while (t.endsWith(QLatin1Char('0')))
            t.chop(1);
    }
    if (t.startsWith(QLatin1Char('+')))
        t.remove(0, 1);
    const qsizetype dot = t.indexOf(QLatin1Char('.'));
    const qsizetype end = dot < 0 ? t.size() : dot;

    double fraction = 0;
    if (dot >= 0)
        fraction = Val(QLatin1Char('0') + t.mid(dot));
    // Round to thousandths of a minute, halves to the even neighbour.
    const auto thousandths = static_cast<long long>(std::nearbyint(fraction * 60 * 1000));
    const QString minutes = QString::asprintf("%02lld.%03lld", thousandths / 1000, thousandths % 1000);

    QString degrees = t.contains(QLatin1Char('-')) ? t.mid(1, end - 1) : t.left(end);
    while (degrees.size() < degreeDigits)
        degrees.prepend(QLatin1Char('0'));

    *field = degrees + minutes;
    *hemisphere = QString(value > 0 ? positive : negative);
    return true;
}

bool ElevationToFields(const QString& elevation, QString* altitude, QString* unit) {
    if (elevation.size() < 2)
        return false;
    const QString digits = elevation.left(elevation.size() - 1);
    *unit = elevation.right(1);
    if (digits.startsWith(QLatin1Char('-')))
        *altitude = QLatin1Char('-') + digits.mid(1).right(4);
    else
        *altitude = digits.right(4);
    return true;
}
