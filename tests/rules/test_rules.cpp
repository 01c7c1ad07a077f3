// SPDX-License-Identifier: GPL-3.0-or-later
// The rules recordset, the block lookup and the rules window.
#include "rules/frmrules.h"
#include "rules/recordset.h"
#include "rules/rulesdb.h"
#include "support/scriptedprompts.h"
#include "support/test_rules_fixture.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <memory>

#include <csignal>
#include <sys/resource.h>

namespace {
const QString kDefault = QStringLiteral("default.dxf");

struct OpenRules {
    explicit OpenRules(const QString& path) : db(path), rs(db.database(), QStringLiteral("Rules_Message")) {}
    RulesDb db;
    Recordset rs;
};

class RulesFile : public ::testing::Test {
protected:
    ProgramFolder folder;
    std::unique_ptr<OpenRules> open(const QVector<RuleRow>& rows) {
        writeRulesFile(folder.rulesFile(), rows);
        return std::make_unique<OpenRules>(folder.rulesFile());
    }
};

int errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const RecordsetError& e) {
        return e.number();
    }
    return 0;
}
} // namespace

// ---- lookup -------------------------------------------------------------

TEST_F(RulesFile, TableOrderNotLengthDecidesAndTheValueIsCut) {
    auto r = open({{"AB", "ab.dxf", "Left"}, {"ABC", "abc.dxf", "Left"}});
    QString message = QStringLiteral("ABCD");
    EXPECT_EQ(MatchBlockRule(&r->rs, message, kDefault), "ab.dxf");
    EXPECT_EQ(message, "CD");
    // The cursor stays on the matching row.
    EXPECT_EQ(r->rs.text("Value"), "AB");
}

TEST_F(RulesFile, LocationAndValueCompareExactly) {
    auto r = open({{"OAK", "left-lower.dxf", "left"},
                   {"OAK", "left-upper.dxf", "LEFT"},
                   {"oak", "value-lower.dxf", "Left"},
                   {"-T", "tree.dxf", "Right"}});
    QString message = QStringLiteral("OAK-T");
    EXPECT_EQ(MatchBlockRule(&r->rs, message, kDefault), "tree.dxf");
    EXPECT_EQ(message, "OAK");

    message = QStringLiteral("OAKS");
    EXPECT_EQ(MatchBlockRule(&r->rs, message, kDefault), kDefault);
    EXPECT_EQ(message, "OAKS");
    EXPECT_TRUE(r->rs.isEOF());
}

TEST_F(RulesFile, WholeMessagesShortMessagesAndEmptyValues) {
    auto r = open({{"WELL", "well.dxf", "Right"}, {"", "any.dxf", "Left"}, {"X", "x.dxf", "Left"}});
    QString message = QStringLiteral("WELL");
    EXPECT_EQ(MatchBlockRule(&r->rs, message, kDefault), "well.dxf");
    EXPECT_EQ(message, "");

    // Shorter than "WELL": compared whole, no match; then the empty Value
    // matches at its place and cuts nothing, ahead of "X".
    message = QStringLiteral("XLL");
    EXPECT_EQ(MatchBlockRule(&r->rs, message, kDefault), "any.dxf");
    EXPECT_EQ(message, "XLL");
}

TEST_F(RulesFile, EmptyTableOrNoDatabaseGivesTheDefault) {
    auto r = open({});
    QString message = QStringLiteral("CAMP 1");
    EXPECT_EQ(MatchBlockRule(&r->rs, message, kDefault), kDefault);
    EXPECT_EQ(MatchBlockRule(nullptr, message, kDefault), kDefault);
    EXPECT_EQ(message, "CAMP 1");
}

// Rules read once for a command answer every message as the walk over the table does.
TEST_F(RulesFile, RulesReadOnceMatchAsTheTableWalkDoes) {
    auto r = open({{"OAK", "left-lower.dxf", "left"},
                   {"AB", "ab.dxf", "Left"},
                   {"-T", "tree.dxf", "Right"},
                   {"WELL", "well.dxf", "Right"},
                   {"", "any.dxf", "Left"}});
    const std::vector<BlockRule> rules = ReadBlockRules(&r->rs);
    EXPECT_EQ(rules.size(), 5u);
    for (const char* text : {"ABCD", "OAK-T", "WELL", "XLL", "", "ab"}) {
        QString walked = QString::fromUtf8(text);
        QString read = walked;
        EXPECT_EQ(MatchBlockRule(rules, read, kDefault), MatchBlockRule(&r->rs, walked, kDefault)) << text;
        EXPECT_EQ(read, walked) << text;
    }
    QString message = QStringLiteral("CAMP");
    EXPECT_EQ(MatchBlockRule(std::vector<BlockRule>{}, message, kDefault), kDefault);
    EXPECT_TRUE(ReadBlockRules(nullptr).empty());
}

