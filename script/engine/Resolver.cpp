// Zentarix — MIT licence.
// Binds every name to what it means before the script runs: a frame, global or field slot, a
// procedure, a class member, a built-in or a constant. The evaluator then never looks a name up.
#include "Resolver.h"

#include <cwctype>

#include "Builtins.h"
#include "Lexer.h"
#include "ScriptError.h"

namespace zx::script {

std::u16string fold_name(std::u16string_view name) {
  std::u16string out(name);
  for (auto& c : out)
    if (c < 0x80) {
      if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    } else {
      c = static_cast<char16_t>(std::towlower(c));
    }
  return out;
}

namespace {

struct GlobalName {
  enum Kind { Var, Const, Proc, Class } kind;
  int slot = -1;
  bool readOnly = false;
  Expr* constant = nullptr;
  Procedure* proc = nullptr;
  ClassDef* cls = nullptr;
};

struct Scope {
  Procedure* proc = nullptr;  // null: the script's own code
  ClassDef* cls = nullptr;
  std::vector<Expr*> withs;  // the slots of the enclosing With statements, innermost last
};

[[noreturn]] void fail(int32_t number, int line, int column) { throw CompileError{number, line, column}; }

class Resolver {
 public:
  Resolver(Program& p, const HostConstants& constants) : m_p(p), m_hostConstants(constants) {}

  void run(const std::vector<std::u16string>& namedItems) {
    for (const auto& n : namedItems) add_global(n, true, 0, 0);
    for (const auto& d : m_p.globalDecls) declare_global(d);
    for (auto& proc : m_p.procedures) {
      if (proc->owner) continue;
      if (!m_globals.emplace(fold_name(proc->name), GlobalName{GlobalName::Proc, -1, false, nullptr, proc.get()}).second)
        fail(kErrNameRedefined, proc->line, proc->column);
    }
    for (auto& cls : m_p.classes) {
      GlobalName g{GlobalName::Class};
      g.cls = cls.get();
      if (!m_globals.emplace(fold_name(cls->name), g).second) fail(kErrNameRedefined, cls->line, cls->column);
      build_class(*cls);
    }
    for (auto& proc : m_p.procedures) frame_of(*proc);

    Scope top;
    block(m_p.main, top);
    for (auto& proc : m_p.procedures) {
      Scope s;
      s.proc = proc.get();
      s.cls = proc->owner;
      block(proc->body, s);
    }
  }

 private:
  int add_global(const std::u16string& name, bool readOnly, int line, int column) {
    const int slot = static_cast<int>(m_p.globals.size());
    if (!m_globals.emplace(fold_name(name), GlobalName{GlobalName::Var, slot, readOnly}).second)
      fail(kErrNameRedefined, line, column);
    m_p.globals.push_back({name, readOnly});
    return slot;
  }
  int hidden_global() {
    m_p.globals.push_back({u"", false});
    return static_cast<int>(m_p.globals.size()) - 1;
  }

  void declare_global(const Declaration& d) {
    if (d.constant) {
      GlobalName g{GlobalName::Const};
      g.constant = d.constant;
      if (!m_globals.emplace(fold_name(d.name), g).second) fail(kErrNameRedefined, d.line, d.column);
      return;
    }
    const int slot = add_global(d.name, false, d.line, d.column);
    if (!d.upper.empty()) m_p.fixedArrays.push_back({slot, d.upper});
    if (d.dynamicArray) m_p.dynamicArrays.push_back(slot);
  }

