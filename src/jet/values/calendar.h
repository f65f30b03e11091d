#pragma once

// Access stores a date as days since 1899-12-30 (proleptic Gregorian). The
// conversions between those day numbers and civil dates, after H. Hinnant's
// public-domain algorithms (which count from 1970-01-01).

#include <cstdint>

namespace jet::calendar {

inline constexpr std::int64_t kEpochShift = 25569;  // 1899-12-30 .. 1970-01-01

// The day number of a civil date; month 1-12, day 1-31.
constexpr std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468 + kEpochShift;
}

// The civil date of a day number.
constexpr void civilFromDays(std::int64_t days, int& year, int& month, int& day) {
    std::int64_t z = days - kEpochShift + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(y + (month <= 2));
}

}  // namespace jet::calendar
