// Zentarix — MIT licence.
// The enumerator a RasterCollection's _NewEnum hands out: its items, as they were then, in order.
#pragma once
#include <oaidl.h>
#include <zxdispatch.h>

#include <vector>

#include "ComObject.h"

// IEnumVARIANT adds no dispatchable member to IUnknown; the base template's IDispatch slots still
// need a table for it: an empty one.
inline constexpr ZX_DISPATCH_TABLE zx_no_dispatch_IEnumVARIANT = {&IID_IEnumVARIANT, u"IEnumVARIANT", nullptr, 0};
template <>
struct zx::dispatch_table_of<IEnumVARIANT> {
  static constexpr const ZX_DISPATCH_TABLE& value = zx_no_dispatch_IEnumVARIANT;
};

namespace zx::collection {

// Each element is VT_DISPATCH holding the item's IRasterItem, which is what a script's For Each
// binds its variable to. The enumerator holds its own references, so removing an item from the
// collection during a walk does not disturb it.
class ItemEnumerator : public server::ComObject<ItemEnumerator, IEnumVARIANT> {
 public:
  // A new enumerator over items (each AddRef'd), positioned at `position`, as IEnumVARIANT.
  static HRESULT create(std::vector<ComPtr<IDispatch>> items, ULONG position, IEnumVARIANT** out);

  STDMETHOD(Next)(ULONG celt, VARIANT* rgVar, ULONG* pCeltFetched) override;
  STDMETHOD(Skip)(ULONG celt) override;
  STDMETHOD(Reset)() override;
  STDMETHOD(Clone)(IEnumVARIANT** ppEnum) override;

 private:
  std::vector<ComPtr<IDispatch>> m_items;
  ULONG m_position = 0;
};

}  // namespace zx::collection
