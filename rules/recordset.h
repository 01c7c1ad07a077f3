// SPDX-License-Identifier: GPL-3.0-or-later
// Recordset: an updatable cursor over every row of one table of an SQLite
// database, with the classic dynaset operations the rules window and the block
// lookup use. Row order is the table's rowid order (the order rows were added).
//
// The set of rows is fixed when the recordset opens, extended by AddNew and
// shrunk by Delete; field values are read from the database whenever the cursor
// lands on a row, so they are never stale. Criteria values are bound as query
// parameters: no text a user typed is ever pasted into SQL.
//
// Positions: BOF is before the first row, EOF after the last; an empty set is
// at both. Failures are RecordsetError with the classic numbers (3021 "No
// current record." when there is no current row).
#pragma once
#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <stdexcept>

class RecordsetError : public std::runtime_error {
public:
    RecordsetError(int number, const QString& description)
        : std::runtime_error(description.toStdString()), number_(number), description_(description) {}
    int number() const { return number_; }
    QString description() const { return description_; }

private:
    int number_;
    QString description_;
};

// Failure numbers a caller may tell apart.
constexpr int errNoCurrentRecord = 3021;   // "No current record."
constexpr int errUpdateWithoutEdit = 3020; // "Update or CancelUpdate without AddNew or Edit."
constexpr int errRecordDeleted = 3167;     // "Record is deleted."
constexpr int errItemNotFound = 3265;      // "Item not found in this collection."
constexpr int errReadOnly = 3027;          // "Cannot update. Database or object is read-only."
constexpr int errLocked = 3218;            // "Could not update; currently locked."
constexpr int errEngine = 3000;            // any other failure of the database engine

class Recordset {
public:
    enum EditModeKind { EditNone, EditInProgress, EditAdd };

    // Opens a cursor over every row of table in db (which must stay open for the
    // life of the recordset) and stands on the first row, if any.
    // Throws RecordsetError when the table cannot be read.
    Recordset(const QSqlDatabase& db, const QString& table);

    // The classic BOF and EOF tests (EOF itself is a C library macro).
    bool isBOF() const { return keys_.isEmpty() || pos_ < 0; }
    bool isEOF() const { return keys_.isEmpty() || pos_ >= keys_.size(); }
    // True when the cursor stands on a row that still exists.
    bool hasCurrent() const { return !isBOF() && !isEOF() && !deleted_; }
    int RecordCount() const { return static_cast<int>(keys_.size()); }
    EditModeKind EditMode() const { return editMode_; }

    // MoveFirst/MoveLast on an empty set leave it at BOF and EOF without a
    // failure. MoveNext at EOF and MovePrevious at BOF throw 3021. Moving
    // drops an Edit in progress; a row being added (AddNew) is kept until
    // Update or CancelUpdate, whatever the cursor does meanwhile.
    void MoveFirst();
    void MoveLast();
    void MoveNext();
    void MovePrevious();

    // The current row's bookmark (stable while the row exists), -1 without a
    // current row. setBookmark moves back to that row, dropping an Edit in
    // progress like any move; false, cursor unchanged, when the row has left
    // the set.
    qint64 Bookmark() const { return hasCurrent() ? keys_[pos_] : -1; }
    bool setBookmark(qint64 bookmark);

    // Moves to the first row whose field equals value exactly (case-sensitive).
    // Returns false and leaves the cursor where it was when no row does.
    bool FindFirst(const QString& field, const QString& value);

    // Value of a field of the current row (of the edit buffer during Edit; a
    // row being added cannot be read back before Update).
    // Null reads as "". Throws 3021 without a current row, 3265 for an unknown field.
    QVariant value(const QString& field) const;
    QString text(const QString& field) const { return value(field).toString(); }
    // Writes into the edit buffer; needs Edit or AddNew first (else 3020).
    void setValue(const QString& field, const QVariant& v);

    // Edit: start changing the current row (3021 without one). AddNew: start a
    // new, empty row; the cursor stays where it was.
    void Edit();
    void AddNew();
    // Writes the edit buffer. An added row joins the end of the set; the cursor
    // stays on the row it was on before AddNew. Throws 3020 when no Edit or
    // AddNew is in progress; on a database failure the buffer is kept.
    void Update();
    void CancelUpdate();
    // Deletes the current row (3021 without one). The cursor then stands on the
    // deleted row: MoveNext goes to the row after it, MovePrevious to the one
    // before, and reading a field throws 3167.
    void Delete();

private:
    void load();
    void loadCurrent();
    // Makes row `at` of the set current, dropping an Edit in progress.
    void moveTo(qsizetype at);
    [[noreturn]] void fail(const QSqlQuery& query, const QString& what) const;
    int fieldIndex(const QString& field) const;

    QSqlDatabase db_;
    QString table_;
    QStringList fields_;
    QVector<qint64> keys_; // rowids in set order
    qsizetype pos_ = -1;
    bool deleted_ = false;
    QVector<QVariant> current_; // values of the current row
    EditModeKind editMode_ = EditNone;
    QVector<QVariant> buffer_; // edit or add buffer
    QVector<bool> changed_;    // which buffer fields were written
};
