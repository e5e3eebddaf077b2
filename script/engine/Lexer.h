// Zentarix — MIT licence.
// Turns script text into tokens: names, keywords, literals, operators and statement ends.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "zx/com.h"

namespace zx::script {

// Keywords, reserved or contextual (a contextual one is a plain name where a name is expected).
enum class Kw : uint8_t {
  None,
  And, ByRef, ByVal, Call, Case, Class, Const, Default, Dim, Do, Each, Else, ElseIf, Empty, End, Eqv, Erase,
  Error, Exit, Explicit, False, For, Function, Get, GoTo, If, Imp, In, Is, Let, Loop, Me, Mod, New, Next, Not,
  Nothing, Null, On, Option, Or, Preserve, Private, Property, Public, ReDim, Resume, Select, Set, Step, Sub, Then,
  To, True, Until, Wend, While, With, Xor,
};

enum class Tok : uint8_t {
  End,      // end of the text
  Newline,  // end of a line (line continuations are not tokens)
  Colon,
  Name,     // identifier or keyword (see `kw`)
  Number,   // integer or real literal (value holds VT_I2, VT_I4 or VT_R8)
  String,   // value holds VT_BSTR
  Date,     // #...#: value holds VT_DATE
  LParen, RParen, Comma, Dot,
  Eq, Ne, Lt, Gt, Le, Ge,
  Plus, Minus, Star, Slash, Backslash, Caret, Amp,
};

struct Token {
  Tok kind = Tok::End;
  Kw kw = Kw::None;
  bool spaceBefore = false;  // white space separates it from the token before
  int line = 0, column = 0;   // 1-based
  std::u16string text;        // a name as written
  zx::Variant value;          // literals
};

// Raised by the lexer and the parser: a compilation error at a place in the text.
struct CompileError {
  int32_t number;
  int line, column;
};

// Tokens of a whole script, ending with Newline and End. Throws CompileError.
std::vector<Token> tokenize(std::u16string_view text);

// True when a keyword may serve as a name (a variable, a member) outside its own statement.
bool is_contextual(Kw kw);
// The keyword a name spells (any case), or Kw::None.
Kw keyword_of(std::u16string_view name);

}  // namespace zx::script
