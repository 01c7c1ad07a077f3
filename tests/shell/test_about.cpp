// SPDX-License-Identifier: GPL-3.0-or-later
// Help and About: the help window or the missing-file message, the About
// window's texts and lifetime, and the System Information lookup.
#include "platform/programfolder.h"
#include "scopedregistry.h"
#include "shell/form1.h"
#include "shell/frmabout.h"
#include "shell/helpwindow.h"
#include "shell/modmain.h"
#include "shell/modreg.h"
#include "support/scriptedprompts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// An About window whose launcher records instead of starting anything.
struct About {
    About() {
        LoadForm(&form);
        form.launcher = [this](const QString& program) {
            started << program;
            return launchSucceeds;
        };
    }
    frmAbout& form = *new frmAbout; // deletes itself when closed
    QStringList started;
    bool launchSucceeds = true;
};

void processDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QString hexBytes(const QByteArray& bytes) {
    QStringList parts;
    for (char c : bytes)
        parts << QStringLiteral("%1").arg(uchar(c), 2, 16, QLatin1Char('0'));
    return parts.join(QLatin1Char(','));
}

} // namespace

TEST(Help, OpensTheShippedFileInOneNonModalWindow) {
    Form1 form;
    LoadForm(&form);
    form.show();
    ScriptedPrompts prompts; // no message expected
    form.cmdHelp_Click();
    const auto windows = form.findChildren<HelpWindow*>();
    ASSERT_EQ(windows.size(), 1);
    HelpWindow* help = windows[0];
    EXPECT_TRUE(help->isVisible());
    EXPECT_FALSE(help->isModal());
    EXPECT_TRUE(help->isWindow());
    EXPECT_EQ(help->source().toLocalFile(), SupportPath(QStringLiteral("Help/KorvelTransferHelp.html")));
    const QString text = help->toPlainText();
    for (const char* topic : {"KORVEL_COMM_PORTS", "Comm1", "Get Waypoints", "Drawing1.dxf",
                              "GPS Report YYYY-MM-DD.pdf", "Zenobar", "Insert Selected Into DWG"})
        EXPECT_TRUE(text.contains(QString::fromLatin1(topic))) << topic;

    form.cmdHelp_Click(); // the same window comes forward
    EXPECT_EQ(form.findChildren<HelpWindow*>().size(), 1);
    EXPECT_TRUE(prompts.prompts().isEmpty());
}

TEST(Help, MissingFileIsReported) {
    QTemporaryDir program; // a program folder without Support/Help
    SetAppPathOverride(program.path());
    ScriptedPrompts prompts;
    prompts.setAnswerMessagesWithOk(true); // loading without a rules file warns
    Form1 form;
    LoadForm(&form);
    prompts.setAnswerMessagesWithOk(false);
    prompts.clear();
    prompts.answerMessage();
    form.cmdHelp_Click();
    SetAppPathOverride(QString());
    ASSERT_EQ(prompts.prompts().size(), 1);
    EXPECT_EQ(prompts.prompts()[0].text, QStringLiteral("The help file is missing."));
    EXPECT_EQ(prompts.prompts()[0].title, QStringLiteral("Korvel Transfer"));
    EXPECT_EQ(prompts.prompts()[0].buttons, vbOKOnly);
    EXPECT_TRUE(form.findChildren<HelpWindow*>().isEmpty());
}

TEST(About, LabelsButtonsAndCaption) {
    About a;
    frmAbout& f = a.form;
    EXPECT_EQ(f.windowTitle(), QStringLiteral("About Korvel Transfer"));
    EXPECT_EQ(f.lblTitle->text(), QStringLiteral("Korvel Transfer"));
    EXPECT_EQ(f.lblVersion->text(), QStringLiteral("Version 1.0.0"));
    EXPECT_EQ(
        f.lblDescription->text(),
        QStringLiteral("Download waypoints and tracking points from your Magellan GPS unit. Save the file "
                       "for later upload or transfer the points to an AutoCAD drawing."));
    EXPECT_EQ(f.lblDisclaimer->text(),
              QStringLiteral("AutoCAD is a trademark of AutoDesk. SporTrak is a trademark of Magellan."));
    EXPECT_EQ(f.cmdOK->text(), QStringLiteral("OK"));
    EXPECT_TRUE(f.cmdOK->isDefault());
    EXPECT_EQ(f.cmdSysInfo->text(), QStringLiteral("&System Info..."));
    EXPECT_EQ(f.cmdOK->geometry(), QRect(283, 175, 84, 23)); // 4245, 2625, 1260, 345 twips
    f.close();
    processDeletes();

    // Caption and title follow the application title.
    SetAppTitle(QStringLiteral("Other Title"));
    About other;
    SetAppTitle(QStringLiteral("Korvel Transfer"));
    EXPECT_EQ(other.form.windowTitle(), QStringLiteral("About Other Title"));
    EXPECT_EQ(other.form.lblTitle->text(), QStringLiteral("Other Title"));
    other.form.close();
    processDeletes();
}

