// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/start_up.h"

#include <QString>
#include <cstdio>
#include <exception>

#include "core/storage/program_folder.h"
#include "gui/common/message_box.h"

namespace kelvarn {

bool chooseDataFolder(const std::string& dataDir) {
    try {
        try {
            chooseProgramFolder(dataDir);
        } catch (const NoDataFolder& e) {
            // Every data file would be missing: one question instead of a box for each.
            const QString text = QStringLiteral(
                                     "Папка данных не найдена:\n%1\n\nСоздать в ней "
                                     "новую базу или выйти?")
                                     .arg(QString::fromStdString(e.folder()));
            if (!MessageBox::choose(nullptr, text, QStringLiteral("Создать"),
                                    QStringLiteral("Выйти"))) {
                return false;
            }
            layOutNewDataFolder(e.folder());
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kelvarn: %s\n", e.what());
        MessageBox::error(nullptr, QString::fromStdString(e.what()));
        return false;
    }
    return true;
}

}  // namespace kelvarn
