// Zentarix platform layer — MIT licence.
// Basic Windows types, GUIDs, HRESULT codes and the OLE Automation value types (BSTR, VARIANT, SAFEARRAY).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#define ZX_EXTERN_C extern "C"
#define ZX_API __attribute__((visibility("default")))
#define WINAPI
#define STDMETHODCALLTYPE
#define STDAPI ZX_EXTERN_C ZX_API HRESULT
#define STDAPI_(type) ZX_EXTERN_C ZX_API type
#define WINOLEAUTAPI STDAPI
#define WINOLEAUTAPI_(type) STDAPI_(type)

// ---- integral types (LP64 host, Windows widths) -------------------------------------------------
using BYTE = uint8_t;
using UCHAR = uint8_t;
using CHAR = char;
using SHORT = int16_t;
using USHORT = uint16_t;
using WORD = uint16_t;
using INT = int32_t;
using UINT = uint32_t;
using UINT16 = uint16_t;
using LONG = int32_t;
using ULONG = uint32_t;
using DWORD = uint32_t;
using BOOL = int32_t;
using LONGLONG = int64_t;
using ULONGLONG = uint64_t;
using LONG_PTR = intptr_t;
using ULONG_PTR = uintptr_t;
using DWORD_PTR = uintptr_t;
using SIZE_T = size_t;
using FLOAT = float;
using DOUBLE = double;
using HRESULT = int32_t;
using SCODE = int32_t;
using LCID = uint32_t;
using LANGID = uint16_t;
using DISPID = int32_t;
using MEMBERID = int32_t;
using VARTYPE = uint16_t;
using VARIANT_BOOL = int16_t;
using DATE = double;
using WCHAR = char16_t;
using OLECHAR = char16_t;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using LPSTR = char*;
using LPCSTR = const char*;
using BSTR = OLECHAR*;
using LPVOID = void*;
using LPCVOID = const void*;
using PVOID = void*;
using HANDLE = void*;
using HMODULE = void*;
using HINSTANCE = void*;
using HGLOBAL = void*;

// GDI handles are 32-bit values backed by a handle table, so that they travel as I4 through the
// type library exactly as they do on 32-bit Windows.
using HGDIOBJ = uint32_t;
using HBITMAP = uint32_t;
using HPALETTE = uint32_t;
using HDC = uint32_t;
using OLE_HANDLE = uint32_t;
using COLORREF = uint32_t;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;
constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

union LARGE_INTEGER {
  struct {
    DWORD LowPart;
    LONG HighPart;
  } u;
  LONGLONG QuadPart;
};
union ULARGE_INTEGER {
  struct {
    DWORD LowPart;
    DWORD HighPart;
  } u;
  ULONGLONG QuadPart;
};
struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

// ---- GUID ---------------------------------------------------------------------------------------
struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using CATID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
using REFCATID = const CATID&;
using LPGUID = GUID*;
using LPCLSID = CLSID*;

constexpr bool operator==(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i)
    if (a.Data4[i] != b.Data4[i]) return false;
  return true;
}
constexpr bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }
inline bool IsEqualGUID(REFGUID a, REFGUID b) { return a == b; }
inline bool IsEqualIID(REFIID a, REFIID b) { return a == b; }
inline bool IsEqualCLSID(REFCLSID a, REFCLSID b) { return a == b; }

inline constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
inline constexpr IID IID_NULL = GUID_NULL;
inline constexpr CLSID CLSID_NULL = GUID_NULL;

// __uuidof: every interface declares its IID through ZX_DECLARE_UUID so that templates
// (ComPtr::QueryInterface, IID_PPV_ARGS) can find it.
namespace zx {
template <class T>
struct uuid_of;
}
#define ZX_DECLARE_UUID(Type, iid_constant)              \
  template <>                                            \
  struct zx::uuid_of<Type> {                             \
    static constexpr const IID& value = iid_constant;    \
  }
#define ZX_UUIDOF(Type) (::zx::uuid_of<Type>::value)
#define IID_PPV_ARGS(pp) ZX_UUIDOF(std::remove_pointer_t<std::remove_reference_t<decltype(*(pp))>>), ::zx::ppv_cast(pp)
namespace zx {
template <class T>
inline void** ppv_cast(T** pp) {
  return reinterpret_cast<void**>(pp);
}
}  // namespace zx

