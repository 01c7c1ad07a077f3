// SPDX-License-Identifier: GPL-3.0-or-later
// The record format, byte by byte.
#include "files/pointsfile.h"
#include "hexdump.h"

#include <gtest/gtest.h>

namespace {

const PointsRecord kWp1{QStringLiteral("WP1"),      35.5,      -90.25,
                        QStringLiteral("0000028M"), QString(), QStringLiteral("a")};

// Written out by hand from the format: lengths and doubles little-endian.
QByteArray wp1Bytes() {
    return QByteArray::fromHex("0300"
                               "575031"               // "WP1"
                               "0000000000c04140"     // 35.5 = 0x4041C00000000000
                               "00000000009056c0"     // -90.25 = 0xC056900000000000
                               "0800303030303032384d" // "0000028M"
                               "0000"                 // empty message
                               "010061");             // "a"
}

} // namespace

TEST(PointsRecord, ExampleRecordIsTheDocumentedThirtySixBytes) {
    QByteArray out;
    ASSERT_TRUE(AppendRecord(out, kWp1));
    EXPECT_EQ(out.size(), 36);
    EXPECT_TRUE(sameBytes(out, wp1Bytes()));

    PointsRecord back;
    EXPECT_EQ(DecodeRecord(out.constData(), std::size_t(out.size()), back), 36u);
    EXPECT_EQ(back, kWp1);
    EXPECT_TRUE(back.message.isEmpty());
}

TEST(PointsRecord, RecordsFollowEachOtherWithoutPadding) {
    QByteArray out;
    PointsRecord second{
        QStringLiteral("Camp"), -33.9, 151.2, QStringLiteral("0000100F"), QStringLiteral("tent"),
        QStringLiteral("b")};
    ASSERT_TRUE(AppendRecord(out, kWp1));
    ASSERT_TRUE(AppendRecord(out, second));
    EXPECT_TRUE(sameBytes(out.left(36), wp1Bytes()));

    PointsRecord a, b;
    const std::size_t n1 = DecodeRecord(out.constData(), std::size_t(out.size()), a);
    ASSERT_EQ(n1, 36u);
    const std::size_t n2 = DecodeRecord(out.constData() + n1, std::size_t(out.size()) - n1, b);
    EXPECT_EQ(n1 + n2, std::size_t(out.size()));
    EXPECT_EQ(a, kWp1);
    EXPECT_EQ(b, second);
}

TEST(PointsRecord, EveryCutShortPrefixIsNoRecord) {
    const QByteArray full = wp1Bytes();
    for (qsizetype len = 0; len < full.size(); ++len) {
        // A heap copy of exactly len bytes, so a read past the end trips ASan.
        QByteArray prefix(full.constData(), len);
        PointsRecord rec;
        EXPECT_EQ(DecodeRecord(prefix.constData(), std::size_t(len), rec), 0u)
            << "prefix of " << len << " bytes";
    }
}

TEST(PointsRecord, WindowsTextRoundTrips) {
    PointsRecord rec = kWp1;
    rec.name = QStringLiteral("Café");
    rec.message = QStringLiteral("5 €");
    rec.elevation = QStringLiteral("日"); // not in the code page
    QByteArray out;
    ASSERT_TRUE(AppendRecord(out, rec));
    EXPECT_TRUE(sameBytes(out.left(6), QByteArray::fromHex("0400436166e9")));
    EXPECT_TRUE(out.contains(QByteArray::fromHex("0300352080"))); // "5 €" with € = 0x80
    EXPECT_TRUE(out.contains(QByteArray::fromHex("01003f")));     // unknown character -> '?'

    PointsRecord back;
    ASSERT_EQ(DecodeRecord(out.constData(), std::size_t(out.size()), back), std::size_t(out.size()));
    EXPECT_EQ(back.name, QStringLiteral("Café"));
    EXPECT_EQ(back.message, QStringLiteral("5 €"));
    EXPECT_EQ(back.elevation, QStringLiteral("?"));
}

TEST(PointsRecord, TextLongerThanALengthFieldIsRefusedNotTruncated) {
    PointsRecord rec = kWp1;
    rec.message = QString(kMaxTextFieldBytes, QLatin1Char('x'));
    QByteArray out("keep");
    ASSERT_TRUE(AppendRecord(out, rec));
    EXPECT_EQ(out.size(), 4 + 36 + kMaxTextFieldBytes);

    rec.message += QLatin1Char('x');
    out = "keep";
    PointsField field = fieldName;
    EXPECT_FALSE(AppendRecord(out, rec, &field));
    EXPECT_EQ(field, fieldMessage);
    EXPECT_EQ(out, QByteArray("keep"));
}
