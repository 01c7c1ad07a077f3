// SPDX-License-Identifier: GPL-3.0-or-later
// A big drawing (2 million LINEs plus blocks, about 200 MB; KORVEL_BENCH_MB
// sets another size) in R12 and in R2018: the engine reads it, defines the
// flag block, appends one labelled reference and writes the file, in a child
// process of its own so that its peak memory is its alone; then ezdxf does the
// same (bench_cad_big.py). Prints times, peak memory against the file size and
// the ratio. The generated files live in a temporary folder, removed at the end.
#include "dxf/dxfdrawing.h"
#include "platform/durablewrite.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>

namespace {

const QString kFlag = QStringLiteral(KORVEL_SOURCE_DIR "/support/Inserts/Flag.dxf");
const QString kScript = QStringLiteral(KORVEL_SOURCE_DIR "/bench/bench_cad_big.py");

long long peakBytes() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<long long>(u.ru_maxrss) * 1024;
}

// Processor seconds used (user and system): what the time would be on a
// machine with nothing else to do, but for waiting on the disk.
double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The engine's job, timed: read, define the block, one labelled reference, write.
int appendOne(const QString& in, const QString& out) {
    QElapsedTimer t;
    t.start();
    QFile f(in);
    if (!f.open(QIODevice::ReadOnly))
        return 1;
    const QByteArray bytes = f.readAll();
    f.close();
    const double readS = double(t.nsecsElapsed()) / 1e9;
    DxfDrawing d = DxfDrawing::open(bytes);
    const double openS = double(t.nsecsElapsed()) / 1e9;
    const QString block = d.blockFromFile(kFlag);
    const QByteArray h = d.insertBlock(block, {1000, 2000, 0}, 1, 1, 1, 0);
    for (int a : d.attributesOf(d.entityIndex(h)))
        d.setAttributeText(a, QStringLiteral("WP1"));
    d.zoomExtents();
    const QByteArray written = d.toBytes();
    const double textS = double(t.nsecsElapsed()) / 1e9;
    QString error;
    if (!WriteFileDurably(out, written, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const double all = double(t.nsecsElapsed()) / 1e9;
    std::fprintf(stderr, "read %.2f s, open %.2f s, append and text %.2f s, durable write %.2f s\n", readS,
                 openS - readS, textS - openS, all - textS);
    std::printf("%.3f %lld %.3f\n", all, peakBytes(), cpuSeconds());
    return 0;
}

// The skeleton's text with `lines` LINEs added to its model space, each with a
// handle (and for R2018 an owner and subclass markers), $HANDSEED above them.
QByteArray fill(const QByteArray& skeleton, long long lines, bool modern) {
    QByteArray modelSpace = "1F";
    if (modern) {
        qsizetype at = skeleton.indexOf("\n*Model_Space\n");
        qsizetype rec = skeleton.lastIndexOf("\nBLOCK_RECORD\n", at);
        QList<QByteArray> l = skeleton.mid(rec, at - rec).split('\n');
        if (l.size() > 3)
            modelSpace = l[3].trimmed();
    }
    const qsizetype ents = skeleton.indexOf("\nENTITIES\n") + 10;
    QByteArray out;
    out.reserve(skeleton.size() + lines * 110);
    out += skeleton.left(ents);
    char buf[256];
    const unsigned long long first = 0x100000;
    for (long long i = 0; i < lines; ++i) {
        const double x = double(i % 2000) * 2.5, y = double(i / 2000) * 2.5;
        int n =
            modern
                ? std::snprintf(buf, sizeof buf,
                                "  0\nLINE\n  5\n%llX\n330\n%s\n100\nAcDbEntity\n  8\nSITE\n100\nAcDbLine\n"
                                " 10\n%.2f\n 20\n%.2f\n 30\n0.0\n 11\n%.2f\n 21\n%.2f\n 31\n0.0\n",
                                first + i, modelSpace.constData(), x, y, x + 2, y + 1)
                : std::snprintf(buf, sizeof buf,
                                "  0\nLINE\n  5\n%llX\n  8\nSITE\n 10\n%.2f\n 20\n%.2f\n 30\n0.0\n"
                                " 11\n%.2f\n 21\n%.2f\n 31\n0.0\n",
                                first + i, x, y, x + 2, y + 1);
        out.append(buf, n);
    }
    out += skeleton.mid(ents);
    const QByteArray seed = "$HANDSEED\n  5\n";
    qsizetype s = out.indexOf(seed) + seed.size();
    out.replace(s, out.indexOf('\n', s) - s, QByteArray::number(first + lines, 16).toUpper());
    return out;
}

// "seconds peak-bytes cpu-seconds" printed by a program, or an empty result.
bool runTimed(const QString& program, const QStringList& args, double* seconds, long long* peak,
              double* cpu) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(1800000) || p.exitCode() != 0) {
        std::printf("  failed: %s\n", p.readAllStandardError().constData());
        return false;
    }
    QList<QByteArray> parts = p.readAllStandardOutput().trimmed().split(' ');
    if (parts.size() != 3)
        return false;
    *seconds = parts[0].toDouble();
    *peak = parts[1].toLongLong();
    *cpu = parts[2].toDouble();
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 4 && QByteArray(argv[1]) == "--append")
        return appendOne(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));

    const long long mb =
        qEnvironmentVariableIsSet("KORVEL_BENCH_MB") ? qEnvironmentVariableIntValue("KORVEL_BENCH_MB") : 200;
    const bool ezdxf = !qEnvironmentVariableIsSet("KORVEL_BENCH_NO_EZDXF");
    QTemporaryDir work;
    int failures = 0;
    for (const char* version : {"R12", "R2018"}) {
        const bool modern = QByteArray(version) != "R12";
        const QString skeleton = work.filePath(QStringLiteral("skeleton.dxf"));
        const QString big = work.filePath(QStringLiteral("big.dxf"));
        if (QProcess::execute(QStringLiteral("/usr/bin/python3"), {kScript, "skeleton", version, skeleton}) !=
            0)
            return 1;
        QFile s(skeleton);
        if (!s.open(QIODevice::ReadOnly))
            return 1;
        const long long lines = mb * 10000; // 2 million at 200 MB
        {
            QByteArray text = fill(s.readAll(), lines, modern);
            QFile b(big);
            if (!b.open(QIODevice::WriteOnly) || b.write(text) != text.size())
                return 1;
        }
        const double size = double(QFileInfo(big).size());
        std::printf("%s drawing: %lld LINEs plus 20 blocks, %.0f MB\n", version, lines, size / 1e6);

        double ours = 0, theirs = 0, ourCpu = 0, theirCpu = 0;
        long long ourPeak = 0, theirPeak = 0;
        if (runTimed(QCoreApplication::applicationFilePath(), {"--append", big, work.filePath("ours.dxf")},
                     &ours, &ourPeak, &ourCpu)) {
            std::printf(
                "  engine: read, one labelled block appended, written: %.2f s (processor %.2f s), peak "
                "memory %.0f MB (%.2f x the file)\n",
                ours, ourCpu, double(ourPeak) / 1e6, double(ourPeak) / size);
            if (ours >= 5 || double(ourPeak) >= 3 * size)
                ++failures;
        } else {
            ++failures;
        }
        QFile::remove(work.filePath("ours.dxf"));
        if (ezdxf && runTimed(QStringLiteral("/usr/bin/python3"),
                              {kScript, "append", big, kFlag, work.filePath("theirs.dxf")}, &theirs,
                              &theirPeak, &theirCpu)) {
            std::printf(
                "  ezdxf: the same: %.2f s (processor %.2f s), peak memory %.0f MB (%.2f x the file)\n",
                theirs, theirCpu, double(theirPeak) / 1e6, double(theirPeak) / size);
            std::printf("  ratio ezdxf/engine: time %.1f, processor %.1f, memory %.1f\n",
                        ours > 0 ? theirs / ours : 0.0, ourCpu > 0 ? theirCpu / ourCpu : 0.0,
                        ourPeak > 0 ? double(theirPeak) / double(ourPeak) : 0.0);
        }
        QFile::remove(work.filePath("theirs.dxf"));
        QFile::remove(big);
    }
    std::printf("targets (under 5 s, peak under 3 x the file): %s\n", failures ? "NOT met" : "met");
    return failures ? 1 : 0;
}
