// Zentarix — MIT licence.
// Conversions and mathematics: CInt and Round round half to even, Int floors, Fix truncates.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "BuiltinSupport.h"

namespace zx::script {
namespace {

using namespace builtins;

template <VARTYPE Vt>
void to_type(Interpreter&, Args a, int, VARIANT& out) {
  convert(*a[0], Vt, out);
}

// Hex and Oct write the two's complement of an Integer in 16 bits and of anything else in 32.
template <int Bits>
void radix_text(Interpreter&, Args a, int, VARIANT& out) {
  if (is_null(*a[0])) return void(out.vt = VT_NULL);
  const bool narrow = a[0]->vt == VT_I2 || a[0]->vt == VT_UI1 || a[0]->vt == VT_BOOL || a[0]->vt == VT_EMPTY;
  uint32_t v = static_cast<uint32_t>(whole(*a[0]));
  if (narrow) v &= 0xFFFF;
  std::u16string s;
  do {
    const uint32_t digit = v & ((1u << Bits) - 1);
    s.insert(s.begin(), static_cast<char16_t>(digit < 10 ? u'0' + digit : u'A' + digit - 10));
    v >>= Bits;
  } while (v);
  set_text(out, s);
}

// Int and Fix keep the argument's type (a text becomes a Double).
template <bool Floor>
void integer_part(Interpreter&, Args a, int, VARIANT& out) {
  const VARIANT& v = *a[0];
  if (is_null(v)) return void(out.vt = VT_NULL);
  switch (v.vt) {
    case VT_I2: case VT_I4: case VT_UI1: return copy_value(out, v);
    case VT_BOOL: return set_integer(out, v.boolVal ? -1 : 0);
    case VT_EMPTY: return set_integer(out, 0);
    case VT_R4: out.vt = VT_R4; out.fltVal = Floor ? std::floor(v.fltVal) : std::trunc(v.fltVal); return;
    case VT_DATE: out.vt = VT_DATE; out.date = Floor ? std::floor(v.date) : std::trunc(v.date); return;
    default: {
      const double d = to_double(v);
      return set_double(out, Floor ? std::floor(d) : std::trunc(d));
    }
  }
}

void Round(Interpreter&, Args a, int n, VARIANT& out) {
  const VARIANT& v = *a[0];
  if (is_null(v)) return void(out.vt = VT_NULL);
  const int32_t places = has_arg(a, n, 1) ? whole(*a[1]) : 0;
  if (places < 0) illegal();
  if (v.vt == VT_I2 || v.vt == VT_I4 || v.vt == VT_UI1) return copy_value(out, v);
  const double d = to_double(v);
  const double scale = std::pow(10.0, places);
  const double scaled = d * scale;
  // Half to even, on the value as written: 2.5 -> 2, 0.125 -> 0.12.
  double r = std::nearbyint(scaled) / scale;
  if (!std::isfinite(scaled)) r = d;
  if (v.vt == VT_R4) {
    out.vt = VT_R4;
    out.fltVal = static_cast<float>(r);
    return;
  }
  set_double(out, r);
}

void Abs(Interpreter&, Args a, int, VARIANT& out) {
  const VARIANT& v = *a[0];
  if (is_null(v)) return void(out.vt = VT_NULL);
  if (v.vt == VT_EMPTY) return set_integer(out, 0);
  if (v.vt == VT_BSTR) return set_double(out, std::fabs(to_double(v)));
  if (to_double(v) < 0) return negate(v, out);
  copy_value(out, v);
}

void Sgn(Interpreter&, Args a, int, VARIANT& out) {
  if (is_null(*a[0])) return void(out.vt = VT_NULL);
  const double d = to_double(*a[0]);
  set_integer(out, d > 0 ? 1 : d < 0 ? -1 : 0);
}

template <double (*F)(double), bool (*Valid)(double)>
void math(Interpreter&, Args a, int, VARIANT& out) {
  if (is_null(*a[0])) return void(out.vt = VT_NULL);
  const double d = to_double(*a[0]);
  if (!Valid(d)) illegal();
  const double r = F(d);
  if (!std::isfinite(r)) raise_error(kErrOverflow);
  set_double(out, r);
}
bool any(double) { return true; }
bool non_negative(double d) { return d >= 0; }
bool positive(double d) { return d > 0; }
double sqrt_of(double d) { return std::sqrt(d); }
double exp_of(double d) { return std::exp(d); }
double log_of(double d) { return std::log(d); }
double sin_of(double d) { return std::sin(d); }
double cos_of(double d) { return std::cos(d); }
double tan_of(double d) { return std::tan(d); }
double atn_of(double d) { return std::atan(d); }

// The language's generator: x = (x * 1140671485 + 12820163) mod 2^24, as a Single in [0, 1).
void Rnd(Interpreter& in, Args a, int n, VARIANT& out) {
  uint32_t& seed = in.rnd_seed();
  float number = 1;
  if (has_arg(a, n, 0)) number = static_cast<float>(to_double(*a[0]));
  if (number < 0) {  // the same number always starts the same sequence
    uint32_t bits;
    std::memcpy(&bits, &number, sizeof bits);
    seed = (bits + (bits >> 24)) & 0xFFFFFF;
  }
  if (number != 0) {
    seed = static_cast<uint32_t>((static_cast<uint64_t>(seed) * 1140671485u + 12820163u) & 0xFFFFFF);
    in.last_rnd() = static_cast<float>(seed) / 16777216.0f;
  }
  out.vt = VT_R4;
  out.fltVal = in.last_rnd();
}

void Randomize(Interpreter& in, Args a, int n, VARIANT&) {
  double number;
  if (has_arg(a, n, 0)) {
    number = to_double(*a[0]);
  } else {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    number = static_cast<double>(ts.tv_sec % 86400) + ts.tv_nsec / 1e9;
  }
  // The number's high bits are folded into the middle of the seed, as the language does.
  uint64_t bits;
  std::memcpy(&bits, &number, sizeof bits);
  uint32_t high = static_cast<uint32_t>(bits >> 32);
  high = ((high & 0xFFFF) ^ (high >> 16)) << 8;
  in.rnd_seed() = (in.rnd_seed() & 0xFF0000FFu) | (high & 0x00FFFF00u);
}

void IsNumeric(Interpreter&, Args a, int, VARIANT& out) {
  const VARIANT& v = *a[0];
  switch (v.vt) {
    case VT_I2: case VT_I4: case VT_R4: case VT_R8: case VT_UI1: case VT_BOOL: case VT_EMPTY: case VT_CY:
    case VT_I1: case VT_UI2: case VT_UI4: case VT_I8: case VT_UI8: case VT_INT: case VT_UINT: case VT_DECIMAL:
      return set_bool(out, true);
    case VT_BSTR: return set_bool(out, numeric_text(bstr_view(v.bstrVal)));
    default: return set_bool(out, false);
  }
}

void RGB(Interpreter&, Args a, int, VARIANT& out) {
  int32_t c[3];
  for (int i = 0; i < 3; ++i) {
    c[i] = whole(*a[i]);
    if (c[i] < 0) illegal();
    if (c[i] > 255) c[i] = 255;
  }
  set_long(out, c[0] | (c[1] << 8) | (c[2] << 16));
}

// FormatNumber(expression[, digits after the point (2)[, leading zero[, parentheses[, grouping]]]])
void FormatNumber(Interpreter&, Args a, int n, VARIANT& out) {
  const double d = to_double(*a[0]);
  const int32_t digits = has_arg(a, n, 1) ? whole(*a[1]) : 2;
  if (digits < -1 || digits > 255) illegal();
  // Tristate arguments: -1 true, 0 false, -2 the default (a leading zero and grouping, no parentheses).
  const bool leadingZero = !has_arg(a, n, 2) || whole(*a[2]) != 0;
  const bool parens = has_arg(a, n, 3) && whole(*a[3]) == -1;
  const bool group = !has_arg(a, n, 4) || whole(*a[4]) != 0;
  const int places = digits < 0 ? 2 : digits;
  // Display rounding: halves go away from zero (0.5 shows as 1), unlike Round.
  const double rounded = std::round(std::fabs(d) * std::pow(10.0, places)) / std::pow(10.0, places);
  std::vector<char> buf(static_cast<size_t>(places) + 330);  // the largest double has 309 digits
  std::snprintf(buf.data(), buf.size(), "%.*f", places, rounded);
  const std::string s(buf.data());
  const size_t point = s.find('.');
  const std::string integer = s.substr(0, point == std::string::npos ? s.size() : point);
  const std::string fraction = point == std::string::npos ? "" : s.substr(point);
  std::string whole_part;
  for (size_t i = 0; i < integer.size(); ++i) {
    if (group && i && (integer.size() - i) % 3 == 0) whole_part += ',';
    whole_part += integer[i];
  }
  if (whole_part == "0" && !leadingZero && !fraction.empty()) whole_part.clear();
  std::string result = whole_part + fraction;
  const bool negative = d < 0 && rounded != 0;
  if (negative) {
    result.insert(0, 1, parens ? '(' : '-');
    if (parens) result.push_back(')');
  }
  set_text(out, zx::to_utf16(result));
}

constexpr Builtin kNumbers[] = {
    {u"cint", 1, 1, to_type<VT_I2>},
    {u"clng", 1, 1, to_type<VT_I4>},
    {u"cdbl", 1, 1, to_type<VT_R8>},
    {u"csng", 1, 1, to_type<VT_R4>},
    {u"cstr", 1, 1, to_type<VT_BSTR>},
    {u"cbool", 1, 1, to_type<VT_BOOL>},
    {u"cbyte", 1, 1, to_type<VT_UI1>},
    {u"cdate", 1, 1, to_type<VT_DATE>},
    {u"hex", 1, 1, radix_text<4>},
    {u"oct", 1, 1, radix_text<3>},
    {u"int", 1, 1, integer_part<true>},
    {u"fix", 1, 1, integer_part<false>},
    {u"round", 1, 2, Round},
    {u"abs", 1, 1, Abs},
    {u"sgn", 1, 1, Sgn},
    {u"sqr", 1, 1, math<sqrt_of, non_negative>},
    {u"exp", 1, 1, math<exp_of, any>},
    {u"log", 1, 1, math<log_of, positive>},
    {u"sin", 1, 1, math<sin_of, any>},
    {u"cos", 1, 1, math<cos_of, any>},
    {u"tan", 1, 1, math<tan_of, any>},
    {u"atn", 1, 1, math<atn_of, any>},
    {u"rnd", 0, 1, Rnd},
    {u"randomize", 0, 1, Randomize},
    {u"isnumeric", 1, 1, IsNumeric},
    {u"rgb", 3, 3, RGB},
    {u"formatnumber", 1, 5, FormatNumber},
};

}  // namespace

BuiltinTable number_builtins() { return {kNumbers, std::size(kNumbers)}; }

}  // namespace zx::script
