#include "core/storage/ole_date.h"

#include <cmath>
#include <cstdint>
#include <ctime>

namespace kelvarn {
namespace {

// Days from 1970-01-01 of a proleptic Gregorian date, and back (H. Hinnant's algorithms).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
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
    std::int64_t y;
    unsigned m, d;
    civilFromDays(static_cast<std::int64_t>(std::trunc(date)) + kOleEpoch, y, m, d);
    put2(out, d);
    out[2] = '.';
    put2(out + 3, m);
    out[5] = '.';
    put2(out + 6, static_cast<unsigned>(y / 100));
    put2(out + 8, static_cast<unsigned>(y % 100));
    return 10;
}

std::size_t formatOleTime(double time, char* out) {
    if (!std::isfinite(time)) {
        return 0;
    }
    double fraction = std::fabs(time - std::trunc(time));
    auto ms = static_cast<std::int64_t>(std::llround(fraction * 86400000.0)) % 86400000;
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
