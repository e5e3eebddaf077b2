// Zentarix — MIT licence.
// Numbers as text the way the en-US locale writes and reads them (VariantChangeType's BSTR side).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace zx::types {

// A parsed or computed numeric value: exact integers stay exact, everything else is a double.
struct Number {
  enum class Kind { Signed, Unsigned, Real } kind = Kind::Signed;
  int64_t i = 0;
  uint64_t u = 0;
  double d = 0;

  static Number of_signed(int64_t v) { return Number{Kind::Signed, v, 0, 0}; }
  static Number of_unsigned(uint64_t v) { return Number{Kind::Unsigned, 0, v, 0}; }
  static Number of_real(double v) { return Number{Kind::Real, 0, 0, v}; }
  double as_double() const {
    switch (kind) {
      case Kind::Signed: return static_cast<double>(i);
      case Kind::Unsigned: return static_cast<double>(u);
      default: return d;
    }
  }
  bool is_zero() const { return kind == Kind::Signed ? i == 0 : kind == Kind::Unsigned ? u == 0 : d == 0; }
};

// Reads a number as the Windows number parser does with the standard flags for en-US: surrounding
// white space, a leading or trailing sign, parentheses for negative, a leading "$", "," as thousands
// separator, "." as decimal point, an exponent, and "&H" / "&O" for hexadecimal and octal.
// False when the text is no number (the caller answers DISP_E_TYPEMISMATCH).
bool parse_number(std::u16string_view text, Number* out);

// True/False names (any case, surrounding white space allowed): 1 true, 0 false, -1 neither.
int parse_bool_name(std::u16string_view text);

// Decimal text of a double with the given significant digits, exponent form as Windows writes it
// ("1E+20", "1.5E-05"). False for infinities and NaN, which have no such text.
bool format_real(double value, int significant, std::u16string* out);

std::u16string format_signed(int64_t v);
std::u16string format_unsigned(uint64_t v);

}  // namespace zx::types
