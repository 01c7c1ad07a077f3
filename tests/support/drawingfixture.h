// SPDX-License-Identifier: GPL-3.0-or-later
// What the tests of the drawing engine and its window share: the drawing path
// setting, whole-file reads and writes, the shipped flag block, and a fixture
// whose drawing is Drawing1.dxf in a temporary folder of its own.
#pragma once
#include "dxf/dxfengine.h"
#include "platform/programfolder.h"
#include "platform/settings.h"
#include "render/dxfrender.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Setting "Drawing"/"Path": the drawing the engine works on ("" clears it).
inline void setDrawingPath(const QString& path) {
    SaveSetting(DrawingSetting::kApp, DrawingSetting::kSection, DrawingSetting::kPath, path);
}

inline QString drawingPathSetting() {
    return GetSetting(DrawingSetting::kApp, DrawingSetting::kSection, DrawingSetting::kPath);
}

inline QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

inline QString flag() {
    return SupportPath(QStringLiteral("Inserts/Flag.dxf"));
}

// Whether anything but the background is drawn within one pixel of p; the
// drawing window's background is dark unless the user chose a light one.
inline bool inkedAt(const QImage& image, const QPoint& p,
                    QRgb background = backgroundColor(DxfBackground::Dark).rgb()) {
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (image.rect().contains(p + QPoint(dx, dy)) && image.pixel(p + QPoint(dx, dy)) != background)
                return true;
    return false;
}

// The setting names `path`, Drawing1.dxf in `dir`, for the test; it is cleared afterwards.
class DrawingPathTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("Drawing1.dxf"));
        setDrawingPath(path);
    }
    void TearDown() override { setDrawingPath(QString()); }

    QTemporaryDir dir;
    QString path;
};
