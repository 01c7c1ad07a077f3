// SPDX-License-Identifier: GPL-3.0-or-later
// The settings store against the INI reader it shares files with, and
// against a full or failing disk.
#include "platform/settings.h"
#include "support/faultinjection.h"
#include "support/scriptedprompts.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <gtest/gtest.h>

namespace {

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

} // namespace

// Whatever text is saved, the INI reader reads back; and the keys of the file
// that were not saved, typed values and other sections included, stay.
TEST(Settings, TheIniReaderReadsBackEveryTextAndOtherKeysStay) {
    const QString app = QStringLiteral("Round Trip");
    const QString file = SettingsFilePath(app);
    {
        QSettings other(file, QSettings::IniFormat);
        other.setValue("Window/Geometry", QByteArray("\x01\x02\xff", 3));
        other.setValue("Options/Layer", "0");
        other.setValue("Options/Zone", "14");
    }
    const QString texts[] = {"",
                             "True",
                             "/home/ana maría/Drawing 1.dxf",
                             " leading and trailing ",
                             "a,b;c=d",
                             "say \"hi\" \\ there",
                             "@at the start",
                             "line\nbreak\ttab\x01"
                             "1f",
                             "€ and 漢字"};
    for (const QString& text : texts) {
        SCOPED_TRACE(text.toStdString());
        ASSERT_TRUE(SaveSetting(app, "Options", "Attribute", text));
        ASSERT_TRUE(SaveSetting(app, "New Section", "Odd Key=", text));
        QSettings reader(file, QSettings::IniFormat);
        EXPECT_EQ(reader.value("Options/Attribute").toString(), text);
        EXPECT_EQ(reader.value("New Section/Odd Key=").toString(), text);
        EXPECT_EQ(reader.value("Window/Geometry").toByteArray(), QByteArray("\x01\x02\xff", 3));
        EXPECT_EQ(reader.value("Options/Zone").toString(), "14");
        EXPECT_EQ(GetSetting(app, "Options", "Attribute"), text);
    }
    ASSERT_TRUE(SaveSetting(app, "Options", "Zone", "15"));
    EXPECT_EQ(contents(file).count("Zone="), 1);
    EXPECT_EQ(GetSetting(app, "Options", "Zone"), "15");
}

// Any failing step of the write: the file stays as it was, the value stays in
// use for the session, every failure gives the system's reason, and only the
// first failure of the session carries the message for the user, with the
// file and the reason. Nothing is shown by the save itself; the window shows
// the message. The next save that works writes every value that was kept.
TEST(Settings, AFailedWriteIsToldOnceAndTheValuesStayInUse) {
    const QString app = QStringLiteral("Failing Disk");
    const QString file = SettingsFilePath(app);
    ASSERT_TRUE(SaveSetting(app, "Options", "Metric", "True"));
    const QByteArray old = contents(file);
    ScriptedPrompts prompts; // a prompt from the save itself fails the test
    QStringList told;
    int zone = 10;
    // At least the size of the file before, one value shorter than after.
    for (const WriteFault& c : DurableWriteFaults(old.size())) {
        SCOPED_TRACE(c.what);
        const QString value = QString::number(++zone);
        {
            FaultInjection inject("Failing Disk.ini", c.faults);
            const SettingSaved saved = SaveSetting(app, "Options", "Zone", value);
            EXPECT_FALSE(saved);
            EXPECT_FALSE(saved.reason.isEmpty());
            if (!saved.message.isEmpty())
                told << saved.message;
            EXPECT_GE(inject.failures(), 1);
        }
        EXPECT_EQ(contents(file), old);
        EXPECT_EQ(GetSetting(app, "Options", "Zone"), value);
    }
    EXPECT_TRUE(prompts.prompts().isEmpty());
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].contains(file)) << told[0].toStdString();
    EXPECT_TRUE(told[0].contains("No space left on device"));
    prompts.answerMessage(vbOK);
    ShowSettingSaved({false, QString(), told[0]});
    ASSERT_EQ(prompts.messages(), told);
    EXPECT_EQ(prompts.prompts()[0].buttons, vbOKOnly | vbExclamation);

    EXPECT_TRUE(SaveSetting(app, "Options", "Metric", "False"));
    QSettings reader(file, QSettings::IniFormat);
    EXPECT_EQ(reader.value("Options/Zone").toString(), QString::number(zone));
    EXPECT_EQ(reader.value("Options/Metric").toString(), "False");
}

// A real fault: a settings folder that cannot be made (a file stands in its way).
TEST(Settings, AnUnwritablePlaceIsToldWithTheSystemsReason) {
    const QString config = QFileInfo(SettingsFilePath("x")).absolutePath();
    QFile blocker(config + "/Blocked");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ScriptedPrompts prompts;
    const SettingSaved saved = SaveSetting("Blocked/App", "Options", "Zone", "3");
    EXPECT_FALSE(saved);
    EXPECT_TRUE(saved.reason.contains("Not a directory")) << saved.reason.toStdString();
    EXPECT_EQ(GetSetting("Blocked/App", "Options", "Zone"), "3");
    EXPECT_TRUE(prompts.prompts().isEmpty());
    EXPECT_TRUE(saved.message.contains(config + "/Blocked/App.ini"));
    EXPECT_TRUE(saved.message.contains("Not a directory")) << saved.message.toStdString();
}
