// Zentarix — MIT licence.
// The lexer: case-insensitive keywords, line continuations, comments, number/string/date literals.
#include "Lexer.h"

#include <cmath>

#include "ScriptError.h"

namespace zx::script {
namespace {

struct KeywordName {
  const char* name;
  Kw kw;
};

constexpr KeywordName kKeywords[] = {
    {"and", Kw::And},         {"byref", Kw::ByRef},     {"byval", Kw::ByVal},   {"call", Kw::Call},
    {"case", Kw::Case},       {"class", Kw::Class},     {"const", Kw::Const},   {"default", Kw::Default},
    {"dim", Kw::Dim},         {"do", Kw::Do},           {"each", Kw::Each},     {"else", Kw::Else},
    {"elseif", Kw::ElseIf},   {"empty", Kw::Empty},     {"end", Kw::End},       {"eqv", Kw::Eqv},
    {"erase", Kw::Erase},     {"error", Kw::Error},     {"exit", Kw::Exit},     {"explicit", Kw::Explicit},
    {"false", Kw::False},     {"for", Kw::For},         {"function", Kw::Function}, {"get", Kw::Get},
    {"goto", Kw::GoTo},       {"if", Kw::If},           {"imp", Kw::Imp},       {"in", Kw::In},
    {"is", Kw::Is},           {"let", Kw::Let},         {"loop", Kw::Loop},     {"me", Kw::Me},
    {"mod", Kw::Mod},         {"new", Kw::New},         {"next", Kw::Next},     {"not", Kw::Not},
    {"nothing", Kw::Nothing}, {"null", Kw::Null},       {"on", Kw::On},         {"option", Kw::Option},
    {"or", Kw::Or},           {"preserve", Kw::Preserve}, {"private", Kw::Private}, {"property", Kw::Property},
    {"public", Kw::Public},   {"redim", Kw::ReDim},     {"resume", Kw::Resume}, {"select", Kw::Select},
    {"set", Kw::Set},         {"step", Kw::Step},       {"sub", Kw::Sub},       {"then", Kw::Then},
    {"to", Kw::To},           {"true", Kw::True},       {"until", Kw::Until},   {"wend", Kw::Wend},
    {"while", Kw::While},     {"with", Kw::With},       {"xor", Kw::Xor},
};

constexpr size_t kMaxNameLength = 255;

bool is_letter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= 0xC0 && c != 0xD7 && c != 0xF7 && c < 0x2000); }
bool is_digit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool is_name_char(char16_t c) { return is_letter(c) || is_digit(c) || c == u'_'; }
bool is_blank(char16_t c) { return c == u' ' || c == u'\t' || c == 0xA0 || c == 0xFEFF; }

class Lexer {
 public:
  explicit Lexer(std::u16string_view text) : m_text(text) {}

  std::vector<Token> run() {
    std::vector<Token> out;
    bool space = false;
    while (m_pos < m_text.size()) {
      const char16_t c = m_text[m_pos];
      if (is_blank(c)) {
        advance(1);
        space = true;
        continue;
      }
      if (c == u'_' && continuation()) {
        space = true;
        continue;
      }
      if (c == u'\'') {
        skip_comment();
        continue;
      }
      Token t;
      t.line = m_line;
      t.column = column();
      t.spaceBefore = space;
      space = false;
      if (c == u'\r' || c == u'\n') {
        t.kind = Tok::Newline;
        advance(c == u'\r' && peek(1) == u'\n' ? 2 : 1);
        newline();
      } else if (is_letter(c)) {
        name(t);
        if (t.kw == Kw::None && equal_ignoring_case(t.text, u"rem") &&
            (m_pos >= m_text.size() || is_blank(m_text[m_pos]) || m_text[m_pos] == u'\r' || m_text[m_pos] == u'\n')) {
          skip_comment();
          continue;
        }
      } else if (is_digit(c) || (c == u'.' && is_digit(peek(1)))) {
        number(t);
      } else if (c == u'&' && (peek(1) == u'H' || peek(1) == u'h' || peek(1) == u'O' || peek(1) == u'o' || is_digit(peek(1)))) {
        radix_number(t);
      } else if (c == u'"') {
        string(t);
      } else if (c == u'#') {
        date(t);
      } else {
        punct(t);
      }
      out.push_back(std::move(t));
    }
    Token nl;
    nl.kind = Tok::Newline;
    nl.line = m_line;
    nl.column = column();
    out.push_back(nl);
    Token end = nl;
    end.kind = Tok::End;
    out.push_back(std::move(end));
    return out;
  }

