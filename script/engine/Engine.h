// Zentarix — MIT licence.
// The script engine as hosts embed it: give it named objects, compile a script, run it.
#pragma once
#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "ScriptError.h"
#include "zx/com.h"

namespace zx::script {

struct Program;
class Interpreter;

// How deep procedure calls may nest on a thread whose stack has `stackBytes` (the calling thread's
// when 0) before a script gets "Out of stack space".
int max_call_depth(size_t stackBytes = 0);

// One script: compile once, run once. Not for use by two threads at a time; separate engines may
// run on separate threads.
class Engine {
 public:
  Engine();
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // An object the script reaches by name (WScript, Response, ...). Add them before compile().
  void add_object(std::u16string name, IDispatch* object);
  // A constant the script reaches by name (a type library's enumeration member); the script's own
  // declaration of the name wins. Add them before compile().
  void add_constant(std::u16string_view name, int32_t value);
  // Parses and binds the script. False, with the error (line and column of the place), when the
  // text is not a valid script; nothing runs then.
  bool compile(std::u16string_view source, ScriptError* error);
  // Runs the compiled script. True when it ran to its end or stopped on request (WScript.Quit,
  // Response.End; *exitCode set); false with the unhandled run-time error.
  bool run(int* exitCode, ScriptError* error);
  // Ends the script's life: its variables are released (Class_Terminate runs for objects only
  // they held). Also done by the destructor.
  void close();
  // Asks the running script to stop once the current call into a host object returns.
  void request_stop(int exitCode);
  // A flag another thread raises to end the script before its next statement (a host's time
  // limit); run() then fails with `timeoutError` at that statement. Set before run().
  void set_cancel_flag(const std::atomic<bool>* flag, ScriptError timeoutError);

 private:
  std::vector<std::pair<std::u16string, zx::ComPtr<IDispatch>>> m_objects;
  std::unordered_map<std::u16string, int32_t> m_constants;  // by folded name
  std::unique_ptr<Program> m_program;
  std::unique_ptr<Interpreter> m_interpreter;
  ScriptError m_timeoutError;
};

}  // namespace zx::script
