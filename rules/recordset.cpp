// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/recordset.h"

#include <QSqlError>
#include <QSqlRecord>

namespace {
QString quoted(const QString& identifier) {
    QString q = identifier;
    q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

[[noreturn]] void noCurrent() {
    throw RecordsetError(errNoCurrentRecord, QStringLiteral("No current record."));
}
} // namespace

Recordset::Recordset(const QSqlDatabase& db, const QString& table) : db_(db), table_(table) {
    load();
}

void Recordset::fail(const QSqlQuery& query, const QString& what) const {
    const QSqlError e = query.lastError();
    const QString code = e.nativeErrorCode();
    // SQLite primary result codes: 5 busy, 6 locked, 8 read-only.
    if (code == QLatin1String("5") || code == QLatin1String("6"))
        throw RecordsetError(errLocked, QStringLiteral("Could not update; currently locked."));
    if (code == QLatin1String("8"))
        throw RecordsetError(errReadOnly, QStringLiteral("Cannot update. Database or object is read-only."));
    const QString detail = e.databaseText().isEmpty() ? e.text() : e.databaseText();
    throw RecordsetError(errEngine, what + QStringLiteral(": ") + detail);
}

void Recordset::load() {
    QSqlQuery columns(db_);
    if (!columns.exec(QStringLiteral("SELECT * FROM %1 LIMIT 0").arg(quoted(table_))))
        fail(columns, QStringLiteral("Cannot read table '%1'").arg(table_));
    const QSqlRecord rec = columns.record();
    for (int i = 0; i < rec.count(); ++i)
        fields_ << rec.fieldName(i);

    QSqlQuery q(db_);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT rowid FROM %1 ORDER BY rowid").arg(quoted(table_))))
        fail(q, QStringLiteral("Cannot read table '%1'").arg(table_));
    while (q.next())
        keys_.append(q.value(0).toLongLong());
    pos_ = keys_.isEmpty() ? -1 : 0;
    loadCurrent();
}

void Recordset::loadCurrent() {
    deleted_ = false;
    current_.clear();
    if (isBOF() || isEOF())
        return;
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT * FROM %1 WHERE rowid = ?").arg(quoted(table_)));
    q.addBindValue(keys_[pos_]);
    if (!q.exec())
        fail(q, QStringLiteral("Cannot read a row"));
    if (!q.next()) {
        // Removed behind our back (another program sharing the file): the
        // cursor stands on a deleted row, as after our own Delete.
        keys_.removeAt(pos_);
        deleted_ = true;
        return;
    }
    const QSqlRecord rec = q.record();
    for (const QString& f : fields_)
        current_.append(rec.value(f));
}

int Recordset::fieldIndex(const QString& field) const {
    for (int i = 0; i < fields_.size(); ++i)
        if (fields_[i].compare(field, Qt::CaseInsensitive) == 0)
            return i;
    throw RecordsetError(errItemNotFound, QStringLiteral("Item not found in this collection."));
}

void Recordset::MoveFirst() {
    if (editMode_ == EditInProgress)
        CancelUpdate();
    pos_ = keys_.isEmpty() ? -1 : 0;
    loadCurrent();
}

void Recordset::MoveLast() {
    if (editMode_ == EditInProgress)
        CancelUpdate();
    pos_ = keys_.size() - 1;
    loadCurrent();
}

void Recordset::MoveNext() {
    if (editMode_ == EditInProgress)
        CancelUpdate();
    if (deleted_) {
        // The row after the deleted one already sits at pos_.
        loadCurrent();
        return;
    }
    if (isEOF())
        noCurrent();
    ++pos_;
    loadCurrent();
}

void Recordset::MovePrevious() {
    if (editMode_ == EditInProgress)
        CancelUpdate();
    if (!deleted_ && isBOF())
        noCurrent();
    --pos_;
    if (pos_ < -1)
        pos_ = -1;
    loadCurrent();
}

bool Recordset::setBookmark(qint64 bookmark) {
    const qsizetype at = bookmark < 0 ? -1 : keys_.indexOf(bookmark);
    if (at < 0)
        return false;
    moveTo(at);
    return !deleted_;
}

void Recordset::moveTo(qsizetype at) {
    if (editMode_ == EditInProgress)
        CancelUpdate();
    pos_ = at;
    loadCurrent();
}

bool Recordset::FindFirst(const QString& field, const QString& value) {
    const QString name = fields_.value(fieldIndex(field));
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    // Compared as text and case-sensitively, whatever the column's declared type.
    q.prepare(QStringLiteral("SELECT rowid FROM %1 WHERE CAST(%2 AS TEXT) = ? ORDER BY rowid")
                  .arg(quoted(table_), quoted(name)));
    q.addBindValue(value);
    if (!q.exec())
        fail(q, QStringLiteral("Cannot search table '%1'").arg(table_));
    qsizetype best = -1;
    while (q.next()) {
        const qsizetype at = keys_.indexOf(q.value(0).toLongLong());
        if (at >= 0 && (best < 0 || at < best))
            best = at;
    }
    if (best < 0)
        return false;
    moveTo(best);
    return true;
}

QVariant Recordset::value(const QString& field) const {
    const int i = fieldIndex(field);
    // A row being added is not where the cursor stands: reads keep showing the
    // cursor's row (a lookup may walk the set while a rule is being entered).
    if (editMode_ == EditInProgress)
        return buffer_[i].isNull() ? QVariant(QString()) : buffer_[i];
    if (deleted_)
        throw RecordsetError(errRecordDeleted, QStringLiteral("Record is deleted."));
    if (!hasCurrent())
        noCurrent();
    return current_[i].isNull() ? QVariant(QString()) : current_[i];
}

void Recordset::setValue(const QString& field, const QVariant& v) {
    const int i = fieldIndex(field);
    if (editMode_ == EditNone)
        throw RecordsetError(errUpdateWithoutEdit,
                             QStringLiteral("Update or CancelUpdate without AddNew or Edit."));
    buffer_[i] = v;
    changed_[i] = true;
}

void Recordset::Edit() {
    if (deleted_)
        throw RecordsetError(errRecordDeleted, QStringLiteral("Record is deleted."));
    if (!hasCurrent())
        noCurrent();
    editMode_ = EditInProgress;
    buffer_ = current_;
    changed_ = QVector<bool>(fields_.size(), false);
}

void Recordset::AddNew() {
    editMode_ = EditAdd;
    buffer_ = QVector<QVariant>(fields_.size());
    changed_ = QVector<bool>(fields_.size(), false);
}

void Recordset::Update() {
    if (editMode_ == EditNone)
        throw RecordsetError(errUpdateWithoutEdit,
                             QStringLiteral("Update or CancelUpdate without AddNew or Edit."));
    QStringList names;
    QVector<QVariant> values;
    for (int i = 0; i < fields_.size(); ++i) {
        if (changed_[i]) {
            names << quoted(fields_[i]);
            values << buffer_[i];
        }
    }
    QSqlQuery q(db_);
    if (editMode_ == EditAdd) {
        if (names.isEmpty())
            q.prepare(QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoted(table_)));
        else
            q.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                          .arg(quoted(table_), names.join(QLatin1Char(',')),
                               QStringList(names.size(), QStringLiteral("?")).join(QLatin1Char(','))));
        for (const QVariant& v : values)
            q.addBindValue(v);
        if (!q.exec())
            fail(q, QStringLiteral("Cannot add a row"));
        const bool wasAtEnd = isEOF() && !keys_.isEmpty();
        keys_.append(q.lastInsertId().toLongLong());
        // A cursor past the end stays past the end; an empty set stays before
        // the new row, as it stood before the first.
        if (wasAtEnd)
            pos_ = keys_.size();
        editMode_ = EditNone;
        buffer_.clear();
        return;
    }
    if (!names.isEmpty()) {
        QStringList sets;
        for (const QString& n : names)
            sets << n + QStringLiteral(" = ?");
        q.prepare(QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
                      .arg(quoted(table_), sets.join(QLatin1Char(','))));
        for (const QVariant& v : values)
            q.addBindValue(v);
        q.addBindValue(keys_[pos_]);
        if (!q.exec())
            fail(q, QStringLiteral("Cannot update a row"));
    }
    editMode_ = EditNone;
    buffer_.clear();
    loadCurrent();
}

void Recordset::CancelUpdate() {
    if (editMode_ == EditNone)
        throw RecordsetError(errUpdateWithoutEdit,
                             QStringLiteral("Update or CancelUpdate without AddNew or Edit."));
    editMode_ = EditNone;
    buffer_.clear();
}

void Recordset::Delete() {
    if (deleted_)
        throw RecordsetError(errRecordDeleted, QStringLiteral("Record is deleted."));
    if (!hasCurrent())
        noCurrent();
    if (editMode_ == EditInProgress)
        CancelUpdate();
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(quoted(table_)));
    q.addBindValue(keys_[pos_]);
    if (!q.exec())
        fail(q, QStringLiteral("Cannot delete a row"));
    keys_.removeAt(pos_);
    current_.clear();
    deleted_ = true;
}
