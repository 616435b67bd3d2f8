// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's figures: time from entering main() to the first painted window (before the
// catalogue load), and a click on "Все стили" and on a style node with N rows in Swap, measured
// to the end of the repaint that shows the result. Runs offscreen; prints one line per figure.
#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "gui/common/message_box.h"
#include "gui/main_window/main_window.h"
#include "gui/window_set.h"

namespace {

using Clock = std::chrono::steady_clock;

// Notes the first paint of the main window.
class FirstPaint : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen) {
            seen = true;
            at = Clock::now();
        }
        return false;
    }
    bool seen = false;
    Clock::time_point at;
};

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Median of `runs` clicks on the node, each with its repaint.
double clickMs(kelvarn::MainWindow& form, const QString& text, int runs) {
    auto* tree = form.findChild<QTreeWidget*>(QStringLiteral("styleTree"));
    auto* grid = form.findChild<QTableView*>(QStringLiteral("catalogueGrid"));
    QTreeWidgetItem* item = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive).first();
    QTreeWidgetItem* other = tree->topLevelItem(2);
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        tree->setCurrentItem(item);
        auto start = Clock::now();
        emit tree->itemClicked(item, 0);
        grid->viewport()->repaint();
        times.push_back(ms(Clock::now() - start));
        // Another node in between, so each click rebuilds Table.
        tree->setCurrentItem(other);
        emit tree->itemClicked(other, 0);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    auto entered = Clock::now();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_gui MAKE_CATALOGUE COUNT...\n");
        return 2;
    }
    QApplication app(argc, argv);
    kelvarn::MessageBox::setScripted(true);
    auto root = std::filesystem::temp_directory_path() / "kelvarn-bench-gui";
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);

    {
        // Start-up on an empty catalogue: creation of every window, show, first paint.
        std::filesystem::create_directories(root / "empty");
        std::FILE* base = std::fopen((root / "empty" / "Base.vlt").c_str(), "w");
        std::fclose(base);
        kelvarn::AppContext context;
        context.folder = (root / "empty").string() + "/";
        context.sleep = [](int) {};
        kelvarn::Windows windows;
        FirstPaint paint;
        kelvarn::createWindows(context, windows);
        windows.mainWindow->installEventFilter(&paint);
        windows.mainWindow->show();
        while (!paint.seen) {
            QApplication::processEvents();
        }
        std::printf("start-up to first paint: %.1f ms\n", ms(paint.at - entered));
        kelvarn::destroyWindows(windows);
    }

    for (int i = 2; i < argc; ++i) {
        std::string count = argv[i];
        auto folder = root / count;
        std::string command = std::string(argv[1]) + " '" + folder.string() + "' " + count;
        if (std::system((command + " > /dev/null").c_str()) != 0) {
            std::fprintf(stderr, "failed: %s\n", command.c_str());
            return 1;
        }
        kelvarn::AppContext context;
        context.folder = folder.string() + "/";
        context.sleep = [](int) {};
        kelvarn::Windows windows;
        kelvarn::createWindows(context, windows);
        windows.mainWindow->show();
        while (windows.mainWindow->findChild<QTimer*>(QStringLiteral("loadTimer"))->isActive()) {
            QApplication::processEvents();
        }
        std::printf("%s records, %d rows in Swap: click \"Все стили\" %.2f ms, \"House\" %.2f ms\n",
                    count.c_str(), windows.mainWindow->views().Swap.rowCount() - 1,
                    clickMs(*windows.mainWindow, QStringLiteral("Все стили"), 9),
                    clickMs(*windows.mainWindow, QStringLiteral("House"), 9));
        kelvarn::destroyWindows(windows);
    }
    std::filesystem::remove_all(root);
    return 0;
}