  void build_class(ClassDef& cls) {
    auto member = [&](const std::u16string& name, int line, int column, bool fresh) -> ClassMember& {
      const std::u16string key = fold_name(name);
      auto it = cls.memberIndex.find(key);
      if (it != cls.memberIndex.end()) {
        if (fresh) fail(kErrNameRedefined, line, column);
        return cls.members[it->second];
      }
      cls.memberIndex.emplace(key, static_cast<int>(cls.members.size()));
      cls.members.push_back({});
      cls.members.back().name = name;
      return cls.members.back();
    };
    for (const auto& d : cls.fieldDecls) {
      if (d.constant) fail(kErrExpectedStatement, d.line, d.column);
      ClassMember& m = member(d.name, d.line, d.column, true);
      m.isPublic = d.isPublic;
      m.field = cls.fieldCount++;
      if (!d.upper.empty()) cls.fixedArrays.push_back({m.field, d.upper});
      if (d.dynamicArray) cls.dynamicArrays.push_back(m.field);
    }
    for (auto& p : m_p.procedures) {
      if (p->owner != &cls) continue;
      Procedure* proc = p.get();
      const std::u16string key = fold_name(proc->name);
      if (key == u"class_initialize" || key == u"class_terminate") {
        if (!proc->params.empty()) fail(kErrInitTerminateArgs, proc->line, proc->column);
        if (proc->kind != ProcKind::Sub) fail(kErrExpectedSub, proc->line, proc->column);
        (key == u"class_initialize" ? cls.initialize : cls.terminate) = proc;
      }
      const bool isProperty = proc->kind >= ProcKind::PropertyGet;
      const bool exists = cls.memberIndex.count(key) != 0;
      ClassMember& m = member(proc->name, proc->line, proc->column, !isProperty);
      if (exists && (m.field >= 0 || m.method)) fail(kErrNameRedefined, proc->line, proc->column);
      Procedure** slot = proc->kind == ProcKind::PropertyGet ? &m.get
                         : proc->kind == ProcKind::PropertyLet ? &m.let
                         : proc->kind == ProcKind::PropertySet ? &m.set
                                                               : &m.method;
      if (*slot) fail(kErrNameRedefined, proc->line, proc->column);
      *slot = proc;
      m.isPublic = proc->isPublic;
      if (proc->isDefault) {
        if (cls.defaultMember >= 0 && cls.defaultMember != cls.memberIndex[key])
          fail(kErrMultipleDefault, proc->line, proc->column);
        cls.defaultMember = cls.memberIndex[key];
      }
    }
    // A property's accessors take the same arguments (Let and Set one more: the value).
    for (const auto& m : cls.members) {
      const size_t getArgs = m.get ? m.get->params.size() : SIZE_MAX;
      for (const Procedure* put : {m.let, m.set})
        if (put && getArgs != SIZE_MAX && put->params.size() != getArgs + 1)
          fail(kErrPropertyArgCount, put->line, put->column);
    }
  }

  // Slot 0 is the return value, then the parameters, then what the procedure declares.
  void frame_of(Procedure& proc) {
    proc.localCount = 1;
    auto add = [&](const std::u16string& name, int line, int column) {
      if (!proc.locals.emplace(fold_name(name), proc.localCount).second) fail(kErrNameRedefined, line, column);
      return proc.localCount++;
    };
    for (const auto& p : proc.params) add(p.name, proc.line, proc.column);
    for (const auto& d : proc.decls) {
      if (d.constant) {
        if (proc.locals.count(fold_name(d.name)) || !proc.constants.emplace(fold_name(d.name), d.constant).second)
          fail(kErrNameRedefined, d.line, d.column);
        continue;
      }
      const int slot = add(d.name, d.line, d.column);
      if (!d.upper.empty()) proc.fixedArrays.push_back({slot, d.upper});
      if (d.dynamicArray) proc.dynamicArrays.push_back(slot);
    }
  }

  // ---- statements -----------------------------------------------------------------------------
  void block(Block& b, Scope& s) {
    for (Stmt* st : b) statement(*st, s);
  }

  void statement(Stmt& st, Scope& s) {
    switch (st.kind) {
      case StmtKind::Call:
        expr(st.value, s);
        break;
      case StmtKind::Assign: case StmtKind::Set:
        expr(st.target, s);
        expr(st.value, s);
        break;
      case StmtKind::If:
        for (auto& arm : st.arms) {
          expr(arm.cond, s);
          block(arm.body, s);
        }
        block(st.elseBody, s);
        break;
      case StmtKind::Select:
        expr(st.value, s);
        for (auto& c : st.cases) {
          for (auto& t : c.tests) {
            expr(t.a, s);
            if (t.b) expr(t.b, s);
          }
          block(c.body, s);
        }
        block(st.elseBody, s);
        break;
      case StmtKind::For:
        variable(st.target, s, kErrInvalidForVariable);
        expr(st.value, s);
        expr(st.end, s);
        if (st.step) expr(st.step, s);
        block(st.body, s);
        break;
      case StmtKind::ForEach:
        variable(st.target, s, kErrInvalidForVariable);
        expr(st.value, s);
        block(st.body, s);
        break;
      case StmtKind::Do:
        if (st.cond) expr(st.cond, s);
        block(st.body, s);
        break;
      case StmtKind::With: {
        expr(st.value, s);
        st.target = hidden_slot(s, st.line, st.column);
        s.withs.push_back(st.target);
        block(st.body, s);
        s.withs.pop_back();
        break;
      }
      case StmtKind::ReDim:
        for (auto& item : st.redims) {
          // ReDim declares the array when nothing else did.
          if (!bound(item.target->name, s)) declare_implicit(item.target, s);
          variable(item.target, s, kErrExpectedIdentifier);
          for (Expr* b : item.bounds) expr(b, s);
        }
        break;
      case StmtKind::Erase:
        for (Expr* t : st.targets) variable(t, s, kErrExpectedIdentifier);
        break;
      default:
        break;
    }
  }