TEST(About, OneWindowModelessClosedByOkAndEscape) {
    Form1 form;
    LoadForm(&form);
    form.show();
    form.cmdAbout_Click();
    frmAbout* about = form.aboutForm;
    ASSERT_TRUE(about);
    EXPECT_TRUE(about->isVisible());
    EXPECT_FALSE(about->isModal());
    form.cmdAbout_Click(); // brings the same window forward
    EXPECT_EQ(form.aboutForm, about);
    EXPECT_EQ(form.findChildren<frmAbout*>().size(), 1);

    QTest::keyClick(about, Qt::Key_Escape);
    processDeletes();
    EXPECT_EQ(form.aboutForm, nullptr);
    EXPECT_TRUE(form.findChildren<frmAbout*>().isEmpty());

    form.cmdAbout_Click(); // a new one after the first was closed
    ASSERT_TRUE(form.aboutForm);
    EXPECT_EQ(form.aboutForm->lblVersion->text(), QStringLiteral("Version 1.0.0"));
    form.aboutForm->cmdOK->click();
    processDeletes();
    EXPECT_EQ(form.aboutForm, nullptr);
}

// The programs started and the messages shown by System Info.
std::pair<QStringList, QStringList> sysInfo(const QString& registry, bool launchSucceeds = true) {
    ScopedRegistry r(registry);
    About a;
    a.launchSucceeds = launchSucceeds;
    ScriptedPrompts prompts;
    prompts.setAnswerMessagesWithOk(true);
    a.form.cmdSysInfo->click();
    for (const PromptRecord& p : prompts.prompts())
        EXPECT_EQ(p.buttons, vbOKOnly);
    EXPECT_EQ(r.file.openKeyCount(), 0);
    a.form.close();
    processDeletes();
    return {a.started, prompts.messages()};
}

TEST(SysInfo, StartsTheRegisteredToolOrSaysItIsUnavailable) {
    QTemporaryDir withTool, withoutTool;
    QFile tool(withTool.path() + QStringLiteral("/MSINFO32.EXE"));
    ASSERT_TRUE(tool.open(QIODevice::WriteOnly));
    tool.close();
    const QString path = QStringLiteral("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]\n"
                                        "\"PATH\"=\"/opt/sysinfo\"\n");
    const QString folder = QStringLiteral("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools Location]\n"
                                          "\"MSINFO\"=\"%1\"\n");
    const QStringList none, unavailable{QStringLiteral("System Information Is Unavailable At This Time")};
    using Result = std::pair<QStringList, QStringList>;

    EXPECT_EQ(sysInfo(path), Result({QStringLiteral("/opt/sysinfo")}, none));
    EXPECT_EQ(sysInfo(path, false), Result({QStringLiteral("/opt/sysinfo")}, unavailable));
    EXPECT_EQ(sysInfo(folder.arg(withTool.path())), Result({withTool.path() + "/MSINFO32.EXE"}, none));
    EXPECT_EQ(sysInfo(folder.arg(withoutTool.path())), Result(none, unavailable));
    EXPECT_EQ(sysInfo(QString()), Result(none, unavailable));
}

TEST(GetKeyValue, BufferOf1024Bytes) {
    const QByteArray full(1024, 'x');
    ScopedRegistry r(QStringLiteral("[HKEY_LOCAL_MACHINE\\K]\n\"Full\"=hex(1):%1\n\"WithNul\"=hex(1):%2\n"
                                    "\"TooLong\"=hex(1):%3\n\"Num\"=dword:0000002a\n\"Exp\"=hex(2):61,00\n")
                         .arg(hexBytes(full), hexBytes(QByteArray(1023, 'y') + '\0'), hexBytes(full + 'z')));
    About a;
    QString v = QStringLiteral("before");
    auto read = [&](const char* key, const char* name) {
        return a.form.GetKeyValue(HKEY_LOCAL_MACHINE, QString::fromLatin1(key), QString::fromLatin1(name), v);
    };
    EXPECT_TRUE(read("K", "Exp")); // another type: the text stays as it was
    EXPECT_EQ(v, QStringLiteral("before"));
    EXPECT_TRUE(read("K", "Full")); // fills the buffer, no closing NUL: whole
    EXPECT_EQ(v, QString(1024, QLatin1Char('x')));
    EXPECT_TRUE(read("K", "WithNul"));
    EXPECT_EQ(v, QString(1023, QLatin1Char('y')));
    EXPECT_TRUE(read("K", "Num"));
    EXPECT_EQ(v, QStringLiteral("0000002A"));
    EXPECT_FALSE(read("K", "TooLong"));
    EXPECT_EQ(v, QString());
    v = QStringLiteral("before");
    EXPECT_FALSE(read("NoKey", "Full"));
    EXPECT_EQ(v, QString());
    EXPECT_EQ(r.file.openKeyCount(), 0);
    a.form.close();
    processDeletes();
}
