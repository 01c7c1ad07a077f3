// SPDX-License-Identifier: GPL-3.0-or-later
// Byte-for-byte comparison with a hex dump of both sides on mismatch.
#pragma once
#include <QByteArray>
#include <QFile>
#include <QString>

#include <gtest/gtest.h>

#include <string>

inline std::string hexDump(const QByteArray& bytes) {
    std::string out;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (i % 16 == 0)
            out += (i ? "\n" : "") + QString::asprintf("%04llx:", static_cast<long long>(i)).toStdString();
        out += QString::asprintf(" %02x", static_cast<unsigned char>(bytes[i])).toStdString();
    }
    return out;
}

inline ::testing::AssertionResult sameBytes(const QByteArray& actual, const QByteArray& expected) {
    if (actual == expected)
        return ::testing::AssertionSuccess();
    qsizetype first = 0;
    while (first < actual.size() && first < expected.size() && actual[first] == expected[first])
        ++first;
    return ::testing::AssertionFailure() << "bytes differ at offset " << first << " (sizes " << actual.size()
                                         << " and " << expected.size() << ")\nactual:\n"
                                         << hexDump(actual) << "\nexpected:\n"
                                         << hexDump(expected);
}

inline QByteArray fileBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return f.readAll();
}

inline bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}
