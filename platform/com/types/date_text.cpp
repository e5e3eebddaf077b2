// Zentarix — MIT licence.
// Automation dates: calendar arithmetic, SYSTEMTIME conversions, and the en-US date text.
#include "date_text.h"

#include <cmath>
#include <cstdint>

#include "oleauto.h"

namespace zx::types {
namespace {

// Day 0 of an automation date is 30 December 1899; days_from_civil counts from 1 January 1970.
constexpr int64_t kEpochOffset = 25569;

// Proleptic Gregorian calendar (Howard Hinnant's public-domain algorithms).
int64_t days_from_civil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civil_from_days(int64_t z, int64_t* y, unsigned* m, unsigned* d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = static_cast<int64_t>(yoe) + era * 400 + (*m <= 2);
}

bool leap(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
unsigned days_in_month(int64_t y, unsigned m) {
  static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && leap(y) ? 29 : kDays[m - 1];
}

// An automation date keeps the time of day as the fraction's magnitude, also for negative days
// (-1.25 is 29 December 1899, 06:00), so whole days and seconds are split apart before any sum.
struct Split {
  int64_t day;
  int64_t seconds;  // 0 .. 86399
};
Split split(double date) {
  double whole = std::trunc(date);
  int64_t seconds = std::llround(std::fabs(date - whole) * 86400.0);
  auto day = static_cast<int64_t>(whole);
  if (seconds >= 86400) {  // rounding reached the next midnight
    seconds -= 86400;
    day += 1;
  }
  return {day, seconds};
}

double join(int64_t day, int64_t seconds) {
  const double time = static_cast<double>(seconds) / 86400.0;
  return day >= 0 ? static_cast<double>(day) + time : static_cast<double>(day) - time;
}

std::u16string number_text(int64_t v, int width) {
  std::u16string s;
  do {
    s.insert(s.begin(), static_cast<char16_t>(u'0' + v % 10));
    v /= 10;
  } while (v);
  while (static_cast<int>(s.size()) < width) s.insert(s.begin(), u'0');
  return s;
}

// ---- reading ----------------------------------------------------------------------------------

constexpr const char* kMonths[] = {"january", "february", "march",     "april",   "may",      "june",
                                   "july",    "august",   "september", "october", "november", "december"};

char16_t lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }
bool is_letter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool is_digit(char16_t c) { return c >= u'0' && c <= u'9'; }

// A month name or its first three letters (any case): 1..12, else 0.
int month_of(std::u16string_view word) {
  if (word.size() < 3) return 0;
  for (int m = 0; m < 12; ++m) {
    const std::string_view name = kMonths[m];
    if (word.size() > name.size()) continue;
    bool same = true;
    for (size_t i = 0; i < word.size() && same; ++i) same = lower(word[i]) == name[i];
    if (same && (word.size() == 3 || word.size() == name.size() || (m == 8 && word.size() == 4))) return m + 1;
  }
  return 0;
}

struct Token {
  enum Kind { Number, Word, Sep } kind;
  int64_t value = 0;
  int digits = 0;
  std::u16string_view text;
  char16_t sep = 0;
};

bool tokenize(std::u16string_view s, Token* out, int* count, int max) {
  int n = 0;
  size_t i = 0;
  while (i < s.size()) {
    const char16_t c = s[i];
    if (c == u' ' || c == u'\t' || c == u',') {
      ++i;
      continue;
    }
    if (n == max) return false;
    Token& t = out[n++];
    if (is_digit(c)) {
      size_t j = i;
      t.kind = Token::Number;
      while (j < s.size() && is_digit(s[j])) {
        if (j - i >= 9) return false;
        t.value = t.value * 10 + (s[j] - u'0');
        ++j;
      }
      t.digits = static_cast<int>(j - i);
      i = j;
    } else if (is_letter(c)) {
      size_t j = i;
      while (j < s.size() && (is_letter(s[j]) || s[j] == u'.')) ++j;
      t.kind = Token::Word;
      t.text = s.substr(i, j - i);
      if (!t.text.empty() && t.text.back() == u'.') t.text.remove_suffix(1);
      i = j;
    } else if (c == u'/' || c == u'-' || c == u':' || c == u'.') {
      t.kind = Token::Sep;
      t.sep = c;
      ++i;
    } else {
      return false;
    }
  }
  *count = n;
  return true;
}

int64_t full_year(const Token& t) {
  if (t.digits <= 2) return t.value < 30 ? 2000 + t.value : 1900 + t.value;
  return t.value;
}

bool is_ampm(const Token& t, bool* pm) {
  if (t.kind != Token::Word || t.text.size() != 2 || lower(t.text[1]) != u'm') return false;
  const char16_t a = lower(t.text[0]);
  if (a != u'a' && a != u'p') return false;
  *pm = a == u'p';
  return true;
}

}  // namespace

bool format_date(double date, std::u16string* out) {
  if (!(date >= kMinDate && date <= kMaxDate)) return false;
  SYSTEMTIME st;
  if (!VariantTimeToSystemTime(date, &st)) return false;
  const Split parts = split(date);
  out->clear();
  if (parts.day != 0) {
    *out = number_text(st.wMonth, 1) + u"/" + number_text(st.wDay, 1) + u"/" + number_text(st.wYear, 1);
    if (parts.seconds == 0) return true;
    *out += u' ';
  }
  const int hour12 = st.wHour % 12 == 0 ? 12 : st.wHour % 12;
  *out += number_text(hour12, 1) + u":" + number_text(st.wMinute, 2) + u":" + number_text(st.wSecond, 2) +
          (st.wHour < 12 ? u" AM" : u" PM");
  return true;
}

bool parse_date(std::u16string_view text, double* out) {
  Token t[16];
  int n = 0;
  if (!tokenize(text, t, &n, 16) || n == 0) return false;

  // The date part: up to the first token that starts a time ("h:" or a number followed by AM/PM).
  int i = 0;
  bool haveDate = false;
  int64_t year = 1899, month = 12, day = 30;
  auto at_time = [&](int k) {
    bool pm;
    return k < n && t[k].kind == Token::Number &&
           ((k + 1 < n && t[k + 1].kind == Token::Sep && t[k + 1].sep == u':') || (k + 1 < n && is_ampm(t[k + 1], &pm)));
  };
  if (!at_time(0)) {
    // Collect up to three numbers/month words separated by / - . or spaces.
    Token parts[3];
    int count = 0;
    char16_t sep = 0;
    while (i < n && count < 3 && !at_time(i)) {
      if (t[i].kind == Token::Sep) {
        if (t[i].sep == u':') return false;
        if (sep && sep != t[i].sep) return false;
        sep = t[i].sep;
        ++i;
        continue;
      }
      if (t[i].kind == Token::Word) {
        if (month_of(t[i].text) == 0) {
          bool pm;
          if (is_ampm(t[i], &pm)) return false;
          // Weekday names are allowed and ignored ("Wednesday, January 31, 2024").
          static const char* kDays[] = {"sunday", "monday", "tuesday", "wednesday", "thursday", "friday", "saturday"};
          bool weekday = false;
          for (const char* d : kDays) {
            std::string_view name = d;
            if (t[i].text.size() < 3 || t[i].text.size() > name.size()) continue;
            bool same = true;
            for (size_t k = 0; k < t[i].text.size() && same; ++k) same = lower(t[i].text[k]) == name[k];
            weekday = weekday || same;
          }
          if (!weekday || count) return false;
          ++i;
          continue;
        }
      }
      parts[count++] = t[i++];
    }
    int wordAt = -1;
    for (int k = 0; k < count; ++k)
      if (parts[k].kind == Token::Word) {
        if (wordAt >= 0) return false;
        wordAt = k;
      }
    if (wordAt >= 0) {
      month = month_of(parts[wordAt].text);
      Token nums[2];
      int c = 0;
      for (int k = 0; k < count; ++k)
        if (k != wordAt) nums[c++] = parts[k];
      if (c == 1) {  // "January 2024"; "January 31" would need today's year, which text alone lacks
        if (nums[0].digits <= 2) return false;
        year = nums[0].value;
        day = 1;
      } else if (c == 2) {
        // "January 31, 2024" / "31 January 2024" / "2024 January 31"
        if (nums[0].digits > 2) {
          year = nums[0].value;
          day = nums[1].value;
        } else {
          day = nums[0].value;
          year = full_year(nums[1]);
        }
      } else {
        return false;
      }
    } else if (count == 3) {
      if (parts[0].digits > 2) {  // 2024-01-31 or 2024/1/31
        year = parts[0].value;
        month = parts[1].value;
        day = parts[2].value;
      } else {  // 1/31/2024: en-US puts the month first
        month = parts[0].value;
        day = parts[1].value;
        year = full_year(parts[2]);
      }
    } else if (count == 2 && sep && sep != u'.') {  // 1/2024 is month/year; 1/31 would need today's year
      if (parts[1].digits <= 2) return false;
      month = parts[0].value;
      day = 1;
      year = parts[1].value;
    } else {
      return false;
    }
    if (month < 1 || month > 12 || day < 1 || year < 100 || year > 9999) return false;
    if (day > static_cast<int64_t>(days_in_month(year, static_cast<unsigned>(month)))) return false;
    haveDate = true;
  }

  // The time part: h[:mm[:ss]] [AM|PM]
  int64_t seconds = 0;
  if (i < n) {
    if (t[i].kind != Token::Number) return false;
    int64_t hms[3] = {t[i].value, 0, 0};
    int fields = 1;
    ++i;
    while (fields < 3 && i + 1 < n && t[i].kind == Token::Sep && t[i].sep == u':' && t[i + 1].kind == Token::Number) {
      hms[fields++] = t[i + 1].value;
      i += 2;
    }
    bool pm = false, ampm = false;
    if (i < n && is_ampm(t[i], &pm)) {
      ampm = true;
      ++i;
    }
    if (i != n) return false;
    if (fields == 1 && !ampm) return false;
    if (ampm) {
      if (hms[0] < 1 || hms[0] > 12) return false;
      hms[0] = hms[0] % 12 + (pm ? 12 : 0);
    }
    if (hms[0] > 23 || hms[1] > 59 || hms[2] > 59) return false;
    seconds = hms[0] * 3600 + hms[1] * 60 + hms[2];
  } else if (!haveDate) {
    return false;
  }
  const int64_t days = haveDate ? days_from_civil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) + kEpochOffset : 0;
  *out = join(days, seconds);
  return true;
}

}  // namespace zx::types

