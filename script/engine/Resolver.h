// Zentarix — MIT licence.
// Name binding: runs once after parsing, so that the evaluator works on slots and pointers only.
#pragma once
#include <string>
#include <vector>

#include "Ast.h"

namespace zx::script {

// Binds the parsed program. `namedItems` (the host's objects and Err) take the first global slots,
// in order, and scripts may not assign them. Throws CompileError.
void resolve(Program& program, const std::vector<std::u16string>& namedItems);

}  // namespace zx::script