// ---- recordset ----------------------------------------------------------

TEST_F(RulesFile, EmptySetIsAtBothEndsAndHasNoCurrentRecord) {
    auto r = open({});
    EXPECT_TRUE(r->rs.isBOF());
    EXPECT_TRUE(r->rs.isEOF());
    r->rs.MoveFirst();
    r->rs.MoveLast();
    EXPECT_EQ(errorOf([&] { r->rs.MoveNext(); }), errNoCurrentRecord);
    EXPECT_EQ(errorOf([&] { r->rs.MovePrevious(); }), errNoCurrentRecord);
    EXPECT_EQ(errorOf([&] { r->rs.text("Value"); }), errNoCurrentRecord);
    EXPECT_EQ(errorOf([&] { r->rs.Edit(); }), errNoCurrentRecord);
    EXPECT_EQ(errorOf([&] { r->rs.Delete(); }), errNoCurrentRecord);
    EXPECT_EQ(errorOf([&] { r->rs.Update(); }), errUpdateWithoutEdit);
}

TEST_F(RulesFile, StepsOffEitherEndBeforeFailing) {
    auto r = open({{"A", "a", "Left"}, {"B", "b", "Left"}});
    EXPECT_EQ(r->rs.text("Value"), "A");
    EXPECT_FALSE(r->rs.isBOF());
    r->rs.MoveNext();
    EXPECT_EQ(r->rs.text("value"), "B"); // field names in any letter case
    r->rs.MoveNext();
    EXPECT_TRUE(r->rs.isEOF());
    EXPECT_FALSE(r->rs.isBOF());
    EXPECT_EQ(errorOf([&] { r->rs.text("Value"); }), errNoCurrentRecord);
    EXPECT_EQ(errorOf([&] { r->rs.MoveNext(); }), errNoCurrentRecord);
    r->rs.MovePrevious();
    EXPECT_EQ(r->rs.text("Value"), "B");
    r->rs.MoveFirst();
    r->rs.MovePrevious();
    EXPECT_TRUE(r->rs.isBOF());
    EXPECT_EQ(errorOf([&] { r->rs.MovePrevious(); }), errNoCurrentRecord);
    EXPECT_EQ(errorOf([&] { r->rs.text("Nope"); }), errItemNotFound);
}

TEST_F(RulesFile, EditAddAndDeleteReachTheFile) {
    auto r = open({{"A", "a", "Left"}, {"B", "b", "Left"}, {"C", "c", "Left"}});
    r->rs.MoveNext();
    r->rs.Edit();
    r->rs.setValue("Location", "Right");
    r->rs.Update();
    EXPECT_EQ(r->rs.text("Location"), "Right");

    // An added row joins the end; the cursor stays on B.
    r->rs.AddNew();
    r->rs.setValue("Value", "D");
    r->rs.Update();
    EXPECT_EQ(r->rs.text("Value"), "B");
    EXPECT_EQ(r->rs.RecordCount(), 4);

    // Deleting B leaves the cursor on a deleted row between A and C.
    r->rs.Delete();
    EXPECT_EQ(errorOf([&] { r->rs.text("Value"); }), errRecordDeleted);
    r->rs.MoveNext();
    EXPECT_EQ(r->rs.text("Value"), "C");
    r->rs.MoveNext();
    EXPECT_EQ(r->rs.text("Value"), "D");
    EXPECT_EQ(r->rs.text("Location"), ""); // Null reads as empty text

    const QVector<RuleRow> rows = readRulesFile(folder.rulesFile());
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0].value, "A");
    EXPECT_EQ(rows[1].value, "C");
    EXPECT_EQ(rows[2].value, "D");

    // Deleting the last row then moving on reaches the end, not a failure.
    r->rs.Delete();
    r->rs.MoveNext();
    EXPECT_TRUE(r->rs.isEOF());
}

TEST_F(RulesFile, RowBeingAddedSurvivesALookup) {
    auto r = open({{"A", "a", "Left"}});
    r->rs.AddNew();
    r->rs.setValue("Value", "NEW");
    QString message = QStringLiteral("Ax");
    EXPECT_EQ(MatchBlockRule(&r->rs, message, kDefault), "a");
    EXPECT_EQ(r->rs.EditMode(), Recordset::EditAdd);
    r->rs.Update();
    const QVector<RuleRow> rows = readRulesFile(folder.rulesFile());
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[1].value, "NEW");
}

