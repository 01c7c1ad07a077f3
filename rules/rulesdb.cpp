// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/rulesdb.h"

#include "platform/durablewrite.h"
#include "platform/programfolder.h"
#include "platform/prompts.h"

#include <QSqlError>
#include <QSqlQuery>

#include <atomic>

namespace {
const QString kTable = QStringLiteral("Rules_Message");

QString nextConnectionName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("korvel-rules-%1").arg(++counter);
}
} // namespace

RulesDb::RulesDb(const QString& path) : path_(path), connection_(nextConnectionName()) {
    // SQLite would make a new, empty database where no file is.
    QString why;
    const PathPresence there = PresenceOf(path, &why);
    if (there == PathPresence::Missing)
        throw RecordsetError(3024, QStringLiteral("Could not find file '%1'.").arg(path));
    if (there == PathPresence::Unknown)
        throw RecordsetError(3000, QStringLiteral("Could not open '%1': %2.").arg(path, why));
    // Looked at with stat() only: a pipe opened for reading would block for
    // good, and a device such as /dev/zero never ends.
    const QString notRegular = NotARegularFileReason(path);
    if (!notRegular.isEmpty())
        throw RecordsetError(
            3000,
            QStringLiteral("'%1' is not a rules database: %2, not a regular file.").arg(path, notRegular));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=200"));
        if (!db.open()) {
            const QString why = db.lastError().text();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(connection_);
            throw RecordsetError(3000, QStringLiteral("Could not open '%1': %2").arg(path, why));
        }
        db_ = db;
    }
    // SQLite opens lazily: the first read tells a real rules file from anything else.
    QSqlQuery probe(db_);
    if (probe.exec(QStringLiteral("SELECT count(*) FROM ") + kTable))
        return;
    const QString code = probe.lastError().nativeErrorCode();
    const QString detail = probe.lastError().databaseText();
    probe = QSqlQuery();
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(connection_);
    // SQLite result codes: 26 not a database, 5/6 busy or locked.
    if (code == QLatin1String("26"))
        throw RecordsetError(3343, QStringLiteral("Unrecognized database format '%1'.").arg(path));
    if (code == QLatin1String("5") || code == QLatin1String("6"))
        throw RecordsetError(3045, QStringLiteral("Could not use '%1'; file already in use.").arg(path));
    if (detail.contains(QLatin1String("no such table")))
        throw RecordsetError(3078, QStringLiteral("The database '%1' has no table '%2'.").arg(path, kTable));
    throw RecordsetError(3000, QStringLiteral("Could not read '%1': %2").arg(path, detail));
}

RulesDb::~RulesDb() {
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(connection_);
}

QString MatchBlockRule(Recordset* rs, QString& strMessage, const QString& defaultBlock) {
    if (!rs)
        return defaultBlock;
    try {
        rs->MoveFirst();
        while (!rs->isEOF()) {
            if (rs->hasCurrent()) {
                const QString value = rs->text(QStringLiteral("Value"));
                const QString location = rs->text(QStringLiteral("Location"));
                const qsizetype n = value.size();
                if (location == QLatin1String("Left") && strMessage.left(n) == value) {
                    const QString block = rs->text(QStringLiteral("BlockPath"));
                    strMessage = strMessage.right(strMessage.size() - n);
                    return block;
                }
                if (location == QLatin1String("Right") && strMessage.right(n) == value) {
                    const QString block = rs->text(QStringLiteral("BlockPath"));
                    strMessage = strMessage.left(strMessage.size() - n);
                    return block;
                }
            }
            rs->MoveNext();
        }
    } catch (const RecordsetError&) {
        // A table that cannot be read has no rules to offer.
    }
    return defaultBlock;
}

std::vector<BlockRule> ReadBlockRules(Recordset* rs) {
    std::vector<BlockRule> rules;
    if (!rs)
        return rules;
    try {
        rs->MoveFirst();
        while (!rs->isEOF()) {
            if (rs->hasCurrent())
                rules.push_back({rs->text(QStringLiteral("Value")), rs->text(QStringLiteral("Location")),
                                 rs->text(QStringLiteral("BlockPath"))});
            rs->MoveNext();
        }
    } catch (const RecordsetError&) {
        // The rows read so far are the ones MatchBlockRule would have tried.
    }
    return rules;
}

QString MatchBlockRule(const std::vector<BlockRule>& rules, QString& strMessage,
                       const QString& defaultBlock) {
    for (const BlockRule& rule : rules) {
        const qsizetype n = rule.value.size();
        if (rule.location == QLatin1String("Left") && strMessage.left(n) == rule.value) {
            strMessage = strMessage.right(strMessage.size() - n);
            return rule.blockPath;
        }
        if (rule.location == QLatin1String("Right") && strMessage.right(n) == rule.value) {
            strMessage = strMessage.left(strMessage.size() - n);
            return rule.blockPath;
        }
    }
    return defaultBlock;
}

QString DefaultBlockPath() {
    return SupportPath(QStringLiteral("Inserts/Flag.dxf"));
}

QString RulesUnavailableMessage(const QString& path, const QString& description) {
    return QStringLiteral("The block rules file ") + path + QStringLiteral(" could not be opened.") + vbCrLf +
           description + vbCrLf +
           QStringLiteral("Block rules are not available; \"By Message\" insertion uses the default block.");
}

StoredBlockRules ReadStoredBlockRules() {
    StoredBlockRules result;
    const QString path = WritableSupportFile(QStringLiteral("Rules.rls"), &result.message);
    try {
        RulesDb db(path);
        Recordset rs(db.database(), QStringLiteral("Rules_Message"));
        result.rules = ReadBlockRules(&rs);
        result.opened = true;
    } catch (const RecordsetError& e) {
        result.message = RulesUnavailableMessage(path, e.description());
    }
    return result;
}
