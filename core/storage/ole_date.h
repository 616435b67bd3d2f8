// SPDX-License-Identifier: GPL-3.0-or-later
// Dates and times as the catalogue stores them: days since 30 December 1899, and the time of day
// as a fraction of a day.
#pragma once

#include <string>

namespace kelvarn {

// The whole-day number of a calendar date.
double oleDateFromCivil(int year, unsigned month, unsigned day);

// Today's date and the current time of day, local time.
double oleToday();
double oleTimeNow();

// "DD.MM.YYYY"; empty for a value that is no date of the years 1..9999 (NaN, infinite, huge).
std::string formatOleDate(double date);

// "HH:MM:SS" of the fraction's absolute value, rounded to the millisecond; empty when not finite.
std::string formatOleTime(double time);

// The same texts written into `out` (at least 11 bytes); returns the length.
std::size_t formatOleDate(double date, char* out);
std::size_t formatOleTime(double time, char* out);

}  // namespace kelvarn
