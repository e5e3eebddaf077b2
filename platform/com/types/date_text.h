// Zentarix — MIT licence.
// Dates (VT_DATE) as the en-US locale writes and reads them: VariantChangeType's date side.
#pragma once
#include <string>
#include <string_view>

namespace zx::types {

// The automation date range: 1 January 100 to 31 December 9999 (23:59:59).
constexpr double kMinDate = -657434.0;
constexpr double kMaxDate = 2958465.99999999;

// "1/31/2024 3:04:05 PM"; the date alone when the time is midnight, the time alone on day 0
// (30 December 1899), as the en-US VarBstrFromDate writes them. False outside the date range.
bool format_date(double date, std::u16string* out);

// Reads a date and/or time in the forms people write in en-US: "1/31/2024", "2024-01-31",
// "January 31, 2024", "31 Jan 2024", each optionally followed by "15:04", "3:04:05 PM" and the like,
// or a time alone. Two-digit years 0-29 are 2000-2029, 30-99 are 1930-1999. False for anything else.
bool parse_date(std::u16string_view text, double* out);

}  // namespace zx::types
