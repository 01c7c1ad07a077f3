// SPDX-License-Identifier: GPL-3.0-or-later
// A private program folder with its own Support/Rules.rls, so tests never
// touch the rules file the build ships.
#pragma once
#include "platform/programfolder.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QTemporaryDir>
#include <QVector>

#include <gtest/gtest.h>

struct RuleRow {
    QString value, blockPath, location;
};

// Writes a rules file holding rows, in that table order.
inline void writeRulesFile(const QString& path, const QVector<RuleRow>& rows) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fixture"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(
            q.exec(QStringLiteral("CREATE TABLE Rules_Message (Value TEXT, BlockPath TEXT, Location TEXT)")));
        for (const RuleRow& r : rows) {
            q.prepare(QStringLiteral("INSERT INTO Rules_Message VALUES (?, ?, ?)"));
            q.addBindValue(r.value);
            q.addBindValue(r.blockPath);
            q.addBindValue(r.location);
            ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fixture"));
}

// Every row of the file, in table order, read through a separate connection.
inline QVector<RuleRow> readRulesFile(const QString& path) {
    QVector<RuleRow> rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("reader"));
        db.setDatabaseName(path);
        db.open();
        QSqlQuery q(db);
        q.exec(QStringLiteral("SELECT Value, BlockPath, Location FROM Rules_Message ORDER BY rowid"));
        while (q.next())
            rows.append({q.value(0).toString(), q.value(1).toString(), q.value(2).toString()});
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("reader"));
    return rows;
}

class ProgramFolder {
public:
    ProgramFolder() {
        QDir(dir_.path()).mkpath(QStringLiteral("Support/Inserts"));
        SetAppPathOverride(dir_.path());
    }
    ~ProgramFolder() { SetAppPathOverride(QString()); }
    QString path() const { return dir_.path(); }
    QString rulesFile() const { return dir_.path() + QStringLiteral("/Support/Rules.rls"); }
    QString insertsDir() const { return dir_.path() + QStringLiteral("/Support/Inserts/"); }

private:
    QTemporaryDir dir_;
};
