// Zentarix — MIT licence.
// The syntax tree the parser builds and the resolver binds: names become slots before anything runs.
#pragma once
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "zx/com.h"

namespace zx::script {

struct Procedure;
struct ClassDef;
struct Builtin;

enum class Op : uint8_t {
  Add, Sub, Mul, Div, IntDiv, Mod, Pow, Concat,
  Eq, Ne, Lt, Gt, Le, Ge, Is,
  And, Or, Xor, Eqv, Imp,
};

enum class ExprKind : uint8_t {
  Name,        // an identifier, before the resolver binds it (args: a call or an index)
  Literal,     // value
  Local,       // slot in the running procedure's frame
  Global,      // slot among the program's globals
  Field,       // slot in Me's fields
  Me,
  Negate,      // left
  Not,         // left
  Binary,      // op, left, right
  Paren,       // left: a parenthesised expression, always passed by value
  Index,       // left (a Local/Global/Field variable) (args): array element or the object's default member
  CallProc,    // proc (args)
  CallBuiltin, // builtin (args)
  Member,      // left.name (args); left null: the innermost With object (withSlot)
  MeMember,    // a member of Me's own class by index (fields excluded)
  New,         // cls
  Undefined,   // a name Option Explicit refuses: error 500 when evaluated
  Unknown,     // a call of a name nothing defines: error 13 when evaluated
};

// A member lookup remembered at one call site (script objects of one class).
struct MemberCache {
  const ClassDef* cls = nullptr;
  int member = -1;
};

struct Expr {
  ExprKind kind = ExprKind::Name;
  Op op = Op::Add;
  bool hasArgs = false;    // written with an argument list (possibly empty)
  bool readOnly = false;   // a Global that scripts may not assign (host objects, Err)
  bool sideEffects = false;  // evaluating it may run code (calls, members, defaults)
  bool fixedArray = false;  // a variable declared with bounds: ReDim refuses it
  int line = 0, column = 0;
  int slot = -1;           // Local/Global/Field; the With slot for Member with a null object
  int withLocal = 0;       // the With slot is a Local (1) or a Global (0)
  std::u16string name;     // as written: names, members, the callee
  zx::Variant value;       // Literal
  Expr* left = nullptr;
  Expr* right = nullptr;
  std::vector<Expr*> args;  // null entries are omitted arguments
  Procedure* proc = nullptr;
  ClassDef* cls = nullptr;
  const Builtin* builtin = nullptr;
  mutable MemberCache cache;
};

enum class StmtKind : uint8_t {
  Call,        // expr: a call, a member, an index or a name used as a statement
  Assign,      // target = value
  Set,         // Set target = value
  If,          // arms, elseBody
  Select,      // expr, cases, elseBody
  For,         // target = value To end [Step step]: body
  ForEach,     // For Each target In value: body
  Do,          // Do [While|Until expr] body Loop [While|Until expr]
  Exit,        // exitKind
  With,        // With value: body; target is the With slot
  OnErrorResumeNext,
  OnErrorGoto0,
  ReDim,       // redims
  Erase,       // targets
  Nop,         // declarations: Dim, Const, Option Explicit
};

enum class ExitKind : uint8_t { Do, For, Sub, Function, Property };

struct Stmt;
using Block = std::vector<Stmt*>;

struct IfArm {
  Expr* cond;
  Block body;
};

struct CaseTest {
  enum Kind : uint8_t { Value, Range, Compare } kind = Value;
  Op op = Op::Eq;  // Compare: Is <op> a
  Expr* a = nullptr;
  Expr* b = nullptr;  // Range: a To b
};

struct CaseArm {
  std::vector<CaseTest> tests;
  Block body;
};

struct ReDimItem {
  Expr* target;
  std::vector<Expr*> bounds;  // upper bounds, one per dimension
};

struct Stmt {
  StmtKind kind = StmtKind::Nop;
  int line = 0, column = 0;
  Expr* target = nullptr;
  Expr* value = nullptr;
  Expr* end = nullptr;   // For
  Expr* step = nullptr;  // For
  Expr* cond = nullptr;  // Do
  bool condFirst = false, condUntil = false;  // Do
  ExitKind exitKind = ExitKind::Do;
  bool preserve = false;  // ReDim
  Block body, elseBody;
  std::vector<IfArm> arms;
  std::vector<CaseArm> cases;
  std::vector<ReDimItem> redims;
  std::vector<Expr*> targets;  // Erase
};

// A name a scope declares: a variable (with fixed bounds, or `()` for a dynamic array) or a constant.
struct Declaration {
  std::u16string name;
  int line = 0, column = 0;
  bool isPublic = true;
  Expr* constant = nullptr;  // a Const's literal
  bool dynamicArray = false;  // Dim a()
  std::vector<int32_t> upper;  // Dim a(3, 4)
};

// A variable declared with fixed bounds (Dim a(3, 4)): its array exists from the scope's start.
struct FixedArray {
  int slot;
  std::vector<int32_t> upper;
};

enum class ProcKind : uint8_t { Sub, Function, PropertyGet, PropertyLet, PropertySet };

struct Param {
  std::u16string name;
  bool byVal = false;
};

struct Procedure {
  ProcKind kind = ProcKind::Sub;
  std::u16string name;
  bool isPublic = true;
  bool isDefault = false;
  int line = 0, column = 0;
  std::vector<Param> params;  // slots 1..n
  Block body;
  std::vector<Declaration> decls;
  int localCount = 1;  // slot 0 holds the return value
  std::vector<FixedArray> fixedArrays;
  std::vector<int> dynamicArrays;  // slots declared `Dim a()`
  ClassDef* owner = nullptr;
  // Names the resolver bound in this scope (lower case): locals and constants.
  std::unordered_map<std::u16string, int> locals;
  std::unordered_map<std::u16string, Expr*> constants;
};

// One name of a class: a field, a method, or up to three property accessors.
struct ClassMember {
  std::u16string name;
  bool isPublic = true;
  int field = -1;  // a field's slot
  Procedure* method = nullptr;  // Sub or Function
  Procedure* get = nullptr;
  Procedure* let = nullptr;
  Procedure* set = nullptr;
};

struct ClassDef {
  std::u16string name;
  int line = 0, column = 0;
  std::vector<ClassMember> members;
  std::unordered_map<std::u16string, int> memberIndex;  // lower-case name -> members[]
  std::vector<Declaration> fieldDecls;
  int fieldCount = 0;
  std::vector<FixedArray> fixedArrays;  // fields declared with bounds
  std::vector<int> dynamicArrays;
  int defaultMember = -1;
  Procedure* initialize = nullptr;
  Procedure* terminate = nullptr;
};

struct GlobalInfo {
  std::u16string name;
  bool readOnly = false;
};

// A compiled script: the tree, its procedures and classes, and the global slots it needs.
struct Program {
  std::u16string name;  // the script's file name, for messages
  bool optionExplicit = false;
  Block main;
  std::vector<Declaration> globalDecls;
  std::vector<std::unique_ptr<Procedure>> procedures;
  std::vector<std::unique_ptr<ClassDef>> classes;
  std::vector<GlobalInfo> globals;
  std::vector<FixedArray> fixedArrays;  // global ones
  std::vector<int> dynamicArrays;
  std::deque<Expr> exprs;  // every node, at stable addresses
  std::deque<Stmt> stmts;

  Expr* expr(ExprKind kind, int line, int column) {
    Expr& e = exprs.emplace_back();
    e.kind = kind;
    e.line = line;
    e.column = column;
    return &e;
  }
  Stmt* stmt(StmtKind kind, int line, int column) {
    Stmt& s = stmts.emplace_back();
    s.kind = kind;
    s.line = line;
    s.column = column;
    return &s;
  }
};

// Names compare without regard to case: the resolver's maps hold them folded.
std::u16string fold_name(std::u16string_view name);

}  // namespace zx::script
