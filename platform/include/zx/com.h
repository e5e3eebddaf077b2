// Zentarix platform layer — MIT licence.
// RAII holders for COM references, BSTRs, VARIANTs and SAFEARRAYs, and the COM boundary helpers.
#pragma once
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "../oleauto.h"

namespace zx {

// Owning interface pointer (WIL/WRL ComPtr in spirit).
template <class T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  ComPtr(std::nullptr_t) noexcept {}
  ComPtr(T* p) noexcept : m_p(p) {
    if (m_p) m_p->AddRef();
  }
  ComPtr(const ComPtr& o) noexcept : ComPtr(o.m_p) {}
  ComPtr(ComPtr&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
  ~ComPtr() { reset(); }
  ComPtr& operator=(ComPtr o) noexcept {
    std::swap(m_p, o.m_p);
    return *this;
  }
  void reset() noexcept {
    if (T* p = std::exchange(m_p, nullptr)) p->Release();
  }
  // Takes over a reference the caller already owns.
  void attach(T* p) noexcept {
    reset();
    m_p = p;
  }
  T* detach() noexcept { return std::exchange(m_p, nullptr); }
  T* get() const noexcept { return m_p; }
  T* operator->() const noexcept { return m_p; }
  explicit operator bool() const noexcept { return m_p != nullptr; }
  // Releases what is held and returns the address for an out parameter.
  T** put() noexcept {
    reset();
    return &m_p;
  }
  void** put_void() noexcept { return reinterpret_cast<void**>(put()); }
  template <class Q>
  HRESULT query(ComPtr<Q>& out) const noexcept {
    if (!m_p) return E_POINTER;
    return m_p->QueryInterface(uuid_of<Q>::value, out.put_void());
  }
  // Hands a new reference to a raw out pointer.
  HRESULT copy_to(T** pp) const noexcept {
    if (!pp) return E_POINTER;
    *pp = m_p;
    if (m_p) m_p->AddRef();
    return S_OK;
  }

 private:
  T* m_p = nullptr;
};

// Owning BSTR.
class Bstr {
 public:
  Bstr() noexcept = default;
  explicit Bstr(const OLECHAR* s) : m_s(s ? SysAllocString(s) : nullptr) {
    if (s && !m_s) throw std::bad_alloc();
  }
  explicit Bstr(std::u16string_view s) : m_s(SysAllocStringLen(s.data(), static_cast<UINT>(s.size()))) {
    if (!m_s) throw std::bad_alloc();
  }
  Bstr(const Bstr& o) : m_s(o.m_s ? SysAllocStringLen(o.m_s, SysStringLen(o.m_s)) : nullptr) {
    if (o.m_s && !m_s) throw std::bad_alloc();
  }
  Bstr(Bstr&& o) noexcept : m_s(std::exchange(o.m_s, nullptr)) {}
  ~Bstr() { SysFreeString(m_s); }
  Bstr& operator=(Bstr o) noexcept {
    std::swap(m_s, o.m_s);
    return *this;
  }
  static Bstr attach(BSTR s) noexcept {
    Bstr b;
    b.m_s = s;
    return b;
  }
  BSTR detach() noexcept { return std::exchange(m_s, nullptr); }
  BSTR get() const noexcept { return m_s; }
  BSTR* put() noexcept {
    SysFreeString(std::exchange(m_s, nullptr));
    return &m_s;
  }
  UINT length() const noexcept { return SysStringLen(m_s); }
  std::u16string_view view() const noexcept { return m_s ? std::u16string_view(m_s, SysStringLen(m_s)) : std::u16string_view(); }

