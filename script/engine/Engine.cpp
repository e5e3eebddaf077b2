// Zentarix — MIT licence.
// Compile (parse, bind) and run; the Err object and the host's objects become read-only globals.
#include "Engine.h"

#include <pthread.h>

#include "Ast.h"
#include "Interpreter.h"
#include "Parser.h"
#include "Resolver.h"

namespace zx::script {
namespace {

// Stack a nested procedure call may take, with room for the statements and expressions between
// two calls. Sanitizer builds keep large frames, so they get fewer levels from the same stack.
#if defined(__SANITIZE_ADDRESS__)
constexpr size_t kBytesPerCall = 48 * 1024;
#else
constexpr size_t kBytesPerCall = 6 * 1024;
#endif
constexpr size_t kReservedStack = 256 * 1024;  // for the host and the outermost frames

size_t thread_stack_size() {
  pthread_attr_t attr;
  size_t size = 0;
  if (pthread_getattr_np(pthread_self(), &attr) == 0) {
    pthread_attr_getstacksize(&attr, &size);
    pthread_attr_destroy(&attr);
  }
  return size ? size : 8u << 20;
}

}  // namespace

int max_call_depth(size_t stackBytes) {
  const size_t stack = stackBytes ? stackBytes : thread_stack_size();
  if (stack <= kReservedStack + kBytesPerCall) return 1;
  return static_cast<int>(std::min<size_t>((stack - kReservedStack) / kBytesPerCall, 100000));
}

Engine::Engine() = default;

Engine::~Engine() { close(); }

void Engine::add_object(std::u16string name, IDispatch* object) { m_objects.emplace_back(std::move(name), object); }

void Engine::add_constant(std::u16string_view name, int32_t value) { m_constants[fold_name(name)] = value; }

bool Engine::compile(std::u16string_view source, ScriptError* error) {
  auto program = std::make_unique<Program>();
  std::vector<std::u16string> names;
  for (const auto& o : m_objects) names.push_back(o.first);
  names.push_back(u"Err");
  try {
    parse_program(source, *program);
    resolve(*program, names, m_constants);
  } catch (const CompileError& e) {
    if (error) {
      error->number = e.number;
      const char16_t* text = error_text(e.number);
      error->description = text ? text : u"Syntax error";
      error->source = kCompileSource;
      error->detail.clear();
      error->line = e.line;
      error->column = e.column;
    }
    return false;
  }
  m_program = std::move(program);
  m_interpreter = std::make_unique<Interpreter>(*m_program, max_call_depth());
  VARIANT v;
  for (size_t i = 0; i < m_objects.size(); ++i) {
    v.vt = VT_DISPATCH;
    v.pdispVal = m_objects[i].second.get();
    m_interpreter->set_global(static_cast<int>(i), v);
  }
  v.vt = VT_DISPATCH;
  v.pdispVal = m_interpreter->err_dispatch();
  m_interpreter->set_global(static_cast<int>(m_objects.size()), v);
  return true;
}

bool Engine::run(int* exitCode, ScriptError* error) {
  if (exitCode) *exitCode = 0;
  if (!m_interpreter) return false;
  try {
    m_interpreter->run();
    return true;
  } catch (const StopRequest& stop) {
    if (exitCode) *exitCode = stop.exitCode;
    return true;
  } catch (const ScriptError& e) {
    if (error) *error = e;
    return false;
  } catch (const ScriptCancelled& at) {
    if (error) {
      *error = m_timeoutError;
      error->line = at.line;
      error->column = at.column;
    }
    return false;
  } catch (const std::bad_alloc&) {
    if (error) {
      error->number = kErrOutOfMemory;
      error->description = error_text(kErrOutOfMemory);
      error->source = kRuntimeSource;
    }
    return false;
  }
}

void Engine::close() {
  if (m_interpreter) m_interpreter->release_globals();
  m_interpreter.reset();
  m_program.reset();
  m_objects.clear();
}

void Engine::set_cancel_flag(const std::atomic<bool>* flag, ScriptError timeoutError) {
  m_timeoutError = std::move(timeoutError);
  if (m_interpreter) m_interpreter->set_cancel_flag(flag);
}

void Engine::request_stop(int exitCode) {
  if (m_interpreter) m_interpreter->defer_stop(StopRequest{exitCode});
}

}  // namespace zx::script
