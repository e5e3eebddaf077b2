// Zentarix — MIT licence.
// Statements: blocks with On Error Resume Next, conditionals, loops, With, ReDim and Erase.
#include "Interpreter.h"

#include "ErrObject.h"
#include "ScriptObject.h"

namespace zx::script {

// ---- the variable stack -----------------------------------------------------------------------

VARIANT* VariantStack::push(size_t n) {
  if (m_chunks.empty() || m_top + n > m_sizes[m_chunk]) {
    // The next chunk that can hold n values (a frame never spans two chunks).
    size_t next = m_chunks.empty() ? 0 : m_chunk + 1;
    while (next < m_chunks.size() && m_sizes[next] < n) ++next;
    if (next == m_chunks.size()) {
      const size_t size = std::max(kChunk, n);
      m_chunks.emplace_back(new VARIANT[size]);
      m_sizes.push_back(size);
    }
    m_chunk = next;
    m_top = 0;
  }
  VARIANT* p = m_chunks[m_chunk].get() + m_top;
  for (size_t i = 0; i < n; ++i) p[i].vt = VT_EMPTY;
  m_top += n;
  return p;
}

// ---- life of the interpreter ----------------------------------------------------------------

Interpreter::Interpreter(Program& program, int maxDepth) : m_program(program), m_maxDepth(maxDepth) {
  m_globals.resize(program.globals.size());
  for (auto& g : m_globals) g.vt = VT_EMPTY;
  m_err = new ErrObject();
  m_err->AddRef();
  init_arrays(m_globals.data(), program.fixedArrays, program.dynamicArrays);
}

Interpreter::~Interpreter() {
  release_globals();
  for (ScriptObject* o : m_objects) o->orphan();
  m_objects.clear();
  m_err->Release();
}

void Interpreter::release_globals() {
  // Objects released here may run Class_Terminate, which may read other globals: clear one at a
  // time, each taken out of its slot first.
  for (auto& g : m_globals) {
    VARIANT old = g;
    g.vt = VT_EMPTY;
    try {
      clear_value(old);
    } catch (...) {
    }
  }
}

void Interpreter::set_global(int slot, const VARIANT& value) {
  Value v;
  copy_value(v, value);
  store(&m_globals[slot], v);
}

IDispatch* Interpreter::err_dispatch() { return m_err; }

void Interpreter::init_arrays(VARIANT* slots, const std::vector<FixedArray>& fixed, const std::vector<int>& dynamic) {
  for (const auto& f : fixed) redim(slots[f.slot], std::vector<LONG>(f.upper.begin(), f.upper.end()), false);
  for (int d : dynamic) {
    clear_value(slots[d]);
    slots[d].vt = VT_ARRAY | VT_VARIANT;
    slots[d].parray = nullptr;
  }
}

void Interpreter::run() {
  m_frame = &m_top;
  const Flow f = exec_block(m_program.main);
  (void)f;
  if (m_pendingStop) raise_pending_stop();
}

void Interpreter::raise_pending_stop() {
  StopRequest stop = *m_pendingStop;
  m_pendingStop.reset();
  throw stop;
}

// ---- statements -------------------------------------------------------------------------------

void Interpreter::record(const ScriptError& e) { m_err->set(e); }

Flow Interpreter::exec_block(const Block& b) {
  // Looked at on entry too, so that a loop with an empty body ends (the loop's line is added below).
  if (m_cancel && m_cancel->load(std::memory_order_relaxed)) throw ScriptCancelled{};
  for (const Stmt* s : b) {
    try {
      const Flow f = exec(s);
      if (f != Flow::Next) return f;
    } catch (ScriptCancelled& at) {
      if (at.line == 0) at = {s->line, s->column};
      throw;
    } catch (ScriptError& e) {
      if (e.line == 0) {
        e.line = s->line;
        e.column = s->column;
      }
      if (!m_frame->resumeNext) throw;
      record(e);
    } catch (const std::bad_alloc&) {
      if (!m_frame->resumeNext) raise_error(kErrOutOfMemory);
      ScriptError e;
      e.number = kErrOutOfMemory;
      e.description = error_text(kErrOutOfMemory);
      e.source = kRuntimeSource;
      record(e);
    }
  }
  return Flow::Next;
}

bool Interpreter::condition(const Expr* e) {
  Value tmp;
  return to_condition(*peek(e, tmp));
}

Flow Interpreter::exec(const Stmt* s) {
  switch (s->kind) {
    case StmtKind::Call: {
      Value ignored;
      const Expr* e = s->value;
      switch (e->kind) {
        case ExprKind::Member: member(e, DISPATCH_METHOD | DISPATCH_PROPERTYGET, nullptr, &ignored); break;
        case ExprKind::MeMember: me_member(e, DISPATCH_METHOD | DISPATCH_PROPERTYGET, nullptr, &ignored); break;
        case ExprKind::Local: case ExprKind::Global: case ExprKind::Field: {
          // A variable alone as a statement calls the default member of the object it holds.
          const VARIANT* v = slot_of(e);
          if (!is_object(*v)) raise_error(kErrTypeMismatch, e->name);
          invoke_object(*v, std::u16string(), e, DISPATCH_METHOD | DISPATCH_PROPERTYGET, nullptr, 0, nullptr, &ignored);
          break;
        }
        default: eval(e, ignored); break;
      }
      if (m_pendingStop) raise_pending_stop();
      return Flow::Next;
    }
    case StmtKind::Assign: case StmtKind::Set: {
      Value v;
      eval(s->value, v);
      assign(s->target, v, s->kind == StmtKind::Set);
      return Flow::Next;
    }
    case StmtKind::If: return exec_if(s);
    case StmtKind::Select: return exec_select(s);
    case StmtKind::For: return exec_for(s);
    case StmtKind::ForEach: return exec_for_each(s);
    case StmtKind::Do: return exec_do(s);
    case StmtKind::Exit:
      switch (s->exitKind) {
        case ExitKind::Do: return Flow::ExitDo;
        case ExitKind::For: return Flow::ExitFor;
        default:
          m_err->clear();  // leaving a procedure with Exit clears Err
          return Flow::ExitProc;
      }
    case StmtKind::With: {
      VARIANT* slot = s->target->kind == ExprKind::Local ? &m_frame->locals[s->target->slot] : &m_globals[s->target->slot];
      Value obj;
      eval(s->value, obj);
      store(slot, obj);
      struct Release {
        Interpreter& in;
        VARIANT* slot;
        ~Release() {
          Value none;
          in.store(slot, none);
        }
      } release{*this, slot};
      return exec_block(s->body);
    }
    case StmtKind::OnErrorResumeNext:
      m_err->clear();
      m_frame->resumeNext = true;
      return Flow::Next;
    case StmtKind::OnErrorGoto0:
      m_err->clear();
      m_frame->resumeNext = false;
      return Flow::Next;
    case StmtKind::ReDim: exec_redim(s); return Flow::Next;
    case StmtKind::Erase: exec_erase(s); return Flow::Next;
    case StmtKind::Nop: return Flow::Next;
  }
  return Flow::Next;
}

Flow Interpreter::exec_if(const Stmt* s) {
  for (const IfArm& arm : s->arms) {
    bool taken;
    try {
      taken = condition(arm.cond);
    } catch (ScriptError& e) {
      // Under On Error Resume Next a failing condition goes on with the next statement, which is
      // the first one of its branch.
      if (!m_frame->resumeNext) throw;
      e.line = arm.cond->line;
      e.column = arm.cond->column;
      record(e);
      taken = true;
    }
    if (taken) return exec_block(arm.body);
  }
  return exec_block(s->elseBody);
}

Flow Interpreter::exec_select(const Stmt* s) {
  Value subject;
  eval(s->value, subject);
  auto holds = [&](Op op, const Expr* e) {
    Value tmp, r;
    compare(op, subject, *peek(e, tmp), r);
    return r.vt == VT_BOOL && r.boolVal;
  };
  for (const CaseArm& arm : s->cases)
    for (const CaseTest& t : arm.tests) {
      bool hit = false;
      switch (t.kind) {
        case CaseTest::Value: hit = holds(Op::Eq, t.a); break;
        case CaseTest::Range: hit = holds(Op::Ge, t.a) && holds(Op::Le, t.b); break;
        case CaseTest::Compare: hit = holds(t.op, t.a); break;
      }
      if (hit) return exec_block(arm.body);
    }
  return exec_block(s->elseBody);
}

namespace {

bool small_integer(const VARIANT& v) { return v.vt == VT_I2 || v.vt == VT_I4; }
int64_t integer_of(const VARIANT& v) { return v.vt == VT_I2 ? v.iVal : v.lVal; }

}  // namespace

Flow Interpreter::exec_for(const Stmt* s) {
  // The bounds and the step are read once, before the first pass.
  Value start, end, step;
  eval(s->value, start);
  eval(s->end, end);
  if (s->step) {
    eval(s->step, step);
  } else {
    step.vt = VT_I2;
    step.iVal = 1;
  }
  const double endValue = to_double(end), stepValue = to_double(step);
  const bool down = stepValue < 0;
  store(slot_of(s->target), start);
  const bool intBounds = small_integer(end) && small_integer(step);
  const int64_t endInt = intBounds ? integer_of(end) : 0, stepInt = intBounds ? integer_of(step) : 0;
  for (;;) {
    VARIANT* var = slot_of(s->target);
    if (intBounds && small_integer(*var)) {
      const int64_t v = integer_of(*var);
      if (down ? v < endInt : v > endInt) break;
    } else {
      const double v = to_double(*var);
      if (down ? v < endValue : v > endValue) break;
    }
    const Flow f = exec_block(s->body);
    if (f == Flow::ExitFor) break;
    if (f != Flow::Next) return f;
    var = slot_of(s->target);
    if (intBounds && small_integer(*var)) {
      const int64_t next = integer_of(*var) + stepInt;
      if (var->vt == VT_I2 && step.vt == VT_I2 && next >= INT16_MIN && next <= INT16_MAX) {
        var->iVal = static_cast<SHORT>(next);
        continue;
      }
      if (next >= INT32_MIN && next <= INT32_MAX) {
        var->vt = VT_I4;
        var->lVal = static_cast<LONG>(next);
        continue;
      }
    }
    Value sum;
    arithmetic(Op::Add, *var, step, sum);
    store(slot_of(s->target), sum);
  }
  return Flow::Next;
}

Flow Interpreter::exec_for_each(const Stmt* s) {
  auto iterate_array = [&](const VARIANT& array) -> Flow {
    ArrayLock lock(array.parray);
    const size_t n = element_count(array.parray);
    for (size_t i = 0; i < n; ++i) {
      Value item;
      element_at(array, i, item);
      store(slot_of(s->target), item);
      const Flow f = exec_block(s->body);
      if (f == Flow::ExitFor) break;
      if (f != Flow::Next) return f;
    }
    return Flow::Next;
  };
  const ExprKind k = s->value->kind;
  if (k == ExprKind::Local || k == ExprKind::Global || k == ExprKind::Field) {
    // An array in a variable is walked where it is, locked against ReDim meanwhile.
    const VARIANT* v = slot_of(s->value);
    if (v->vt & VT_ARRAY) return iterate_array(*v);
  }
  Value collection;
  eval(s->value, collection);
  if (collection.vt & VT_ARRAY) return iterate_array(collection);
  if (!is_object(collection) || !collection.punkVal) raise_error(kErrNotCollection);
  if (ScriptObject::from(collection.punkVal)) raise_error(kErrNotCollection);
  zx::ComPtr<IDispatch> disp;
  if (FAILED(collection.punkVal->QueryInterface(IID_IDispatch, disp.put_void()))) raise_error(kErrNotCollection);
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  EXCEPINFO info{};
  Value enumerator;
  HRESULT hr = disp->Invoke(DISPID_NEWENUM, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none,
                            &enumerator, &info, nullptr);
  if (hr == DISP_E_MEMBERNOTFOUND || hr == DISP_E_UNKNOWNNAME) raise_error(kErrNotCollection);
  if (FAILED(hr)) raise_call_error(hr, &info, u"_NewEnum");
  zx::ComPtr<IEnumVARIANT> items;
  if (!is_object(enumerator) || !enumerator.punkVal ||
      FAILED(enumerator.punkVal->QueryInterface(IID_IEnumVARIANT, items.put_void())))
    raise_error(kErrNotCollection);
  for (;;) {
    Value item;
    ULONG fetched = 0;
    hr = items->Next(1, &item, &fetched);
    if (FAILED(hr)) raise_call_error(hr, nullptr, {});
    if (fetched == 0) break;
    store(slot_of(s->target), item);
    const Flow f = exec_block(s->body);
    if (f == Flow::ExitFor) break;
    if (f != Flow::Next) return f;
  }
  return Flow::Next;
}

Flow Interpreter::exec_do(const Stmt* s) {
  for (;;) {
    if (s->condFirst && s->cond && condition(s->cond) == s->condUntil) break;
    const Flow f = exec_block(s->body);
    if (f == Flow::ExitDo) break;
    if (f != Flow::Next) return f;
    if (!s->condFirst && s->cond && condition(s->cond) == s->condUntil) break;
  }
  return Flow::Next;
}

void Interpreter::exec_redim(const Stmt* s) {
  for (const ReDimItem& item : s->redims) {
    VARIANT* slot = slot_of(item.target);
    if (item.target->fixedArray) raise_error(kErrArrayLocked);
    std::vector<LONG> upper;
    for (const Expr* b : item.bounds) {
      Value tmp;
      upper.push_back(to_long(*peek(b, tmp)));
    }
    redim(*slot, upper, s->preserve);
  }
}

void Interpreter::exec_erase(const Stmt* s) {
  for (const Expr* t : s->targets) {
    VARIANT* slot = slot_of(t);
    if (!(slot->vt & VT_ARRAY)) raise_error(kErrTypeMismatch, t->name);
    if (is_locked(*slot)) raise_error(kErrArrayLocked);
    if (t->fixedArray) {  // a fixed array keeps its size; its elements go back to Empty
      const size_t n = element_count(slot->parray);
      auto* items = static_cast<VARIANT*>(slot->parray->pvData);
      for (size_t i = 0; i < n; ++i) clear_value(items[i]);
      continue;
    }
    VARIANT old = *slot;
    slot->vt = VT_ARRAY | VT_VARIANT;
    slot->parray = nullptr;
    clear_value(old);
  }
}

}  // namespace zx::script
