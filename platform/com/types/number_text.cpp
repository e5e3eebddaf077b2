// Zentarix — MIT licence.
// Number text for VariantChangeType: the en-US reading and writing rules, locale-independent.
#include "number_text.h"

#include <charconv>
#include <cmath>

namespace zx::types {

namespace {

bool is_space(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == 0x00A0; }

std::u16string_view trim(std::u16string_view s) {
  while (!s.empty() && is_space(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_space(s.back())) s.remove_suffix(1);
  return s;
}

bool parse_radix(std::u16string_view digits, int bits_per_digit, Number* out) {
  if (digits.empty()) return false;
  uint64_t v = 0;
  for (char16_t c : digits) {
    int h;
    if (c >= u'0' && c <= u'9')
      h = c - u'0';
    else if (c >= u'a' && c <= u'f')
      h = c - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
      h = c - u'A' + 10;
    else
      return false;
    if (h >= (1 << bits_per_digit)) return false;
    if (v >> (64 - bits_per_digit)) return false;  // would not fit in 64 bits
    v = (v << bits_per_digit) | static_cast<uint64_t>(h);
  }
  *out = Number::of_unsigned(v);
  return true;
}

}  // namespace

bool parse_number(std::u16string_view text, Number* out) {
  std::u16string_view s = trim(text);
  bool negative = false;
  if (s.size() >= 2 && s.front() == u'(' && s.back() == u')') {
    negative = true;
    s = trim(s.substr(1, s.size() - 2));
  }
  bool signSeen = false;
  if (!s.empty() && (s.front() == u'+' || s.front() == u'-')) {
    negative = negative != (s.front() == u'-');
    signSeen = true;
    s = trim(s.substr(1));
  }
  if (!s.empty() && s.front() == u'$') s = trim(s.substr(1));
  if (!signSeen && !s.empty() && (s.back() == u'+' || s.back() == u'-')) {
    negative = negative != (s.back() == u'-');
    s = trim(s.substr(0, s.size() - 1));
  }
  if (s.empty()) return false;

  Number n;
  if (s.size() > 2 && s[0] == u'&' && (s[1] == u'H' || s[1] == u'h' || s[1] == u'O' || s[1] == u'o')) {
    if (!parse_radix(s.substr(2), (s[1] == u'H' || s[1] == u'h') ? 4 : 3, &n)) return false;
  } else {
    // Rebuild a plain ASCII form: digits, one point, an exponent; thousands separators dropped
    // (only between digits, before the point).
    std::string ascii;
    bool anyDigit = false, point = false, exponent = false;
    for (size_t k = 0; k < s.size(); ++k) {
      const char16_t c = s[k];
      if (c >= u'0' && c <= u'9') {
        ascii += static_cast<char>(c);
        if (!exponent) anyDigit = true;
      } else if (c == u',' && !point && !exponent && anyDigit) {
        continue;
      } else if (c == u'.' && !point && !exponent) {
        point = true;
        ascii += '.';
      } else if ((c == u'e' || c == u'E' || c == u'd' || c == u'D') && !exponent && anyDigit) {
        exponent = true;
        ascii += 'e';
        if (k + 1 < s.size() && (s[k + 1] == u'+' || s[k + 1] == u'-')) ascii += static_cast<char>(s[++k]);
        if (k + 1 >= s.size()) return false;
      } else {
        return false;
      }
    }
    if (!anyDigit) return false;
    if (ascii.back() == 'e' || ascii.back() == '+' || ascii.back() == '-') return false;
    const char* first = ascii.data();
    const char* last = ascii.data() + ascii.size();
    bool exact = false;
    if (!point && !exponent) {
      uint64_t u = 0;
      auto [p, ec] = std::from_chars(first, last, u);
      if (ec == std::errc() && p == last) {
        n = Number::of_unsigned(u);
        exact = true;
      }
    }
    if (!exact) {
      double d = 0;
      auto [p, ec] = std::from_chars(first, last, d);
      if (p != last || (ec != std::errc() && ec != std::errc::result_out_of_range)) return false;
      if (ec == std::errc::result_out_of_range) {  // from_chars leaves d alone: tell under- from overflow
        const size_t e = ascii.find('e');
        d = (e != std::string::npos && e + 1 < ascii.size() && ascii[e + 1] == '-') ? 0.0 : HUGE_VAL;
      }
      n = Number::of_real(d);
    }
  }
  if (negative) {
    if (n.kind == Number::Kind::Unsigned) {
      if (n.u <= uint64_t{1} << 63)
        n = Number::of_signed(n.u == uint64_t{1} << 63 ? INT64_MIN : -static_cast<int64_t>(n.u));
      else
        n = Number::of_real(-static_cast<double>(n.u));
    } else {
      n.d = -n.d;
    }
  }
  *out = n;
  return true;
}

int parse_bool_name(std::u16string_view text) {
  std::u16string_view s = trim(text);
  auto equals = [&](std::u16string_view name) {
    if (s.size() != name.size()) return false;
    for (size_t i = 0; i < s.size(); ++i) {
      char16_t c = s[i];
      if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
      if (c != name[i]) return false;
    }
    return true;
  };
  if (equals(u"true")) return 1;
  if (equals(u"false")) return 0;
  return -1;
}

bool format_real(double value, int significant, std::u16string* out) {
  if (!std::isfinite(value)) return false;
  if (value == 0) value = 0;  // no "-0"
  char buf[64];
  auto [p, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, significant);
  if (ec != std::errc()) return false;
  out->clear();
  for (char* c = buf; c != p; ++c) out->push_back(static_cast<char16_t>(*c == 'e' ? 'E' : *c));
  return true;
}

std::u16string format_signed(int64_t v) {
  char buf[24];
  auto [p, ec] = std::to_chars(buf, buf + sizeof buf, v);
  (void)ec;
  return std::u16string(buf, p);
}

std::u16string format_unsigned(uint64_t v) {
  char buf[24];
  auto [p, ec] = std::to_chars(buf, buf + sizeof buf, v);
  (void)ec;
  return std::u16string(buf, p);
}

}  // namespace zx::types