 private:
  BSTR m_s = nullptr;
};

// Owning VARIANT: cleared on destruction.
class Variant : public VARIANT {
 public:
  Variant() noexcept { VariantInit(this); }
  Variant(const Variant& o) : Variant() { copy_from(o); }
  Variant& operator=(const Variant& o) {
    if (this != &o) {
      clear();
      copy_from(o);
    }
    return *this;
  }
  ~Variant() { VariantClear(this); }
  void clear() noexcept { VariantClear(this); }
  VARIANT* put() noexcept {
    clear();
    return this;
  }
  // Moves the contents out; this becomes VT_EMPTY.
  VARIANT detach() noexcept {
    VARIANT v = *this;
    VariantInit(this);
    return v;
  }

 private:
  void copy_from(const VARIANT& o) {
    HRESULT hr = VariantCopy(this, &o);
    if (hr == E_OUTOFMEMORY) throw std::bad_alloc();
  }
};

// Owning SAFEARRAY.
class SafeArray {
 public:
  SafeArray() noexcept = default;
  explicit SafeArray(SAFEARRAY* psa) noexcept : m_psa(psa) {}
  SafeArray(const SafeArray&) = delete;
  SafeArray& operator=(const SafeArray&) = delete;
  SafeArray(SafeArray&& o) noexcept : m_psa(std::exchange(o.m_psa, nullptr)) {}
  SafeArray& operator=(SafeArray&& o) noexcept {
    reset(std::exchange(o.m_psa, nullptr));
    return *this;
  }
  ~SafeArray() { reset(); }
  void reset(SAFEARRAY* psa = nullptr) noexcept {
    if (m_psa) SafeArrayDestroy(m_psa);
    m_psa = psa;
  }
  SAFEARRAY* get() const noexcept { return m_psa; }
  SAFEARRAY** put() noexcept {
    reset();
    return &m_psa;
  }
  SAFEARRAY* detach() noexcept { return std::exchange(m_psa, nullptr); }

 private:
  SAFEARRAY* m_psa = nullptr;
};

// Scope guard for SafeArrayAccessData / SafeArrayUnaccessData. Not noexcept: it reads a caller's
// array descriptor, which code under the fault guard may do (a translated fault must unwind out).
class SafeArrayAccess {
 public:
  SafeArrayAccess(SAFEARRAY* psa, HRESULT& hr) : m_psa(psa) {
    hr = SafeArrayAccessData(psa, &m_data);
    if (FAILED(hr)) m_psa = nullptr;
  }
  SafeArrayAccess(const SafeArrayAccess&) = delete;
  SafeArrayAccess& operator=(const SafeArrayAccess&) = delete;
  ~SafeArrayAccess() { unaccess(); }
  HRESULT unaccess() {
    if (!m_psa) return S_OK;
    SAFEARRAY* psa = std::exchange(m_psa, nullptr);
    return SafeArrayUnaccessData(psa);
  }
  void* data() const { return m_data; }

 private:
  SAFEARRAY* m_psa;
  void* m_data = nullptr;
};

// Writes all cb bytes at the stream's position. A Write may take fewer bytes than asked (legal for
// any IStream), so it is called again for the rest until everything is written or a call fails; a
// Write that takes nothing yet answers success is STG_E_WRITEFAULT (it would never finish).
inline HRESULT write_all(ISequentialStream* stream, const void* data, ULONG cb) {
  const auto* at = static_cast<const unsigned char*>(data);
  while (cb > 0) {
    ULONG written = 0;
    const HRESULT hr = stream->Write(at, cb, &written);
    if (FAILED(hr)) return hr;
    if (written == 0 || written > cb) return STG_E_WRITEFAULT;
    at += written;
    cb -= written;
  }
  return S_OK;
}

// Comparison of names the way Automation compares them (option names, "Auto", value names): ASCII
// letters without regard to case, every other code unit as it is.
constexpr char16_t ascii_lower(char16_t c) noexcept {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}
constexpr bool equal_ignoring_case(std::u16string_view a, std::u16string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
  return true;
}

// Text conversions between the UTF-16 the COM surface uses and the UTF-8 the host OS uses.
ZX_API std::string to_utf8(std::u16string_view s);
ZX_API std::u16string to_utf16(std::string_view s);

}  // namespace zx
