// Zentarix — MIT licence.
// Name binding: runs once after parsing, so that the evaluator works on slots and pointers only.
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "Ast.h"

namespace zx::script {

// Constants a host gives scripts (a type library's enumerations), by folded name.
using HostConstants = std::unordered_map<std::u16string, int32_t>;

// Binds the parsed program. `namedItems` (the host's objects and Err) take the first global slots,
// in order, and scripts may not assign them. `constants` are found after the language's own, so a
// script's declaration of the same name wins. Throws CompileError.
void resolve(Program& program, const std::vector<std::u16string>& namedItems, const HostConstants& constants = {});

}  // namespace zx::script
