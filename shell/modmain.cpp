// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/modmain.h"

#include "interchange/formats.h"
#include "platform/prompts.h"
#include "shell/form1.h"
#include "shell/modreg.h"

#include <QFileInfo>
#include <QMenu>
#include <QVariant>
#include <QWidget>

#include <exception>

namespace {
const char* const kLoadedProperty = "korvelFormLoaded";

// A points file by its extension: ".gps" in any letter case.
bool isPointsFileName(const QString& path) {
    return QFileInfo(path).suffix().compare(QLatin1String("gps"), Qt::CaseInsensitive) == 0;
}
} // namespace

bool LoadForm(QWidget* form) {
    try {
        if (!form)
            throw std::runtime_error("no window");
        if (form->property(kLoadedProperty).toBool())
            return true;
        // A window with a load handler runs it now, once.
        if (form->metaObject()->indexOfMethod("Form_Load()") >= 0)
            QMetaObject::invokeMethod(form, "Form_Load", Qt::DirectConnection);
        form->setProperty(kLoadedProperty, true);
        return true;
    } catch (const std::exception&) {
        MsgBox(QStringLiteral("There was an error loading the form.") + vbCrLf +
               QStringLiteral("Please contact technical support."));
        return false;
    }
}

QString CommandLineText(const QStringList& arguments) {
    return arguments.join(QLatin1Char(' '));
}

QString CommandLinePath(const QString& commandLine) {
    // A line still wrapped in literal quotes (a launcher that quoted twice) is
    // cut as it always was: first and last character off, and only when it is
    // longer than 5 characters. Otherwise the shell has already taken the
    // quotes away and the whole line is the path.
    if (commandLine.size() >= 2 && commandLine.startsWith(QLatin1Char('"')) &&
        commandLine.endsWith(QLatin1Char('"')))
        return commandLine.size() > 5 ? commandLine.mid(1, commandLine.size() - 2) : QString();
    return commandLine;
}

Form1* StartUp(const QStringList& arguments) {
    const QString commandLine = CommandLineText(arguments);
    auto* form = new Form1;
    const bool loaded = LoadForm(form);
    if (loaded) {
        const QString path = CommandLinePath(commandLine);
        if (!path.isEmpty() &&
            (FormatForPath(path) || path.endsWith(QStringLiteral(".dxf"), Qt::CaseInsensitive)))
            form->ImportFile(path); // into the new, empty table; Save asks for a name
        else if (!path.isEmpty()) {
            // A points file becomes the current file, which Save writes back to.
            // A file of another kind still opens, untitled, so Save asks for a
            // name rather than writing points over it.
            const QString full = QFileInfo(path).absoluteFilePath();
            if (form->OpenFile(full) && isPointsFileName(full))
                form->strCurrentFile = full;
        }
        form->updateTitleAndStatus();
        form->restoreWindowPlace();
        form->show();
    }
    const bool cadRegistered = AcadMenuEnabledAtStartUp();
    // A window that failed to load gets one more attempt; a loaded one needs none.
    if (!loaded && !LoadForm(form)) {
        delete form;
        return nullptr;
    }
    form->menu(QStringLiteral("mnuACAD"))->setEnabled(cadRegistered);
    return form;
}
