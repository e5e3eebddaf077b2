// Zentarix platform layer — MIT licence.
// OLE Automation runtime functions (BSTR, VARIANT, SAFEARRAY, error records), exported by libzxcom.
#pragma once
#include "objidl.h"

// ---- BSTR: UTF-16, 4-byte byte-length prefix, NUL-terminated --------------------------------------
WINOLEAUTAPI_(BSTR) SysAllocString(const OLECHAR* psz);
WINOLEAUTAPI_(BSTR) SysAllocStringLen(const OLECHAR* strIn, UINT ui);
WINOLEAUTAPI_(BSTR) SysAllocStringByteLen(LPCSTR psz, UINT len);
WINOLEAUTAPI_(INT) SysReAllocString(BSTR* pbstr, const OLECHAR* psz);
WINOLEAUTAPI_(INT) SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len);
WINOLEAUTAPI_(void) SysFreeString(BSTR bstrString);
WINOLEAUTAPI_(UINT) SysStringLen(BSTR pbstr);
WINOLEAUTAPI_(UINT) SysStringByteLen(BSTR bstr);

// ---- VARIANT ------------------------------------------------------------------------------------
constexpr USHORT VARIANT_NOVALUEPROP = 0x01;
constexpr USHORT VARIANT_ALPHABOOL = 0x02;
constexpr USHORT VARIANT_NOUSEROVERRIDE = 0x04;
constexpr USHORT VARIANT_CALENDAR_HIJRI = 0x08;
constexpr USHORT VARIANT_LOCALBOOL = 0x10;

WINOLEAUTAPI_(void) VariantInit(VARIANTARG* pvarg);
WINOLEAUTAPI VariantClear(VARIANTARG* pvarg);
WINOLEAUTAPI VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc);
WINOLEAUTAPI VariantCopyInd(VARIANT* pvarDest, const VARIANTARG* pvargSrc);
// VariantChangeType(Ex) converts between EMPTY, NULL, I1..UI8, INT, UINT, R4, R8, BOOL, BSTR, ERROR,
// DISPATCH, UNKNOWN and arrays (same type, or UI1 arrays <-> BSTR bytes), following VT_BYREF and
// VT_VARIANT references; dest may be src. Floating to integer rounds half to even; out of range is
// DISP_E_OVERFLOW; text that is no number is DISP_E_TYPEMISMATCH; "True"/"False" (any case) convert
// to VT_BOOL only; an object converts through DISPID_VALUE (not with VARIANT_NOVALUEPROP). Numbers
// and dates are read and written the en-US way whatever the lcid. DATE trades with the numbers (its
// day count) and with text ("1/31/2024 3:04:05 PM"); CY and DECIMAL take no part
// (DISP_E_BADVARTYPE). On failure dest is left as it was.
WINOLEAUTAPI VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags, VARTYPE vt);
WINOLEAUTAPI VariantChangeTypeEx(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, LCID lcid, USHORT wFlags, VARTYPE vt);

// ---- SAFEARRAY ----------------------------------------------------------------------------------
// As on Windows, SafeArrayCreate stores the bounds in reverse of the order passed (rgsabound[0] of
// the descriptor is the last bound passed); index vectors and dimension numbers are not reversed
// (rgIndices[0] and dimension 1 are the first bound passed, which varies fastest in memory).
// Array data (pvData) comes from zx::pixel_alloc, so large pixel arrays get huge pages. Descriptors
// carry 16 hidden bytes in front: the IID (FADF_HAVEIID) or the VARTYPE in the last 4 (FADF_HAVEVARTYPE).
static_assert(sizeof(SAFEARRAYBOUND) == 8 && offsetof(SAFEARRAY, pvData) == 16 && offsetof(SAFEARRAY, rgsabound) == 24,
              "SAFEARRAY descriptor has the Win64 layout");
WINOLEAUTAPI_(SAFEARRAY*) SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound);
WINOLEAUTAPI_(SAFEARRAY*) SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements);
WINOLEAUTAPI SafeArrayAllocDescriptor(UINT cDims, SAFEARRAY** ppsaOut);
WINOLEAUTAPI SafeArrayAllocDescriptorEx(VARTYPE vt, UINT cDims, SAFEARRAY** ppsaOut);
WINOLEAUTAPI SafeArrayAllocData(SAFEARRAY* psa);
WINOLEAUTAPI SafeArrayDestroy(SAFEARRAY* psa);
WINOLEAUTAPI SafeArrayDestroyData(SAFEARRAY* psa);
WINOLEAUTAPI SafeArrayDestroyDescriptor(SAFEARRAY* psa);
WINOLEAUTAPI SafeArrayAccessData(SAFEARRAY* psa, void** ppvData);
WINOLEAUTAPI SafeArrayUnaccessData(SAFEARRAY* psa);
WINOLEAUTAPI SafeArrayLock(SAFEARRAY* psa);
WINOLEAUTAPI SafeArrayUnlock(SAFEARRAY* psa);
WINOLEAUTAPI_(UINT) SafeArrayGetDim(SAFEARRAY* psa);
WINOLEAUTAPI_(UINT) SafeArrayGetElemsize(SAFEARRAY* psa);
WINOLEAUTAPI SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound);
WINOLEAUTAPI SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound);
WINOLEAUTAPI SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv);
WINOLEAUTAPI SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv);
WINOLEAUTAPI SafeArrayPtrOfIndex(SAFEARRAY* psa, LONG* rgIndices, void** ppvData);
WINOLEAUTAPI SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut);
WINOLEAUTAPI SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt);

// ---- error records (per thread) -----------------------------------------------------------------
WINOLEAUTAPI CreateErrorInfo(ICreateErrorInfo** pperrinfo);
// SetErrorInfo replaces the calling thread's record (null clears it). GetErrorInfo hands the record
// over (the caller owns the reference) and leaves the slot empty; S_FALSE and null when there is none.
WINOLEAUTAPI SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo);
WINOLEAUTAPI GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo);

// ---- dates --------------------------------------------------------------------------------------
// An automation date (DATE) counts days from 30 December 1899; the fraction's magnitude is the time
// of day, also before that day (-1.25 is 29 December 1899, 06:00). Valid from the year 100 to 9999.
struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;  // 0 Sunday .. 6 Saturday (ignored on input)
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;  // ignored on input; 0 on output (times are rounded to the second)
};
// FALSE for a date or a field outside the valid range.
WINOLEAUTAPI_(INT) SystemTimeToVariantTime(SYSTEMTIME* lpSystemTime, DOUBLE* pvtime);
WINOLEAUTAPI_(INT) VariantTimeToSystemTime(DOUBLE vtime, SYSTEMTIME* lpSystemTime);