// ---- HRESULT ------------------------------------------------------------------------------------
constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }
constexpr HRESULT MAKE_HRESULT(uint32_t sev, uint32_t fac, uint32_t code) {
  return static_cast<HRESULT>((sev << 31) | (fac << 16) | code);
}
constexpr HRESULT HRESULT_FROM_WIN32(DWORD err) {
  return static_cast<LONG>(err) <= 0 ? static_cast<HRESULT>(err)
                                      : static_cast<HRESULT>((err & 0x0000FFFFu) | (7u << 16) | 0x80000000u);
}
constexpr DWORD HRESULT_CODE(HRESULT hr) { return static_cast<DWORD>(hr) & 0xFFFFu; }

#define ZX_HR(x) static_cast<HRESULT>(x##u)
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT NOERROR = 0;
constexpr HRESULT E_UNEXPECTED = ZX_HR(0x8000FFFF);
constexpr HRESULT E_NOTIMPL = ZX_HR(0x80004001);
constexpr HRESULT E_OUTOFMEMORY = ZX_HR(0x8007000E);
constexpr HRESULT E_INVALIDARG = ZX_HR(0x80070057);
constexpr HRESULT E_NOINTERFACE = ZX_HR(0x80004002);
constexpr HRESULT E_POINTER = ZX_HR(0x80004003);
constexpr HRESULT E_HANDLE = ZX_HR(0x80070006);
constexpr HRESULT E_ABORT = ZX_HR(0x80004004);
constexpr HRESULT E_FAIL = ZX_HR(0x80004005);
constexpr HRESULT E_ACCESSDENIED = ZX_HR(0x80070005);
constexpr HRESULT CLASS_E_NOAGGREGATION = ZX_HR(0x80040110);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = ZX_HR(0x80040111);
constexpr HRESULT REGDB_E_CLASSNOTREG = ZX_HR(0x80040154);
constexpr HRESULT REGDB_E_IIDNOTREG = ZX_HR(0x80040155);
constexpr HRESULT REGDB_E_READREGDB = ZX_HR(0x80040150);
constexpr HRESULT REGDB_E_WRITEREGDB = ZX_HR(0x80040151);
constexpr HRESULT REGDB_E_KEYMISSING = ZX_HR(0x80040152);
constexpr HRESULT CO_E_NOTINITIALIZED = ZX_HR(0x800401F0);
constexpr HRESULT CO_E_CLASSSTRING = ZX_HR(0x800401F3);
constexpr HRESULT CO_E_DLLNOTFOUND = ZX_HR(0x800401F8);
constexpr HRESULT CO_E_ERRORINDLL = ZX_HR(0x800401F9);
constexpr HRESULT CO_E_APPNOTFOUND = ZX_HR(0x800401F5);
constexpr HRESULT CO_S_NOTALLINTERFACES = 0x00080012;
constexpr HRESULT RPC_E_CHANGED_MODE = ZX_HR(0x80010106);
constexpr HRESULT STG_E_INVALIDFUNCTION = ZX_HR(0x80030001);
constexpr HRESULT STG_E_FILENOTFOUND = ZX_HR(0x80030002);
constexpr HRESULT STG_E_ACCESSDENIED = ZX_HR(0x80030005);
constexpr HRESULT STG_E_INSUFFICIENTMEMORY = ZX_HR(0x80030008);
constexpr HRESULT STG_E_INVALIDPOINTER = ZX_HR(0x80030009);
constexpr HRESULT STG_E_INVALIDPARAMETER = ZX_HR(0x80030057);
constexpr HRESULT STG_E_MEDIUMFULL = ZX_HR(0x80030070);
constexpr HRESULT STG_E_SEEKERROR = ZX_HR(0x80030019);
constexpr HRESULT STG_E_READFAULT = ZX_HR(0x8003001E);
constexpr HRESULT STG_E_WRITEFAULT = ZX_HR(0x8003001D);
constexpr HRESULT STG_E_INVALIDFLAG = ZX_HR(0x800300FF);
constexpr HRESULT STG_E_REVERTED = ZX_HR(0x80030102);
constexpr HRESULT STG_E_FILEALREADYEXISTS = ZX_HR(0x80030050);
constexpr HRESULT DISP_E_UNKNOWNINTERFACE = ZX_HR(0x80020001);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = ZX_HR(0x80020003);
constexpr HRESULT DISP_E_PARAMNOTFOUND = ZX_HR(0x80020004);
constexpr HRESULT DISP_E_TYPEMISMATCH = ZX_HR(0x80020005);
constexpr HRESULT DISP_E_UNKNOWNNAME = ZX_HR(0x80020006);
constexpr HRESULT DISP_E_NONAMEDARGS = ZX_HR(0x80020007);
constexpr HRESULT DISP_E_BADVARTYPE = ZX_HR(0x80020008);
constexpr HRESULT DISP_E_EXCEPTION = ZX_HR(0x80020009);
constexpr HRESULT DISP_E_OVERFLOW = ZX_HR(0x8002000A);
constexpr HRESULT DISP_E_BADINDEX = ZX_HR(0x8002000B);
constexpr HRESULT DISP_E_UNKNOWNLCID = ZX_HR(0x8002000C);
constexpr HRESULT DISP_E_ARRAYISLOCKED = ZX_HR(0x8002000D);
constexpr HRESULT DISP_E_BADPARAMCOUNT = ZX_HR(0x8002000E);
constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = ZX_HR(0x8002000F);
constexpr HRESULT DISP_E_BADCALLEE = ZX_HR(0x80020010);
constexpr HRESULT DISP_E_NOTACOLLECTION = ZX_HR(0x80020011);
constexpr HRESULT DISP_E_DIVBYZERO = ZX_HR(0x80020012);
constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = ZX_HR(0x8002802B);
constexpr HRESULT TYPE_E_LIBNOTREGISTERED = ZX_HR(0x8002801D);
constexpr HRESULT TYPE_E_REGISTRYACCESS = ZX_HR(0x8002801C);
constexpr HRESULT TYPE_E_CANTLOADLIBRARY = ZX_HR(0x80029C4A);
constexpr HRESULT SELFREG_E_CLASS = ZX_HR(0x80040201);
constexpr HRESULT SELFREG_E_TYPELIB = ZX_HR(0x80040200);

