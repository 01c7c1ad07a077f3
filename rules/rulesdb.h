// SPDX-License-Identifier: GPL-3.0-or-later
// The block rules database: an SQLite file (Support/Rules.rls, or the user's
// own copy of it when installed: WritableSupportFile) holding the
// table Rules_Message (Value, BlockPath, Location), and the lookup that picks a
// block drawing for a waypoint message.
#pragma once
#include "rules/recordset.h"
#include <vector>

#include <QSqlDatabase>
#include <QString>

class RulesDb {
public:
    // Opens the file shared and writable. It must already exist and hold the
    // table Rules_Message: a missing file is never created, and a folder, pipe
    // or device is refused without being opened. Throws RecordsetError (3024
    // missing, 3343 not a database, 3045 locked by another program, 3078 no
    // rules table, 3000 not a regular file or anything else); the description
    // names the file. A lock held by another program is waited for at most 200 ms.
    explicit RulesDb(const QString& path);
    ~RulesDb();
    RulesDb(const RulesDb&) = delete;
    RulesDb& operator=(const RulesDb&) = delete;

    QSqlDatabase database() const { return db_; }
    QString path() const { return path_; }

private:
    QString path_;
    QString connection_;
    QSqlDatabase db_;
};

// The block a message asks for. Walks rs from its first row in table order;
// the first row whose Value stands at the start ("Left") or end ("Right") of
// strMessage wins: its BlockPath is returned and Value is cut from strMessage.
// All comparisons are exact and case-sensitive, Location included; an empty
// Value matches every message and cuts nothing. Without a match (or without a
// recordset, or when the table cannot be read) the result is defaultBlock and
// strMessage is unchanged. Leaves rs on the matching row, or at its end.
QString MatchBlockRule(Recordset* rs, QString& strMessage, const QString& defaultBlock);

// One rule row as MatchBlockRule reads it.
struct BlockRule {
    QString value;
    QString location; // "Left" or "Right"; anything else never matches
    QString blockPath;
};

// The rows of rs in table order, read once, for commands that look up many
// messages: matching them gives what MatchBlockRule gives on the same table.
// A table that cannot be read ends the list where reading failed. Leaves rs at
// its end.
std::vector<BlockRule> ReadBlockRules(Recordset* rs);

// MatchBlockRule over rows read by ReadBlockRules (same contract).
QString MatchBlockRule(const std::vector<BlockRule>& rules, QString& strMessage, const QString& defaultBlock);

// The block drawing used where no rule applies: Support/Inserts/Flag.dxf.
QString DefaultBlockPath();

// What is said when the rules file at path cannot be opened (description:
// the failure's own words); block rules are then not available.
QString RulesUnavailableMessage(const QString& path, const QString& description);

// The stored block rules, read once, for a run without the rules window:
// opens the rules file (WritableSupportFile "Rules.rls") and reads its rows.
struct StoredBlockRules {
    bool opened = false;
    std::vector<BlockRule> rules;
    QString message; // for the user: why there are no rules, or a note on the file used; "" when none
};
StoredBlockRules ReadStoredBlockRules();
