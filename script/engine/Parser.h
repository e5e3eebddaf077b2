// Zentarix — MIT licence.
// The parser: tokens to the syntax tree, with the language's compilation errors at their places.
#pragma once
#include <string_view>

#include "Ast.h"
#include "Lexer.h"

namespace zx::script {

// Parses a whole script into `program` (statements, procedures, classes, declarations; names are
// left unbound for the resolver). Throws CompileError.
void parse_program(std::u16string_view text, Program& program);

}  // namespace zx::script
