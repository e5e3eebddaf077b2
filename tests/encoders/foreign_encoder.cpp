// Zentarix — MIT licence.
// A foreign encoder module for the manager's tests, built five ways (ZX_FOREIGN_KIND): a whole
// encoder (0), a class in the category without IImageEncoder (1), one without IEncoderNames (2), and
// two whose CLSIDs come after every built-in's, colliding with them: JPEG's ID 0 (3), the name PNG (4).
#include <dlfcn.h>

#include <atomic>
#include <cstring>

#include "ImageEncoder.h"
#include "comcat.h"
#include "objbase.h"
#include "winreg.h"
#include "zx/com.h"

#ifndef ZX_FOREIGN_KIND
#error "ZX_FOREIGN_KIND must be 0 to 4"
#endif

namespace {

#if ZX_FOREIGN_KIND == 0
constexpr CLSID kClsid = {0x5A1E0F00, 0x1B2C, 0x4D3E, {0x8F, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xC0}};
constexpr char16_t kKey[] = u"CLSID\\{5A1E0F00-1B2C-4D3E-8F01-23456789ABC0}";
#elif ZX_FOREIGN_KIND == 1
constexpr CLSID kClsid = {0x5A1E0F01, 0x1B2C, 0x4D3E, {0x8F, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xC1}};
constexpr char16_t kKey[] = u"CLSID\\{5A1E0F01-1B2C-4D3E-8F01-23456789ABC1}";
#elif ZX_FOREIGN_KIND == 2
constexpr CLSID kClsid = {0x5A1E0F02, 0x1B2C, 0x4D3E, {0x8F, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xC2}};
constexpr char16_t kKey[] = u"CLSID\\{5A1E0F02-1B2C-4D3E-8F01-23456789ABC2}";
#elif ZX_FOREIGN_KIND == 3
constexpr CLSID kClsid = {0xFA1E0F03, 0x1B2C, 0x4D3E, {0x8F, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xC3}};
constexpr char16_t kKey[] = u"CLSID\\{FA1E0F03-1B2C-4D3E-8F01-23456789ABC3}";
#else
constexpr CLSID kClsid = {0xFA1E0F04, 0x1B2C, 0x4D3E, {0x8F, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xC4}};
constexpr char16_t kKey[] = u"CLSID\\{FA1E0F04-1B2C-4D3E-8F01-23456789ABC4}";
#endif
constexpr LONG kId = ZX_FOREIGN_KIND == 3 ? 0 : (ZX_FOREIGN_KIND == 4 ? 43 : 42);
// The image encoder category.
constexpr CATID kCategory = {0xFDCDC031, 0xCDD1, 0x4C61, {0xBE, 0x20, 0x86, 0x6C, 0x36, 0x7B, 0x1A, 0x0D}};
constexpr const char16_t* kNames[] = {ZX_FOREIGN_KIND == 3 ? u"ZXC" : (ZX_FOREIGN_KIND == 4 ? u"PNG" : u"ZXF"),
                                      ZX_FOREIGN_KIND >= 3 ? u"ZXD" : u"ZXForeign"};

std::atomic<long> g_objects{0};

class Foreign final : public IImageEncoder, public IEncoderNames {
 public:
  Foreign() { ++g_objects; }
  ~Foreign() { --g_objects; }

  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown) *ppv = static_cast<IImageEncoder*>(this);
    if (ZX_FOREIGN_KIND != 1 && riid == IID_IImageEncoder) *ppv = static_cast<IImageEncoder*>(this);
    if (ZX_FOREIGN_KIND != 2 && riid == IID_IEncoderNames) *ppv = static_cast<IEncoderNames*>(this);
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHOD_(ULONG, AddRef)() override { return ++m_refs; }
  STDMETHOD_(ULONG, Release)() override {
    const ULONG left = --m_refs;
    if (!left) delete this;
    return left;
  }

  STDMETHOD(GetEncoderID)(LONG* id) override {
    if (!id) return E_POINTER;
    *id = kId;
    return S_OK;
  }
  // Counts the options it was given, to prove the store arrives as a dictionary.
  STDMETHOD(SetOptions)(IDictionary* options) override { return options ? options->get_Count(&m_optionCount) : E_POINTER; }
  // Writes "FOREIGN" and the option count byte.
  STDMETHOD(DoEncode)(BYTE*, LONG, LONG, LONG, IStream* output) override {
    const char bytes[8] = {'F', 'O', 'R', 'E', 'I', 'G', 'N', static_cast<char>(m_optionCount)};
    ULONG written = 0;
    return output->Write(bytes, 8, &written);
  }
  STDMETHOD(GetTypeInfoCount)(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
  STDMETHOD(Invoke)(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return DISP_E_MEMBERNOTFOUND;
  }

  STDMETHOD(Reserved)(void*) override { return E_NOTIMPL; }
  STDMETHOD(Next)(ULONG count, BSTR* name, ULONG* fetched) override {
    if (count != 1) return E_INVALIDARG;
    if (!name) return E_POINTER;
    if (m_position >= 2) return S_FALSE;
    *name = SysAllocString(kNames[m_position++]);
    if (fetched) *fetched = 1;
    return S_OK;
  }
  STDMETHOD(Skip)(ULONG n) override {
    m_position += n;
    return S_OK;
  }
  STDMETHOD(Reset)() override {
    m_position = 0;
    return S_OK;
  }

 private:
  std::atomic<ULONG> m_refs{0};
  ULONG m_position = 0;
  LONG m_optionCount = 0;
};

class Factory final : public IClassFactory {
 public:
  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
    *ppv = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  STDMETHOD_(ULONG, AddRef)() override { return 2; }
  STDMETHOD_(ULONG, Release)() override { return 1; }
  STDMETHOD(CreateInstance)(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* object = new Foreign();
    object->AddRef();
    const HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
  }
  STDMETHOD(LockServer)(BOOL) override { return S_OK; }
};
Factory g_factory;

std::u16string module_path() {
  Dl_info info{};
  dladdr(reinterpret_cast<void*>(&g_factory), &info);
  return zx::to_utf16(info.dli_fname ? info.dli_fname : "");
}

bool set_default(const std::u16string& path, const std::u16string& value) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr))
    return false;
  const LSTATUS s = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                   static_cast<DWORD>((value.size() + 1) * sizeof(char16_t)));
  RegCloseKey(key);
  return s == ERROR_SUCCESS;
}

}  // namespace

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (rclsid != kClsid) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow() { return g_objects == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
  const std::u16string key(kKey);
  if (!set_default(key, u"Foreign encoder") || !set_default(key + u"\\InprocServer32", module_path()))
    return SELFREG_E_CLASS;
  zx::ComPtr<ICatRegister> categories;
  HRESULT hr = CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_ALL, IID_ICatRegister,
                                categories.put_void());
  if (FAILED(hr)) return hr;
  CATID category = kCategory;
  return categories->RegisterClassImplCategories(kClsid, 1, &category);
}

STDAPI DllUnregisterServer() {
  zx::ComPtr<ICatRegister> categories;
  HRESULT hr = CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_ALL, IID_ICatRegister,
                                categories.put_void());
  if (FAILED(hr)) return hr;
  CATID category = kCategory;
  if (FAILED(hr = categories->UnRegisterClassImplCategories(kClsid, 1, &category))) return hr;
  const LSTATUS s = RegDeleteTreeW(HKEY_CLASSES_ROOT, kKey);
  return s == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(s);
}
