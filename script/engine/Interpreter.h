// Zentarix — MIT licence.
// The evaluator: runs a bound program over VARIANT slots, with frames on a stack of its own.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <unordered_set>
#include <vector>

#include "Arrays.h"
#include "Ast.h"
#include "Values.h"

namespace zx::script {

class ScriptObject;
class ErrObject;

// Frames' variables live in chunks that never move, so a ByRef alias of a caller's variable stays
// valid for the whole call, and a call allocates nothing from the heap once the chunks exist.
class VariantStack {
 public:
  struct Mark {
    size_t chunk, top;
  };
  VariantStack() = default;
  VariantStack(const VariantStack&) = delete;
  VariantStack& operator=(const VariantStack&) = delete;
  Mark mark() const { return {m_chunk, m_top}; }
  // n empty VARIANTs, contiguous.
  VARIANT* push(size_t n);
  // Drops what was pushed after `m` (the values must already be cleared).
  void release(Mark m) {
    m_chunk = m.chunk;
    m_top = m.top;
  }

 private:
  static constexpr size_t kChunk = 16384;
  std::vector<std::unique_ptr<VARIANT[]>> m_chunks;
  std::vector<size_t> m_sizes;
  size_t m_chunk = 0, m_top = 0;
};

struct Frame {
  VARIANT* locals = nullptr;
  const Procedure* proc = nullptr;
  ScriptObject* me = nullptr;
  bool resumeNext = false;  // On Error Resume Next is in force in this frame
};

// How a statement ends: on to the next one, or out of a loop or the procedure.
enum class Flow : uint8_t { Next, ExitDo, ExitFor, ExitProc };

class Interpreter;

// The arguments of one call, in script order, on the interpreter's stack. A variable (or an element
// of an array of VARIANTs) is passed as a VT_BYREF|VT_VARIANT alias of its storage, so a ByRef
// parameter or a component's [in, out] argument writes back to it; anything else is a value owned
// here. An array whose element is passed stays locked until the call is over.
class ArgList {
 public:
  ArgList(Interpreter& in, const std::vector<Expr*>& exprs);
  ArgList(const ArgList&) = delete;
  ArgList& operator=(const ArgList&) = delete;
  ~ArgList() { release(); }
  VARIANT* data() { return m_v; }
  int size() const { return m_n; }

 private:
  void release();
  Interpreter& m_in;
  VariantStack::Mark m_mark;
  VARIANT* m_v = nullptr;
  int m_n = 0;
  std::vector<ArrayLock> m_locks;
};

class Interpreter {
 public:
  // `maxDepth` bounds nested procedure calls ("Out of stack space" beyond it).
  Interpreter(Program& program, int maxDepth);
  ~Interpreter();
  Interpreter(const Interpreter&) = delete;
  Interpreter& operator=(const Interpreter&) = delete;

  void set_global(int slot, const VARIANT& value);
  // Runs the script's own code. Throws ScriptError (unhandled) or StopRequest.
  void run();
  // Releases every variable (running Class_Terminate of objects only they held).
  void release_globals();

  ErrObject& err() { return *m_err; }
  // The Err object, as scripts reach it.
  IDispatch* err_dispatch();
  uint32_t& rnd_seed() { return m_rndSeed; }
  float& last_rnd() { return m_lastRnd; }

  // ---- script objects ----
  // Gets, calls or puts member `index` of obj's class. args are in script order; an argument that
  // is a VT_BYREF|VT_VARIANT alias is passed by reference. `value` is the put's value.
  void call_member(ScriptObject* obj, int index, WORD flags, VARIANT* args, int argc, VARIANT* value, VARIANT* result);
  void terminate(ScriptObject* obj);
  // A stop asked for inside a call from a component waits here until control is back with us.
  void defer_stop(const StopRequest& stop) { m_pendingStop = std::make_unique<StopRequest>(stop); }
  // A flag another thread may raise; the script then ends before its next statement.
  void set_cancel_flag(const std::atomic<bool>* flag) { m_cancel = flag; }

  [[noreturn]] void raise_pending_stop();
  bool has_pending_stop() const { return m_pendingStop != nullptr; }

 private:
  friend class ArgList;
  // statements
  Flow exec_block(const Block& b);
  Flow exec(const Stmt* s);
  Flow exec_if(const Stmt* s);
  Flow exec_select(const Stmt* s);
  Flow exec_for(const Stmt* s);
  Flow exec_for_each(const Stmt* s);
  Flow exec_do(const Stmt* s);
  void exec_redim(const Stmt* s);
  void exec_erase(const Stmt* s);
  bool condition(const Expr* e);
  void record(const ScriptError& e);

  // expressions
  void eval(const Expr* e, VARIANT& out);
  const VARIANT* peek(const Expr* e, VARIANT& tmp);
  VARIANT* slot_of(const Expr* e);
  // Evaluates an element's index expressions; error 9 for too many or an omitted one.
  void indices_of(const std::vector<Expr*>& args, Indices& out);
  void binary(const Expr* e, VARIANT& out);
  void index(const Expr* e, VARIANT* value, bool isSet, VARIANT* out);
  void call(const Expr* e, WORD flags, VARIANT* result);
  void member(const Expr* e, WORD flags, VARIANT* value, VARIANT* result);
  void me_member(const Expr* e, WORD flags, VARIANT* value, VARIANT* result);
  void builtin(const Expr* e, VARIANT& out);
  void instantiate(const ClassDef* cls, VARIANT& out);
  void assign(const Expr* target, VARIANT& value, bool isSet);
  void store(VARIANT* slot, VARIANT& value);

  // calls
  void invoke_proc(const Procedure* p, ScriptObject* me, VARIANT* args, int argc, VARIANT* result);
  void invoke_object(const VARIANT& object, const std::u16string& name, const Expr* site, WORD flags, VARIANT* args,
                     int argc, VARIANT* value, VARIANT* result);
  void init_arrays(VARIANT* slots, const std::vector<FixedArray>& fixed, const std::vector<int>& dynamic);
  int member_of(ScriptObject* obj, const std::u16string& name, const Expr* site);

  Program& m_program;
  std::vector<VARIANT> m_globals;
  VariantStack m_stack;
  Frame m_top;
  Frame* m_frame = &m_top;
  int m_depth = 0;
  int m_maxDepth;
  ErrObject* m_err = nullptr;
  uint32_t m_rndSeed = 0x50000;  // the generator's documented starting value
  float m_lastRnd = 0;
  std::unique_ptr<StopRequest> m_pendingStop;
  const std::atomic<bool>* m_cancel = nullptr;
  friend class ScriptObject;
  std::unordered_set<ScriptObject*> m_objects;  // alive instances, told when the interpreter goes
};

}  // namespace zx::script