// Win32 error codes the platform layer produces (GetLastError, FormatMessage).
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_INVALID_FUNCTION = 1;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_INVALID_DATA = 13;
constexpr DWORD ERROR_OUTOFMEMORY = 14;
constexpr DWORD ERROR_WRITE_PROTECT = 19;
constexpr DWORD ERROR_NOT_READY = 21;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_LOCK_VIOLATION = 33;
constexpr DWORD ERROR_HANDLE_EOF = 38;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_FILE_EXISTS = 80;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_BROKEN_PIPE = 109;
constexpr DWORD ERROR_DISK_FULL = 112;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_INVALID_NAME = 123;
constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
constexpr DWORD ERROR_DIR_NOT_EMPTY = 145;
constexpr DWORD ERROR_BUSY = 170;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
constexpr DWORD ERROR_MORE_DATA = 234;
constexpr DWORD ERROR_NO_MORE_ITEMS = 259;
constexpr DWORD ERROR_DIRECTORY = 267;
constexpr DWORD ERROR_NOACCESS = 998;
constexpr DWORD ERROR_CANTOPEN = 1011;
constexpr DWORD ERROR_CANTREAD = 1012;
constexpr DWORD ERROR_CANTWRITE = 1013;
constexpr DWORD ERROR_REGISTRY_CORRUPT = 1015;
constexpr DWORD ERROR_KEY_DELETED = 1018;
constexpr DWORD ERROR_DLL_INIT_FAILED = 1114;
constexpr DWORD ERROR_INVALID_FLAGS = 1004;
constexpr DWORD ERROR_BAD_FORMAT = 11;
constexpr DWORD ERROR_NOT_FOUND = 1168;

