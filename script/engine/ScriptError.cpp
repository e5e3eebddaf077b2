// Zentarix — MIT licence.
// The language's error texts and the mapping of IDispatch failures onto them.
#include "ScriptError.h"

#include "zx/com.h"

namespace zx::script {
namespace {

struct Text {
  int32_t number;
  const char16_t* text;
};

constexpr Text kTexts[] = {
    {kErrIllegalCall, u"Invalid procedure call or argument"},
    {kErrOverflow, u"Overflow"},
    {kErrOutOfMemory, u"Out of memory"},
    {kErrSubscript, u"Subscript out of range"},
    {kErrArrayLocked, u"This array is fixed or temporarily locked"},
    {kErrDivisionByZero, u"Division by zero"},
    {kErrTypeMismatch, u"Type mismatch"},
    {kErrOutOfStack, u"Out of stack space"},
    {kErrNotDefined, u"Sub or Function not defined"},
    {kErrInternal, u"Internal error"},
    {52, u"Bad file name or number"},
    {kErrFileNotFound, u"File not found"},
    {54, u"Bad file mode"},
    {57, u"Device I/O error"},
    {58, u"File already exists"},
    {61, u"Disk full"},
    {62, u"Input past end of file"},
    {70, u"Permission denied"},
    {75, u"Path/File access error"},
    {76, u"Path not found"},
    {kErrObjectNotSet, u"Object variable not set"},
    {92, u"For loop not initialized"},
    {kErrInvalidNull, u"Invalid use of Null"},
    {kErrObjectRequired, u"Object required"},
    {kErrCannotCreate, u"ActiveX component can't create object"},
    {kErrNoSuchMember, u"Object doesn't support this property or method"},
    {kErrNamedArgNotFound, u"Named argument not found"},
    {kErrNotOptional, u"Argument not optional"},
    {kErrWrongArgCount, u"Wrong number of arguments or invalid property assignment"},
    {kErrNotCollection, u"Object not a collection"},
    {kErrBadAutomationType, u"Variable uses an Automation type not supported in VBScript"},
    {457, u"This key is already associated with an element of this collection"},
    {kErrUndefined, u"Variable is undefined"},
    {kErrIllegalAssignment, u"Illegal assignment"},
    {kErrUnqualified, u"Invalid or unqualified reference"},
    {32811, u"Element not found"},
    {kErrSyntax, u"Syntax error"},
    {kErrExpectedColon, u"Expected ':'"},
    {kErrExpectedOpenParen, u"Expected '('"},
    {kErrExpectedCloseParen, u"Expected ')'"},
    {kErrExpectedIdentifier, u"Expected identifier"},
    {kErrExpectedEquals, u"Expected '='"},
    {kErrExpectedIf, u"Expected 'If'"},
    {kErrExpectedTo, u"Expected 'To'"},
    {kErrExpectedEnd, u"Expected 'End'"},
    {kErrExpectedFunction, u"Expected 'Function'"},
    {kErrExpectedSub, u"Expected 'Sub'"},
    {kErrExpectedThen, u"Expected 'Then'"},
    {kErrExpectedWend, u"Expected 'Wend'"},
    {kErrExpectedLoop, u"Expected 'Loop'"},
    {kErrExpectedNext, u"Expected 'Next'"},
    {kErrExpectedCase, u"Expected 'Case'"},
    {kErrExpectedSelect, u"Expected 'Select'"},
    {kErrExpectedExpression, u"Expected expression"},
    {kErrExpectedStatement, u"Expected statement"},
    {kErrExpectedEndOfStatement, u"Expected end of statement"},
    {kErrExpectedInteger, u"Expected integer constant"},
    {kErrExpectedWhileUntil, u"Expected 'While' or 'Until'"},
    {kErrExpectedWhileUntilEnd, u"Expected 'While', 'Until' or end of statement"},
    {kErrExpectedWith, u"Expected 'With'"},
    {kErrIdentifierTooLong, u"Identifier too long"},
    {kErrInvalidNumber, u"Invalid number"},
    {kErrInvalidCharacter, u"Invalid character"},
    {kErrUnterminatedString, u"Unterminated string constant"},
    {kErrInvalidMe, u"Invalid use of 'Me' keyword"},
    {kErrLoopWithoutDo, u"'loop' without 'do'"},
    {kErrInvalidExit, u"Invalid 'exit' statement"},
    {kErrInvalidForVariable, u"Invalid 'for' loop control variable"},
    {kErrNameRedefined, u"Name redefined"},
    {kErrFirstStatement, u"Must be first statement on the line"},
    {kErrParenthesesOnSub, u"Cannot use parentheses when calling a Sub"},
    {kErrExpectedLiteral, u"Expected literal constant"},
    {kErrExpectedIn, u"Expected 'In'"},
    {kErrExpectedClass, u"Expected 'Class'"},
    {kErrInsideClassOnly, u"Must be defined inside a Class"},
    {kErrExpectedLetSetGet, u"Expected Let or Set or Get in property declaration"},
    {kErrExpectedProperty, u"Expected 'Property'"},
    {kErrPropertyArgCount, u"Number of arguments must be consistent across the property's Get, Let and Set"},
    {kErrMultipleDefault, u"Cannot have multiple default property/method in a Class"},
    {kErrInitTerminateArgs, u"Class initialize or terminate do not have arguments"},
    {kErrPropertyNeedsArgument, u"Property set or let must have at least one argument"},
    {kErrUnexpectedNext, u"Unexpected 'Next'"},
    {kErrDefaultNeedsPublic, u"'Default' must be declared together with 'Public'"},
    {kErrDefaultOnGetOnly, u"'Default' is allowed only on a Property Get"},
};

constexpr HRESULT kLanguageFacility = ZX_HR(0x800A0000);

}  // namespace

const char16_t* error_text(int32_t number) {
  for (const auto& t : kTexts)
    if (t.number == number) return t.text;
  return nullptr;
}

HRESULT ScriptError::hresult() const {
  if (number > 0 && number <= 0xFFFF) return static_cast<HRESULT>(static_cast<uint32_t>(kLanguageFacility) | number);
  if (number >= 0) return static_cast<HRESULT>(static_cast<uint32_t>(kLanguageFacility) | kErrIllegalCall);
  return number;
}

int32_t number_of_hresult(HRESULT hr) {
  if ((static_cast<uint32_t>(hr) & 0xFFFF0000u) == static_cast<uint32_t>(kLanguageFacility)) return hr & 0xFFFF;
  switch (hr) {
    case DISP_E_UNKNOWNNAME: case DISP_E_MEMBERNOTFOUND: return kErrNoSuchMember;
    case DISP_E_BADPARAMCOUNT: return kErrWrongArgCount;
    case DISP_E_TYPEMISMATCH: return kErrTypeMismatch;
    case DISP_E_PARAMNOTOPTIONAL: return kErrNotOptional;
    case DISP_E_OVERFLOW: return kErrOverflow;
    case DISP_E_DIVBYZERO: return kErrDivisionByZero;
    case DISP_E_BADINDEX: return kErrSubscript;
    case DISP_E_ARRAYISLOCKED: return kErrArrayLocked;
    case DISP_E_NOTACOLLECTION: return kErrNotCollection;
    case DISP_E_PARAMNOTFOUND: return kErrNamedArgNotFound;
    case DISP_E_BADVARTYPE: return kErrBadAutomationType;
    case E_OUTOFMEMORY: return kErrOutOfMemory;
    default: return hr;
  }
}

HRESULT record_error(HRESULT hr, REFIID iid, std::u16string_view source, std::u16string_view description) {
  zx::ComPtr<ICreateErrorInfo> create;
  if (SUCCEEDED(CreateErrorInfo(create.put()))) {
    const std::u16string s(source), d(description);  // NUL-terminated copies
    create->SetGUID(iid);
    create->SetSource(const_cast<LPOLESTR>(s.c_str()));
    create->SetDescription(const_cast<LPOLESTR>(d.c_str()));
    zx::ComPtr<IErrorInfo> info;
    if (SUCCEEDED(create.query(info))) SetErrorInfo(0, info.get());
  }
  return hr;
}

void raise_error(int32_t number, std::u16string_view name) {
  ScriptError e;
  e.number = number;
  const char16_t* text = error_text(number);
  e.description = text ? text : u"Unknown runtime error";
  e.source = kRuntimeSource;
  if (!name.empty()) e.detail = u": '" + std::u16string(name) + u"'";
  throw e;
}

void raise_call_error(HRESULT hr, EXCEPINFO* info, std::u16string_view name) {
  ScriptError e;
  if (hr == DISP_E_EXCEPTION && info) {
    if (info->pfnDeferredFillIn) info->pfnDeferredFillIn(info);
    const HRESULT code = info->scode ? info->scode : (info->wCode ? static_cast<HRESULT>(0x800A0000u | info->wCode) : E_FAIL);
    e.number = number_of_hresult(code);
    if (info->bstrDescription) e.description.assign(info->bstrDescription, SysStringLen(info->bstrDescription));
    if (info->bstrSource) e.source.assign(info->bstrSource, SysStringLen(info->bstrSource));
    SysFreeString(info->bstrDescription);
    SysFreeString(info->bstrSource);
    SysFreeString(info->bstrHelpFile);
    *info = EXCEPINFO{};
  } else {
    e.number = number_of_hresult(hr);
    // The language's own errors name the member, as they do for script objects.
    if (e.number != hr && !name.empty()) e.detail = u": '" + std::u16string(name) + u"'";
  }
  if (e.description.empty()) {
    const char16_t* text = error_text(e.number);
    e.description = text ? text : u"Unknown runtime error";
  }
  if (e.source.empty()) e.source = kRuntimeSource;
  throw e;
}

}  // namespace zx::script
