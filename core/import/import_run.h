// SPDX-License-Identifier: GPL-3.0-or-later
// One press of "Начать": the site's list page fetched (or taken from Loops.dat), reduced to the
// mixes it lists, the selected ones shown as rows, the known ones marked, the new ones sized and
// appended to the catalogue, the ID list and, when asked, the download queue. It runs on the
// import worker and reports every step through an observer, in order; it touches no widget.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/catalogue/mix_record.h"
#include "core/import/selection.h"
#include "core/import/site_list_parser.h"
#include "core/net/http_client.h"

namespace kelvarn {

// A row of the import grid; texts are Windows-1251.
struct ImportRow {
    std::string id;         // "ID микса"
    std::string author;     // "Автор"
    std::string title;      // "Название"
    std::string style;      // "Стиль"
    std::string size;       // "Размер Kb", for new rows once sized
    std::string email;      // "E-mail"
    std::uint8_t code = 0;  // "Код"
    std::string idx;        // "IdX": "0" new, "1" known or repeated further down

    bool isNew() const { return idx == "0"; }
    // The text of column 0..7.
    std::string cell(int column) const;
};

const std::array<std::string_view, 8>& ImportGridHeaders();

class ImportObserver {
public:
    virtual ~ImportObserver() = default;
    virtual void status(const std::string& /*text*/) {}
    virtual void progress(int /*position*/, int /*maximum*/) {}
    virtual void rowsCleared() {}
    virtual void rowsAdded(const std::vector<ImportRow>& /*rows*/) {}
    virtual void rowChanged(int /*index*/, const ImportRow& /*row*/) {}
    // Every row at once, as the discard stage has marked them.
    virtual void rowsMarked(const std::vector<ImportRow>& /*rows*/) {}
    // A record the save stage has appended, with its number: the window adds it to Swap.
    virtual void recordSaved(std::uint32_t /*number*/, const MixRecord& /*record*/) {}
    virtual void beep() {}
};

struct ImportSettings {
    std::string folder;  // the program folder, with its trailing "/"
    std::string site;    // the site base address
    // Waits out the status pauses, in slices of at most 10 ms; without it the run does not
    // pause (the command line).
    std::function<void(int milliseconds)> sleep;
    std::function<double()> today;
    std::function<double()> timeNow;
    HttpLimits limits;
    int maxRequestsPerSecond = 0;  // paces the size queries; 0 sets no limit
    // Deletes Loops.dat at the end of the run, before another run may start: the command line
    // fetches the page anew each time, as the window does once per program start.
    bool forgetPage = false;
};

struct ImportResult {
    enum class Outcome { Done, FetchFailed, Failed, Stopped };
    Outcome outcome = Outcome::Done;
    int newRecords = 0;
    std::string error;  // the file or address and what went wrong
};

class ImportRun {
public:
    ImportRun(ImportSettings settings, const LiveSelection& selection, ImportObserver& observer,
              const std::atomic<bool>& stop);

    ImportResult run();
    // What a run would add, and nothing written: the page as stored, or fetched into memory,
    // read without working files; the known rows marked and the new ones sized, as a run does.
    // `newRecords` counts the rows a run would append.
    ImportResult dryRun();
    const std::vector<ImportRow>& rows() const { return rows_; }

private:
    ImportResult runStages();
    // A failed page fetch: the beep and the two messages, unless the user stopped it.
    ImportResult fetchFailed(const std::string& error);
    // "Этап 1": the list page (fetched once per program start) split into lines, file "out".
    void fetchPageLines();
    // "Этап 2": the lines between the page's markers, paired, file "out2".
    void pairMarkers();
    // "Этап 3": the pairs read as candidates, kept when they pass the selection.
    void readCandidates();
    void takeCandidates(const std::vector<SiteCandidate>& candidates);
    void discardKnown();
    void sizeNewRows();
    int saveAll();
    MixRecord recordOf(const ImportRow& row) const;
    void show(std::string_view text);
    void pause(int milliseconds);
    bool stopped() const { return stop_.load(); }

    ImportSettings settings_;
    const LiveSelection& selection_;
    ImportObserver& observer_;
    const std::atomic<bool>& stop_;
    std::string marker_;
    int pairCount_ = 0;
    int completed_ = 0;  // records appended completing a save an earlier run left half done
    std::vector<ImportRow> rows_;
};

// Marks the rows whose ID the ID list holds, and every row whose ID stands again further down;
// IDs compare as stored, at most six characters.
void markKnownRows(std::vector<ImportRow>& rows, const std::vector<std::string>& knownIds);

}  // namespace kelvarn
