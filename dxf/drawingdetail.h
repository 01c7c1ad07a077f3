// SPDX-License-Identifier: GPL-3.0-or-later
// Small helpers the drawing's own sources share (dxfdrawing.cpp and
// blockimport.cpp); not for use outside the engine.
#pragma once

#include "dxf/dxfdocument.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>

#include <array>
#include <vector>

namespace dxfdetail {

inline QByteArray upper(const QByteArray& s) {
    return s.trimmed().toUpper();
}

inline QString versionName(const QByteArray& v) {
    static const QHash<QByteArray, const char*> names = {
        {"AC1012", "AutoCAD R13"},  {"AC1014", "AutoCAD R14"},  {"AC1015", "AutoCAD 2000"},
        {"AC1018", "AutoCAD 2004"}, {"AC1021", "AutoCAD 2007"}, {"AC1024", "AutoCAD 2010"},
        {"AC1027", "AutoCAD 2013"}, {"AC1032", "AutoCAD 2018"}};
    auto it = names.find(v);
    QString id = QString::fromLatin1(v);
    return it == names.end() ? id : QStringLiteral("%1, %2").arg(id, QString::fromLatin1(it.value()));
}

inline std::array<double, 3> point(const DxfObject& o, int xCode) {
    return {o.number(xCode).value_or(0), o.number(xCode + 10).value_or(0), o.number(xCode + 20).value_or(0)};
}

inline void setPoint(std::vector<DxfTag>& tags, int xCode, const std::array<double, 3>& p) {
    tags.push_back(DxfDocument::tag(xCode, p[0]));
    tags.push_back(DxfDocument::tag(xCode + 10, p[1]));
    tags.push_back(DxfDocument::tag(xCode + 20, p[2]));
}

// The versions a drawing may have to be edited here.
inline bool isEditable(const QByteArray& v) {
    static const QSet<QByteArray> versions = {"AC1009", "AC1012", "AC1014", "AC1015", "AC1018",
                                              "AC1021", "AC1024", "AC1027", "AC1032"};
    return versions.contains(v);
}

} // namespace dxfdetail
