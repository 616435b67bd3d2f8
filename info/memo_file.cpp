#include "info/memo_file.h"

#include <fcntl.h>

#include <QStringList>

#include "catalogue/file_lock.h"
#include "catalogue/io_error.h"
#include "mainwindow/message_box.h"
#include "mainwindow/window_util.h"

namespace kelvarn {
namespace {

// A line break after the last line does not start another line.
QStringList textLines(std::string_view bytes) {
    QStringList lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n') {
            continue;
        }
        lines << fromCp1251(bytes.substr(start, i - start));
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            ++i;
        }
        start = i + 1;
    }
    if (start < bytes.size()) {
        lines << fromCp1251(bytes.substr(start));
    }
    return lines;
}

}  // namespace

void LoadMemoFile(QPlainTextEdit* memo, const std::string& path) {
    std::string bytes;
    try {
        bytes = LockedFile(path, O_RDONLY, LockedFile::Lock::Shared).readAll();
    } catch (const IoError& e) {
        MessageBox::error(memo->window(), QString::fromStdString(e.what()));
        return;
    }
    memo->setPlainText(textLines(bytes).join(QLatin1Char('\n')));
}

}  // namespace kelvarn
