// Zentarix — MIT licence.
// String functions: positions are one-based, Null passes through where the language lets it.
#include <algorithm>
#include <cwctype>

#include "Arrays.h"
#include "BuiltinSupport.h"

namespace zx::script {
namespace {

using namespace builtins;

// Windows-1252, the code page Chr and Asc use for 128-159 (the rest of 0-255 is Latin-1).
constexpr char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

size_t find_text(std::u16string_view hay, std::u16string_view needle, size_t from, bool ignoreCase) {
  if (!ignoreCase) return hay.find(needle, from);
  if (needle.size() > hay.size()) return std::u16string_view::npos;
  for (size_t i = from; i + needle.size() <= hay.size(); ++i)
    if (compare_text(hay.substr(i, needle.size()), needle, true) == 0) return i;
  return std::u16string_view::npos;
}

size_t rfind_text(std::u16string_view hay, std::u16string_view needle, size_t last, bool ignoreCase) {
  // the match must end at or before `last` characters
  if (needle.size() > last) return std::u16string_view::npos;
  for (size_t i = last - needle.size() + 1; i-- > 0;)
    if (compare_text(hay.substr(i, needle.size()), needle, ignoreCase) == 0) return i;
  return std::u16string_view::npos;
}

void Len(Interpreter&, Args a, int, VARIANT& out) {
  if (is_null(*a[0])) return void(out.vt = VT_NULL);
  if (a[0]->vt == VT_BSTR) return set_long(out, static_cast<int32_t>(SysStringLen(a[0]->bstrVal)));
  set_long(out, static_cast<int32_t>(to_text(*a[0]).size()));
}

void Left(Interpreter&, Args a, int, VARIANT& out) {
  const int32_t n = whole(*a[1]);
  if (n < 0) illegal();
  if (is_null(*a[0])) return void(out.vt = VT_NULL);
  const std::u16string s = text(*a[0]);
  set_text(out, std::u16string_view(s).substr(0, static_cast<size_t>(n)));
}

void Right(Interpreter&, Args a, int, VARIANT& out) {
  const int32_t n = whole(*a[1]);
  if (n < 0) illegal();
  if (is_null(*a[0])) return void(out.vt = VT_NULL);
  const std::u16string s = text(*a[0]);
  const size_t k = std::min(s.size(), static_cast<size_t>(n));
  set_text(out, std::u16string_view(s).substr(s.size() - k));
}

void Mid(Interpreter&, Args a, int n, VARIANT& out) {
  const int32_t start = whole(*a[1]);
  const int32_t length = has_arg(a, n, 2) ? whole(*a[2]) : -1;
  if (start < 1 || (has_arg(a, n, 2) && length < 0)) illegal();
  if (is_null(*a[0])) return void(out.vt = VT_NULL);
  const std::u16string s = text(*a[0]);
  if (static_cast<size_t>(start) > s.size()) return set_text(out, u"");
  set_text(out, std::u16string_view(s).substr(static_cast<size_t>(start - 1),
                                              length < 0 ? std::u16string_view::npos : static_cast<size_t>(length)));
}

// InStr([start,] string1, string2[, compare])
void InStr(Interpreter&, Args a, int n, VARIANT& out) {
  int first = 0;
  int32_t start = 1;
  if (n >= 3) {
    if (is_null(*a[0])) raise_error(kErrInvalidNull);
    start = whole(*a[0]);
    first = 1;
  }
  if (start < 1) illegal();
  const bool ignoreCase = text_compare(a, n, first + 2);
  if (is_null(*a[first]) || is_null(*a[first + 1])) return void(out.vt = VT_NULL);
  const std::u16string hay = to_text(*a[first]), needle = to_text(*a[first + 1]);
  if (static_cast<size_t>(start) > hay.size()) return set_long(out, 0);
  if (needle.empty()) return set_long(out, start);
  const size_t at = find_text(hay, needle, static_cast<size_t>(start - 1), ignoreCase);
  set_long(out, at == std::u16string::npos ? 0 : static_cast<int32_t>(at + 1));
}

// InStrRev(string1, string2[, start[, compare]])
void InStrRev(Interpreter&, Args a, int n, VARIANT& out) {
  int32_t start = has_arg(a, n, 2) ? whole(*a[2]) : -1;
  if (start == 0 || start < -1) illegal();
  const bool ignoreCase = text_compare(a, n, 3);
  if (is_null(*a[0]) || is_null(*a[1])) return void(out.vt = VT_NULL);
  const std::u16string hay = to_text(*a[0]), needle = to_text(*a[1]);
  if (start == -1) start = static_cast<int32_t>(hay.size());
  if (static_cast<size_t>(start) > hay.size()) return set_long(out, 0);
  if (needle.empty()) return set_long(out, start);
  const size_t at = rfind_text(hay, needle, static_cast<size_t>(start), ignoreCase);
  set_long(out, at == std::u16string::npos ? 0 : static_cast<int32_t>(at + 1));
}

// Replace(expression, find, replacewith[, start[, count[, compare]]]): the result starts at `start`.
void Replace(Interpreter&, Args a, int n, VARIANT& out) {
  const std::u16string s = text(*a[0]), find = text(*a[1]), with = text(*a[2]);
  const int32_t start = has_arg(a, n, 3) ? whole(*a[3]) : 1;
  const int32_t count = has_arg(a, n, 4) ? whole(*a[4]) : -1;
  const bool ignoreCase = text_compare(a, n, 5);
  if (start < 1 || count < -1) illegal();
  if (static_cast<size_t>(start) > s.size() + 1) return set_text(out, u"");
  std::u16string result;
  size_t pos = static_cast<size_t>(start - 1);
  int32_t done = 0;
  while (!find.empty() && (count < 0 || done < count)) {
    const size_t at = find_text(s, find, pos, ignoreCase);
    if (at == std::u16string::npos) break;
    result.append(s, pos, at - pos).append(with);
    pos = at + find.size();
    ++done;
  }
  result.append(s, pos, std::u16string::npos);
  set_text(out, result);
}

void store_strings(const std::vector<std::u16string>& parts, VARIANT& out) {
  zx::SafeArray array(new_vector(static_cast<LONG>(parts.size())));
  auto* items = static_cast<VARIANT*>(array.get()->pvData);
  for (size_t i = 0; i < parts.size(); ++i) set_text(items[i], parts[i]);
  out.vt = VT_ARRAY | VT_VARIANT;
  out.parray = array.detach();
}

// Split(expression[, delimiter[, limit[, compare]]]): with a limit, the last part holds the rest.
void Split(Interpreter&, Args a, int n, VARIANT& out) {
  const std::u16string s = text(*a[0]);
  const std::u16string delim = has_arg(a, n, 1) ? text(*a[1]) : u" ";
  const int32_t limit = has_arg(a, n, 2) ? whole(*a[2]) : -1;
  const bool ignoreCase = text_compare(a, n, 3);
  if (limit < -1) illegal();
  std::vector<std::u16string> parts;
  if (!s.empty() && limit != 0) {
    size_t pos = 0;
    for (;;) {
      const size_t at = delim.empty() || (limit > 0 && static_cast<int32_t>(parts.size()) == limit - 1)
                            ? std::u16string::npos
                            : find_text(s, delim, pos, ignoreCase);
      if (at == std::u16string::npos) {
        parts.push_back(s.substr(pos));
        break;
      }
      parts.push_back(s.substr(pos, at - pos));
      pos = at + delim.size();
    }
  }
  store_strings(parts, out);
}

void Join(Interpreter&, Args a, int n, VARIANT& out) {
  if (!(a[0]->vt & VT_ARRAY)) raise_error(kErrTypeMismatch);
  if (a[0]->parray && a[0]->parray->cDims != 1) raise_error(kErrSubscript);
  const std::u16string delim = has_arg(a, n, 1) ? text(*a[1]) : u" ";
  std::u16string result;
  const size_t count = element_count(a[0]->parray);
  for (size_t i = 0; i < count; ++i) {
    Value item;
    element_at(*a[0], i, item);
    if (i) result += delim;
    if (item.vt != VT_NULL) result += to_text(item);
  }
  set_text(out, result);
}

template <bool Upper>
void change_case(Interpreter&, Args a, int, VARIANT& out) {
  if (is_null(*a[0])) return void(out.vt = VT_NULL);
  std::u16string s = to_text(*a[0]);
  for (auto& c : s) c = static_cast<char16_t>(Upper ? std::towupper(c) : std::towlower(c));
  set_text(out, s);
}

template <bool Leading, bool Trailing>
void trim(Interpreter&, Args a, int, VARIANT& out) {
  if (is_null(*a[0])) return void(out.vt = VT_NULL);
  const std::u16string s = to_text(*a[0]);
  size_t b = 0, e = s.size();
  if (Leading)
    while (b < e && s[b] == u' ') ++b;
  if (Trailing)
    while (e > b && s[e - 1] == u' ') --e;
  set_text(out, std::u16string_view(s).substr(b, e - b));
}

void Space(Interpreter&, Args a, int, VARIANT& out) {
  const int32_t n = whole(*a[0]);
  if (n < 0) illegal();
  set_text(out, std::u16string(static_cast<size_t>(n), u' '));
}

// String(number, character): the character by its code or as the first character of a text.
void String(Interpreter&, Args a, int, VARIANT& out) {
  const int32_t n = whole(*a[0]);
  if (n < 0) illegal();
  if (is_null(*a[1])) return void(out.vt = VT_NULL);
  char16_t c;
  if (a[1]->vt == VT_BSTR) {
    if (SysStringLen(a[1]->bstrVal) == 0) illegal();
    c = a[1]->bstrVal[0];
  } else {
    c = static_cast<char16_t>(whole(*a[1]) & 0xFF);
  }
  set_text(out, std::u16string(static_cast<size_t>(n), c));
}

void StrReverse(Interpreter&, Args a, int, VARIANT& out) {
  std::u16string s = text(*a[0]);
  std::reverse(s.begin(), s.end());
  set_text(out, s);
}

void StrComp(Interpreter&, Args a, int n, VARIANT& out) {
  const bool ignoreCase = text_compare(a, n, 2);
  if (is_null(*a[0]) || is_null(*a[1])) return void(out.vt = VT_NULL);
  set_integer(out, compare_text(to_text(*a[0]), to_text(*a[1]), ignoreCase));
}

void Chr(Interpreter&, Args a, int, VARIANT& out) {
  const int32_t code = whole(*a[0]);
  if (code < 0 || code > 255) illegal();
  const char16_t c = code >= 0x80 && code < 0xA0 ? kCp1252High[code - 0x80] : static_cast<char16_t>(code);
  set_text(out, std::u16string_view(&c, 1));
}

void ChrW(Interpreter&, Args a, int, VARIANT& out) {
  const int32_t code = whole(*a[0]);
  if (code < -32768 || code > 65535) illegal();
  const char16_t c = static_cast<char16_t>(code & 0xFFFF);
  set_text(out, std::u16string_view(&c, 1));
}

void Asc(Interpreter&, Args a, int, VARIANT& out) {
  const std::u16string s = text(*a[0]);
  if (s.empty()) illegal();
  int32_t code = s[0];
  if (code > 0xFF || (code >= 0x80 && code < 0xA0)) {
    code = '?';  // no place in the code page
    for (int i = 0; i < 32; ++i)
      if (kCp1252High[i] == s[0]) code = 0x80 + i;
  }
  set_integer(out, code);
}

void AscW(Interpreter&, Args a, int, VARIANT& out) {
  const std::u16string s = text(*a[0]);
  if (s.empty()) illegal();
  set_integer(out, static_cast<int16_t>(s[0]));
}

constexpr Builtin kStrings[] = {
    {u"len", 1, 1, Len},
    {u"left", 2, 2, Left},
    {u"right", 2, 2, Right},
    {u"mid", 2, 3, Mid},
    {u"instr", 2, 4, InStr},
    {u"instrrev", 2, 4, InStrRev},
    {u"replace", 3, 6, Replace},
    {u"split", 1, 4, Split},
    {u"join", 1, 2, Join},
    {u"ucase", 1, 1, change_case<true>},
    {u"lcase", 1, 1, change_case<false>},
    {u"trim", 1, 1, trim<true, true>},
    {u"ltrim", 1, 1, trim<true, false>},
    {u"rtrim", 1, 1, trim<false, true>},
    {u"space", 1, 1, Space},
    {u"string", 2, 2, String},
    {u"strreverse", 1, 1, StrReverse},
    {u"strcomp", 2, 3, StrComp},
    {u"chr", 1, 1, Chr},
    {u"chrw", 1, 1, ChrW},
    {u"asc", 1, 1, Asc},
    {u"ascw", 1, 1, AscW},
};

}  // namespace

BuiltinTable string_builtins() { return {kStrings, std::size(kStrings)}; }

}  // namespace zx::script
