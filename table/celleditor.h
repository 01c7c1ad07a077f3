// SPDX-License-Identifier: GPL-3.0-or-later
// The logic of the waypoint table's in-place cell editor, free of widgets: what
// a commit writes, what an arrow key does, where the editor lies and which cell
// a move makes current. Form1 wires it to its text box Text1.
#pragma once
#include <QRect>
#include <QString>

class FlexGrid;

// Key codes as the editor's key-down table names them.
enum EditorKey : int { vbKeyLeft = 37, vbKeyUp = 38, vbKeyRight = 39, vbKeyDown = 40 };

// A move of the current cell pending between a key-down and the next key-up.
enum class EditorMove { None, Right, Left, Down, Up };

// The text a commit writes into column col.
//   Latitude (2) and Longitude (3): blank text and plain numbers are written as
//   typed; any other text is read as angle text (conversion/angletext.h) and
//   written as decimal degrees. A latitude must lie in -90..90 and carry no E
//   or W; a longitude in -180..180 and carry no N or S. Every other column is
//   written as typed.
// valid is false when the text cannot be used; value is then empty, nothing
// should be written, and problem is the message for the user.
struct CellCommit {
    bool valid = true;
    QString value;
    QString problem;
};
CellCommit CellCommitValue(const QString& text, int col);

// An Add New Row latitude (col 2) or longitude (col 3) answer: the same rules
// as a commit into that column ("" for a blank answer, as Cancel gives).
CellCommit NewRowAngleValue(const QString& answer, int col);

// Key-down: selStart, selLength and textLength in characters (selStart is the
// caret when nothing is selected). At most one move becomes pending; caret is
// the new caret position (selection cleared) or -1 to leave it.
struct EditorKeyDown {
    EditorMove move = EditorMove::None;
    int caret = -1;
};
EditorKeyDown CellEditorKeyDown(int keyCode, int selStart, int selLength, int textLength);

// Whether a pending move leaves the cell (curRow, curCol) in a grid of rows x
// cols (header row and mark column included): Right not from the last column,
// Left not from column 1, Down not from the last row, Up not from row 1.
bool EditorMoveLeavesCell(EditorMove move, int curRow, int curCol, int rows, int cols);

// Makes the cell after the move current: column first, then row, each change
// raising the grid's cell-entered notification at once. curRow and curCol are
// read live (a notification between the two steps may change them, as the
// editor opening on the new cell stores it). Does nothing when the move does
// not leave the cell.
void ApplyEditorMove(FlexGrid& grid, EditorMove move, const int& curRow, const int& curCol);

// The editor's rectangle over the grid's current cell, in twips of the grid's
// parent: top = grid top + cell top - 2.5, left = grid left + cell left + 2.5,
// width = cell width + 5, height = cell height - 50 (rounded to whole twips).
QRect CellEditorRectTwips(const FlexGrid& grid);
