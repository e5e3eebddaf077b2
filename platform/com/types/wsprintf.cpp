// Zentarix — MIT licence.
// wvsprintfA: the Windows printf subset into a buffer of at most 1024 characters.
#include <cstdarg>
#include <string>

#include "winbase.h"
#include "zx/com.h"

namespace {

constexpr size_t kMaxChars = 1024;  // the NUL included

struct Conversion {
  bool left = false, alternate = false, zero = false;
  int width = 0;
  int precision = -1;
  char size = 0;  // 'h', 'l' or 0
};

void pad_and_append(std::string& out, const std::string& body, const Conversion& s, bool numeric) {
  const size_t w = s.width > 0 ? static_cast<size_t>(s.width) : 0;
  if (body.size() >= w) {
    out += body;
  } else if (s.left) {
    out += body;
    out.append(w - body.size(), ' ');
  } else if (s.zero && numeric) {
    // Zeros go after a sign or a 0x prefix.
    size_t prefix = 0;
    if (!body.empty() && body[0] == '-') prefix = 1;
    else if (body.size() > 1 && body[0] == '0' && (body[1] == 'x' || body[1] == 'X')) prefix = 2;
    out += body.substr(0, prefix);
    out.append(w - body.size(), '0');
    out += body.substr(prefix);
  } else {
    out.append(w - body.size(), ' ');
    out += body;
  }
}

std::string digits_of(unsigned long v, unsigned base, bool upper) {
  const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string s;
  do {
    s.insert(s.begin(), set[v % base]);
    v /= base;
  } while (v);
  return s;
}

std::string wide_to_text(const WCHAR* w, int precision) {
  if (!w) w = u"(null)";
  std::u16string_view v(w);
  if (precision >= 0 && v.size() > static_cast<size_t>(precision)) v = v.substr(0, static_cast<size_t>(precision));
  return zx::to_utf8(v);
}

}  // namespace

int wvsprintfA(LPSTR buffer, LPCSTR format, va_list arglist) {
  if (!buffer || !format) return 0;
  std::string out;
  va_list args;
  va_copy(args, arglist);
  try {
    for (const char* p = format; *p && out.size() < kMaxChars; ++p) {
      if (*p != '%') {
        out += *p;
        continue;
      }
      ++p;
      if (*p == '%') {
        out += '%';
        continue;
      }
      Conversion s;
      for (;; ++p) {
        if (*p == '-') s.left = true;
        else if (*p == '#') s.alternate = true;
        else if (*p == '0') s.zero = true;
        else break;
      }
      while (*p >= '0' && *p <= '9') s.width = s.width * 10 + (*p++ - '0');
      if (*p == '.') {
        s.precision = 0;
        for (++p; *p >= '0' && *p <= '9'; ++p) s.precision = s.precision * 10 + (*p - '0');
      }
      if (*p == 'h' || *p == 'l') s.size = *p++;
      const char type = *p;
      if (!type) break;
      std::string body;
      bool numeric = true;
      switch (type) {
        case 'd':
        case 'i': {
          const long v = va_arg(args, int);  // LONG and int are both 32-bit on Windows
          body = digits_of(v < 0 ? static_cast<unsigned long>(-v) : static_cast<unsigned long>(v), 10, false);
          if (v < 0) body.insert(body.begin(), '-');
          break;
        }
        case 'u':
          body = digits_of(va_arg(args, unsigned), 10, false);
          break;
        case 'x':
        case 'X': {
          const unsigned v = va_arg(args, unsigned);
          body = digits_of(v, 16, type == 'X');
          if (s.alternate && v) body.insert(0, type == 'X' ? "0X" : "0x");
          break;
        }
        case 'c':
        case 'C': {
          numeric = false;
          const int v = va_arg(args, int);
          const bool wide = type == 'C' ? s.size != 'h' : s.size == 'l';
          if (wide) {
            const char16_t w = static_cast<char16_t>(v);
            body = zx::to_utf8(std::u16string_view(&w, 1));
          } else {
            body = std::string(1, static_cast<char>(v));
          }
          break;
        }
        case 's':
        case 'S': {
          numeric = false;
          const bool wide = type == 'S' ? s.size != 'h' : s.size == 'l';
          if (wide) {
            body = wide_to_text(va_arg(args, const WCHAR*), s.precision);
          } else {
            const char* a = va_arg(args, const char*);
            if (!a) a = "(null)";
            body = a;
            if (s.precision >= 0 && body.size() > static_cast<size_t>(s.precision)) body.resize(static_cast<size_t>(s.precision));
          }
          break;
        }
        default:
          // Not a conversion Windows knows: the character is written as it stands.
          numeric = false;
          body = std::string(1, type);
          break;
      }
      if (numeric && s.precision > static_cast<int>(body.size())) {
        const bool negative = !body.empty() && body[0] == '-';
        const size_t digits = body.size() - (negative ? 1 : 0);
        if (static_cast<size_t>(s.precision) > digits) body.insert(negative ? 1 : 0, static_cast<size_t>(s.precision) - digits, '0');
      }
      pad_and_append(out, body, s, numeric);
    }
  } catch (const std::bad_alloc&) {
    out.clear();
  }
  va_end(args);
  if (out.size() > kMaxChars - 1) out.resize(kMaxChars - 1);
  out.copy(buffer, out.size());
  buffer[out.size()] = 0;
  return static_cast<int>(out.size());
}
