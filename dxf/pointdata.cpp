// SPDX-License-Identifier: GPL-3.0-or-later
#include "dxf/pointdata.h"

namespace PointDataXData {

DxfExtendedData toExtendedData(const PointData& d) {
    DxfExtendedData x;
    x.application = QString::fromLatin1(kPointDataApp);
    auto text = [&](const char* label, const QString& value) {
        x.items.push_back({1000, QString::fromLatin1(label), 0});
        x.items.push_back({1000, value, 0});
    };
    if (d.crs.isEmpty()) {
        x.items.push_back({1000, QStringLiteral("ZONE"), 0});
        x.items.push_back({1070, QString(), static_cast<double>(d.zone)});
        text("HEMISPHERE", d.hemisphere == QLatin1Char('S') ? QStringLiteral("S") : QStringLiteral("N"));
        text("UNIT", d.metric ? QStringLiteral("m") : QStringLiteral("ft"));
    } else {
        text("CRS", d.crs);
    }
    text("NAME", d.name);
    text("MESSAGE", d.message);
    text("ICON", d.icon);
    return x;
}

std::optional<PointData> parse(const std::vector<std::pair<int, QString>>& groups) {
    PointData d;
    bool zone = false, crs = false;
    // Labels are 1000 strings followed by their value; anything unknown is skipped.
    for (size_t i = 0; i + 1 < groups.size(); ++i) {
        if (groups[i].first != 1000)
            continue;
        const QString label = groups[i].second.trimmed();
        const auto& [code, value] = groups[i + 1];
        if (label == QLatin1String("ZONE") && code == 1070) {
            bool ok = false;
            const int z = value.toInt(&ok);
            if (ok && z >= 1 && z <= 60) {
                d.zone = z;
                zone = true;
            }
        } else if (code != 1000) {
            continue;
        } else if (label == QLatin1String("HEMISPHERE")) {
            d.hemisphere = value.trimmed() == QLatin1String("S") ? QLatin1Char('S') : QLatin1Char('N');
        } else if (label == QLatin1String("UNIT")) {
            d.metric = value.trimmed() != QLatin1String("ft");
        } else if (label == QLatin1String("CRS")) {
            d.crs = value.trimmed();
            crs = !d.crs.isEmpty();
        } else if (label == QLatin1String("NAME")) {
            d.name = value;
        } else if (label == QLatin1String("MESSAGE")) {
            d.message = value;
        } else if (label == QLatin1String("ICON")) {
            d.icon = value;
        } else {
            continue;
        }
        ++i; // the value was used
    }
    if (!zone && !crs)
        return std::nullopt; // not a placement this program can undo
    if (zone && d.hemisphere.isNull())
        d.hemisphere = QLatin1Char('N');
    if (crs)
        d.zone = 0;
    return d;
}

} // namespace PointDataXData
