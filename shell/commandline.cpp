// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/commandline.h"

#include "cad/acadstuff.h"
#include "cad/drawingimport.h"
#include "cad/insertionsettings.h"
#include "cad/pointinsertion.h"
#include "crs/coordinatesystem.h"
#include "dxf/dxfengine.h"
#include "files/pointstable.h"
#include "gps/gpsdevice.h"
#include "gps/progressview.h"
#include "gps/receivedpoints.h"
#include "gps/serialcommport.h"
#include "interchange/formats.h"
#include "platform/programfolder.h"
#include "platform/prompts.h"
#include "platform/settings.h"
#include "rules/rulesdb.h"
#include "shell/interchangetable.h"
#include "table/waypointrows.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <unistd.h>

namespace {

enum ExitStatus { kAllWent = 0, kSomeLeftOut = 1, kFailed = 2 };

const char* const kUsage =
    "Usage:\n"
    "  korvel-transfer [FILE]\n"
    "      Opens the window; FILE (.gps, .gpx, .csv, .kml, .kmz) is opened or imported.\n"
    "  korvel-transfer --convert INPUT OUTPUT [options]\n"
    "      Converts waypoints; formats by extension: INPUT .gps .gpx .csv .kml .kmz,\n"
    "      OUTPUT .gps .gpx .csv .kml, or .dxf to insert every row into that drawing\n"
    "      as AutoCAD > Insert All does (created when missing, added to when it exists).\n"
    "      Drawing options (the stored insertion options unless given):\n"
    "        --label message|name|name-message|message-name   the block's label\n"
    "        --block flag|icon|rules                          the block inserted\n"
    "        --layer NAME                                     the layer\n"
    "        --metres | --feet                                drawing units\n"
    "        --zone N                                         UTM zone 1..60 (0: each point its own)\n"
    "        --crs CODE                                       a projected coordinate system of PROJ's\n"
    "                                                         database (EPSG:2274, 27700, ...), in its\n"
    "                                                         own unit, instead of UTM (utm: the\n"
    "                                                         built-in UTM); not with --zone,\n"
    "                                                         --metres or --feet\n"
    "        --model NAME                                     receiver model whose icon blocks\n"
    "                                                         --block icon uses (Support/Inserts/NAME/);\n"
    "                                                         with --receive, instead of the model\n"
    "                                                         the receiver reports\n"
    "        --line                                           also a 3D polyline through all rows\n"
    "  korvel-transfer --convert DRAWING.dxf OUTPUT [options]\n"
    "      Reads the design points of a drawing (blocks, POINTs; model space) into\n"
    "      waypoints and writes OUTPUT (.gps .gpx .csv .kml). Points this program\n"
    "      inserted are placed as they were inserted and keep their name, message\n"
    "      and icon; the others need the grid they were drawn in:\n"
    "        --zone N [--south]                               UTM zone 1..60 (--south: southern\n"
    "                                                         hemisphere northings)\n"
    "        --metres | --feet                                drawing units (default metres)\n"
    "        --crs CODE                                       a projected coordinate system of PROJ's\n"
    "                                                         database instead of UTM\n"
    "        --layer NAME                                     only this layer (repeatable)\n"
    "        --vertices                                       polyline vertices count as points\n"
    "  korvel-transfer --receive waypoints|track OUTPUT [--port DEVICE]\n"
    "      Finds the receiver as GPS > Connect does (or only on DEVICE), downloads the\n"
    "      waypoints or the track and writes OUTPUT by its extension (the drawing\n"
    "      options above apply to a .dxf OUTPUT). A download that brings no rows\n"
    "      writes nothing; one still unfinished after an hour or 8 MB is stopped.\n"
    "  korvel-transfer --help\n"
    "\n"
    "Prints one summary line on standard output and messages on standard error.\n"
    "Exit status: 0 all went, 1 some rows were left out (a .gps INPUT cut short\n"
    "at its end included) or the receiver refused, 2 bad arguments or a failure\n"
    "that wrote nothing (a drawing that could not be saved is left as it was).\n"
    "A .gps OUTPUT holds Windows-1252 text: other characters become \"?\" and\n"
    "standard error says how many fields that changed.\n";

void err(const QString& text) {
    QString t = text;
    t.replace(vbCrLf, QStringLiteral("\n"));
    std::fprintf(stderr, "korvel-transfer: %s\n", t.toLocal8Bit().constData());
}

void out(const QString& text) {
    std::fprintf(stdout, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
}

// Every prompt becomes a line on standard error; questions get the cautious
// answer (Cancel, No), input boxes and file choosers an empty one.
class StderrPrompts final : public PromptResponder {
public:
    int msgBox(const QString& text, int buttons, const QString&) override {
        err(text);
        switch (buttons & 7) {
        case vbOKCancel:
        case vbRetryCancel:
        case vbYesNoCancel:
            return vbCancel;
        case vbYesNo:
            return vbNo;
        case vbAbortRetryIgnore:
            return vbAbort;
        default:
            return vbOK;
        }
    }
    QString inputBox(const QString& prompt, const QString&, const QString&) override {
        err(prompt);
        return QString();
    }
    QStringList chooseFile(const FileChooserRequest&) override { return {}; }
};

// The exchange's caption and dots on standard error (only on a terminal).
class StderrProgress final : public ProgressView {
public:
    void setCaption(const QString& caption) override { caption_ = caption; }
    void showProgress() override { std::fprintf(stderr, "%s ", caption_.toLocal8Bit().constData()); }
    void hideProgress() override { std::fprintf(stderr, "\n"); }
    void DoDots(int& index) override {
        std::fputc('.', stderr);
        ++index;
    }

private:
    QString caption_;
};

struct DrawingOptions {
    std::optional<QString> attribute, block, layer, model;
    std::optional<bool> metric;
    std::optional<int> zone;
    std::optional<QString> crs; // a coordinate system's code, or "utm" for the built-in UTM
    bool line = false;
    // A drawing as input: every --layer given, --south, --vertices.
    QStringList layers;
    bool south = false, vertices = false;
    bool any() const { return attribute || block || layer || model || metric || zone || crs || line; }
};

struct Arguments {
    QString mode; // "convert" or "receive"
    QString input, output, what, port;
    DrawingOptions drawing;
};

// Parses argv; on a mistake prints it and returns nothing.
std::optional<Arguments> parse(const QStringList& args) {
    Arguments a;
    QStringList positional;
    auto bad = [](const QString& why) {
        err(why + QStringLiteral(" (korvel-transfer --help lists the options)"));
        return std::optional<Arguments>();
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        auto value = [&](QString* v) {
            if (i + 1 >= args.size())
                return false;
            *v = args.at(++i);
            return true;
        };
        QString v;
        if (arg == QLatin1String("--convert") || arg == QLatin1String("--receive")) {
            if (!a.mode.isEmpty())
                return bad(QStringLiteral("--convert and --receive go alone"));
            a.mode = arg.mid(2);
        } else if (arg == QLatin1String("--label")) {
            static const QHash<QString, QString> labels = {
                {QStringLiteral("message"), QStringLiteral("Message")},
                {QStringLiteral("name"), QStringLiteral("Name")},
                {QStringLiteral("message-name"), QStringLiteral("Message && Name")},
                {QStringLiteral("name-message"), QStringLiteral("Name && Message")}};
            if (!value(&v) || !labels.contains(v.toLower()))
                return bad(QStringLiteral("--label takes message, name, name-message or message-name"));
            a.drawing.attribute = labels.value(v.toLower());
        } else if (arg == QLatin1String("--block")) {
            static const QHash<QString, QString> blocks = {
                {QStringLiteral("flag"), QStringLiteral("Flag")},
                {QStringLiteral("icon"), QStringLiteral("By Icon")},
                {QStringLiteral("rules"), QStringLiteral("By Message")}};
            if (!value(&v) || !blocks.contains(v.toLower()))
                return bad(QStringLiteral("--block takes flag, icon or rules"));
            a.drawing.block = blocks.value(v.toLower());
        } else if (arg == QLatin1String("--layer")) {
            if (!value(&v) || v.trimmed().isEmpty())
                return bad(QStringLiteral("--layer takes a layer name"));
            a.drawing.layer = v;
            a.drawing.layers << v;
        } else if (arg == QLatin1String("--metres") || arg == QLatin1String("--meters")) {
            a.drawing.metric = true;
        } else if (arg == QLatin1String("--feet")) {
            a.drawing.metric = false;
        } else if (arg == QLatin1String("--zone")) {
            bool ok = false;
            const int zone = value(&v) ? v.toInt(&ok) : -1;
            if (!ok || zone < 0 || zone > 60)
                return bad(QStringLiteral("--zone takes a UTM zone from 1 to 60, or 0 for each point's own"));
            a.drawing.zone = zone;
        } else if (arg == QLatin1String("--crs")) {
            if (!value(&v) || v.trimmed().isEmpty())
                return bad(
                    QStringLiteral("--crs takes a coordinate system's code, such as EPSG:2274, or utm"));
            a.drawing.crs = v.trimmed();
        } else if (arg == QLatin1String("--model")) {
            // A folder name under Support/Inserts, never a path out of it.
            const bool named = value(&v) && !v.trimmed().isEmpty() && v != QLatin1String(".") &&
                               v != QLatin1String("..") && !v.contains(QLatin1Char('/')) &&
                               !v.contains(QLatin1Char('\\'));
            if (!named || std::any_of(v.cbegin(), v.cend(), [](QChar c) { return c.unicode() < 0x20; }))
                return bad(QStringLiteral("--model takes a receiver model name, such as a folder name in "
                                          "Support/Inserts"));
            a.drawing.model = v;
        } else if (arg == QLatin1String("--south")) {
            a.drawing.south = true;
        } else if (arg == QLatin1String("--vertices")) {
            a.drawing.vertices = true;
        } else if (arg == QLatin1String("--line")) {
            a.drawing.line = true;
        } else if (arg == QLatin1String("--port")) {
            if (!value(&v) || v.isEmpty())
                return bad(QStringLiteral("--port takes a device path"));
            a.port = v;
        } else if (arg.startsWith(QLatin1String("--"))) {
            return bad(QStringLiteral("unknown option %1").arg(arg));
        } else {
            positional << arg;
        }
    }
    if (a.mode.isEmpty())
        return bad(QStringLiteral("--convert or --receive is needed"));
    if (positional.size() != 2)
        return bad(a.mode == QLatin1String("convert")
                       ? QStringLiteral("--convert takes INPUT and OUTPUT")
                       : QStringLiteral("--receive takes waypoints|track and OUTPUT"));
    if (a.mode == QLatin1String("convert")) {
        a.input = positional.at(0);
        if (!a.port.isEmpty())
            return bad(QStringLiteral("--port goes with --receive"));
    } else {
        a.what = positional.at(0).toLower();
        if (a.what != QLatin1String("waypoints") && a.what != QLatin1String("track"))
            return bad(QStringLiteral("--receive takes waypoints or track, not %1").arg(positional.at(0)));
    }
    a.output = positional.at(1);
    const QString ext = QFileInfo(a.output).suffix().toLower();
    const bool drawing = ext == QLatin1String("dxf");
    const bool fromDrawing =
        a.mode == QLatin1String("convert") && QFileInfo(a.input).suffix().toLower() == QLatin1String("dxf");
    if (!fromDrawing && (a.drawing.south || a.drawing.vertices || (!drawing && a.drawing.layer)))
        return bad(QStringLiteral("--south, --vertices and --layer go with a .dxf input (--layer also with a "
                                  ".dxf output)"));
    if (fromDrawing) {
        if (drawing)
            return bad(QStringLiteral("%1: a drawing's points are written to .gps, .gpx, .csv or .kml")
                           .arg(a.output));
        if (a.drawing.attribute || a.drawing.block || a.drawing.model || a.drawing.line)
            return bad(QStringLiteral("--label, --block, --model and --line go with a .dxf output"));
        if (a.drawing.crs && a.drawing.south)
            return bad(
                QStringLiteral("--crs %1 gives the grid: it goes without --south").arg(*a.drawing.crs));
    }
    const InterchangeFormat* format = FormatForPath(a.output);
    if (!drawing && ext != QLatin1String("gps") && !(format && format->write))
        return bad(QStringLiteral("%1: the output's extension must be .gps, .gpx, .csv, .kml or .dxf")
                       .arg(a.output));
    if (a.drawing.crs && a.drawing.crs->compare(QLatin1String("utm"), Qt::CaseInsensitive) != 0) {
        if (a.drawing.metric || a.drawing.zone)
            return bad(
                QStringLiteral("--crs %1 gives the units and the grid: it goes without --zone, --metres "
                               "and --feet")
                    .arg(*a.drawing.crs));
        try {
            CoordinateSystem(a.drawing.crs->toStdString());
        } catch (const CoordinateSystemError& e) {
            return bad(QString::fromStdString(e.what()));
        }
    }
    if (!drawing && !fromDrawing && a.drawing.any())
        return bad(QStringLiteral("the drawing options go with a .dxf output"));
    if (a.mode == QLatin1String("convert")) {
        const QString in = QFileInfo(a.input).suffix().toLower();
        if (in != QLatin1String("gps") && in != QLatin1String("dxf") && !FormatForPath(a.input))
            return bad(
                QStringLiteral("%1: the input's extension must be .gps, .gpx, .csv, .kml, .kmz or .dxf")
                    .arg(a.input));
    }
    return a;
}

// Block by icon takes Support/Inserts/<model>/<icon>.dxf and the Flag block
// where that file is missing. When no file of the model can be there, every
// point gets the Flag block: says so and what can be done, else "".
QString iconBlocksNote(const QString& model) {
    const QDir inserts(SupportPath(QStringLiteral("Inserts")));
    const QStringList models = inserts.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    const QString known =
        models.isEmpty()
            ? QStringLiteral("No receiver model has icon blocks in %1.")
                  .arg(QDir::toNativeSeparators(inserts.path()))
            : QStringLiteral("Models with icon blocks: %1.").arg(models.join(QStringLiteral(", ")));
    if (model.isEmpty())
        return QStringLiteral("No receiver model is known, so every point gets the Flag block instead of the "
                              "block of its icon. --model NAME names the receiver model. ") +
               known;
    if (!QFileInfo(inserts.filePath(model)).isDir())
        return QStringLiteral(
                   "There are no icon blocks for the receiver model \"%1\" (no folder %2), so every "
                   "point gets the Flag block instead of the block of its icon. ")
                   .arg(model, QDir::toNativeSeparators(inserts.filePath(model))) +
               known;
    return QString();
}

// Inserts every row of grid into the drawing at path as Insert All does (and
// the line through them all when asked). Returns the exit status.
int insertIntoDrawing(WaypointRows& grid, const QString& path, const DrawingOptions& o, int leftOutBefore,
                      const QString& deviceModel) {

    // The stored options, with the arguments' in their place.
    InsertionOptions options = StoredInsertionOptions();
    if (o.attribute)
        options.strAttribute = *o.attribute;
    if (o.block)
        options.strBlock = *o.block;
    if (o.layer)
        options.strLayer = *o.layer;
    if (o.metric)
        options.blnMetric = *o.metric;
    if (o.zone)
        options.intZone = *o.zone;
    if (o.crs)
        options.strCrs = o.crs->compare(QLatin1String("utm"), Qt::CaseInsensitive) == 0 ? QString() : *o.crs;

    // Block rules are read once; an empty rules table gives every point the
    // Flag block, as the options window then offers "By Message" as "Flag".
    std::function<QString(QString&)> checkRules;
    if (options.strBlock == QLatin1String("By Message")) {
        StoredBlockRules stored = ReadStoredBlockRules();
        if (!stored.message.isEmpty())
            err(stored.message);
        if (stored.opened && stored.rules.empty())
            options.strBlock = QStringLiteral("Flag");
        checkRules = [rules = std::move(stored.rules), fallback = DefaultBlockPath()](QString& message) {
            return FromProgramRelative(MatchBlockRule(rules, message, fallback));
        };
    }

    DxfAutomation engine;
    engine.setDrawingPath(QFileInfo(path).absoluteFilePath());
    SetAcadAutomation(&engine);
    ACADStuff acad;
    InsertionContext c;
    c.acad = &acad;
    c.options = options;
    c.deviceModel = o.model ? *o.model : deviceModel;
    c.checkRules = std::move(checkRules);

    if (options.strBlock == QLatin1String("By Icon"))
        if (const QString note = iconBlocksNote(c.deviceModel); !note.isEmpty())
            err(note);

    const InsertionReport points = PointInsertion::InsertPoints(grid, c, false);
    int status = kAllWent;
    auto finish = [&](int s) {
        SetAcadAutomation(nullptr);
        return s;
    };
    if (!points.crsProblem.isEmpty() || !points.connected || !points.layerProblem.isEmpty()) {
        if (!points.crsProblem.isEmpty())
            err(points.crsProblem);
        if (!points.connectProblem.isEmpty())
            err(points.connectProblem);
        if (!points.layerProblem.isEmpty())
            err(points.layerProblem);
        return finish(kFailed);
    }
    const int leftOut =
        int(points.unusableCoordinates.size() + points.failedInsertions.size()) + leftOutBefore;
    // No command follows to save them again: changes the file did not take are
    // dropped, so that the engine does not write them after all when it ends,
    // behind a message that said the file was not changed.
    auto dropUnsaved = [&] {
        if (auto running = engine.running())
            running->discardChanges();
        return finish(kFailed);
    };
    using PointInsertion::UnsavedChanges;
    const QString closing = PointInsertion::PointsClosingMessage(points, false, UnsavedChanges::Dropped);
    if (leftOut > 0 || !points.unreadableElevations.isEmpty() || !points.saveError.isEmpty() ||
        points.outsideArea > 0 || !points.crsCaution.isEmpty())
        err(closing);
    if (!points.saveError.isEmpty())
        return dropUnsaved();
    if (o.line) {
        grid.setAllMarked(true);
        const InsertionReport line = PointInsertion::InsertLine(grid, c);
        const QString text = PointInsertion::LineClosingMessage(line, UnsavedChanges::Dropped);
        if (!line.lineDrawn) {
            err(text.isEmpty() ? QStringLiteral("The line was not drawn.") : text);
            status = kSomeLeftOut;
        } else if (!line.saveError.isEmpty()) {
            err(text);
            return dropUnsaved();
        }
    }
    if (auto running = engine.running(); running && !running->flush()) {
        err(QStringLiteral("The drawing \"%1\" could not be written: %2")
                .arg(path, running->lastSaveError()));
        return dropUnsaved();
    }
    QString summary = QStringLiteral("%1 waypoints inserted into %2").arg(points.inserted).arg(path);
    if (o.line)
        summary += QStringLiteral(" with a line");
    if (leftOut > 0)
        summary += QStringLiteral(", %1 skipped").arg(leftOut);
    out(summary);
    return finish(leftOut > 0 ? kSomeLeftOut : status);
}

// Writes the table to output by its extension. noun: "waypoints" or "track points".
int writeTable(WaypointRows& grid, const Arguments& a, int leftOutBefore, const QString& noun,
               const QString& deviceModel = QString()) {
    const QString ext = QFileInfo(a.output).suffix().toLower();
    if (ext == QLatin1String("dxf"))
        return insertIntoDrawing(grid, a.output, a.drawing, leftOutBefore, deviceModel);
    int written = 0, leftOut = leftOutBefore;
    if (ext == QLatin1String("gps")) {
        const PointsSaveResult saved = SavePointsFile(a.output, grid);
        if (!saved.ok) {
            err(saved.error);
            return kFailed;
        }
        written = saved.records;
        if (!saved.changedNote.isEmpty())
            err(saved.changedNote + vbCrLf +
                QStringLiteral("A .gpx, .csv or .kml output keeps every character."));
    } else {
        const WriteResult result = WriteInterchangeFile(a.output, TableRows(grid, false));
        if (!result.ok) {
            err(result.error);
            return kFailed;
        }
        if (result.skipped)
            err(SkippedExportMessage(a.output, result.skipped));
        written = result.written;
        leftOut += result.skipped;
    }
    QString summary = QStringLiteral("%1 %2 written to %3").arg(written).arg(noun, a.output);
    if (leftOut > 0)
        summary += QStringLiteral(", %1 skipped").arg(leftOut);
    out(summary);
    return leftOut > 0 ? kSomeLeftOut : kAllWent;
}

// Reads the design points of the drawing a.input into grid. Returns the rows
// left out, or nothing when the drawing gave no rows to write (said on stderr).
std::optional<int> readDrawing(const Arguments& a, WaypointRows& grid) {
    const DrawingOptions& o = a.drawing;
    DrawingImportOptions options;
    if (o.crs && o.crs->compare(QLatin1String("utm"), Qt::CaseInsensitive) != 0)
        options.crs = *o.crs;
    options.zone = o.zone.value_or(0);
    options.south = o.south;
    options.metric = o.metric.value_or(true);
    options.layers = o.layers;
    options.vertices = o.vertices;
    const DrawingImportResult read = ReadDrawingRows(a.input, options);
    if (!read.ok) {
        err(read.needsOptions ? read.error + QStringLiteral(" (--zone N, with --south for the southern "
                                                            "hemisphere, or --crs CODE)")
                              : read.error);
        return std::nullopt;
    }
    if (const QString notes = DrawingImportNotes(read); !notes.isEmpty())
        err(notes);
    if (read.rows.empty() && read.leftOut > 0) {
        err(QStringLiteral("Nothing was written to \"%1\": no point of \"%2\" could be used.")
                .arg(a.output, a.input));
        return std::nullopt;
    }
    AppendRowsToTable(grid, read.rows);
    return read.leftOut;
}

int convert(const Arguments& a, WaypointRows& grid) {
    int leftOut = 0;
    const QString in = QFileInfo(a.input).suffix().toLower();
    if (in == QLatin1String("dxf")) {
        const std::optional<int> drawn = readDrawing(a, grid);
        if (!drawn)
            return kFailed;
        leftOut = *drawn;
    } else if (in == QLatin1String("gps")) {
        // Opening a points file creates a missing one; a conversion must not.
        if (!QFileInfo::exists(a.input)) {
            err(QStringLiteral("\"%1\" could not be read: there is no such file.").arg(a.input));
            return kFailed;
        }
        const PointsLoadResult loaded = LoadPointsFile(a.input, grid);
        if (!loaded.ok) {
            err(loaded.error);
            return kFailed;
        }
        // The bytes of a cut-short end are the start of one record at most.
        if (loaded.leftOutBytes > 0) {
            err(CutShortEndMessage(a.input, loaded.leftOutBytes) + vbCrLf +
                QStringLiteral("The %1 complete waypoint(s) were converted; \"%2\" itself was not changed.")
                    .arg(loaded.rows)
                    .arg(a.input));
            leftOut = 1;
        }
    } else {
        const ImportOutcome imported = ImportIntoTable(a.input, grid);
        if (!imported.ok) {
            err(imported.error);
            return kFailed;
        }
        if (!imported.notesMessage.isEmpty())
            err(imported.notesMessage);
        if (!imported.skippedMessage.isEmpty())
            err(imported.skippedMessage);
        if (imported.added == 0 && imported.skipped > 0) {
            err(QStringLiteral("Nothing was written to \"%1\": no point of \"%2\" could be used.")
                    .arg(a.output, a.input));
            return kFailed;
        }
        leftOut = imported.skipped;
    }
    return writeTable(grid, a, leftOut, QStringLiteral("waypoints"));
}

int receive(const Arguments& a, WaypointRows& grid) {
    if (!a.port.isEmpty()) {
        if (const QString problem = SerialDeviceProblem(a.port); !problem.isEmpty()) {
            err(problem);
            return kFailed;
        }
    }
    // --port searches that device alone; otherwise the ports the program finds.
    SerialCommPort port = a.port.isEmpty() ? SerialCommPort() : SerialCommPort(QStringList{a.port});
    StderrProgress progress;
    GPSDevice device(&port, isatty(STDERR_FILENO) ? &progress : nullptr);
    const ExchangeResult connected = device.SearchForDevice();
    ShowMessages(connected.messages);
    if (!connected.ok)
        return kFailed;
    const bool track = a.what == QLatin1String("track");
    const ExchangeResult download = track ? device.ReceiveTracks() : device.ReceiveWaypoints();
    ShowMessages(download.messages);
    const bool received = download.ok;
    const bool refused = device.lastDownloadRefused();
    const QString model = device.deviceModel();
    const AddedPoints added =
        received ? AppendReceivedPoints(grid, device.receivedDataLines()) : AddedPoints{};
    ShowMessages(device.CloseDevice().messages);
    // The device's own message has said why. A refusal is the receiver's
    // answer (status 1), not a failure of this program; nothing is written.
    if (!received)
        return refused ? kSomeLeftOut : kFailed;
    if (const QString skipped = SkippedLinesMessage(added); !skipped.isEmpty())
        err(skipped);
    const QString noun = track ? QStringLiteral("track points") : QStringLiteral("waypoints");
    // An empty result never replaces a file that may hold an earlier download.
    if (added.added == 0) {
        err(QStringLiteral("Nothing was written to \"%1\": the GPS device sent no %2 that could be used. "
                           "A file of that name was left as it was.")
                .arg(a.output, noun));
        return refused ? kSomeLeftOut : kFailed;
    }
    const int status = writeTable(grid, a, added.skipped(), noun, model);
    if (status == kAllWent && (!device.lastDownloadComplete() || refused))
        return kSomeLeftOut;
    return status;
}

} // namespace

bool IsCommandLineMode(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--convert" || arg == "--receive" || arg == "--help" || arg == "-h")
            return true;
    }
    return false;
}

int RunCommandLine(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i)
        if (qstrcmp(argv[i], "--help") == 0 || qstrcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return kAllWent;
        }
    // Qt's own notes (no runtime folder, fonts) are not messages for the user.
    if (qEnvironmentVariableIsEmpty("KORVEL_DEBUG"))
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtCriticalMsg || type == QtFatalMsg)
                std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        });
    // No widget and no platform plugin: runs where there is no display.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Korvel Transfer"));
    StderrPrompts prompts;
    SetPromptResponder(&prompts);
    int status = kFailed;
    if (const auto a = parse(QCoreApplication::arguments().mid(1))) {
        WaypointRows grid;
        SetUpEmptyRows(grid);
        status = a->mode == QLatin1String("convert") ? convert(*a, grid) : receive(*a, grid);
    }
    SetPromptResponder(nullptr);
    return status;
}
