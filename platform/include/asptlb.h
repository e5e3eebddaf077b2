// Zentarix platform layer — MIT licence.
// The ASP Response object, declared so that hosts can implement it; SaveStream calls BinaryWrite.
#pragma once
#include "objidl.h"

inline constexpr IID IID_IResponse = {0xD97A6DA0, 0xA864, 0x11CF, {0x83, 0xBE, 0x00, 0xA0, 0xC9, 0x0C, 0x2B, 0xD8}};

struct IResponse : IDispatch {
  STDMETHOD(get_Buffer)(VARIANT_BOOL* fIsBuffering) PURE;
  STDMETHOD(put_Buffer)(VARIANT_BOOL fIsBuffering) PURE;
  STDMETHOD(get_ContentType)(BSTR* pbstrContentTypeRet) PURE;
  STDMETHOD(put_ContentType)(BSTR bstrContentType) PURE;
  STDMETHOD(get_Expires)(VARIANT* pvarExpiresMinutesRet) PURE;
  STDMETHOD(put_Expires)(LONG lExpiresMinutes) PURE;
  STDMETHOD(get_ExpiresAbsolute)(VARIANT* pvarExpiresRet) PURE;
  STDMETHOD(put_ExpiresAbsolute)(DATE dtExpires) PURE;
  STDMETHOD(get_Cookies)(IDispatch** ppCookies) PURE;
  STDMETHOD(get_Status)(BSTR* pbstrStatusRet) PURE;
  STDMETHOD(put_Status)(BSTR bstrStatus) PURE;
  STDMETHOD(Add)(BSTR bstrHeaderValue, BSTR bstrHeaderName) PURE;
  STDMETHOD(AddHeader)(BSTR bstrHeaderName, BSTR bstrHeaderValue) PURE;
  STDMETHOD(AppendToLog)(BSTR bstrLogEntry) PURE;
  STDMETHOD(BinaryWrite)(VARIANT varInput) PURE;
  STDMETHOD(Clear)() PURE;
  STDMETHOD(End)() PURE;
  STDMETHOD(Flush)() PURE;
  STDMETHOD(Redirect)(BSTR bstrURL) PURE;
  STDMETHOD(Write)(VARIANT varText) PURE;
  STDMETHOD(WriteBlock)(SHORT iBlockNumber) PURE;
  STDMETHOD(IsClientConnected)(VARIANT_BOOL* pfIsClientConnected) PURE;
  STDMETHOD(get_CharSet)(BSTR* pbstrCharSetRet) PURE;
  STDMETHOD(put_CharSet)(BSTR bstrCharSet) PURE;
  STDMETHOD(Pics)(BSTR bstrHeaderValue) PURE;
  STDMETHOD(get_CacheControl)(BSTR* pbstrCacheControl) PURE;
  STDMETHOD(put_CacheControl)(BSTR bstrCacheControl) PURE;
  STDMETHOD(get_CodePage)(LONG* plvar) PURE;
  STDMETHOD(put_CodePage)(LONG var) PURE;
  STDMETHOD(get_LCID)(LONG* plvar) PURE;
  STDMETHOD(put_LCID)(LONG var) PURE;
};
ZX_DECLARE_UUID(IResponse, IID_IResponse);
