// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/sync_notice.h"

namespace kelvarn::cli {
namespace {

// The Russian noun form for `n`: one (1, 21, 101), few (2-4, 22-24) or many (5-20, 25-30, 111).
const char* pluralForm(int n, const char* one, const char* few, const char* many) {
    const int tens = n % 100;
    const int units = n % 10;
    if (units == 1 && tens != 11) {
        return one;
    }
    if (units >= 2 && units <= 4 && (tens < 12 || tens > 14)) {
        return few;
    }
    return many;
}

void addCount(std::string& text, int count, const std::string& words) {
    if (count == 0) {
        return;
    }
    if (!text.empty()) {
        text += ", ";
    }
    text += std::to_string(count) + " " + words;
}

}  // namespace

std::string syncNoticeBody(const SyncTally& tally) {
    std::string text;
    addCount(text, tally.added,
             pluralForm(tally.added, "новый микс", "новых микса", "новых миксов"));
    addCount(text, tally.downloaded, "скачано");
    addCount(text, tally.notDownloaded, "не скачано");
    if (!tally.failure.empty()) {
        text +=
            (text.empty() ? "" : "\n") + std::string("Синхронизация не удалась — ") + tally.failure;
    }
    return text;
}

}  // namespace kelvarn::cli
