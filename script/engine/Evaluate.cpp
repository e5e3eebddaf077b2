// Zentarix — MIT licence.
// Expressions and assignment. Variables are read in place (no copy) wherever the value is only
// looked at, and the common Integer, Long and Double cases of the operators skip the general rules.
#include <cmath>

#include "Builtins.h"
#include "Interpreter.h"
#include "ScriptObject.h"

namespace zx::script {
namespace {

const VARIANT kMissing = [] {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_ERROR;
  v.scode = DISP_E_PARAMNOTFOUND;
  return v;
}();

// Integer results keep Integer while both sides are Integer and it fits, then Long, then Double.
inline void set_whole_sum(int64_t r, bool bothShort, VARIANT& out) { set_whole(out, r, bothShort); }

inline bool is_int(VARTYPE vt) { return vt == VT_I2 || vt == VT_I4; }
inline int64_t int_of(const VARIANT& v) { return v.vt == VT_I2 ? v.iVal : v.lVal; }

// The fast cases of the binary operators; false leaves the general rules to decide.
inline bool fast_binary(Op op, const VARIANT& a, const VARIANT& b, VARIANT& out) {
  if (is_int(a.vt) && is_int(b.vt)) {
    const int64_t x = int_of(a), y = int_of(b);
    const bool bothShort = a.vt == VT_I2 && b.vt == VT_I2;
    switch (op) {
      case Op::Add: set_whole_sum(x + y, bothShort, out); return true;
      case Op::Sub: set_whole_sum(x - y, bothShort, out); return true;
      case Op::Mul: set_whole_sum(x * y, bothShort, out); return true;
      case Op::IntDiv: if (y == 0) return false; set_whole_sum(x / y, bothShort, out); return true;
      case Op::Mod: if (y == 0) return false; set_whole_sum(x % y, bothShort, out); return true;
      case Op::Eq: set_bool(out, x == y); return true;
      case Op::Ne: set_bool(out, x != y); return true;
      case Op::Lt: set_bool(out, x < y); return true;
      case Op::Gt: set_bool(out, x > y); return true;
      case Op::Le: set_bool(out, x <= y); return true;
      case Op::Ge: set_bool(out, x >= y); return true;
      default: return false;
    }
  }
  const bool ad = a.vt == VT_R8 || is_int(a.vt), bd = b.vt == VT_R8 || is_int(b.vt);
  if (ad && bd && (a.vt == VT_R8 || b.vt == VT_R8)) {
    const double x = a.vt == VT_R8 ? a.dblVal : static_cast<double>(int_of(a));
    const double y = b.vt == VT_R8 ? b.dblVal : static_cast<double>(int_of(b));
    double r;
    switch (op) {
      case Op::Add: r = x + y; break;
      case Op::Sub: r = x - y; break;
      case Op::Mul: r = x * y; break;
      case Op::Div: if (y == 0) return false; r = x / y; break;
      case Op::Eq: set_bool(out, x == y); return true;
      case Op::Ne: set_bool(out, x != y); return true;
      case Op::Lt: set_bool(out, x < y); return true;
      case Op::Gt: set_bool(out, x > y); return true;
      case Op::Le: set_bool(out, x <= y); return true;
      case Op::Ge: set_bool(out, x >= y); return true;
      default: return false;
    }
    if (!std::isfinite(r)) return false;
    out.vt = VT_R8;
    out.dblVal = r;
    return true;
  }
  if (op == Op::Div && is_int(a.vt) && is_int(b.vt)) return false;
  return false;
}

bool is_slot(const Expr* e) {
  return e->kind == ExprKind::Local || e->kind == ExprKind::Global || e->kind == ExprKind::Field;
}

}  // namespace

VARIANT* Interpreter::slot_of(const Expr* e) {
  switch (e->kind) {
    case ExprKind::Local: return target_of(&m_frame->locals[e->slot]);
    case ExprKind::Global: return target_of(&m_globals[e->slot]);
    case ExprKind::Field: return target_of(&m_frame->me->fields()[e->slot]);
    case ExprKind::Undefined: raise_error(kErrUndefined, e->name);
    default: raise_error(kErrTypeMismatch, e->name);
  }
}

void Interpreter::indices_of(const std::vector<Expr*>& args, Indices& out) {
  if (args.size() > kMaxDimensions) raise_error(kErrSubscript);
  out.n = 0;
  for (const Expr* a : args) {
    if (!a) raise_error(kErrSubscript);
    Value tmp;
    out.v[out.n++] = to_long(*peek(a, tmp));
  }
}

const VARIANT* Interpreter::peek(const Expr* e, VARIANT& tmp) {
  switch (e->kind) {
    case ExprKind::Literal: return &e->value;
    case ExprKind::Local: return target_of(&m_frame->locals[e->slot]);
    case ExprKind::Global: return target_of(&m_globals[e->slot]);
    case ExprKind::Field: return target_of(&m_frame->me->fields()[e->slot]);
    default: eval(e, tmp); return &tmp;
  }
}

void Interpreter::eval(const Expr* e, VARIANT& out) {
  switch (e->kind) {
    case ExprKind::Literal: return copy_value(out, e->value);
    case ExprKind::Local: case ExprKind::Global: case ExprKind::Field: return copy_value(out, *slot_of(e));
    case ExprKind::Me:
      out.vt = VT_DISPATCH;
      out.pdispVal = m_frame->me;
      m_frame->me->AddRef();
      return;
    case ExprKind::Binary: return binary(e, out);
    case ExprKind::Negate: {
      Value tmp;
      const VARIANT* a = peek(e->left, tmp);
      if (a->vt == VT_I4 && a->lVal != INT32_MIN) return set_long(out, -a->lVal);
      if (a->vt == VT_R8) return set_double(out, -a->dblVal);
      return negate(*a, out);
    }
    case ExprKind::Not: {
      Value tmp;
      return logical_not(*peek(e->left, tmp), out);
    }
    case ExprKind::Paren: return eval(e->left, out);
    case ExprKind::Index: return index(e, nullptr, false, &out);
    case ExprKind::CallProc: return call(e, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &out);
    case ExprKind::CallBuiltin: return builtin(e, out);
    case ExprKind::Member: return member(e, DISPATCH_METHOD | DISPATCH_PROPERTYGET, nullptr, &out);
    case ExprKind::MeMember: return me_member(e, DISPATCH_METHOD | DISPATCH_PROPERTYGET, nullptr, &out);
    case ExprKind::New:
      if (!e->cls) raise_error(kErrCannotCreate, e->name);
      return instantiate(e->cls, out);
    case ExprKind::Undefined: raise_error(kErrUndefined, e->name);
    case ExprKind::Name: case ExprKind::Unknown: raise_error(kErrTypeMismatch, e->name);
  }
}

void Interpreter::binary(const Expr* e, VARIANT& out) {
  Value lt, rt;
  // A variable on the left is read in place unless the right side may change it meanwhile.
  const VARIANT* a;
  if (e->right->sideEffects && is_slot(e->left)) {
    eval(e->left, lt);
    a = &lt;
  } else {
    a = peek(e->left, lt);
  }
  const VARIANT* b = peek(e->right, rt);
  if (fast_binary(e->op, *a, *b, out)) return;
  switch (e->op) {
    case Op::Concat: return concatenate(*a, *b, out);
    case Op::Eq: case Op::Ne: case Op::Lt: case Op::Gt: case Op::Le: case Op::Ge: return compare(e->op, *a, *b, out);
    case Op::Is: return set_bool(out, same_object(*a, *b));
    case Op::And: case Op::Or: case Op::Xor: case Op::Eqv: case Op::Imp:
      if (a->vt == VT_BOOL && b->vt == VT_BOOL) {
        const bool x = a->boolVal != 0, y = b->boolVal != 0;
        switch (e->op) {
          case Op::And: return set_bool(out, x && y);
          case Op::Or: return set_bool(out, x || y);
          case Op::Xor: return set_bool(out, x != y);
          case Op::Eqv: return set_bool(out, x == y);
          default: return set_bool(out, !x || y);
        }
      }
      return logical(e->op, *a, *b, out);
    default: return arithmetic(e->op, *a, *b, out);
  }
}

// An element of the array in a variable, or the default member of the object in it: read into
// `out`, or, given a value, written.
void Interpreter::index(const Expr* e, VARIANT* value, bool isSet, VARIANT* out) {
  const VARIANT* base = slot_of(e->left);
  if (base->vt & VT_ARRAY) {
    Indices at;
    indices_of(e->args, at);
    if (value) return write_element(*slot_of(e->left), at.v, at.n, *value);
    return read_element(*slot_of(e->left), at.v, at.n, *out);
  }
  if (is_object(*base)) {
    ArgList args(*this, e->args);
    const WORD flags = !value ? DISPATCH_METHOD | DISPATCH_PROPERTYGET : isSet ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT;
    return invoke_object(*slot_of(e->left), std::u16string(), e, flags, args.data(), args.size(), value, out);
  }
  raise_error(kErrTypeMismatch, e->left->name);
}

void Interpreter::builtin(const Expr* e, VARIANT& out) {
  const Builtin* b = e->builtin;
  const int n = static_cast<int>(e->args.size());
  if (n < b->minArgs || (b->maxArgs >= 0 && n > b->maxArgs)) raise_error(kErrWrongArgCount, e->name);
  const VariantStack::Mark mark = m_stack.mark();
  VARIANT* tmp = m_stack.push(static_cast<size_t>(n));
  struct Cleanup {
    Interpreter& in;
    VariantStack::Mark mark;
    VARIANT* tmp;
    int n;
    ~Cleanup() {
      for (int i = 0; i < n; ++i) clear_value(tmp[i]);
      in.m_stack.release(mark);
    }
  } cleanup{*this, mark, tmp, n};
  const VARIANT* small[8];
  std::vector<const VARIANT*> large;
  const VARIANT** args = small;
  if (n > 8) {
    large.resize(static_cast<size_t>(n));
    args = large.data();
  }
  for (int i = 0; i < n; ++i) args[i] = e->args[i] ? peek(e->args[i], tmp[i]) : &kMissing;
  b->fn(*this, args, n, out);
}

void Interpreter::instantiate(const ClassDef* cls, VARIANT& out) {
  zx::ComPtr<ScriptObject> obj(new ScriptObject(this, cls));
  init_arrays(obj->fields(), cls->fixedArrays, cls->dynamicArrays);
  if (cls->initialize) invoke_proc(cls->initialize, obj.get(), nullptr, 0, nullptr);
  out.vt = VT_DISPATCH;
  out.pdispVal = obj.detach();
}

void Interpreter::store(VARIANT* slot, VARIANT& value) {
  if (is_locked(*slot)) raise_error(kErrArrayLocked);
  // The old value goes after the new one is in place: releasing it may run Class_Terminate, which
  // must see the variable's new value.
  VARIANT old = *slot;
  *slot = value;
  value.vt = VT_EMPTY;
  clear_value(old);
}

void Interpreter::assign(const Expr* t, VARIANT& value, bool isSet) {
  const bool variable = is_slot(t) || t->kind == ExprKind::Index;
  if (isSet) {
    if (!is_object(value)) raise_error(kErrObjectRequired, t->name);
  } else if (variable && is_object(value)) {
    // A plain assignment of an object takes the object's default value.
    Value v;
    default_value(value, v);
    clear_value(value);
    value = v.release();
  }
  switch (t->kind) {
    case ExprKind::Local: case ExprKind::Global: case ExprKind::Field:
      if (t->readOnly) raise_error(kErrIllegalAssignment, t->name);
      return store(slot_of(t), value);
    case ExprKind::Index:  // a host's object may not be replaced, but its default member takes values
      return index(t, &value, isSet, nullptr);
    case ExprKind::Member:
      return member(t, isSet ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT, &value, nullptr);
    case ExprKind::MeMember:
      return me_member(t, isSet ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT, &value, nullptr);
    case ExprKind::Undefined: raise_error(kErrUndefined, t->name);
    default: raise_error(kErrIllegalAssignment, t->name);
  }
}

}  // namespace zx::script