using namespace zx::types;

INT VariantTimeToSystemTime(DOUBLE vtime, SYSTEMTIME* lpSystemTime) {
  if (!lpSystemTime || !(vtime >= kMinDate && vtime <= kMaxDate)) return FALSE;
  const Split parts = split(vtime);
  int64_t y;
  unsigned m, d;
  civil_from_days(parts.day - kEpochOffset, &y, &m, &d);
  if (y > 9999) return FALSE;
  lpSystemTime->wYear = static_cast<WORD>(y);
  lpSystemTime->wMonth = static_cast<WORD>(m);
  lpSystemTime->wDay = static_cast<WORD>(d);
  // 30 December 1899 was a Saturday (6).
  lpSystemTime->wDayOfWeek = static_cast<WORD>(((parts.day % 7) + 7 + 6) % 7);
  lpSystemTime->wHour = static_cast<WORD>(parts.seconds / 3600);
  lpSystemTime->wMinute = static_cast<WORD>(parts.seconds / 60 % 60);
  lpSystemTime->wSecond = static_cast<WORD>(parts.seconds % 60);
  lpSystemTime->wMilliseconds = 0;
  return TRUE;
}

INT SystemTimeToVariantTime(SYSTEMTIME* lpSystemTime, DOUBLE* pvtime) {
  if (!lpSystemTime || !pvtime) return FALSE;
  const SYSTEMTIME& st = *lpSystemTime;
  if (st.wYear < 100 || st.wYear > 9999 || st.wMonth < 1 || st.wMonth > 12 || st.wDay < 1 ||
      st.wDay > days_in_month(st.wYear, st.wMonth) || st.wHour > 23 || st.wMinute > 59 || st.wSecond > 59)
    return FALSE;
  const int64_t days = days_from_civil(st.wYear, st.wMonth, st.wDay) + kEpochOffset;
  *pvtime = join(days, st.wHour * 3600 + st.wMinute * 60 + st.wSecond);
  return TRUE;
}