  Expr* hidden_slot(Scope& s, int line, int column) {
    if (s.proc) {
      Expr* e = m_p.expr(ExprKind::Local, line, column);
      e->slot = s.proc->localCount++;
      return e;
    }
    Expr* e = m_p.expr(ExprKind::Global, line, column);
    e->slot = hidden_global();
    return e;
  }

  // A loop or ReDim variable: a plain variable of the scope (declared on first use).
  void variable(Expr* e, Scope& s, int32_t number) {
    expr(e, s);
    if (e->kind == ExprKind::Undefined) return;  // Option Explicit: error 500 when run
    if ((e->kind != ExprKind::Local && e->kind != ExprKind::Global && e->kind != ExprKind::Field) || e->readOnly)
      fail(number, e->line, e->column);
    const std::vector<FixedArray>& fixed = e->kind == ExprKind::Local    ? s.proc->fixedArrays
                                           : e->kind == ExprKind::Global ? m_p.fixedArrays
                                                                         : s.cls->fixedArrays;
    for (const auto& f : fixed) e->fixedArray = e->fixedArray || f.slot == e->slot;
  }

  bool bound(const std::u16string& name, const Scope& s) {
    const std::u16string key = fold_name(name);
    if (s.proc && (s.proc->locals.count(key) || s.proc->constants.count(key))) return true;
    if (s.cls && s.cls->memberIndex.count(key)) return true;
    return m_globals.count(key) != 0;
  }

  void declare_implicit(Expr* e, Scope& s) {
    const std::u16string key = fold_name(e->name);
    if (s.proc) {
      s.proc->locals.emplace(key, s.proc->localCount++);
    } else {
      m_globals.emplace(key, GlobalName{GlobalName::Var, static_cast<int>(m_p.globals.size())});
      m_p.globals.push_back({e->name, false});
    }
  }

  // ---- expressions ----------------------------------------------------------------------------
  void args(Expr* e, Scope& s) {
    for (Expr* a : e->args)
      if (a) {
        expr(a, s);
        e->sideEffects = e->sideEffects || a->sideEffects;
      }
  }

  void expr(Expr* e, Scope& s) {
    switch (e->kind) {
      case ExprKind::Name: name(e, s); break;
      case ExprKind::Me:
        if (!s.cls) fail(kErrInvalidMe, e->line, e->column);
        break;
      case ExprKind::Negate: case ExprKind::Not: case ExprKind::Paren:
        expr(e->left, s);
        e->sideEffects = e->left->sideEffects;
        break;
      case ExprKind::Binary:
        expr(e->left, s);
        expr(e->right, s);
        e->sideEffects = e->left->sideEffects || e->right->sideEffects;
        break;
      case ExprKind::Member: member(e, s); break;
      case ExprKind::New: {
        auto it = m_globals.find(fold_name(e->name));
        if (it == m_globals.end() || it->second.kind != GlobalName::Class) {
          e->cls = nullptr;  // error 429 when run, as for a class that cannot be made
        } else {
          e->cls = it->second.cls;
        }
        e->sideEffects = true;
        break;
      }
      default: break;
    }
  }

  void to_variable(Expr* e, ExprKind kind, int slot, bool readOnly = false) {
    if (e->hasArgs) {  // an element, or the default member of an object in the variable
      Expr* var = m_p.expr(kind, e->line, e->column);
      var->slot = slot;
      var->name = e->name;
      var->readOnly = readOnly;
      e->kind = ExprKind::Index;
      e->left = var;
    } else {
      e->kind = kind;
      e->slot = slot;
      e->readOnly = readOnly;
    }
  }

