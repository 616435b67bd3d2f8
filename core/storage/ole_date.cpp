// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/storage/ole_date.h"

#include <cmath>
#include <cstdint>
#include <ctime>

namespace kelvarn {
namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

struct CivilDate {
    std::uint32_t year, month, day;
};

// The date of a day from 1970-01-01, for the years 1..9999 (Neri and Schneider's Euclidean
// affine functions): 32-bit multiplications and shifts only, as a long list prints a date a row.
CivilDate civilFromDays(std::int32_t days) {
    // Days from 1 March of a year a multiple of 400 years before year 1, so that all is unsigned.
    constexpr std::uint32_t kEras = 82;
    const std::uint32_t n = (static_cast<std::uint32_t>(days + 719468) + 146097 * kEras) * 4 + 3;
    const std::uint32_t century = n / 146097;
    const std::uint32_t inCentury = n % 146097 / 4 * 4 + 3;
    const std::uint64_t yearPart = std::uint64_t{2939745} * inCentury;
    const std::uint32_t yearOfCentury = static_cast<std::uint32_t>(yearPart >> 32);
    const std::uint32_t dayOfYear = static_cast<std::uint32_t>(yearPart) / 2939745 / 4;
    const std::uint32_t monthPart = 2141 * dayOfYear + 197913;
    // Counted from March: January and February belong to the next year.
    const std::uint32_t nextYear = dayOfYear >= 306;
    return {100 * century + yearOfCentury - 400 * kEras + nextYear,
            (monthPart >> 16) - 12 * nextYear, (monthPart & 0xFFFF) / 2141 + 1};
}

const std::int64_t kOleEpoch = daysFromCivil(1899, 12, 30);
// The first and last day that print with a four-digit year.
const double kFirstDay = static_cast<double>(daysFromCivil(1, 1, 1) - kOleEpoch);
const double kLastDay = static_cast<double>(daysFromCivil(9999, 12, 31) - kOleEpoch);

void put2(char* out, unsigned v) {
    out[0] = static_cast<char>('0' + v / 10);
    out[1] = static_cast<char>('0' + v % 10);
}

std::tm localNow() {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    return parts;
}

}  // namespace

double oleDateFromCivil(int year, unsigned month, unsigned day) {
    return static_cast<double>(daysFromCivil(year, month, day) - kOleEpoch);
}

double oleToday() {
    std::tm t = localNow();
    return oleDateFromCivil(t.tm_year + 1900, static_cast<unsigned>(t.tm_mon + 1),
                            static_cast<unsigned>(t.tm_mday));
}

double oleTimeNow() {
    std::tm t = localNow();
    return (t.tm_hour * 3600.0 + t.tm_min * 60.0 + t.tm_sec) / 86400.0;
}

std::size_t formatOleDate(double date, char* out) {
    if (!std::isfinite(date) || date < kFirstDay || date >= kLastDay + 1) {
        return 0;
    }
    const CivilDate civil =
        civilFromDays(static_cast<std::int32_t>(static_cast<std::int64_t>(date) + kOleEpoch));
    put2(out, civil.day);
    out[2] = '.';
    put2(out + 3, civil.month);
    out[5] = '.';
    put2(out + 6, civil.year / 100);
    put2(out + 8, civil.year % 100);
    return 10;
}

std::size_t formatOleTime(double time, char* out) {
    if (!std::isfinite(time)) {
        return 0;
    }
    double fraction = std::fabs(time - std::trunc(time));
    // Rounded half away from zero, as llround does, without its call.
    const double exact = fraction * 86400000.0;
    auto ms = static_cast<std::int64_t>(exact);
    ms = (exact - static_cast<double>(ms) >= 0.5 ? ms + 1 : ms) % 86400000;
    auto seconds = static_cast<unsigned>(ms / 1000);
    put2(out, seconds / 3600);
    out[2] = ':';
    put2(out + 3, seconds / 60 % 60);
    out[5] = ':';
    put2(out + 6, seconds % 60);
    return 8;
}

std::string formatOleDate(double date) {
    char buffer[16];
    return std::string(buffer, formatOleDate(date, buffer));
}

std::string formatOleTime(double time) {
    char buffer[16];
    return std::string(buffer, formatOleTime(time, buffer));
}

}  // namespace kelvarn
