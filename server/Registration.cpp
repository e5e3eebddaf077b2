// Zentarix — MIT licence.
// DllRegisterServer / DllUnregisterServer: the class keys, the encoder category and the type library.
#include <comcat.h>
#include <winbase.h>

#include <string>

#include "ErrorReporting.h"
#include "Messages.h"
#include "ModuleFrame.h"
#include "Registration.h"

namespace zx::server {
namespace {

HRESULT create_category_manager(ICatRegister** manager) {
  return CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_ALL, IID_ICatRegister,
                          reinterpret_cast<void**>(manager));
}

HRESULT register_server() {
  ComPtr<ICatRegister> categories;
  if (FAILED(create_category_manager(categories.put())))
    return ReportError(CLSID_StdComponentCategoriesMgr, messages::kNoCategoryManager, GUID_NULL);

  CATEGORYINFO category = {};
  category.catid = CATID_ZentarixImageEncoders;
  category.lcid = GetSystemDefaultLCID();
  std::char_traits<OLECHAR>::copy(category.szDescription, kImageEncoderCategoryDescription,
                                  std::size(kImageEncoderCategoryDescription));
  const HRESULT hr = categories->RegisterCategories(1, &category);
  if (FAILED(hr)) return hr;
  return register_classes(class_table(), type_library(), categories.get());
}

// Everything is removed that can be; a missing category manager is still the first failure.
HRESULT unregister_server() {
  ComPtr<ICatRegister> categories;
  const HRESULT manager = create_category_manager(categories.put());
  const HRESULT removed = unregister_classes(class_table(), type_library(), categories.get());
  return FAILED(manager) ? manager : removed;
}

}  // namespace
}  // namespace zx::server

STDAPI DllRegisterServer() { return zx::server::registration_call(zx::server::register_server); }

STDAPI DllUnregisterServer() { return zx::server::registration_call(zx::server::unregister_server); }
