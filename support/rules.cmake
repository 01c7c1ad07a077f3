# Support/Rules.rls, the block rules database, built from Rules.sql at build
# time by a small Qt Sql program (so a build needs no sqlite3 command).
file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/makerules.cpp @ONLY CONTENT [==[
// SPDX-License-Identifier: GPL-3.0-or-later
// makerules SQL-FILE OUT-FILE SUPPORT-DIR: runs the statements of SQL-FILE on a
// new SQLite file and moves it over OUT-FILE once complete and synced; on any
// failure OUT-FILE is left as it was and the exit status is 1. "%SUPPORT%" in
// the statements becomes SUPPORT-DIR, quotes doubled (it stands inside SQL string literals). Statements end with ";" at the end of a line.
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {
int run(const QString& sqlPath, const QString& outPath, const QString& supportDir) {
    QFile sql(sqlPath);
    if (!sql.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "makerules: cannot read %s\n", qPrintable(sqlPath));
        return 1;
    }
    QStringList statements;
    QString pending;
    QTextStream in(&sql);
    while (!in.atEnd()) {
        QString line = in.readLine();
        const qsizetype comment = line.indexOf(QLatin1String("--"));
        if (comment >= 0)
            line.truncate(comment);
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        pending += line + QLatin1Char(' ');
        if (line.endsWith(QLatin1Char(';'))) {
            QString dir = supportDir;
            statements << pending.replace(QLatin1String("%SUPPORT%"), dir.replace(QLatin1String("'"), QLatin1String("''")));
            pending.clear();
        }
    }
    // Everything goes into a temporary file beside OUT-FILE, which replaces it
    // only once the database is complete and on disk: a step that fails part
    // way (a full disk) leaves the earlier OUT-FILE as it was.
    const QString tmpPath = outPath + QStringLiteral(".tmp");
    auto discard = [&tmpPath] {
        QFile::remove(tmpPath);
        QFile::remove(tmpPath + QStringLiteral("-journal"));
        return 1;
    };
    discard();
    bool built = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("makerules"));
        db.setDatabaseName(tmpPath);
        if (!db.open()) {
            std::fprintf(stderr, "makerules: %s\n", qPrintable(db.lastError().text()));
        } else if (!db.transaction()) {
            std::fprintf(stderr, "makerules: %s\n", qPrintable(db.lastError().text()));
        } else {
            built = true;
            for (const QString& s : statements) {
                QSqlQuery q(db);
                if (!q.exec(s)) {
                    std::fprintf(stderr, "makerules: %s\n  in: %s\n", qPrintable(q.lastError().text()),
                                 qPrintable(s));
                    built = false;
                    break;
                }
            }
            if (built && !db.commit()) {
                std::fprintf(stderr, "makerules: cannot write %s: %s\n", qPrintable(tmpPath),
                             qPrintable(db.lastError().text()));
                built = false;
            }
            if (!built)
                db.rollback();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("makerules"));
    if (!built)
        return discard();
    // SQLite synced the file at commit; sync again, so that nothing depends on
    // its settings, then rename and sync the folder.
    const QByteArray tmpName = QFile::encodeName(tmpPath);
    const int fd = ::open(tmpName.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        std::fprintf(stderr, "makerules: cannot write %s: %s\n", tmpName.constData(), std::strerror(errno));
        if (fd >= 0)
            ::close(fd);
        return discard();
    }
    ::close(fd);
    if (::rename(tmpName.constData(), QFile::encodeName(outPath).constData()) != 0) {
        std::fprintf(stderr, "makerules: cannot write %s: %s\n", qPrintable(outPath), std::strerror(errno));
        return discard();
    }
    const int folder = ::open(QFile::encodeName(QFileInfo(outPath).absolutePath()).constData(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return 0;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: makerules SQL-FILE OUT-FILE SUPPORT-DIR\n");
        return 2;
    }
    return run(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]),
               QString::fromLocal8Bit(argv[3]));
}
]==])
add_executable(makerules ${CMAKE_CURRENT_BINARY_DIR}/makerules.cpp)
target_link_libraries(makerules PRIVATE Qt6::Core Qt6::Sql)
set_target_properties(makerules PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
add_custom_command(OUTPUT ${KORVEL_SUPPORT_DIR}/Rules.rls
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KORVEL_SUPPORT_DIR}
  COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen
          $<TARGET_FILE:makerules> ${CMAKE_CURRENT_SOURCE_DIR}/Rules.sql ${KORVEL_SUPPORT_DIR}/Rules.rls
          ${KORVEL_SUPPORT_DIR}
  DEPENDS makerules ${CMAKE_CURRENT_SOURCE_DIR}/Rules.sql
  COMMENT "Building Support/Rules.rls")
add_custom_target(rules_db ALL DEPENDS ${KORVEL_SUPPORT_DIR}/Rules.rls)
# The rules point at block drawings the copied Support/ holds.
add_dependencies(rules_db support_files)
# Whatever links the CAD code (the program, its tests) finds the file built.
if(TARGET cad)
  add_dependencies(cad rules_db)
endif()