// ---- OLE Automation value types -----------------------------------------------------------------
enum VARENUM : VARTYPE {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_CY = 6,
  VT_DATE = 7,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_DECIMAL = 14,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_I8 = 20,
  VT_UI8 = 21,
  VT_INT = 22,
  VT_UINT = 23,
  VT_VOID = 24,
  VT_HRESULT = 25,
  VT_PTR = 26,
  VT_SAFEARRAY = 27,
  VT_CARRAY = 28,
  VT_USERDEFINED = 29,
  VT_LPSTR = 30,
  VT_LPWSTR = 31,
  VT_RECORD = 36,
  VT_INT_PTR = 37,
  VT_UINT_PTR = 38,
  VT_CLSID = 72,
  VT_VECTOR = 0x1000,
  VT_ARRAY = 0x2000,
  VT_BYREF = 0x4000,
  VT_RESERVED = 0x8000,
  VT_ILLEGAL = 0xffff,
  VT_ILLEGALMASKED = 0x0fff,
  VT_TYPEMASK = 0x0fff
};

union CY {
  struct {
    uint32_t Lo;
    int32_t Hi;
  } s;
  LONGLONG int64;
};

struct DECIMAL {
  USHORT wReserved;
  BYTE scale;
  BYTE sign;
  ULONG Hi32;
  ULONGLONG Lo64;
};

struct SAFEARRAYBOUND {
  ULONG cElements;
  LONG lLbound;
};

struct SAFEARRAY {
  USHORT cDims;
  USHORT fFeatures;
  ULONG cbElements;
  ULONG cLocks;
  PVOID pvData;
  SAFEARRAYBOUND rgsabound[1];
};
using LPSAFEARRAY = SAFEARRAY*;

constexpr USHORT FADF_AUTO = 0x0001;
constexpr USHORT FADF_STATIC = 0x0002;
constexpr USHORT FADF_EMBEDDED = 0x0004;
constexpr USHORT FADF_FIXEDSIZE = 0x0010;
constexpr USHORT FADF_RECORD = 0x0020;
constexpr USHORT FADF_HAVEIID = 0x0040;
constexpr USHORT FADF_HAVEVARTYPE = 0x0080;
constexpr USHORT FADF_BSTR = 0x0100;
constexpr USHORT FADF_UNKNOWN = 0x0200;
constexpr USHORT FADF_DISPATCH = 0x0400;
constexpr USHORT FADF_VARIANT = 0x0800;
constexpr USHORT FADF_CREATEVECTOR = 0x2000;
constexpr USHORT FADF_RESERVED = 0xF008;

struct IUnknown;
struct IDispatch;
struct IRecordInfo;

struct VARIANT {
  union {
    struct {
      VARTYPE vt;
      WORD wReserved1;
      WORD wReserved2;
      WORD wReserved3;
      union {
        LONGLONG llVal;
        LONG lVal;
        BYTE bVal;
        SHORT iVal;
        FLOAT fltVal;
        DOUBLE dblVal;
        VARIANT_BOOL boolVal;
        SCODE scode;
        CY cyVal;
        DATE date;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        SAFEARRAY* parray;
        BYTE* pbVal;
        SHORT* piVal;
        LONG* plVal;
        LONGLONG* pllVal;
        FLOAT* pfltVal;
        DOUBLE* pdblVal;
        VARIANT_BOOL* pboolVal;
        SCODE* pscode;
        CY* pcyVal;
        DATE* pdate;
        BSTR* pbstrVal;
        IUnknown** ppunkVal;
        IDispatch** ppdispVal;
        SAFEARRAY** pparray;
        VARIANT* pvarVal;
        PVOID byref;
        CHAR cVal;
        USHORT uiVal;
        ULONG ulVal;
        ULONGLONG ullVal;
        INT intVal;
        UINT uintVal;
        DECIMAL* pdecVal;
        CHAR* pcVal;
        USHORT* puiVal;
        ULONG* pulVal;
        ULONGLONG* pullVal;
        INT* pintVal;
        UINT* puintVal;
        struct {
          PVOID pvRecord;
          IRecordInfo* pRecInfo;
        } brecVal;
      };
    };
    DECIMAL decVal;
  };
};
using VARIANTARG = VARIANT;
using LPVARIANT = VARIANT*;

