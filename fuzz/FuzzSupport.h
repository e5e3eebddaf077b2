// Zentarix — MIT licence.
// What the fuzz targets share: a reader over the fuzzer's bytes, memory streams, random VARIANTs.
#pragma once
#include <objbase.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "zentarix.h"
#include "zx/com.h"

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
STDAPI DllRegisterServer();

namespace zx::fuzz {

// Takes values off the front of the input; past its end every value is zero, so any input is a
// complete program for a target.
class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : m_p(data), m_end(data + size) {}
  template <class T>
  T take() {
    T v{};
    const size_t n = std::min(sizeof v, left());
    if (n) std::memcpy(&v, m_p, n);
    m_p += n;
    return v;
  }
  uint32_t below(uint32_t n) { return n ? take<uint32_t>() % n : 0; }
  std::span<const uint8_t> bytes(size_t n) {
    n = std::min(n, left());
    std::span<const uint8_t> s{m_p, n};
    m_p += n;
    return s;
  }
  std::span<const uint8_t> rest() { return bytes(left()); }
  size_t left() const { return size_t(m_end - m_p); }

 private:
  const uint8_t* m_p;
  const uint8_t* m_end;
};

// A memory stream holding bytes, positioned at its start.
inline ComPtr<IStream> memory_stream(std::span<const uint8_t> bytes) {
  ComPtr<IStream> stream;
  if (CreateStreamOnHGlobal(nullptr, TRUE, stream.put()) != S_OK) std::abort();
  ULONG written = 0;
  if (!bytes.empty()) stream->Write(bytes.data(), ULONG(bytes.size()), &written);
  LARGE_INTEGER start{};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  return stream;
}

// An object of the module's. The module is registered once, in a private registry file of the
// process's own, because objects find their encoders through the registry's categories.
template <class T>
ComPtr<T> make(REFCLSID clsid) {
  static const bool registered = [] {
    char path[] = "/tmp/zx-fuzz-registry-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return false;
    close(fd);
    setenv("ZENTARIX_REGISTRY", path, 1);
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return false;
    return DllRegisterServer() == S_OK;
  }();
  if (!registered) std::abort();
  ComPtr<IClassFactory> factory;
  ComPtr<T> object;
  HRESULT hr = DllGetClassObject(clsid, IID_IClassFactory, factory.put_void());
  if (hr == S_OK) hr = factory->CreateInstance(nullptr, uuid_of<T>::value, object.put_void());
  if (hr != S_OK) {
    std::fprintf(stderr, "cannot make an object: %08X\n", unsigned(hr));
    std::abort();
  }
  return object;
}

// The process's scratch folder, made the working directory once: every file name a target passes
// is relative to it (no name may hold a '/'), so nothing outside it is read or written.
inline void enter_scratch_folder() {
  static const bool entered = [] {
    char dir[] = "/tmp/zx-fuzz-XXXXXX";
    return mkdtemp(dir) && chdir(dir) == 0;
  }();
  if (!entered) std::abort();
}

// Integers as a script passes them: mostly small, sometimes at the edges of their type. A call
// that takes a width and a height may get an edge and a small value, at most 65536 x 256 pixels:
// a script may ask for that, and it is drawn in seconds under the sanitizers (a resize to 924 x
// 65535 took a minute, a hang by the campaign's clock though not a fault). Larger products overflow
// the bitmap's size and are refused at once.
inline int32_t script_int(Bytes& in) {
  static constexpr int32_t kEdges[] = {0, -1, 1, 255, 256, 65535, 65536, INT_MAX, INT_MIN};
  const uint8_t kind = in.take<uint8_t>();
  if (kind < 16) return kEdges[kind % std::size(kEdges)];
  return in.take<int16_t>() % 256;
}

// A string without '/': text, a number, or one of the scratch folder's image files.
inline std::u16string script_text(Bytes& in) {
  static constexpr const char16_t* kNames[] = {u"a.bmp", u"b.png", u"c.jpg", u"d.gif", u"e.tif", u"f.wbmp",
                                               u"g.swf", u"missing.jpg", u"Arial", u"", u"12.5", u"-1"};
  const uint8_t kind = in.take<uint8_t>();
  if (kind < 128) return kNames[kind % std::size(kNames)];
  std::u16string s;
  for (size_t n = in.below(24); n > 0; --n) {
    const char16_t c = in.take<char16_t>();
    s.push_back(c == u'/' || c == 0 ? u'_' : c);
  }
  return s;
}

// One argument of any type a script may pass, by value or by reference (the referenced values live
// in `store`, which must not move while the argument is used). Object arguments come from `pool`.
class ArgumentMaker {
 public:
  explicit ArgumentMaker(std::vector<ComPtr<IUnknown>> pool) : m_pool(std::move(pool)) {}

