// SPDX-License-Identifier: GPL-3.0-or-later
// "Что внутри": the files of a downloaded mix and what its project says (version, tempo, time
// signature, patterns, channels, plugins), as of its opening.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QTableWidget>
#include <string>

#include "core/mixfiles/archive_reader.h"
#include "gui/common/secondary_window.h"

namespace kelvarn {

class MixContentsWindow : public SecondaryWindow {
    Q_OBJECT
public:
    explicit MixContentsWindow(QWidget* parent = nullptr);

    // Reads the downloaded file at `path` and shows what it holds over `owner`; a file that
    // cannot be read is said in a message box instead.
    void showFile(QWidget* owner, const std::string& path);

private:
    // The facts of project `index` of the file; of none when it holds no project.
    void showProject(int index);
    void showFiles();

    MixContents contents_;
    QComboBox* projectList_ = nullptr;
    QLabel* version_ = nullptr;
    QLabel* tempo_ = nullptr;
    QLabel* signature_ = nullptr;
    QLabel* patterns_ = nullptr;
    QLabel* channelCount_ = nullptr;
    QListWidget* channels_ = nullptr;
    QTableWidget* plugins_ = nullptr;
    QTableWidget* files_ = nullptr;
    QLabel* damaged_ = nullptr;
};

}  // namespace kelvarn