  void literal(Expr* e, const Expr* constant) {
    if (e->hasArgs) {
      e->kind = ExprKind::Unknown;  // a constant called like a function
      return;
    }
    e->kind = ExprKind::Literal;
    VariantCopy(&e->value, &constant->value);
  }

  void name(Expr* e, Scope& s) {
    args(e, s);
    const std::u16string key = fold_name(e->name);
    if (Procedure* p = s.proc) {
      if (!e->hasArgs && fold_name(p->name) == key &&
          (p->kind == ProcKind::Function || p->kind == ProcKind::PropertyGet)) {
        e->kind = ExprKind::Local;  // the function's name holds its return value
        e->slot = 0;
        return;
      }
      if (auto it = p->locals.find(key); it != p->locals.end()) return to_variable(e, ExprKind::Local, it->second);
      if (auto it = p->constants.find(key); it != p->constants.end()) return literal(e, it->second);
    }
    if (ClassDef* cls = s.cls) {
      if (auto it = cls->memberIndex.find(key); it != cls->memberIndex.end()) {
        const ClassMember& m = cls->members[it->second];
        if (m.field >= 0) return to_variable(e, ExprKind::Field, m.field);
        e->kind = ExprKind::MeMember;
        e->cls = cls;
        e->slot = it->second;
        e->sideEffects = true;
        return;
      }
    }
    if (auto it = m_globals.find(key); it != m_globals.end()) {
      const GlobalName& g = it->second;
      switch (g.kind) {
        case GlobalName::Var: return to_variable(e, ExprKind::Global, g.slot, g.readOnly);
        case GlobalName::Const: return literal(e, g.constant);
        case GlobalName::Proc:
          e->kind = ExprKind::CallProc;
          e->proc = g.proc;
          e->sideEffects = true;
          return;
        case GlobalName::Class:
          e->kind = ExprKind::Unknown;
          return;
      }
    }
    if (const Builtin* b = find_builtin(key)) {
      e->kind = ExprKind::CallBuiltin;
      e->builtin = b;
      return;
    }
    if (!e->hasArgs && find_constant(key, &e->value)) {
      e->kind = ExprKind::Literal;
      return;
    }
    if (auto it = m_hostConstants.find(key); !e->hasArgs && it != m_hostConstants.end()) {
      e->value.vt = VT_I4;
      e->value.lVal = it->second;
      e->kind = ExprKind::Literal;
      return;
    }
    if (e->hasArgs) {
      e->kind = ExprKind::Unknown;  // a call of nothing defined: error 13 when run
      return;
    }
    if (m_p.optionExplicit) {
      e->kind = ExprKind::Undefined;
      return;
    }
    declare_implicit(e, s);
    name(e, s);
  }

  void member(Expr* e, Scope& s) {
    args(e, s);
    e->sideEffects = true;
    if (!e->left) {
      if (s.withs.empty()) fail(kErrUnqualified, e->line, e->column);
      Expr* slot = s.withs.back();
      e->slot = slot->slot;
      e->withLocal = slot->kind == ExprKind::Local;
      return;
    }
    expr(e->left, s);
    // Me.Name inside the class binds to the member itself, private ones included.
    if (e->left->kind == ExprKind::Me && s.cls && !e->name.empty()) {
      auto it = s.cls->memberIndex.find(fold_name(e->name));
      if (it == s.cls->memberIndex.end()) return;  // error 438 when run
      const ClassMember& m = s.cls->members[it->second];
      if (m.field >= 0) {
        e->left = nullptr;
        to_variable(e, ExprKind::Field, m.field);
        e->sideEffects = false;
        return;
      }
      e->kind = ExprKind::MeMember;
      e->cls = s.cls;
      e->slot = it->second;
      e->left = nullptr;
    }
  }

  Program& m_p;
  const HostConstants& m_hostConstants;
  std::unordered_map<std::u16string, GlobalName> m_globals;
};

}  // namespace

void resolve(Program& program, const std::vector<std::u16string>& namedItems, const HostConstants& constants) {
  Resolver(program, constants).run(namedItems);
}

}  // namespace zx::script
