// SPDX-License-Identifier: GPL-3.0-or-later
// Row and clipboard commands of the waypoint table, free of dialogs: Add New
// Row (its questions asked through a callback), Copy/Paste Cell, Copy/Paste Row
// and Delete Selected Rows. Only texts are copied; marks never travel.
#pragma once
#include <QString>

#include <array>
#include <functional>
#include <optional>

class FlexGrid;

// One text per grid column, the selection column's text included.
using RowBuffer = std::array<QString, 7>;

// Text of cell (row, col); "" outside the table.
QString CopyCell(const FlexGrid& grid, int row, int col);
// Writes text into cell (row, col); a cell outside the table is left alone.
void PasteCell(FlexGrid& grid, int row, int col, const QString& text);
// The seven texts of row (all "" outside the table).
RowBuffer CopyRow(const FlexGrid& grid, int row);
// Writes the seven texts into row; its mark is kept.
void PasteRow(FlexGrid& grid, int row, const RowBuffer& texts);

// One Add New Row question: an input box's title, prompt (two-line prompts are
// separated by CR LF) and default answer, and the column the answer goes to.
struct NewRowQuestion {
    QString title;
    QString prompt;
    QString defaultText;
    int column = 0;
    bool angle = false; // latitude or longitude: the answer is angle text
};
// The six questions in the order they are asked.
const std::array<NewRowQuestion, 6>& NewRowQuestions();

// Add New Row: asks each question through ask (no value = Cancel), then
// appends one unmarked row holding the six answers. Cancel at any question asks
// no more and adds nothing, so no half-filled row ever reaches the table (nor
// does one exist while a question is open and other commands may run). Angle
// answers go through NewRowAngleValue; for one that cannot be used
// invalidAngle gets the message for the user and the same question is asked
// again with the typed text as its default.
// Returns true when the row was added.
bool AddNewRow(FlexGrid& grid, const std::function<std::optional<QString>(const NewRowQuestion&)>& ask,
               const std::function<void(const QString& message)>& invalidAngle);

// Delete Selected Rows: removes every marked data row, in one pass over the
// table (linear in the row count). The last data row is never removed: when
// every row is marked, the former last row remains, unmarked and with columns
// 1 to 6 emptied. Leaves the current cell at (Rows()-1, 0), each change raising
// the cell-entered notification; the caller keeps the editor from opening.
void DeleteSelectedRows(FlexGrid& grid);
