// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/downloader/download_rows.h"

#include <algorithm>
#include <climits>

#include "core/storage/cp1251.h"
#include "core/storage/data_files.h"

namespace kelvarn {

DownloadState DownloadState::receiving(std::int64_t kilobytes) {
    return DownloadState(Kind::Receiving,
                         static_cast<int>(std::min<std::int64_t>(kilobytes, INT_MAX)));
}

bool DownloadState::isRunnable() const {
    return kind_ == Kind::Waiting || kind_ == Kind::Failed || kind_ == Kind::Broken ||
           kind_ == Kind::Busy;
}

bool DownloadState::isFinal() const {
    return leftQueue() || kind_ == Kind::Failed || kind_ == Kind::Broken;
}

bool DownloadState::leftQueue() const {
    return kind_ == Kind::Done || kind_ == Kind::Dropped || kind_ == Kind::TakenOff;
}

std::string statusText(const DownloadState& state) {
    using Kind = DownloadState::Kind;
    std::string_view text;
    switch (state.kind()) {
        case Kind::Waiting:
            text = "Нет"_cp;
            break;
        case Kind::Preparing:
            text = "Подготовка"_cp;
            break;
        case Kind::Fetching:
            return std::to_string(state.number()) + "%";
        case Kind::Receiving:
            return std::to_string(state.number()) + " KB";
        case Kind::Retrying:
            return std::string("Повтор "_cp) + std::to_string(state.number());
        case Kind::Done:
            text = "ОК"_cp;
            break;
        case Kind::Dropped:
            text = "DEL";
            break;
        case Kind::Failed:
            text = "Ошибка"_cp;
            break;
        case Kind::Broken:
            text = "Битый архив"_cp;
            break;
        case Kind::Busy:
            text = "Занят"_cp;
            break;
        case Kind::TakenOff:
            text = "Снят"_cp;
            break;
    }
    return std::string(text);
}

namespace {

// What the user is told of a failed request.
std::string failureWords(const HttpFailure& failure) {
    using Kind = HttpFailure::Kind;
    switch (failure.kind) {
        case Kind::NoConnection:
            return "Нет связи с сайтом";
        case Kind::Stalled:
            return "Сайт не отвечает";
        case Kind::Cut:
            return "Закачка оборвалась";
        case Kind::ErrorAnswer:
            return "Сайт ответил ошибкой " + std::to_string(failure.status);
        case Kind::RedirectLoop:
            return "Сайт отсылает по кругу";
        case Kind::LongBody:
            return "Сайт прислал больше, чем обещал";
    }
    return {};
}

}  // namespace

std::string failureText(const HttpFailure& failure, const std::string& detail) {
    return failureWords(failure) + " (" + detail + ")";
}

std::string failureText(const IoError& error) {
    return std::string(error.code() == kDiskFull ? "Диск заполнен" : "Ошибка файла") + " (" +
           error.what() + ")";
}

std::string missingRecordText(const std::string& folder, std::string_view id) {
    return folder + kCatalogueFileName + ": нет записи микса " + cp1251ToUtf8(id) +
           ", которого ждёт эта строка очереди";
}

std::string bodyDefectText(const BodyDefect& defect, const std::string& path) {
    switch (defect.kind) {
        case BodyDefect::Kind::Page:
            return "Сайт прислал страницу вместо микса (" + path + ")";
        case BodyDefect::Kind::BrokenArchive:
            break;
    }
    return "Файл не целый архив (" + path + ": " + defect.detail + ")";
}

std::string silentSiteText(const std::string& site) {
    return "Сайт " + site + " не отвечает: закачка остановлена, остальные миксы ждут в очереди.";
}

int transferPercent(std::int64_t kilobytes, std::int64_t maximum, bool complete) {
    return static_cast<int>(maximum > 0 ? kilobytes * 100 / maximum : (complete ? 100 : 0));
}

std::string transferLabel(std::int64_t kilobytes, std::int64_t maximum) {
    if (maximum < 0) {
        return std::to_string(kilobytes) + "KB";
    }
    return std::to_string(kilobytes) + std::string("KB из "_cp) + std::to_string(maximum) + "KB";
}

std::vector<DownloadState> widestStates(int retries) {
    return {DownloadState::waiting(),         DownloadState::preparing(),
            DownloadState::fetching(100),     DownloadState::receiving(99999),
            DownloadState::retrying(retries), DownloadState::done(),
            DownloadState::dropped(),         DownloadState::failed({}),
            DownloadState::broken({}),        DownloadState::busy(),
            DownloadState::takenOff()};
}

const std::array<std::string_view, 5>& QueueGridHeaders() {
    static const std::array<std::string_view, 5> headers = {"№"_cp, "ID микса"_cp, "Трек"_cp,
                                                            "Размер Kb"_cp, "Закачен"_cp};
    return headers;
}

void DownloadRows::load(std::vector<PendingEntry> entries) {
    std::lock_guard lock(mutex_);
    entries_ = std::move(entries);
    statuses_.assign(entries_.size(), DownloadState::waiting());
}

std::size_t DownloadRows::size() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

PendingEntry DownloadRows::entry(std::size_t row) const {
    std::lock_guard lock(mutex_);
    return entries_.at(row);
}

DownloadState DownloadRows::status(std::size_t row) const {
    std::lock_guard lock(mutex_);
    return statuses_.at(row);
}

void DownloadRows::setStatus(std::size_t row, DownloadState state) {
    std::lock_guard lock(mutex_);
    statuses_.at(row) = std::move(state);
}

int DownloadRows::beginRun() {
    std::lock_guard lock(mutex_);
    currentRun_ = ++runs_;
    return currentRun_;
}

void DownloadRows::endRun() {
    std::lock_guard lock(mutex_);
    currentRun_ = 0;
}

bool DownloadRows::setRunStatus(int run, std::size_t row, DownloadState state) {
    std::lock_guard lock(mutex_);
    if (run != currentRun_) {
        return false;
    }
    statuses_.at(row) = std::move(state);
    return true;
}

}  // namespace kelvarn