// Field access the way Windows code spells it (V_VT(&v), V_I4(&v), ...).
#define V_VT(X) ((X)->vt)
#define V_ISBYREF(X) (V_VT(X) & VT_BYREF)
#define V_ISARRAY(X) (V_VT(X) & VT_ARRAY)
#define V_UI1(X) ((X)->bVal)
#define V_I1(X) ((X)->cVal)
#define V_I2(X) ((X)->iVal)
#define V_UI2(X) ((X)->uiVal)
#define V_I4(X) ((X)->lVal)
#define V_UI4(X) ((X)->ulVal)
#define V_I8(X) ((X)->llVal)
#define V_UI8(X) ((X)->ullVal)
#define V_INT(X) ((X)->intVal)
#define V_UINT(X) ((X)->uintVal)
#define V_R4(X) ((X)->fltVal)
#define V_R8(X) ((X)->dblVal)
#define V_BOOL(X) ((X)->boolVal)
#define V_ERROR(X) ((X)->scode)
#define V_CY(X) ((X)->cyVal)
#define V_DATE(X) ((X)->date)
#define V_BSTR(X) ((X)->bstrVal)
#define V_UNKNOWN(X) ((X)->punkVal)
#define V_DISPATCH(X) ((X)->pdispVal)
#define V_ARRAY(X) ((X)->parray)
#define V_BYREF(X) ((X)->byref)
#define V_VARIANTREF(X) ((X)->pvarVal)
#define V_I4REF(X) ((X)->plVal)
#define V_BSTRREF(X) ((X)->pbstrVal)
#define V_ARRAYREF(X) ((X)->pparray)
#define V_DISPATCHREF(X) ((X)->ppdispVal)
#define V_UNKNOWNREF(X) ((X)->ppunkVal)

// ---- dispatch records ---------------------------------------------------------------------------
struct DISPPARAMS {
  VARIANTARG* rgvarg;
  DISPID* rgdispidNamedArgs;
  UINT cArgs;
  UINT cNamedArgs;
};

struct EXCEPINFO {
  WORD wCode;
  WORD wReserved;
  BSTR bstrSource;
  BSTR bstrDescription;
  BSTR bstrHelpFile;
  DWORD dwHelpContext;
  PVOID pvReserved;
  HRESULT(STDMETHODCALLTYPE* pfnDeferredFillIn)(EXCEPINFO*);
  SCODE scode;
};

constexpr DISPID DISPID_UNKNOWN = -1;
constexpr DISPID DISPID_VALUE = 0;
constexpr DISPID DISPID_PROPERTYPUT = -3;
constexpr DISPID DISPID_NEWENUM = -4;
constexpr DISPID DISPID_EVALUATE = -5;
constexpr DISPID DISPID_CONSTRUCTOR = -6;
constexpr DISPID DISPID_DESTRUCTOR = -7;
constexpr DISPID DISPID_COLLECT = -8;

constexpr WORD DISPATCH_METHOD = 0x1;
constexpr WORD DISPATCH_PROPERTYGET = 0x2;
constexpr WORD DISPATCH_PROPERTYPUT = 0x4;
constexpr WORD DISPATCH_PROPERTYPUTREF = 0x8;

constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
constexpr LCID LOCALE_NEUTRAL = 0x0000;
constexpr LCID LOCALE_INVARIANT = 0x007f;

// ---- class contexts -----------------------------------------------------------------------------
enum CLSCTX : DWORD {
  CLSCTX_INPROC_SERVER = 0x1,
  CLSCTX_INPROC_HANDLER = 0x2,
  CLSCTX_LOCAL_SERVER = 0x4,
  CLSCTX_REMOTE_SERVER = 0x10,
  CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
  CLSCTX_SERVER = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER,
  CLSCTX_ALL = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER
};

// ---- ABI pins -----------------------------------------------------------------------------------
static_assert(sizeof(HRESULT) == 4 && sizeof(LONG) == 4 && sizeof(ULONG) == 4, "Windows integer widths");
static_assert(sizeof(OLECHAR) == 2, "OLECHAR is UTF-16");
static_assert(sizeof(GUID) == 16, "GUID layout");
static_assert(sizeof(VARIANT) == 24, "VARIANT has the Win64 layout");
static_assert(offsetof(VARIANT, lVal) == 8, "VARIANT payload offset");
static_assert(sizeof(SAFEARRAY) == 32, "SAFEARRAY has the Win64 layout");
static_assert(sizeof(DECIMAL) == 16, "DECIMAL overlays VARIANT");
static_assert(sizeof(VARIANT_BOOL) == 2, "VARIANT_BOOL is 16-bit");
