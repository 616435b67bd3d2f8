// SPDX-License-Identifier: GPL-3.0-or-later
// Shared pieces of the window tests.
#pragma once

#include <QDir>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QtGlobal>
#include <QtTest>
#include <functional>
#include <string>

#include "core/sound/sound.h"
#include "gui/common/app_context.h"
#include "gui/main_window/main_window.h"
#include "gui/window_set.h"
#include "tests/support/test_support.h"

namespace kelvarn::test {

// The sounds a window played, in order.
struct RecordedSounds final : SoundPlayer {
    QStringList played;
    // Called with each sound as it starts, on the thread that plays it.
    std::function<void(const QString&)> onPlay;
    void PlaySoundFile(const std::string& name) override {
        played << QString::fromStdString(name);
        if (onPlay) {
            onPlay(played.last());
        }
    }
};

// Whether `text` shows whole in a cell of column `column`: the style's margins and the grid line
// leave it room enough.
inline bool cellFits(QTableView* grid, int column, const QString& text) {
    QStyleOptionViewItem option;
    option.initFrom(grid);
    option.text = text;
    option.features = QStyleOptionViewItem::HasDisplay;
    QSize need = grid->style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), grid);
    return need.width() <= grid->columnWidth(column) - 1;
}

// A window's control by its object name; a name that is missing ends the test program, saying
// which.
template <typename T>
T* child(const QObject& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) {
        qFatal("%s has no child \"%s\"", qPrintable(window.objectName()), name);
    }
    return found;
}

// The program folder a window test starts the windows on, the context they are given, and the
// windows themselves.
class WindowsFixture {
protected:
    QString file(const QString& name) const { return dir_.filePath(name); }
    std::string path(const QString& name) const { return file(name).toStdString(); }

    // Empties the folder and lays out what every window reads as it is made: an empty
    // catalogue, ID list, queue and author list, one-line About and Help texts, the download
    // folder and `settings` as Setting.ini. The context points at the folder.
    void layOutFolder(const std::string& settings = "[Main]\r\nLoadDelay=0\r\n") {
        QDir(dir_.path()).removeRecursively();
        QDir().mkpath(dir_.path());
        for (const char* name : {"Base.vlt", "index", "List.dnl", "AvtLst.lst"}) {
            writeBytes(path(name), "");
        }
        writeBytes(path("About"), "about\r\n");
        writeBytes(path("Help"), "help\r\n");
        writeBytes(path("Setting.ini"), settings);
        QDir(dir_.path()).mkdir(QStringLiteral("ZIP"));
        context_.folder = dir_.path().toStdString() + "/";
    }

    // Creates every window, shows the main window and waits until its first load has run.
    void startWindows() {
        createWindows(context_, windows_);
        windows_.mainWindow->show();
        QVERIFY(QTest::qWaitForWindowExposed(windows_.mainWindow));
        QTRY_VERIFY(!child<QTimer>(*windows_.mainWindow, "loadTimer")->isActive());
    }

    QTemporaryDir dir_;
    AppContext context_;
    Windows windows_;
};

}  // namespace kelvarn::test
