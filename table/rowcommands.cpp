// SPDX-License-Identifier: GPL-3.0-or-later
#include "table/rowcommands.h"

#include "platform/prompts.h"
#include "table/celleditor.h"
#include "table/flexgrid.h"
#include "table/tablesetup.h"

#include <QStringList>

#include <vector>

QString CopyCell(const FlexGrid& grid, int row, int col) {
    return grid.TextMatrix(row, col);
}

void PasteCell(FlexGrid& grid, int row, int col, const QString& text) {
    grid.setTextMatrix(row, col, text);
}

RowBuffer CopyRow(const FlexGrid& grid, int row) {
    RowBuffer out;
    for (int c = 0; c < int(out.size()); ++c)
        out[size_t(c)] = grid.TextMatrix(row, c);
    return out;
}

void PasteRow(FlexGrid& grid, int row, const RowBuffer& texts) {
    for (int c = 0; c < int(texts.size()); ++c)
        grid.setTextMatrix(row, c, texts[size_t(c)]);
}

const std::array<NewRowQuestion, 6>& NewRowQuestions() {
    static const std::array<NewRowQuestion, 6> questions = {{
        {QStringLiteral("Waypoint Name"), QStringLiteral("Input the name of the waypoint."), QString(),
         colName, false},
        {QStringLiteral("Latitude"),
         QStringLiteral("Input degrees, minutes, and seconds latitude.") + vbCrLf +
             QStringLiteral("( 35N16'35\" )"),
         QString(), colLatitude, true},
        {QStringLiteral("Longitude"),
         QStringLiteral("Input degrees, minutes, and seconds longitude.") + vbCrLf +
             QStringLiteral("( 90W16'35\" )"),
         QString(), colLongitude, true},
        {QStringLiteral("Waypoint Altitude"), QStringLiteral("Input the altitude of the waypoint."),
         QStringLiteral("0000028M"), colElevation, false},
        {QStringLiteral("Waypoint Message"), QStringLiteral("Input the message for the waypoint."), QString(),
         colMessage, false},
        {QStringLiteral("Waypoint Icon"), QStringLiteral("Input the icon identifier."), QStringLiteral("a"),
         colIcon, false},
    }};
    return questions;
}

bool AddNewRow(FlexGrid& grid, const std::function<std::optional<QString>(const NewRowQuestion&)>& ask,
               const std::function<void(const QString& message)>& invalidAngle) {
    const auto& questions = NewRowQuestions();
    QStringList values;
    for (const NewRowQuestion& question : questions) {
        NewRowQuestion q = question;
        QString value;
        for (;;) {
            const std::optional<QString> answer = ask(q);
            if (!answer)
                return false;
            value = *answer;
            if (!q.angle)
                break;
            const CellCommit c = NewRowAngleValue(value, q.column);
            if (c.valid) {
                value = c.value;
                break;
            }
            // An angle that cannot be read is asked for again, the typed text
            // offered for mending: a row without its coordinate would later
            // stop every save of the table.
            if (invalidAngle)
                invalidAngle(c.problem);
            q.defaultText = value;
        }
        values << value;
    }
    const int row = grid.Rows();
    grid.setRows(row + 1);
    for (size_t i = 0; i < questions.size(); ++i)
        grid.setTextMatrix(row, questions[i].column, values[qsizetype(i)]);
    return true;
}

void DeleteSelectedRows(FlexGrid& grid) {
    const int rows = grid.Rows();
    if (rows >= 2) {
        std::vector<bool> remove(size_t(rows), false);
        int marked = 0;
        for (int r = 1; r < rows; ++r)
            if (grid.isMarked(r)) {
                remove[size_t(r)] = true;
                ++marked;
            }
        // With every row marked, rows are removed until one is left: the last.
        const bool keepLast = marked == rows - 1;
        if (keepLast)
            remove[size_t(rows - 1)] = false;
        if (marked > 0 && !(keepLast && rows == 2))
            grid.RemoveRows(remove);
        if (keepLast) {
            grid.setMarked(1, false);
            for (int c = 1; c < grid.Cols(); ++c)
                grid.setTextMatrix(1, c, QString());
        }
    }
    grid.setRow(grid.Rows() - 1);
    grid.setCol(0);
}
