#include "info/memo_file.h"

#include <fcntl.h>

#include <QStringList>

#include "catalogue/file_lock.h"
#include "catalogue/io_error.h"
#include "catalogue/text_lines.h"
#include "mainwindow/message_box.h"
#include "mainwindow/window_util.h"

namespace kelvarn {

void LoadMemoFile(QPlainTextEdit* memo, const std::string& path) {
    std::string bytes;
    try {
        bytes = LockedFile(path, O_RDONLY, LockedFile::Lock::Shared).readAll();
    } catch (const IoError& e) {
        MessageBox::error(memo->window(), QString::fromStdString(e.what()));
        return;
    }
    QStringList lines;
    for (const std::string& line : splitTextLines(bytes)) {
        lines << fromCp1251(line);
    }
    memo->setPlainText(lines.join(QLatin1Char('\n')));
}

}  // namespace kelvarn
