// SPDX-License-Identifier: GPL-3.0-or-later
#include "table/celleditor.h"

#include "conversion/conversionerror.h"
#include "conversion/gpsconversion.h"
#include "conversion/numbertext.h"
#include "platform/twips.h"
#include "table/flexgrid.h"
#include "table/tablesetup.h"

#include <cmath>

namespace {

bool containsAny(const QString& text, const char* letters) {
    for (const char* p = letters; *p; ++p)
        if (text.contains(QLatin1Char(*p), Qt::CaseInsensitive))
            return true;
    return false;
}

CellCommit convertAngle(const QString& text) {
    try {
        const std::string out = GPSConversion::ConvertToDecimalDegrees(text.toStdString());
        return {true, QString::fromStdString(out)};
    } catch (const ConversionError&) {
        return {false, QString()};
    }
}

} // namespace

CellCommit CellCommitValue(const QString& text, int col) {
    if (col == colLatitude && containsAny(text, "SN"))
        return convertAngle(text);
    if (col == colLongitude && containsAny(text, "WE"))
        return convertAngle(text);
    return {true, text};
}

CellCommit NewRowAngleValue(const QString& answer) {
    if (!containsAny(answer, "NSEW") && numtext::IsNumeric(answer.toStdString()))
        return {true, answer};
    return convertAngle(answer);
}

QString InvalidAngleMessage(const QString& text) {
    return QStringLiteral("\"%1\" is not a valid latitude or longitude.").arg(text);
}

EditorKeyDown CellEditorKeyDown(int keyCode, int selStart, int selLength, int textLength) {
    const int s = selStart, l = selLength, n = textLength;
    switch (keyCode) {
    case vbKeyRight:
        if (s == n && l == 0)
            return {EditorMove::Right, -1};
        break;
    case vbKeyLeft:
        if (s == 0 && l == 0)
            return {EditorMove::Left, -1};
        break;
    case vbKeyDown:
        if (s == n && l == 0)
            return {EditorMove::Down, -1};
        if (s < n)
            return {EditorMove::None, n};
        break;
    case vbKeyUp:
        if (s == 0 && l == 0)
            return {EditorMove::Up, -1};
        if (l >= 1 || s >= 1)
            return {EditorMove::None, 0};
        break;
    default:
        break;
    }
    return {};
}

bool EditorMoveLeavesCell(EditorMove move, int curRow, int curCol, int rows, int cols) {
    switch (move) {
    case EditorMove::Right:
        return curCol < cols - 1;
    case EditorMove::Left:
        return curCol > 1;
    case EditorMove::Down:
        return curRow < rows - 1;
    case EditorMove::Up:
        return curRow > 1;
    case EditorMove::None:
        break;
    }
    return false;
}

void ApplyEditorMove(FlexGrid& grid, EditorMove move, const int& curRow, const int& curCol) {
    if (!EditorMoveLeavesCell(move, curRow, curCol, grid.Rows(), grid.Cols()))
        return;
    switch (move) {
    case EditorMove::Right:
        grid.setCol(curCol + 1);
        grid.setRow(curRow);
        break;
    case EditorMove::Left:
        grid.setCol(curCol - 1);
        grid.setRow(curRow);
        break;
    case EditorMove::Down:
        grid.setCol(curCol);
        grid.setRow(curRow + 1);
        break;
    case EditorMove::Up:
        grid.setCol(curCol);
        grid.setRow(curRow - 1);
        break;
    case EditorMove::None:
        break;
    }
}

QRect CellEditorRectTwips(const FlexGrid& grid) {
    const double gridTop = PixelsToTwips(grid.y());
    const double gridLeft = PixelsToTwips(grid.x());
    const int top = int(std::lround(gridTop + grid.CellTop() - 2.5));
    const int left = int(std::lround(gridLeft + grid.CellLeft() + 2.5));
    return QRect(left, top, grid.CellWidth() + 5, grid.CellHeight() - 50);
}