TEST_F(RulesFile, FindTreatsQuotesAsText) {
    auto r = open({{"X", "x", "Left"}, {"O'BRIEN", "ob", "Left"}, {"O'BRIEN", "ob2", "Left"}});
    EXPECT_TRUE(r->rs.FindFirst("Value", "O'BRIEN"));
    EXPECT_EQ(r->rs.text("BlockPath"), "ob");
    // Would match every row if it were pasted into the query.
    EXPECT_FALSE(r->rs.FindFirst("Value", "' OR '1'='1"));
    EXPECT_EQ(r->rs.text("BlockPath"), "ob");    // unchanged by a failed find
    EXPECT_FALSE(r->rs.FindFirst("Value", "x")); // case-sensitive
    EXPECT_EQ(readRulesFile(folder.rulesFile()).size(), 3);
}

// ---- opening ------------------------------------------------------------

TEST_F(RulesFile, UnusableFilesAreRefusedWithoutBeingChanged) {
    const QString path = folder.rulesFile();
    EXPECT_EQ(errorOf([&] { RulesDb db(path); }), 3024);
    EXPECT_FALSE(QFile::exists(path)) << "a missing rules file must not be created";

    QFile text(path);
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write(QByteArray(4096, 'x'));
    text.close();
    EXPECT_EQ(errorOf([&] { RulesDb db(path); }), 3343);
    QFile::remove(path);

    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
        db.setDatabaseName(path);
        db.open();
        QSqlQuery(db).exec(QStringLiteral("CREATE TABLE Other (x)"));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other"));
    EXPECT_EQ(errorOf([&] { RulesDb db(path); }), 3078);
}

TEST_F(RulesFile, FileLockedByAnotherProgramIsRefused) {
    writeRulesFile(folder.rulesFile(), {{"A", "a", "Left"}});
    {
        QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
        holder.setDatabaseName(folder.rulesFile());
        ASSERT_TRUE(holder.open());
        QSqlQuery lock(holder);
        ASSERT_TRUE(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        EXPECT_EQ(errorOf([&] { RulesDb db(folder.rulesFile()); }), 3045);
        lock.exec(QStringLiteral("ROLLBACK"));
        holder.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("holder"));
}

TEST(ShippedRules, OpenAndPointIntoTheProgramFolderByRelativePaths) {
    const QString support = QStringLiteral(KORVEL_BIN_DIR "/Support/");
    RulesDb db(support + QStringLiteral("Rules.rls"));
    Recordset rs(db.database(), QStringLiteral("Rules_Message"));
    ASSERT_GT(rs.RecordCount(), 0);
    for (; !rs.isEOF(); rs.MoveNext()) {
        // Relative to the program folder, so that a copied folder uses its own blocks.
        EXPECT_TRUE(rs.text("BlockPath").startsWith(QStringLiteral("Support/Inserts/")))
            << rs.text("BlockPath").toStdString();
        EXPECT_TRUE(QFile::exists(QStringLiteral(KORVEL_BIN_DIR "/") + rs.text("BlockPath")))
            << rs.text("BlockPath").toStdString();
        EXPECT_TRUE(rs.text("Location") == "Left" || rs.text("Location") == "Right");
        EXPECT_FALSE(rs.text("Value").isEmpty());
    }
}

// The build step that makes Rules.rls: when its write fails part way (the
// kernel refuses to grow any file past 4 KiB), the step fails and the earlier
// Rules.rls stays as it was, with no half-written file beside it; a step that
// works replaces it with a complete database.
TEST(RulesBuild, AFailedStepNeverLeavesAHalfWrittenFile) {
    QTemporaryDir dir;
    const QString out = dir.filePath("Rules.rls");
    QFile earlier(out);
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier") == 7);
    earlier.close();
    auto build = [&](bool smallFiles) {
        QProcess p;
        if (smallFiles)
            p.setChildProcessModifier([] {
                ::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{4096, 4096};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            });
        p.start(QStringLiteral(MAKERULES_PATH), {KORVEL_SOURCE_DIR "/support/Rules.sql", out, dir.path()});
        EXPECT_TRUE(p.waitForFinished(30000));
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };
    EXPECT_NE(build(true), 0);
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    EXPECT_EQ(earlier.readAll(), QByteArray("earlier"));
    earlier.close();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Rules.rls"});

    EXPECT_EQ(build(false), 0);
    RulesDb db(out);
    EXPECT_GT(Recordset(db.database(), QStringLiteral("Rules_Message")).RecordCount(), 0);
}
