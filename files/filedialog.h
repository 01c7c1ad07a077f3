// SPDX-License-Identifier: GPL-3.0-or-later
// FileDialog: one open or save file chooser. A caller creates one per command,
// sets the owner, filter and start folder (and optionally the title and the
// three switches), calls ShowOpen or ShowSave once and gets the chosen full
// path, or "" when the user cancelled. The chooser itself is the platform
// prompt service's (ChooseFile), so tests answer it from a script.
#pragma once
#include "platform/prompts.h"

#include <QString>

#include <cstdint>
#include <stdexcept>

// The error InitialDir raises for a folder that does not exist: number 514,
// source "FileDialog", description "Invalid Initial Directory".
class FileDialogError : public std::runtime_error {
public:
    FileDialogError(int number, const QString& source, const QString& description)
        : std::runtime_error(description.toStdString()), number_(number), source_(source),
          description_(description) {}
    int number() const { return number_; }
    QString source() const { return source_; }
    QString description() const { return description_; }

private:
    int number_;
    QString source_;
    QString description_;
};

class FileDialog {
public:
    // Chooser option flags, with the common dialog's values.
    static constexpr std::int32_t OFN_FILEMUSTEXIST = 0x1000;
    static constexpr std::int32_t OFN_HIDEREADONLY = 0x4;
    static constexpr std::int32_t OFN_ALLOWMULTISELECT = 0x200;
    static constexpr std::int32_t OFN_EXPLORER = 0x80000;
    static constexpr int kInvalidInitialDir = 514;

    // Owner window handle: a native window id (QWidget::winId()), truncated to
    // 32 bits as the handle has always been; 0 = no owner.
    void setOwnerHwnd(std::int32_t WindowHandle) { owner_ = WindowHandle; }

    // Writing "" keeps the previous title; "" lets the chooser use its own.
    void setTitle(const QString& Caption);
    QString Title() const { return title_; }

    // Pairs "description|pattern|description|pattern..." as the caller writes
    // them. Stored with every "|" turned into NUL and one NUL appended unless the
    // text then ends in two NULs; read back with NULs as "|", less one trailing "|".
    void setFilter(const QString& FilterString);
    QString Filter() const;
    // The stored NUL-separated form.
    const QString& storedFilter() const { return filter_; }

    // Throws FileDialogError 514 when no folder exists at strFolder; the stored
    // folder is then unchanged. Otherwise stores strFolder as given.
    void setInitialDir(const QString& strFolder);
    QString initialDir() const { return initialDir_; }

    void setHideReadOnly(bool blnVal) { hideReadOnly_ = blnVal; }
    void setMultiSelect(bool blnVal) { multiSelect_ = blnVal; }
    void setFileMustExist(bool blnVal) { fileMustExist_ = blnVal; }

    // Flags the open chooser gets: the sum of OFN_HIDEREADONLY, OFN_ALLOWMULTISELECT
    // | OFN_EXPLORER and OFN_FILEMUSTEXIST for the switches that are on. The save
    // chooser gets OFN_FILEMUSTEXIST alone, or 0.
    std::int32_t openFlags() const;
    std::int32_t saveFlags() const;

    // The request handed to the chooser: owner, (description, pattern) pairs
    // of the stored filter, start folder, title, and the switches the flags carry.
    FileChooserRequest request(bool save) const;

    // Run the chooser. The result is the chosen full path, "" when cancelled.
    // With more than one file chosen under MultiSelect: the folder, then each
    // name, separated by NUL characters.
    QString ShowOpen() const;
    QString ShowSave() const;

private:
    QString show(bool save) const;

    std::int32_t owner_ = 0;
    QString filter_;
    QString title_;
    QString initialDir_;
    bool hideReadOnly_ = false;
    bool multiSelect_ = false;
    bool fileMustExist_ = false;
};
