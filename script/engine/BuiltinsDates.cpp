// Zentarix — MIT licence.
// Dates (VT_DATE) as scripts use them to name files: the clock, the parts of a date, arithmetic
// on dates and the date formats. Times are the machine's local time.
#include <cmath>
#include <ctime>

#include "BuiltinSupport.h"

namespace zx::script {
namespace {

using namespace builtins;

constexpr const char16_t* kMonthNames[] = {u"January", u"February", u"March",     u"April",   u"May",      u"June",
                                           u"July",    u"August",   u"September", u"October", u"November", u"December"};
constexpr const char16_t* kDayNames[] = {u"Sunday",   u"Monday", u"Tuesday", u"Wednesday",
                                         u"Thursday", u"Friday", u"Saturday"};

// A date's value on a continuous time line (days, fraction of a day): the stored form keeps the
// time's magnitude also before day 0, so -1.25 is -0.75 here.
double linear(double date) {
  const double day = std::trunc(date);
  return day + std::fabs(date - day);
}
double from_linear(double t) {
  const double day = std::floor(t);
  const double time = t - day;
  return day >= 0 ? day + time : day - time;
}

double date_of(const VARIANT& v) {
  Value d;
  convert(v, VT_DATE, d);
  return d.date;
}

SYSTEMTIME parts(double date) {
  SYSTEMTIME st{};
  if (!VariantTimeToSystemTime(date, &st)) raise_error(kErrIllegalCall);
  return st;
}

void set_date(VARIANT& out, double date) {
  if (!(date >= -657434.0 && date < 2958466.0)) raise_error(kErrIllegalCall);
  out.vt = VT_DATE;
  out.date = date;
}

// Day number of a year, month (any, carried into years) and day (any, carried into months).
double serial_day(int64_t year, int64_t month, int64_t day) {
  year += (month - 1) >= 0 ? (month - 1) / 12 : -((12 - month) / 12);
  month = ((month - 1) % 12 + 12) % 12 + 1;
  if (year < 100 || year > 9999) raise_error(kErrIllegalCall);
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(year);
  st.wMonth = static_cast<WORD>(month);
  st.wDay = 1;
  double first = 0;
  if (!SystemTimeToVariantTime(&st, &first)) raise_error(kErrIllegalCall);
  return first + static_cast<double>(day - 1);
}

int days_in_month(int year, int month) {
  return static_cast<int>(serial_day(year, month + 1, 1) - serial_day(year, month, 1));
}

double now_local(bool withDate, bool withTime) {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  std::tm local{};
  localtime_r(&ts.tv_sec, &local);
  double date = 0;
  if (withDate) date = serial_day(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  if (withTime) date += (local.tm_hour * 3600 + local.tm_min * 60 + std::min(local.tm_sec, 59)) / 86400.0;
  return date;
}

void Now(Interpreter&, Args, int, VARIANT& out) { set_date(out, now_local(true, true)); }
void Date(Interpreter&, Args, int, VARIANT& out) { set_date(out, now_local(true, false)); }
void Time(Interpreter&, Args, int, VARIANT& out) { set_date(out, now_local(false, true)); }

void Timer(Interpreter&, Args, int, VARIANT& out) {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  std::tm local{};
  localtime_r(&ts.tv_sec, &local);
  const double seconds = local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec + std::floor(ts.tv_nsec / 1e7) / 100;
  out.vt = VT_R4;
  out.fltVal = static_cast<float>(seconds);
}

template <int Part>
void date_part(Interpreter&, Args a, int, VARIANT& out) {
  if (is_null(*a[0])) return void(out.vt = VT_NULL);
  const SYSTEMTIME st = parts(date_of(*a[0]));
  const int values[] = {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
  set_integer(out, values[Part]);
}

// Weekday(date[, first day (1 = Sunday)]): 1 for the first day of the week.
void Weekday(Interpreter&, Args a, int n, VARIANT& out) {
  if (is_null(*a[0])) return void(out.vt = VT_NULL);
  const int first = has_arg(a, n, 1) ? whole(*a[1]) : 1;
  if (first < 0 || first > 7) illegal();
  const int dow = parts(date_of(*a[0])).wDayOfWeek;  // 0 = Sunday
  set_integer(out, (dow - ((first == 0 ? 1 : first) - 1) + 7) % 7 + 1);
}

void MonthName(Interpreter&, Args a, int n, VARIANT& out) {
  const int m = whole(*a[0]);
  if (m < 1 || m > 12) illegal();
  const bool abbreviate = has_arg(a, n, 1) && to_condition(*a[1]);
  const std::u16string name = kMonthNames[m - 1];
  set_text(out, abbreviate ? name.substr(0, 3) : name);
}

enum class Unit { Year, Quarter, Month, Day, Week, CalendarWeek, Hour, Minute, Second };

Unit unit_of(const VARIANT& v) {
  const std::u16string u = fold_name(text(v));
  if (u == u"yyyy") return Unit::Year;
  if (u == u"q") return Unit::Quarter;
  if (u == u"m") return Unit::Month;
  if (u == u"y" || u == u"d") return Unit::Day;
  if (u == u"w") return Unit::Week;
  if (u == u"ww") return Unit::CalendarWeek;
  if (u == u"h") return Unit::Hour;
  if (u == u"n") return Unit::Minute;
  if (u == u"s") return Unit::Second;
  illegal();
}

// DateAdd(interval, number, date): months keep the day where the month has it, else its last day.
void DateAdd(Interpreter&, Args a, int, VARIANT& out) {
  const Unit unit = unit_of(*a[0]);
  const double number = std::trunc(to_double(*a[1]));
  if (is_null(*a[2])) raise_error(kErrInvalidNull);
  const double date = date_of(*a[2]);
  double seconds = 0;
  switch (unit) {
    case Unit::Year: case Unit::Quarter: case Unit::Month: {
      const SYSTEMTIME st = parts(date);
      const int64_t months = static_cast<int64_t>(number) * (unit == Unit::Year ? 12 : unit == Unit::Quarter ? 3 : 1);
      const int64_t total = st.wYear * 12 + (st.wMonth - 1) + months;
      const int64_t year = total / 12, month = total % 12 + 1;
      if (year < 100 || year > 9999) illegal();
      const int day = std::min<int>(st.wDay, days_in_month(static_cast<int>(year), static_cast<int>(month)));
      const double time = std::fabs(date - std::trunc(date));
      return set_date(out, from_linear(serial_day(year, month, day) + time));
    }
    case Unit::Day: seconds = number * 86400; break;
    case Unit::Week: case Unit::CalendarWeek: seconds = number * 7 * 86400; break;
    case Unit::Hour: seconds = number * 3600; break;
    case Unit::Minute: seconds = number * 60; break;
    case Unit::Second: seconds = number; break;
  }
  const double t = std::round((linear(date) * 86400 + seconds)) / 86400;
  set_date(out, from_linear(t));
}

// DateDiff(interval, date1, date2): how many interval boundaries lie between the two.
void DateDiff(Interpreter&, Args a, int n, VARIANT& out) {
  const Unit unit = unit_of(*a[0]);
  if (is_null(*a[1]) || is_null(*a[2])) return void(out.vt = VT_NULL);
  const double d1 = date_of(*a[1]), d2 = date_of(*a[2]);
  const int firstDay = has_arg(a, n, 3) ? whole(*a[3]) : 1;
  const SYSTEMTIME s1 = parts(d1), s2 = parts(d2);
  const double t1 = std::round(linear(d1) * 86400), t2 = std::round(linear(d2) * 86400);
  const double day1 = std::floor(t1 / 86400), day2 = std::floor(t2 / 86400);
  double r = 0;
  switch (unit) {
    case Unit::Year: r = s2.wYear - s1.wYear; break;
    case Unit::Quarter: r = (s2.wYear * 4 + (s2.wMonth - 1) / 3) - (s1.wYear * 4 + (s1.wMonth - 1) / 3); break;
    case Unit::Month: r = (s2.wYear * 12 + s2.wMonth) - (s1.wYear * 12 + s1.wMonth); break;
    case Unit::Day: r = day2 - day1; break;
    case Unit::Week: r = std::trunc((day2 - day1) / 7); break;
    case Unit::CalendarWeek: {
      // Day 0 (30 December 1899) was a Saturday: shift so weeks start on the chosen first day.
      const double shift = 6 - ((firstDay == 0 ? 1 : firstDay) - 1);
      r = std::floor((day2 + shift) / 7) - std::floor((day1 + shift) / 7);
      break;
    }
    case Unit::Hour: r = std::floor(t2 / 3600) - std::floor(t1 / 3600); break;
    case Unit::Minute: r = std::floor(t2 / 60) - std::floor(t1 / 60); break;
    case Unit::Second: r = t2 - t1; break;
  }
  if (std::fabs(r) > 2147483647.0) raise_error(kErrOverflow);
  set_long(out, static_cast<int32_t>(r));
}

void DateSerial(Interpreter&, Args a, int, VARIANT& out) {
  int64_t year = whole(*a[0]);
  if (year >= 0 && year < 30) year += 2000;
  else if (year >= 30 && year < 100) year += 1900;
  set_date(out, serial_day(year, whole(*a[1]), whole(*a[2])));
}

void TimeSerial(Interpreter&, Args a, int, VARIANT& out) {
  const double seconds = static_cast<double>(whole(*a[0])) * 3600 + whole(*a[1]) * 60.0 + whole(*a[2]);
  set_date(out, from_linear(seconds / 86400));
}

// FormatDateTime(date[, 0 general | 1 long date | 2 short date | 3 long time | 4 short time])
void FormatDateTime(Interpreter&, Args a, int n, VARIANT& out) {
  if (is_null(*a[0])) raise_error(kErrInvalidNull);
  const double date = date_of(*a[0]);
  const int format = has_arg(a, n, 1) ? whole(*a[1]) : 0;
  const SYSTEMTIME st = parts(date);
  auto two = [](int v) { return (v < 10 ? u"0" : u"") + zx::to_utf16(std::to_string(v)); };
  auto num = [](int v) { return zx::to_utf16(std::to_string(v)); };
  switch (format) {
    case 0: {
      Value d;
      d.vt = VT_DATE;
      d.date = date;
      return set_text(out, to_text(d));
    }
    case 1:
      return set_text(out, std::u16string(kDayNames[st.wDayOfWeek]) + u", " + kMonthNames[st.wMonth - 1] + u" " +
                               num(st.wDay) + u", " + num(st.wYear));
    case 2: return set_text(out, num(st.wMonth) + u"/" + num(st.wDay) + u"/" + num(st.wYear));
    case 3: {
      const int h = st.wHour % 12 == 0 ? 12 : st.wHour % 12;
      return set_text(out, num(h) + u":" + two(st.wMinute) + u":" + two(st.wSecond) + (st.wHour < 12 ? u" AM" : u" PM"));
    }
    case 4: return set_text(out, two(st.wHour) + u":" + two(st.wMinute));
    default: illegal();
  }
}

void IsDate(Interpreter&, Args a, int, VARIANT& out) {
  const VARIANT& v = *a[0];
  if (v.vt == VT_DATE) return set_bool(out, true);
  if (v.vt != VT_BSTR) return set_bool(out, false);
  Value d;
  set_bool(out, SUCCEEDED(VariantChangeType(&d, &v, 0, VT_DATE)));
}

constexpr Builtin kDates[] = {
    {u"now", 0, 0, Now},
    {u"date", 0, 0, Date},
    {u"time", 0, 0, Time},
    {u"timer", 0, 0, Timer},
    {u"year", 1, 1, date_part<0>},
    {u"month", 1, 1, date_part<1>},
    {u"day", 1, 1, date_part<2>},
    {u"hour", 1, 1, date_part<3>},
    {u"minute", 1, 1, date_part<4>},
    {u"second", 1, 1, date_part<5>},
    {u"weekday", 1, 2, Weekday},
    {u"monthname", 1, 2, MonthName},
    {u"dateadd", 3, 3, DateAdd},
    {u"datediff", 3, 5, DateDiff},
    {u"dateserial", 3, 3, DateSerial},
    {u"timeserial", 3, 3, TimeSerial},
    {u"formatdatetime", 1, 2, FormatDateTime},
    {u"isdate", 1, 1, IsDate},
};

}  // namespace

BuiltinTable date_builtins() { return {kDates, std::size(kDates)}; }

}  // namespace zx::script
