// SPDX-License-Identifier: GPL-3.0-or-later
#include "dxf/pointdata.h"

namespace PointDataXData {

DxfExtendedData toExtendedData(const PointData& d) {
    DxfExtendedData x;
    x.application = QStringLiteral("KORVEL_TRANSFER");
    const bool utm = d.crs.isEmpty();
    x.items = {
        {1070, QString(), utm ? double(d.zone) : 0.0},
        {1000, utm ? (d.hemisphere == QLatin1Char('S') ? QStringLiteral("S") : QStringLiteral("N")) : d.crs,
         0},
        {1000, utm ? (d.metric ? QStringLiteral("m") : QStringLiteral("ft")) : QString(), 0},
        {1000, d.name, 0},
        {1000, d.message, 0},
        {1000, d.icon, 0},
    };
    return x;
}

std::optional<PointData> parse(const std::vector<std::pair<int, QString>>& groups) {
    if (groups.size() < 3 || groups[0].first != 1070 || groups[1].first != 1000 || groups[2].first != 1000)
        return std::nullopt;
    PointData d;
    bool ok = false;
    const int zone = groups[0].second.toInt(&ok);
    if (!ok || zone < 0 || zone > 60)
        return std::nullopt;
    const QString second = groups[1].second.trimmed();
    if (zone == 0) {
        if (second.isEmpty())
            return std::nullopt; // neither a zone nor a system: nothing to place the point by
        d.crs = second;
    } else {
        d.zone = zone;
        d.hemisphere = second == QLatin1String("S") ? QLatin1Char('S') : QLatin1Char('N');
        d.metric = groups[2].second.trimmed() != QLatin1String("ft");
    }
    QString* texts[] = {&d.name, &d.message, &d.icon};
    for (size_t i = 3; i < groups.size() && i < 6; ++i)
        if (groups[i].first == 1000)
            *texts[i - 3] = groups[i].second;
    return d;
}

} // namespace PointDataXData
