// Zentarix — MIT licence.
// EncoderManager: maps an encoder ID or a name (file extension) to the class of the encoder.
#pragma once
#include <scrrun.h>

#include <vector>

#include "ComObject.h"
#include "EncoderDispatch.h"
#include "zentarix.h"

namespace zx::encoding {

// Built once, at creation, from the classes registered under the image encoder category (built-in
// and foreign alike) and unchanged afterwards, so concurrent lookups need no lock.
class EncoderManager : public server::ComObject<EncoderManager, IEncoderManager> {
 public:
  // Enumerates the category: every class that gives IImageEncoder is entered by its ID and names;
  // a class without IImageEncoder is skipped; one without IEncoderNames fails the creation.
  HRESULT FinalConstruct();

  // The CLSID of the first encoder (in enumeration order) with that ID. E_POINTER for null;
  // "Encoder not found!" with 0xFFFFFFFF when none has it.
  STDMETHOD(FindCLSIDByID)(LONG EncID, GUID* ClsID) override;
  // The CLSID of the encoder registered under that name, any letter case (of two encoders with one
  // name the later enumerated). E_POINTER for null; an unknown name (a null BSTR is the empty name)
  // E_INVALIDARG with the message.
  STDMETHOD(FindCLSIDByName)(BSTR Name, GUID* ClsID) override;

 private:
  struct Entry {
    CLSID clsid;
    LONG id;
  };
  HRESULT add_encoder(REFCLSID clsid);

  std::vector<Entry> m_encoders;
  ComPtr<IDictionary> m_names;  // name (VT_BSTR) -> encoder ID (VT_I4), text comparison
};

}  // namespace zx::encoding
