// Zentarix platform layer — MIT licence.
// Component categories: the standard category manager's ICatRegister and ICatInformation.
#pragma once
#include "objidl.h"

inline constexpr CLSID CLSID_StdComponentCategoriesMgr = {0x0002E005, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IEnumCATEGORYINFO = {0x0002E011, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_ICatRegister = {0x0002E012, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_ICatInformation = {0x0002E013, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct CATEGORYINFO {
  CATID catid;
  LCID lcid;
  OLECHAR szDescription[128];
};

struct IEnumCATEGORYINFO : IUnknown {
  STDMETHOD(Next)(ULONG celt, CATEGORYINFO* rgelt, ULONG* pceltFetched) PURE;
  STDMETHOD(Skip)(ULONG celt) PURE;
  STDMETHOD(Reset)() PURE;
  STDMETHOD(Clone)(IEnumCATEGORYINFO** ppenum) PURE;
};
ZX_DECLARE_UUID(IEnumCATEGORYINFO, IID_IEnumCATEGORYINFO);

struct ICatRegister : IUnknown {
  STDMETHOD(RegisterCategories)(ULONG cCategories, CATEGORYINFO rgCategoryInfo[]) PURE;
  STDMETHOD(UnRegisterCategories)(ULONG cCategories, CATID rgcatid[]) PURE;
  STDMETHOD(RegisterClassImplCategories)(REFCLSID rclsid, ULONG cCategories, CATID rgcatid[]) PURE;
  STDMETHOD(UnRegisterClassImplCategories)(REFCLSID rclsid, ULONG cCategories, CATID rgcatid[]) PURE;
  STDMETHOD(RegisterClassReqCategories)(REFCLSID rclsid, ULONG cCategories, CATID rgcatid[]) PURE;
  STDMETHOD(UnRegisterClassReqCategories)(REFCLSID rclsid, ULONG cCategories, CATID rgcatid[]) PURE;
};
ZX_DECLARE_UUID(ICatRegister, IID_ICatRegister);

struct ICatInformation : IUnknown {
  STDMETHOD(EnumCategories)(LCID lcid, IEnumCATEGORYINFO** ppenumCategoryInfo) PURE;
  STDMETHOD(GetCategoryDesc)(REFCATID rcatid, LCID lcid, LPWSTR* pszDesc) PURE;
  STDMETHOD(EnumClassesOfCategories)(ULONG cImplemented, const CATID rgcatidImpl[], ULONG cRequired,
                                     const CATID rgcatidReq[], IEnumGUID** ppenumClsid) PURE;
  STDMETHOD(IsClassOfCategories)(REFCLSID rclsid, ULONG cImplemented, const CATID rgcatidImpl[], ULONG cRequired,
                                 const CATID rgcatidReq[]) PURE;
  STDMETHOD(EnumImplCategoriesOfClass)(REFCLSID rclsid, IEnumGUID** ppenumCatid) PURE;
  STDMETHOD(EnumReqCategoriesOfClass)(REFCLSID rclsid, IEnumGUID** ppenumCatid) PURE;
};
ZX_DECLARE_UUID(ICatInformation, IID_ICatInformation);