 private:
  char16_t peek(size_t ahead) const { return m_pos + ahead < m_text.size() ? m_text[m_pos + ahead] : 0; }
  void advance(size_t n) { m_pos += n; }
  int column() const { return static_cast<int>(m_pos - m_lineStart) + 1; }
  void newline() {
    ++m_line;
    m_lineStart = m_pos;
  }
  [[noreturn]] void fail(int32_t number) const { throw CompileError{number, m_line, column()}; }

  // "_" followed by blanks and a line break joins the next line to this one.
  bool continuation() {
    size_t k = m_pos + 1;
    while (k < m_text.size() && is_blank(m_text[k])) ++k;
    if (k < m_text.size() && m_text[k] != u'\r' && m_text[k] != u'\n') return false;
    if (k < m_text.size()) k += (m_text[k] == u'\r' && k + 1 < m_text.size() && m_text[k + 1] == u'\n') ? 2 : 1;
    m_pos = k;
    newline();
    return true;
  }

  void skip_comment() {
    while (m_pos < m_text.size() && m_text[m_pos] != u'\r' && m_text[m_pos] != u'\n') ++m_pos;
  }

  void name(Token& t) {
    size_t start = m_pos;
    while (m_pos < m_text.size() && is_name_char(m_text[m_pos])) ++m_pos;
    if (m_pos - start > kMaxNameLength) {
      m_pos = start;
      fail(kErrIdentifierTooLong);
    }
    t.kind = Tok::Name;
    t.text.assign(m_text.substr(start, m_pos - start));
    t.kw = keyword_of(t.text);
  }

  void number(Token& t) {
    const size_t start = m_pos;
    bool real = false;
    while (is_digit(peek(0))) advance(1);
    if (peek(0) == u'.' && is_digit(peek(1))) {
      real = true;
      advance(1);
      while (is_digit(peek(0))) advance(1);
    } else if (peek(0) == u'.' && !is_letter(peek(1))) {
      real = true;  // "1." is a real
      advance(1);
    }
    if ((peek(0) == u'e' || peek(0) == u'E') &&
        (is_digit(peek(1)) || ((peek(1) == u'+' || peek(1) == u'-') && is_digit(peek(2))))) {
      real = true;
      advance(2);
      while (is_digit(peek(0))) advance(1);
    }
    if (is_letter(peek(0)) || peek(0) == u'_') fail(kErrExpectedEndOfStatement);
    std::string ascii;
    for (size_t k = start; k < m_pos; ++k) ascii += static_cast<char>(m_text[k]);
    const double d = std::strtod(ascii.c_str(), nullptr);
    if (!std::isfinite(d)) fail(kErrInvalidNumber);
    t.kind = Tok::Number;
    // Whole numbers are Integer while they fit, then Long, then Double.
    if (!real && d <= 32767) {
      t.value.vt = VT_I2;
      t.value.iVal = static_cast<SHORT>(d);
    } else if (!real && d <= 2147483647.0) {
      t.value.vt = VT_I4;
      t.value.lVal = static_cast<LONG>(d);
    } else {
      t.value.vt = VT_R8;
      t.value.dblVal = d;
    }
  }

  // &Hffff / &O777 / &777: Integer when the digits fit 16 bits, else Long (so &HFFFF is -1).
  void radix_number(Token& t) {
    advance(1);
    int bits = 3;
    if (peek(0) == u'H' || peek(0) == u'h') {
      bits = 4;
      advance(1);
    } else if (peek(0) == u'O' || peek(0) == u'o') {
      advance(1);
    }
    uint64_t v = 0;
    size_t digits = 0;
    for (;; ++digits) {
      const char16_t c = peek(0);
      int d = -1;
      if (is_digit(c)) d = c - u'0';
      else if (bits == 4 && c >= u'a' && c <= u'f') d = c - u'a' + 10;
      else if (bits == 4 && c >= u'A' && c <= u'F') d = c - u'A' + 10;
      if (d < 0 || d >= (1 << bits)) break;
      v = (v << bits) | static_cast<uint64_t>(d);
      if (v > 0xFFFFFFFFull) fail(kErrInvalidNumber);
      advance(1);
    }
    if (digits == 0) fail(kErrInvalidNumber);
    bool forceLong = false;
    if (peek(0) == u'&') {
      forceLong = true;
      advance(1);
    }
    t.kind = Tok::Number;
    if (v <= 0xFFFF && !forceLong) {
      t.value.vt = VT_I2;
      t.value.iVal = static_cast<SHORT>(static_cast<uint16_t>(v));
    } else {
      t.value.vt = VT_I4;
      t.value.lVal = static_cast<LONG>(static_cast<uint32_t>(v));
    }
  }

