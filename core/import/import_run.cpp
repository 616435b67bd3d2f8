// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/import/import_run.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <limits>
#include <unordered_map>
#include <unordered_set>

#include "core/catalogue/catalogue_file.h"
#include "core/catalogue/html_text.h"
#include "core/catalogue/id_list.h"
#include "core/catalogue/queue_file.h"
#include "core/catalogue/styles.h"
#include "core/import/save_journal.h"
#include "core/import/site_list_parser.h"
#include "core/net/http_client.h"
#include "core/net/pacing.h"
#include "core/net/site_address.h"
#include "core/storage/cp1251.h"
#include "core/storage/data_files.h"
#include "core/storage/file_lock.h"
#include "core/storage/io_error.h"

namespace kelvarn {
namespace {

// Rows reach the window in batches, not one report per row of a long list.
constexpr std::size_t kRowBatch = 256;

// After this many size queries in a row that the site let run out, the rest are not asked: a
// site that has stopped answering would otherwise cost the full limit for every new mix.
constexpr int kTimeoutsBeforeGivingUp = 2;

constexpr int kPauseSlice = 10;

// Kilobytes as the record's 32-bit field can hold them; a larger size is stored as the largest.
std::int64_t storableKilobytes(std::int64_t bytes) {
    return std::min<std::int64_t>(bytes / 1024, std::numeric_limits<std::int32_t>::max());
}

int toInt(std::string_view text) {
    int value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// Reports the position only when the bar can have moved, at most some 200 times a stage.
class Progress {
public:
    Progress(ImportObserver& observer, int maximum) : observer_(observer), maximum_(maximum) {
        observer_.progress(0, maximum_);
    }
    void at(int position) {
        int step = maximum_ > 0 ? static_cast<int>(200LL * position / maximum_) : 0;
        if (step != lastStep_ || position == maximum_) {
            lastStep_ = step;
            observer_.progress(position, maximum_);
        }
    }

private:
    ImportObserver& observer_;
    int maximum_;
    int lastStep_ = 0;
};

ImportResult failed(const IoError& error) {
    ImportResult result;
    result.outcome = ImportResult::Outcome::Failed;
    result.error = error.what();
    return result;
}

}  // namespace

std::string ImportRow::cell(int column) const {
    switch (column) {
        case 0:
            return id;
        case 1:
            return author;
        case 2:
            return title;
        case 3:
            return style;
        case 4:
            return size;
        case 5:
            return email;
        case 6:
            return std::to_string(code);
        default:
            return idx;
    }
}

const std::array<std::string_view, 8>& ImportGridHeaders() {
    static const std::array<std::string_view, 8> headers = {
        "ID микса"_cp,  "Автор"_cp,  "Название"_cp, "Стиль"_cp,
        "Размер Kb"_cp, "E-mail"_cp, "Код"_cp,      "IdX"_cp,
    };
    return headers;
}

void markKnownRows(std::vector<ImportRow>& rows, const std::vector<std::string>& knownIds) {
    // IDs compare as the catalogue stores them, cut to six characters: an ID the page spells
    // longer would otherwise come back as new at every run.
    auto stored = [](const ImportRow& row) { return cutToCapacity(row.id, kIdCapacity); };
    // The candidates are few next to the ID list: index them, and pass over the list once.
    std::unordered_map<std::string_view, std::size_t> lastRow;
    lastRow.reserve(rows.size());
    // IdX is set from a char: g++ 12 at -O3 warns falsely (-Wrestrict) on a one-letter literal.
    for (std::size_t i = 0; i < rows.size(); ++i) {
        rows[i].idx = '0';
        lastRow[stored(rows[i])] = i;
    }
    std::unordered_set<std::string_view> knownHere;
    for (const std::string& id : knownIds) {
        if (lastRow.count(id) != 0) {
            knownHere.insert(id);
        }
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (knownHere.count(stored(rows[i])) != 0 || lastRow[stored(rows[i])] != i) {
            rows[i].idx = '1';
        }
    }
}

ImportRun::ImportRun(ImportSettings settings, const LiveSelection& selection,
                     ImportObserver& observer, const std::atomic<bool>& stop)
    : settings_(std::move(settings)),
      selection_(selection),
      observer_(observer),
      stop_(stop),
      marker_(fileLinkMarker(settings_.site)) {}

void ImportRun::show(std::string_view text) {
    observer_.status(std::string(text));
}

void ImportRun::pause(int milliseconds) {
    if (!settings_.sleep) {
        return;
    }
    // In short slices, so a stop never waits out a pause.
    for (int left = milliseconds; left > 0 && !stopped(); left -= kPauseSlice) {
        settings_.sleep(std::min(left, kPauseSlice));
    }
}

ImportResult ImportRun::run() {
    // One run at a time per program folder, whoever starts it: the working files are shared,
    // and a second run must see the IDs the first one added.
    LockedFile oneRunAtATime(settings_.folder, O_RDONLY | O_DIRECTORY, LockedFile::Lock::Exclusive);
    ImportResult result;
    try {
        // Mixes a run before this one left half saved count as known from here on, and as this
        // run's new records: its report is the first to tell of them.
        completed_ = completeInterruptedSave(settings_.folder);
        result = runStages();
    } catch (const IoError& e) {
        result = failed(e);
    }
    if (settings_.forgetPage) {
        ::unlink((settings_.folder + kListPageFileName).c_str());
    }
    return result;
}

ImportResult ImportRun::runStages() {
    ImportResult result;
    rows_.clear();
    observer_.rowsCleared();
    show("Этап 1"_cp);
    try {
        try {
            fetchPageLines();
            pause(250);
            show("Этап 2"_cp);
            pairMarkers();
        } catch (const IoError&) {
            throw;  // a file of ours: the site is not to blame
        } catch (const std::exception& e) {
            return fetchFailed(e.what());
        }
        pause(250);
        show("Этап 3"_cp);
        readCandidates();
        pause(250);
        show("Отброс уже существующих миксов"_cp);
        discardKnown();
        pause(250);
        show("Получение размера"_cp);
        sizeNewRows();
        pause(250);
        show("Сохранение..."_cp);
        result.newRecords = saveAll();
    } catch (const IoError& e) {
        return failed(e);
    }
    if (stopped()) {
        result.outcome = ImportResult::Outcome::Stopped;
        return result;
    }
    pause(250);
    show("Записи добавлены в базу"_cp);
    pause(1000);
    show(std::string("Количество новых записей: "_cp) + std::to_string(result.newRecords));
    pause(1000);
    return result;
}

ImportResult ImportRun::fetchFailed(const std::string& error) {
    ImportResult result;
    if (stopped()) {
        result.outcome = ImportResult::Outcome::Stopped;
        return result;
    }
    result.outcome = ImportResult::Outcome::FetchFailed;
    result.error = error;
    observer_.beep();
    show("Возникли проблемы с получением миксов!"_cp);
    pause(3000);
    show("Проверьте подключение к интернету!"_cp);
    pause(3000);
    return result;
}

void ImportRun::fetchPageLines() {
    observer_.progress(0, 100);
    const std::string pagePath = settings_.folder + kListPageFileName;
    // A run killed while writing a working file leaves its temporary behind; no other run can be
    // writing one now.
    for (const char* name : {kListPageFileName, kPageLinesFileName, kPairsFileName}) {
        removeAbandonedReplacements(settings_.folder + name);
    }
    if (!fileExists(pagePath)) {
        // Fetched once per program start; the main window deletes the file when it closes.
        show("Получаем лист..."_cp);
        replaceFileContents(
            pagePath, fetchListPage(listPageAddress(settings_.site), &stop_, settings_.limits),
            Durability::WorkingFile);
        show("Получение закончено"_cp);
    }
    MappedFile page(pagePath);
    std::string storage;
    replaceFileContents(settings_.folder + kPageLinesFileName, pageLines(page.bytes(), storage),
                        Durability::WorkingFile);
    observer_.progress(100, 100);
}

void ImportRun::pairMarkers() {
    observer_.progress(0, 100);
    const std::string linesPath = settings_.folder + kPageLinesFileName;
    {
        MappedFile lines(linesPath);
        MarkerPairs pairs = findMarkerPairs(lines.bytes(), marker_);
        pairCount_ = pairs.pairs;
        replaceFileContents(settings_.folder + kPairsFileName, pairs.fileText(),
                            Durability::WorkingFile);
    }
    ::unlink(linesPath.c_str());
    observer_.progress(100, 100);
}

void ImportRun::readCandidates() {
    const std::string pairsPath = settings_.folder + kPairsFileName;
    {
        MappedFile pairs(pairsPath);
        takeCandidates(parsePairs(pairs.bytes(), marker_.size()));
    }
    ::unlink(pairsPath.c_str());
}

void ImportRun::takeCandidates(const std::vector<SiteCandidate>& candidates) {
    Progress progress(observer_, pairCount_);
    std::vector<ImportRow> batch;
    int position = 0;
    for (const SiteCandidate& c : candidates) {
        if (stopped()) {
            break;
        }
        progress.at(++position);
        if (!c.isMix()) {
            continue;
        }
        std::uint8_t code = categoryCode(c.category);
        // The page is HTML: "&amp;" in a title is an "&", for the author test as for the record.
        std::string author = decodeCharacterReferences(c.author);
        std::string title = decodeCharacterReferences(c.title);
        if (!passesSelection(*selection_.get(), code, author, title)) {
            continue;
        }
        ImportRow row{std::string(c.id),
                      std::move(author),
                      std::move(title),
                      std::string(StyleName(code)),
                      {},
                      decodeCharacterReferences(c.email),
                      code,
                      {}};
        batch.push_back(row);
        rows_.push_back(std::move(row));
        if (batch.size() == kRowBatch) {
            observer_.rowsAdded(batch);
            batch.clear();
        }
    }
    if (!batch.empty()) {
        observer_.rowsAdded(batch);
    }
}

ImportResult ImportRun::dryRun() {
    LockedFile oneRunAtATime(settings_.folder, O_RDONLY | O_DIRECTORY, LockedFile::Lock::Exclusive);
    ImportResult result;
    rows_.clear();
    std::string page;
    try {
        const std::string pagePath = settings_.folder + kListPageFileName;
        page = fileExists(pagePath)
                   ? std::string(MappedFile(pagePath).bytes())
                   : fetchListPage(listPageAddress(settings_.site), &stop_, settings_.limits);
    } catch (const IoError& e) {
        return failed(e);
    } catch (const std::exception& e) {
        result.outcome =
            stopped() ? ImportResult::Outcome::Stopped : ImportResult::Outcome::FetchFailed;
        result.error = e.what();
        return result;
    }
    // The passes of a run, in memory: no working file is written.
    std::string storage;
    MarkerPairs pairs = findMarkerPairs(pageLines(page, storage), marker_);
    pairCount_ = pairs.pairs;
    try {
        takeCandidates(parsePairs(pairs, marker_.size()));
        discardKnown();
        sizeNewRows();
    } catch (const IoError& e) {
        return failed(e);
    }
    result.newRecords = static_cast<int>(
        std::count_if(rows_.begin(), rows_.end(), [](const ImportRow& r) { return r.isNew(); }));
    if (stopped()) {
        result.outcome = ImportResult::Outcome::Stopped;
    }
    return result;
}

void ImportRun::discardKnown() {
    markKnownRows(rows_, IdList::inFolder(settings_.folder).readIds());
    observer_.rowsMarked(rows_);
}

void ImportRun::sizeNewRows() {
    if (rows_.empty()) {
        return;
    }
    Progress progress(observer_, static_cast<int>(rows_.size()));
    HttpConnections connections;
    SizeQuery query(connections, &stop_, settings_.limits);
    RequestPacer pacer(settings_.maxRequestsPerSecond, &stop_);
    int timeoutsInARow = 0;
    for (std::size_t i = 0; i < rows_.size() && !stopped(); ++i) {
        if (rows_[i].isNew()) {
            std::int64_t bytes = 0;
            if (timeoutsInARow < kTimeoutsBeforeGivingUp) {
                pacer.beforeRequest();
                SizeAnswer answer =
                    query.contentLength(downloadAddress(settings_.site, rows_[i].id));
                bytes = answer.bytes;
                timeoutsInARow =
                    answer.failure.kind == HttpFailure::Kind::Stalled ? timeoutsInARow + 1 : 0;
                if (timeoutsInARow == kTimeoutsBeforeGivingUp) {
                    show("Сайт не отвечает: размер остальных миксов 0"_cp);
                }
            }
            rows_[i].size = std::to_string(storableKilobytes(bytes));
            observer_.rowChanged(static_cast<int>(i), rows_[i]);
        }
        progress.at(static_cast<int>(i) + 1);
    }
}

int ImportRun::saveAll() {
    if (rows_.empty()) {
        return completed_;
    }
    Progress progress(observer_, static_cast<int>(rows_.size()));
    CatalogueAppender catalogue(settings_.folder + kCatalogueFileName);
    IdListAppender ids(IdList::inFolder(settings_.folder).path());
    // Under the locks no other save is under way: a journal, or a half-written replacement of
    // one, is what a killed save left, and it goes before this stage writes its own.
    completed_ += completeInterruptedSave(settings_.folder, catalogue, ids);
    // A mix saved since the run sorted out the known ones (typed in meanwhile) is known now:
    // looked up again under the lock, no mix is saved twice.
    markKnownRows(rows_, ids.ids());
    observer_.rowsMarked(rows_);
    SaveJournal journal;
    journal.queued = selection_.get()->addToQueue;
    journal.firstNumber = catalogue.count() + 1;
    std::vector<std::size_t> newRows;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].isNew()) {
            newRows.push_back(i);
            journal.records.push_back(recordOf(rows_[i]));
        }
    }
    if (newRows.empty()) {
        progress.at(static_cast<int>(rows_.size()));
        return completed_;
    }
    QueueFile queue(settings_.folder + kQueueFileName);
    JournalledSave save(settings_.folder, catalogue, ids, queue, std::move(journal));
    int added = 0;
    try {
        for (std::size_t k = 0; k < newRows.size(); ++k) {
            // A stop comes between records, never inside one.
            if (stopped()) {
                break;
            }
            save.saveNext([this](std::uint32_t number, const MixRecord& record) {
                observer_.recordSaved(number, record);
            });
            ++added;
            progress.at(static_cast<int>(k + 1 < newRows.size() ? newRows[k + 1] : rows_.size()));
        }
        save.close();
    } catch (const IoError&) {
        // The window follows the shortened catalogue when it next reads it.
        save.rollBack();
        throw;
    }
    return completed_ + added;
}

MixRecord ImportRun::recordOf(const ImportRow& row) const {
    MixRecord record;
    record.Id = cutToCapacity(row.id, kIdCapacity);
    record.Author = cutToCapacity(row.author, kAuthorCapacity);
    record.Title = cutToCapacity(row.title, kTitleCapacity);
    record.Email = cutToCapacity(row.email, kEmailCapacity);
    record.Style = row.code;
    record.Size = toInt(row.size);
    record.AddedDate = settings_.today();
    record.AddedTime = settings_.timeNow();
    return record;
}

}  // namespace kelvarn
