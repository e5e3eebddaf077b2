// Zentarix — MIT licence.
// The script engine as hosts embed it: give it named objects, compile a script, run it.
#pragma once
#include <memory>
#include <string>
#include <string_view>
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

 private:
  std::vector<std::pair<std::u16string, zx::ComPtr<IDispatch>>> m_objects;
  std::unique_ptr<Program> m_program;
  std::unique_ptr<Interpreter> m_interpreter;
};

}  // namespace zx::script