  void string(Token& t) {
    advance(1);
    std::u16string s;
    for (;;) {
      if (m_pos >= m_text.size() || m_text[m_pos] == u'\r' || m_text[m_pos] == u'\n') fail(kErrUnterminatedString);
      const char16_t c = m_text[m_pos++];
      if (c == u'"') {
        if (peek(0) != u'"') break;
        ++m_pos;
      }
      s += c;
    }
    t.kind = Tok::String;
    t.value.vt = VT_BSTR;
    t.value.bstrVal = zx::Bstr(s).detach();
  }

  void date(Token& t) {
    const size_t start = ++m_pos;
    while (m_pos < m_text.size() && m_text[m_pos] != u'#' && m_text[m_pos] != u'\r' && m_text[m_pos] != u'\n') ++m_pos;
    if (peek(0) != u'#') fail(kErrSyntax);
    zx::Variant text;
    text.vt = VT_BSTR;
    text.bstrVal = zx::Bstr(m_text.substr(start, m_pos - start)).detach();
    ++m_pos;
    t.kind = Tok::Date;
    if (FAILED(VariantChangeType(&t.value, &text, 0, VT_DATE))) fail(kErrSyntax);
  }

  void punct(Token& t) {
    const char16_t c = m_text[m_pos];
    const char16_t n = peek(1);
    size_t len = 1;
    switch (c) {
      case u':': t.kind = Tok::Colon; break;
      case u'(': t.kind = Tok::LParen; break;
      case u')': t.kind = Tok::RParen; break;
      case u',': t.kind = Tok::Comma; break;
      case u'.': t.kind = Tok::Dot; break;
      case u'=': t.kind = Tok::Eq; break;
      case u'+': t.kind = Tok::Plus; break;
      case u'-': t.kind = Tok::Minus; break;
      case u'*': t.kind = Tok::Star; break;
      case u'/': t.kind = Tok::Slash; break;
      case u'\\': t.kind = Tok::Backslash; break;
      case u'^': t.kind = Tok::Caret; break;
      case u'&': t.kind = Tok::Amp; break;
      case u'<':
        if (n == u'>') t.kind = Tok::Ne, len = 2;
        else if (n == u'=') t.kind = Tok::Le, len = 2;
        else t.kind = Tok::Lt;
        break;
      case u'>':
        if (n == u'=') t.kind = Tok::Ge, len = 2;
        else t.kind = Tok::Gt;
        break;
      default: fail(kErrInvalidCharacter);
    }
    advance(len);
  }

  std::u16string_view m_text;
  size_t m_pos = 0;
  size_t m_lineStart = 0;
  int m_line = 1;
};

}  // namespace

Kw keyword_of(std::u16string_view name) {
  if (name.size() < 2 || name.size() > 8) return Kw::None;
  char lower[9];
  for (size_t i = 0; i < name.size(); ++i) {
    const char16_t c = name[i];
    if (c >= 0x80) return Kw::None;
    lower[i] = static_cast<char>(c >= u'A' && c <= u'Z' ? c + 32 : c);
  }
  const std::string_view key(lower, name.size());
  for (const auto& k : kKeywords)
    if (key == k.name) return k.kw;
  return Kw::None;
}

bool is_contextual(Kw kw) {
  switch (kw) {
    case Kw::Default: case Kw::Error: case Kw::Explicit: case Kw::Get: case Kw::Let: case Kw::Preserve:
    case Kw::Property: case Kw::Resume: case Kw::Step: case Kw::GoTo:
      return true;
    default:
      return false;
  }
}

std::vector<Token> tokenize(std::u16string_view text) { return Lexer(text).run(); }

}  // namespace zx::script
