// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/common/memo_file.h"

#include <fcntl.h>

#include <QStringList>

#include "core/storage/file_lock.h"
#include "core/storage/io_error.h"
#include "core/storage/text_lines.h"
#include "gui/common/message_box.h"
#include "gui/common/window_util.h"

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