  void make(Bytes& in, VARIANT& out, VARIANT& store) {
    VariantInit(&out);
    VariantInit(&store);
    static constexpr VARTYPE kTypes[] = {VT_EMPTY, VT_NULL, VT_I2,   VT_I4,       VT_R4,   VT_R8,  VT_CY,
                                         VT_DATE,  VT_BSTR, VT_BOOL, VT_ERROR,    VT_UI1,  VT_I1,  VT_UI2,
                                         VT_UI4,   VT_I8,   VT_INT,  VT_DISPATCH, VT_UNKNOWN, VT_DECIMAL};
    const VARTYPE vt = kTypes[in.below(std::size(kTypes))];
    const int32_t n = script_int(in);
    store.vt = vt;
    switch (vt) {
      case VT_I2: store.iVal = int16_t(n); break;
      case VT_I4: case VT_INT: store.lVal = n; break;
      case VT_R4: store.fltVal = in.take<uint8_t>() < 32 ? in.take<float>() : float(n) / 4; break;
      case VT_R8: case VT_DATE: store.dblVal = in.take<uint8_t>() < 32 ? in.take<double>() : double(n) / 4; break;
      case VT_CY: store.cyVal.int64 = int64_t{n} * 10000; break;
      case VT_BSTR: {
        const std::u16string s = script_text(in);
        store.bstrVal = SysAllocStringLen(s.data(), UINT(s.size()));
        break;
      }
      case VT_BOOL: store.boolVal = n & 1 ? VARIANT_TRUE : VARIANT_FALSE; break;
      case VT_ERROR: store.scode = in.take<uint8_t>() & 1 ? DISP_E_PARAMNOTFOUND : n; break;
      case VT_UI1: store.bVal = uint8_t(n); break;
      case VT_I1: store.cVal = char(n); break;
      case VT_UI2: store.uiVal = uint16_t(n); break;
      case VT_UI4: store.ulVal = uint32_t(n); break;
      case VT_I8: store.llVal = n; break;
      case VT_DECIMAL: store.decVal.Lo64 = uint64_t(uint32_t(n)), store.decVal.sign = n < 0 ? 0x80 : 0, store.vt = VT_DECIMAL; break;
      case VT_DISPATCH: case VT_UNKNOWN: {
        IUnknown* object = m_pool.empty() ? nullptr : m_pool[in.below(uint32_t(m_pool.size()))].get();
        if (object && vt == VT_DISPATCH) {
          object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&store.pdispVal));
        } else {
          store.punkVal = object;
          if (object) object->AddRef();
        }
        break;
      }
      default: break;
    }
    if (in.take<uint8_t>() < 40 && vt != VT_EMPTY && vt != VT_NULL) {  // by reference
      out.vt = VARTYPE(vt | VT_BYREF);
      out.byref = vt == VT_DECIMAL ? static_cast<void*>(&store.decVal) : static_cast<void*>(&store.lVal);
    } else {
      VariantCopy(&out, &store);
    }
  }

 private:
  std::vector<ComPtr<IUnknown>> m_pool;
};

// Calls member `dispid` with `count` random arguments, some of them named; frees all it made.
inline void invoke_randomly(IDispatch* target, DISPID dispid, WORD flags, Bytes& in, ArgumentMaker& maker) {
  const UINT count = in.below(5);
  std::vector<VARIANT> args(count), stores(count);
  for (UINT i = 0; i < count; ++i) maker.make(in, args[i], stores[i]);
  DISPID named[2] = {DISPID_PROPERTYPUT, 0};
  UINT namedCount = 0;
  if (count > 0 && (flags & DISPATCH_PROPERTYPUT)) namedCount = 1;
  if (count > 1 && in.take<uint8_t>() < 32) named[namedCount++] = DISPID(in.below(6));
  DISPPARAMS params{args.data(), named, count, namedCount};
  VARIANT result;
  VariantInit(&result);
  EXCEPINFO excep{};
  UINT argError = 0;
  target->Invoke(dispid, IID_NULL, 0, flags, &params, in.take<uint8_t>() < 16 ? nullptr : &result, &excep, &argError);
  VariantClear(&result);
  SysFreeString(excep.bstrSource);
  SysFreeString(excep.bstrDescription);
  SysFreeString(excep.bstrHelpFile);
  for (UINT i = 0; i < count; ++i) {
    if (!(args[i].vt & VT_BYREF)) VariantClear(&args[i]);
    VariantClear(&stores[i]);
  }
}

}  // namespace zx::fuzz
