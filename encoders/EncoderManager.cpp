// Zentarix — MIT licence.
// EncoderManager: maps an encoder ID or a name (file extension) to the class of the encoder.
#include "EncoderManager.h"

#include <comcat.h>

#include "ClassTable.h"
#include "EncoderMessages.h"
#include "EncoderOptions.h"
#include "ErrorReporting.h"
#include "ImageEncoder.h"
#include "Messages.h"

namespace zx::encoding {
namespace {

// The two creation failures name the IEncoderNames IID rather than the manager's own interface.
HRESULT report_creation(const std::u16string& message, HRESULT hr) {
  return server::ReportError(CLSID_EncoderManager, message, IID_IEncoderNames, hr);
}

HRESULT report_no_encoders() {
  return report_creation(std::u16string(messages::kNoEncodersInstalled) + server::messages::kSupportAddress, E_FAIL);
}

}  // namespace

HRESULT EncoderManager::FinalConstruct() {
  return server::com_call([&]() -> HRESULT {
    ComPtr<ICatInformation> categories;
    if (FAILED(CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_ALL, IID_ICatInformation,
                                categories.put_void())))
      return report_no_encoders();
    const CATID implemented[] = {server::CATID_ZentarixImageEncoders};
    ComPtr<IEnumGUID> classes;
    if (FAILED(categories->EnumClassesOfCategories(1, implemented, 0, nullptr, classes.put())))
      return report_no_encoders();

    HRESULT hr = CoCreateInstance(CLSID_Dictionary, nullptr, CLSCTX_ALL, IID_IDictionary, m_names.put_void());
    if (FAILED(hr)) return hr;
    if (FAILED(hr = m_names->put_CompareMode(TextCompare))) return hr;

    classes->Reset();
    CLSID clsid{};
    while (classes->Next(1, &clsid, nullptr) == S_OK) {
      if (FAILED(hr = add_encoder(clsid))) return hr;
    }
    return S_OK;
  });
}

HRESULT EncoderManager::add_encoder(REFCLSID clsid) {
  ComPtr<IImageEncoder> encoder;
  if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IImageEncoder, encoder.put_void()))) return S_OK;
  // An encoder that cannot tell its ID could never be chosen by it: skipped like one that is no
  // encoder at all.
  LONG id = 0;
  if (FAILED(encoder->GetEncoderID(&id))) return S_OK;
  ComPtr<IEncoderNames> names;
  if (FAILED(encoder.query(names))) return report_creation(messages::kCannotRetrieveName, E_INVALIDARG);

  names->Reset();
  for (;;) {
    Variant key;
    if (names->Next(1, &key.bstrVal, nullptr) != S_OK) break;
    key.vt = VT_BSTR;
    Variant item;
    item.vt = VT_I4;
    item.lVal = id;
    // A name another encoder already has is taken over: the encoder enumerated later wins it. The
    // map holds the ID, and an ID belongs to the first encoder that has it (FindCLSIDByID), so an
    // encoder repeating another's ID is never chosen, even by its own names.
    if (const HRESULT hr = m_names->put_Item(&key, &item); FAILED(hr)) return hr;
  }
  m_encoders.push_back({clsid, id});
  return S_OK;
}

HRESULT EncoderManager::FindCLSIDByID(LONG EncID, GUID* ClsID) {
  if (!ClsID) return E_POINTER;
  for (const Entry& e : m_encoders) {
    if (e.id == EncID) {
      *ClsID = e.clsid;
      return S_OK;
    }
  }
  return server::ReportError(CLSID_EncoderManager, messages::kEncoderNotFound, IID_IEncoderManager,
                             server::ZX_E_UNKNOWN_ENCODER);
}

HRESULT EncoderManager::FindCLSIDByName(BSTR Name, GUID* ClsID) {
  if (!ClsID) return E_POINTER;
  return server::com_call([&]() -> HRESULT {
    Variant key;
    key.vt = VT_BSTR;
    key.bstrVal = SysAllocStringLen(Name, SysStringLen(Name));
    if (!key.bstrVal) return E_OUTOFMEMORY;
    // Read without adding: the map stays as creation left it, so lookups never write.
    Variant item;
    HRESULT hr = read_store_item(m_names.get(), key.bstrVal, item);
    if (FAILED(hr)) return hr;
    LONG id = 0;
    if (FAILED(variant_to_long(item, id)))
      return server::ReportError(CLSID_EncoderManager, messages::kCannotFindEncoder, IID_IEncoderManager, E_INVALIDARG);
    return FindCLSIDByID(id, ClsID);
  });
}

}  // namespace zx::encoding
