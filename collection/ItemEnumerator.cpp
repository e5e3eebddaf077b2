// Zentarix — MIT licence.
// The enumerator a RasterCollection's _NewEnum hands out.
#include "ItemEnumerator.h"

#include <oleauto.h>

namespace zx::collection {

HRESULT ItemEnumerator::create(std::vector<ComPtr<IDispatch>> items, ULONG position, IEnumVARIANT** out) {
  ComPtr<IEnumVARIANT> made;
  HRESULT hr = server::create_instance<ItemEnumerator>(nullptr, IID_IEnumVARIANT, made.put_void());
  if (FAILED(hr)) return hr;
  auto* self = static_cast<ItemEnumerator*>(made.get());
  self->m_items = std::move(items);
  self->m_position = position;
  *out = made.detach();
  return S_OK;
}

// S_FALSE when fewer than celt remain; the elements not filled are left as they were.
HRESULT ItemEnumerator::Next(ULONG celt, VARIANT* rgVar, ULONG* pCeltFetched) {
  if (!rgVar && celt) return E_POINTER;
  if (celt > 1 && !pCeltFetched) return E_INVALIDARG;  // COM's rule: the count is then required
  ULONG fetched = 0;
  while (fetched < celt && m_position < m_items.size()) {
    VariantInit(&rgVar[fetched]);
    V_VT(&rgVar[fetched]) = VT_DISPATCH;
    V_DISPATCH(&rgVar[fetched]) = ComPtr<IDispatch>(m_items[m_position]).detach();
    ++fetched;
    ++m_position;
  }
  if (pCeltFetched) *pCeltFetched = fetched;
  return fetched == celt ? S_OK : S_FALSE;
}

HRESULT ItemEnumerator::Skip(ULONG celt) {
  const ULONG left = static_cast<ULONG>(m_items.size()) - m_position;
  m_position += celt < left ? celt : left;
  return celt <= left ? S_OK : S_FALSE;
}

HRESULT ItemEnumerator::Reset() {
  m_position = 0;
  return S_OK;
}

HRESULT ItemEnumerator::Clone(IEnumVARIANT** ppEnum) {
  if (!ppEnum) return E_POINTER;
  return server::com_call([&] { return create(m_items, m_position, ppEnum); });
}

}  // namespace zx::collection
