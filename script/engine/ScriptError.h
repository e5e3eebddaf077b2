// Zentarix — MIT licence.
// The language's errors: numbers, texts, and the exception that carries a run-time error to a handler.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "oleauto.h"

namespace zx::script {

// Run-time and compilation error numbers, as scripts see them in Err.Number.
enum ErrorNumber : int32_t {
  kErrIllegalCall = 5,
  kErrOverflow = 6,
  kErrOutOfMemory = 7,
  kErrSubscript = 9,
  kErrArrayLocked = 10,
  kErrDivisionByZero = 11,
  kErrTypeMismatch = 13,
  kErrOutOfStack = 28,
  kErrNotDefined = 35,
  kErrInternal = 51,
  kErrFileNotFound = 53,
  kErrObjectNotSet = 91,
  kErrInvalidNull = 94,
  kErrObjectRequired = 424,
  kErrCannotCreate = 429,
  kErrNoSuchMember = 438,
  kErrNotOptional = 449,
  kErrWrongArgCount = 450,
  kErrNotCollection = 451,
  kErrNamedArgNotFound = 448,
  kErrBadAutomationType = 458,
  kErrUndefined = 500,
  kErrIllegalAssignment = 501,
  kErrUnqualified = 505,
  // compilation
  kErrSyntax = 1002,
  kErrExpectedColon = 1003,
  kErrExpectedOpenParen = 1005,
  kErrExpectedCloseParen = 1006,
  kErrExpectedIdentifier = 1010,
  kErrExpectedEquals = 1011,
  kErrExpectedIf = 1012,
  kErrExpectedTo = 1013,
  kErrExpectedEnd = 1014,
  kErrExpectedFunction = 1015,
  kErrExpectedSub = 1016,
  kErrExpectedThen = 1017,
  kErrExpectedWend = 1018,
  kErrExpectedLoop = 1019,
  kErrExpectedNext = 1020,
  kErrExpectedCase = 1021,
  kErrExpectedSelect = 1022,
  kErrExpectedExpression = 1023,
  kErrExpectedStatement = 1024,
  kErrExpectedEndOfStatement = 1025,
  kErrExpectedInteger = 1026,
  kErrExpectedWhileUntil = 1027,
  kErrExpectedWhileUntilEnd = 1028,
  kErrExpectedWith = 1029,
  kErrIdentifierTooLong = 1030,
  kErrInvalidNumber = 1031,
  kErrInvalidCharacter = 1032,
  kErrUnterminatedString = 1033,
  kErrInvalidMe = 1037,
  kErrLoopWithoutDo = 1038,
  kErrInvalidExit = 1039,
  kErrInvalidForVariable = 1040,
  kErrNameRedefined = 1041,
  kErrFirstStatement = 1042,
  kErrParenthesesOnSub = 1044,
  kErrExpectedLiteral = 1045,
  kErrExpectedIn = 1046,
  kErrExpectedClass = 1047,
  kErrInsideClassOnly = 1048,
  kErrExpectedLetSetGet = 1049,
  kErrExpectedProperty = 1050,
  kErrPropertyArgCount = 1051,
  kErrMultipleDefault = 1052,
  kErrInitTerminateArgs = 1053,
  kErrPropertyNeedsArgument = 1054,
  kErrUnexpectedNext = 1055,
  kErrDefaultNeedsPublic = 1057,
  kErrDefaultOnGetOnly = 1058,
};

// The language's text for an error number ("Type mismatch"), or null when it has none.
const char16_t* error_text(int32_t number);

// Source names the host prints before the description.
inline constexpr char16_t kRuntimeSource[] = u"zxscript runtime error";
inline constexpr char16_t kCompileSource[] = u"zxscript compilation error";

// A run-time error on its way to a handler (On Error Resume Next) or to the host.
// `number` is what Err.Number reads: a language error number (13) or a component's HRESULT (-2147467259).
struct ScriptError {
  int32_t number = 0;
  std::u16string description;
  std::u16string source;
  std::u16string detail;  // what the message names after the description: ": 'Foo'"
  int line = 0;            // 1-based; 0 until the failing statement is known
  int column = 0;

  // The HRESULT the error travels as between components (0x800A0000 | n for a language error).
  HRESULT hresult() const;
};

// Throws a language error with its own text; `name` is added to the host's message as ": 'name'".
[[noreturn]] void raise_error(int32_t number, std::u16string_view name = {});
// Throws the error a failed IDispatch call reported (EXCEPINFO filled when hr is DISP_E_EXCEPTION).
[[noreturn]] void raise_call_error(HRESULT hr, EXCEPINFO* info, std::u16string_view name);
// Err.Number of an HRESULT: the error n of 0x800A0000 | n, the language's own errors for the
// IDispatch codes that mean one, and otherwise the HRESULT itself as a signed number.
int32_t number_of_hresult(HRESULT hr);

// Sets the calling thread's error record (what a failing member reports through EXCEPINFO) and
// returns hr: the one place the engine and its host's objects record errors.
HRESULT record_error(HRESULT hr, REFIID iid, std::u16string_view source, std::u16string_view description);

// A script asked the host to stop (WScript.Quit, Response.End): not an error, and no handler sees it.
struct StopRequest {
  int exitCode = 0;
};

// The host's time limit ran out (Engine::set_cancel_flag): an error no handler sees, so a page
// with On Error Resume Next cannot run on past it.
struct ScriptCancelled {
  int line = 0;
  int column = 0;
};

}  // namespace zx::script
