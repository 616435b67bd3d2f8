// SPDX-License-Identifier: GPL-3.0-or-later
// The names of the files in the data folder, and the width of a catalogue record: every layer
// that opens, copies or counts them takes them from here.
#pragma once

#include <cstddef>

namespace kelvarn {

// The catalogue: one record after another, kRecordSize bytes each.
inline constexpr char kCatalogueFileName[] = "Base.vlt";
inline constexpr std::size_t kRecordSize = 176;
// The IDs of every mix the catalogue has held, one a line; older folders spell it capitalised.
inline constexpr char kIdListFileName[] = "index";
inline constexpr char kIdListOldFileName[] = "Index";
// The download queue.
inline constexpr char kQueueFileName[] = "List.dnl";
inline constexpr char kSettingsFileName[] = "Setting.ini";
// The author names the import selects by.
inline constexpr char kAuthorListFileName[] = "AvtLst.lst";
// The journal of an import's save stage, while one is under way.
inline constexpr char kSaveJournalFileName[] = "Import.jnl";
// The import's work files: the list page as fetched, its lines, and the pairs chosen from them.
inline constexpr char kListPageFileName[] = "Loops.dat";
inline constexpr char kPageLinesFileName[] = "out";
inline constexpr char kPairsFileName[] = "out2";
// The facts of every downloaded mix.
inline constexpr char kFactsFileName[] = "MixFacts.txt";

}  // namespace kelvarn
