// SPDX-License-Identifier: GPL-3.0-or-later
#include "cad/insertionsettings.h"

#include "platform/numbers.h"
#include "platform/settings.h"

#include <cmath>
#include <limits>

namespace {

QString setting(const QString& key, const QString& defaultValue) {
    return GetSetting(QStringLiteral("Korvel Transfer"), QStringLiteral("Options"), key, defaultValue);
}

} // namespace

bool SettingTextToBool(const QString& text, bool fallback) {
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const double v = TextToNumber(t, &ok);
    return ok ? v != 0 : fallback;
}

short SettingTextToShort(const QString& text, bool* overflow) {
    *overflow = false;
    if (!IsNumeric(text))
        return 0;
    const double v = std::nearbyint(TextToNumber(text));
    if (!(v >= std::numeric_limits<short>::min() && v <= std::numeric_limits<short>::max())) {
        *overflow = true;
        return 0;
    }
    return static_cast<short>(v);
}

InsertionOptions StoredInsertionOptions() {
    InsertionOptions o;
    o.strAttribute = setting(QStringLiteral("Attribute"), QStringLiteral("Message"));
    o.strBlock = setting(QStringLiteral("Block"), QStringLiteral("Flag"));
    o.strLayer = setting(QStringLiteral("Layer"), QStringLiteral("Landmarks"));
    o.blnMetric = SettingTextToBool(setting(QStringLiteral("Metric"), QStringLiteral("False")), false);
    bool overflow = false;
    o.intZone = SettingTextToShort(setting(QStringLiteral("Zone"), QStringLiteral("0")), &overflow);
    o.strCrs = setting(QStringLiteral("CRS"), QString()).trimmed();
    return o;
}

QString NormalisedCrsCode(const QString& text) {
    const QString t = text.trimmed();
    bool digits = !t.isEmpty();
    for (const QChar c : t)
        digits = digits && c.isDigit();
    return digits ? QStringLiteral("EPSG:") + t : t;
}
