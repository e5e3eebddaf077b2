// Zentarix — MIT licence.
// The one COM wrapper every encoder class shares; a format is data plus a narrow encode backend.
#pragma once
#include <objbase.h>

#include <optional>
#include <span>

#include "ComObject.h"
#include "EncodeSteps.h"
#include "EncoderDispatch.h"
#include "EncoderMessages.h"
#include "EncoderOptions.h"
#include "ErrorReporting.h"
#include "ImageEncoder.h"
#include "zentarix.h"


namespace zx::encoding {

// One option read of SetOptions and the message its failure is reported with.
struct OptionRead {
  Option option;
  const OLECHAR* message;
};

// A format: its identity (data) and its backend (defaults, option reads in order, encoding).
struct EncoderFormat {
  EncoderIdentity who;
  LONG id;                                   // GetEncoderID
  std::span<const OLECHAR* const> names;     // IEncoderNames, in enumeration order
  void (*set_defaults)(EncoderOptions&);     // the option fields of a new object
  std::span<const OptionRead> reads;         // SetOptions, stopping at the first failure
  // Writes the whole file to request.output (a memory stream of the wrapper's) and returns the
  // result of DoEncode, reporting its own failures (GDI+ failure messages). Runs under the fault
  // guard: nothing it calls that reads pixels may be noexcept, and pixels that are not our own
  // memory are copied before a codec library reads them (make_working_bitmap).
  HRESULT (*encode)(const EncoderIdentity& who, const EncoderOptions& options, const EncodeRequest& request);
};

template <class Main, const EncoderFormat* Format>
class EncoderObject : public server::ComObject<EncoderObject<Main, Format>, Main, IImageEncoder, IEncoderNames> {
 public:
  EncoderObject() { Format->set_defaults(m_options); }

  // ---- IImageEncoder ----
  STDMETHOD(GetEncoderID)(LONG* id) override {
    if (!id) return E_POINTER;
    *id = Format->id;
    return S_OK;
  }
  STDMETHOD(SetOptions)(IDictionary* options) override {
    if (!options) return E_INVALIDARG;
    return server::com_call([&] {
      for (const OptionRead& read : Format->reads) {
        if (FAILED(read_option(options, read.option, m_options)))
          return server::ReportError(*Format->who.clsid, read.message, *Format->who.iid, E_INVALIDARG);
      }
      return S_OK;
    });
  }
  STDMETHOD(DoEncode)(BYTE* pixels, LONG width, LONG height, LONG pixelFormat, IStream* output) override {
    if (!output) return E_POINTER;
    // The pixels are the caller's memory: the file is made in memory under the fault guard, so a
    // fault while reading them ends this call, not the process. The caller's stream is written
    // afterwards, outside the guard (its Write is foreign code), and only with a whole file.
    return server::com_call(
        [&] {
          ComPtr<IStream> file;
          HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, file.put());
          if (FAILED(hr)) return hr;
          const EncodeRequest request{pixels, width, height, pixelFormat, file.get()};
          const std::optional<HRESULT> encoded = server::guarded_call(Format->encode, Format->who, m_options, request);
          if (!encoded) return report_gdiplus_failure(Format->who, Gdiplus::GenericError);
          if (FAILED(*encoded)) return *encoded;
          return hand_over_stream(file.get(), output);
        },
        [&] { return report_gdiplus_failure(Format->who, Gdiplus::GenericError); });
  }
  // Slots the contract keeps for IDispatch; nothing is reachable through them.
  STDMETHOD(GetTypeInfoCount)(UINT* pctinfo) override { return ZxDispatchGetTypeInfoCount(pctinfo); }
  STDMETHOD(GetTypeInfo)(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override {
    return ZxDispatchGetTypeInfo(iTInfo, lcid, ppTInfo);
  }
  STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT cNames, LCID, DISPID* rgDispId) override {
    if (rgDispId)
      for (UINT i = 0; i < cNames; ++i) rgDispId[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  STDMETHOD(Invoke)(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return DISP_E_MEMBERNOTFOUND;
  }

  // ---- IEncoderNames ----
  STDMETHOD(Reserved)(void*) override { return E_NOTIMPL; }
  STDMETHOD(Next)(ULONG count, BSTR* name, ULONG* fetched) override {
    if (count != 1)
      return server::ReportError(*Format->who.clsid, messages::kFetchOneName, IID_IEncoderNames, E_INVALIDARG);
    if (!name) return E_POINTER;
    if (m_position >= Format->names.size()) return S_FALSE;
    BSTR copy = SysAllocString(Format->names[m_position]);
    if (!copy) return E_OUTOFMEMORY;
    *name = copy;
    if (fetched) *fetched = 1;
    ++m_position;
    return S_OK;
  }
  STDMETHOD(Skip)(ULONG count) override {
    m_position += count;  // 64-bit: cannot wrap back into the list
    return S_OK;
  }
  STDMETHOD(Reset)() override {
    m_position = 0;
    return S_OK;
  }

  // What SetOptions has read so far (for tests below the COM surface).
  const EncoderOptions& options() const noexcept { return m_options; }

 private:
  EncoderOptions m_options;
  uint64_t m_position = 0;
};

}  // namespace zx::encoding
