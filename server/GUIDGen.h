// Zentarix — MIT licence.
// GUIDGen: makes new GUIDs as text for scripts.
#pragma once
#include "ComObject.h"
#include "zentarix.h"

namespace zx::server {

class GUIDGen : public ComObject<GUIDGen, IGUIDGen> {
 public:
  // pVal receives a new GUID as 36 lower-case hexadecimal characters in groups 8-4-4-4-12, without
  // braces (the caller frees it). E_POINTER for a null pVal; a failing UUID service's status as an
  // HRESULT (its "unique on this computer only" warning counts as success).
  STDMETHOD(Generate)(BSTR* pVal) override;
};

}  // namespace zx::server
