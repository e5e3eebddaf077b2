// Zentarix — MIT licence.
// Type library registration: the TypeLib and Interface keys Windows writes for RegisterTypeLib.
#include <cstdio>

#include "activation_internal.h"
#include "zx/com.h"

namespace zx::activation {
namespace {

// The automation proxy/stub class that Windows records for [oleautomation] and dual interfaces.
constexpr char16_t kPSOAInterface[] = u"{00020424-0000-0000-C000-000000000046}";
// Windows files the module path under "win32" or "win64" by the pointer size of the module; this
// platform has one kind of module, so its path goes under "linux64". Clients that look for the
// module read whichever platform subkey exists, as they do on Windows.
constexpr char16_t kPlatformKey[] = u"linux64";

std::u16string version_text(const ZX_TYPELIB_DESC& d) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%x.%x", d.wMajorVerNum, d.wMinorVerNum);
  return zx::to_utf16(buf);
}

std::u16string hex_lcid(LCID lcid) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%x", lcid);
  return zx::to_utf16(buf);
}

HRESULT check(LSTATUS s) { return s == ERROR_SUCCESS ? S_OK : TYPE_E_REGISTRYACCESS; }

}  // namespace
}  // namespace zx::activation

using namespace zx::activation;

STDAPI ZxRegisterTypeLib(const ZX_TYPELIB_DESC* desc, LPCOLESTR szFullPath, LPCOLESTR szHelpDir) {
  if (!desc || !desc->libid || !szFullPath || (desc->cInterfaces && !desc->interfaces)) return E_INVALIDARG;
  try {
    const std::u16string libid = guid_text(*desc->libid);
    const std::u16string libKey = u"TypeLib\\" + libid + u"\\" + version_text(*desc);
    const std::u16string title(desc->helpString && *desc->helpString ? desc->helpString
                               : desc->name                          ? desc->name
                                                                     : u"");
    std::u16string helpDir;
    if (szHelpDir) {
      helpDir = szHelpDir;
    } else {
      // Without an explicit folder Windows records the folder of the library's file.
      std::u16string_view full(szFullPath);
      size_t slash = full.find_last_of(u"/\\");
      helpDir = slash == std::u16string_view::npos ? std::u16string() : std::u16string(full.substr(0, slash));
    }
    const std::u16string path(szFullPath);
    const std::u16string zero = u"0";
    if (HRESULT hr = check(delete_tree(libKey)); FAILED(hr)) return hr;
    if (HRESULT hr = check(write_key(libKey, &title)); FAILED(hr)) return hr;
    if (HRESULT hr = check(write_key(libKey + u"\\" + hex_lcid(desc->lcid) + u"\\" + kPlatformKey, &path)); FAILED(hr))
      return hr;
    if (HRESULT hr = check(write_key(libKey + u"\\FLAGS", &zero)); FAILED(hr)) return hr;
    if (HRESULT hr = check(write_key(libKey + u"\\HELPDIR", &helpDir)); FAILED(hr)) return hr;
    const std::u16string version = version_text(*desc);
    const std::u16string psoa = kPSOAInterface;
    for (UINT i = 0; i < desc->cInterfaces; ++i) {
      const ZX_TYPELIB_INTERFACE& itf = desc->interfaces[i];
      if (!itf.iid) return E_INVALIDARG;
      const std::u16string key = u"Interface\\" + guid_text(*itf.iid);
      const std::u16string name(itf.name ? itf.name : u"");
      if (HRESULT hr = check(write_key(key, &name)); FAILED(hr)) return hr;
      if (itf.oleautomation) {
        if (HRESULT hr = check(write_key(key + u"\\ProxyStubClsid", &psoa)); FAILED(hr)) return hr;
        if (HRESULT hr = check(write_key(key + u"\\ProxyStubClsid32", &psoa)); FAILED(hr)) return hr;
      }
      if (HRESULT hr = check(write_key(key + u"\\TypeLib", &libid)); FAILED(hr)) return hr;
      if (HRESULT hr = check(write_value(key + u"\\TypeLib", u"Version", version)); FAILED(hr)) return hr;
    }
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

STDAPI ZxUnRegisterTypeLib(const ZX_TYPELIB_DESC* desc) {
  if (!desc || !desc->libid || (desc->cInterfaces && !desc->interfaces)) return E_INVALIDARG;
  try {
    const std::u16string libid = guid_text(*desc->libid);
    if (!key_exists(u"TypeLib\\" + libid)) return TYPE_E_REGISTRYACCESS;
    for (UINT i = 0; i < desc->cInterfaces; ++i) {
      if (!desc->interfaces[i].iid) return E_INVALIDARG;
      const std::u16string key = u"Interface\\" + guid_text(*desc->interfaces[i].iid);
      // Only the interface entries that point at this library belong to it.
      auto owner = read_default(key + u"\\TypeLib");
      if (owner && parse_guid(*owner) == *desc->libid)
        if (HRESULT hr = check(delete_tree(key)); FAILED(hr)) return hr;
    }
    const std::u16string libKey = u"TypeLib\\" + libid;
    if (HRESULT hr = check(delete_tree(libKey + u"\\" + version_text(*desc))); FAILED(hr)) return hr;
    // The LIBID key goes when no other version of the library remains.
    return check(delete_key_if_empty(libKey));
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}
