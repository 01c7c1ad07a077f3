// SPDX-License-Identifier: GPL-3.0-or-later
#include "table/celleditor.h"

#include "conversion/angletext.h"
#include "conversion/conversionerror.h"
#include "conversion/gpsconversion.h"
#include "conversion/numbertext.h"
#include "platform/twips.h"
#include "table/flexgrid.h"
#include "table/tablesetup.h"

#include <cmath>

namespace {

bool isBlank(const QString& text) {
    return text.trimmed().isEmpty();
}

CellCommit readCoordinate(const QString& text, int col) {
    const bool latitude = col == colLatitude;
    const std::string what = latitude ? "latitude" : "longitude";
    const std::string utf8 = text.toStdString();
    CellCommit out;
    double degrees = 0;
    try {
        if (const auto v = numtext::ParseNumber(utf8)) {
            degrees = *v;
            out.value = text; // a number is kept as typed
        } else {
            const GPSConversion::Angle a = GPSConversion::ReadAngleText(utf8);
            if (a.letter ==
                (latitude ? GPSConversion::AngleLetter::EastWest : GPSConversion::AngleLetter::NorthSouth))
                throw AngleTextError(utf8, latitude ? "E and W belong to a longitude"
                                                    : "N and S belong to a latitude");
            degrees = a.degrees;
            out.value = QString::fromStdString(numtext::NumberToText(degrees));
        }
    } catch (const AngleTextError& e) {
        return {false, QString(),
                QString::fromStdString(GPSConversion::UnreadableAngleMessage(what, utf8, e.reason()))};
    }
    const double limit = latitude ? 90 : 180;
    if (!(std::fabs(degrees) <= limit))
        return {false, QString(),
                QStringLiteral("The %1 \"%2\" must lie between -%3 and %3 degrees.")
                    .arg(QString::fromStdString(what), text)
                    .arg(limit)};
    return out;
}

} // namespace

CellCommit CellCommitValue(const QString& text, int col) {
    if ((col != colLatitude && col != colLongitude) || isBlank(text))
        return {true, text, QString()};
    return readCoordinate(text, col);
}

CellCommit NewRowAngleValue(const QString& answer, int col) {
    if (isBlank(answer))
        return {true, QString(), QString()};
    return readCoordinate(answer, col);
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
