// Zentarix — MIT licence.
// Server (objects, paths, encodings) and the kept state of Session and Application.
#pragma once
#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "web_idl.h"
#include "zx/object.h"

namespace zx::script::web {

class ServerObject final : public zx::DispatchObject<ServerObject, IServer> {
 public:
  // `root` is the site's folder, `page` the page's path in the site ("/photos/index.asp").
  ServerObject(std::filesystem::path root, std::string page) : m_root(std::move(root)), m_page(std::move(page)) {}

  STDMETHOD(CreateObject)(BSTR ProgID, IDispatch** out) override;
  STDMETHOD(MapPath)(BSTR Path, BSTR* out) override;
  STDMETHOD(URLEncode)(BSTR Text, BSTR* out) override;
  STDMETHOD(HTMLEncode)(BSTR Text, BSTR* out) override;
  STDMETHOD(URLPathEncode)(BSTR Text, BSTR* out) override;
  STDMETHOD(get_ScriptTimeout)(LONG* out) override;
  STDMETHOD(put_ScriptTimeout)(LONG seconds) override;
  // What ScriptTimeout is now; any thread may ask.
  LONG timeout_seconds() const { return m_timeout.load(); }

 private:
  std::filesystem::path m_root;
  std::string m_page;
  std::atomic<LONG> m_timeout{90};
};

std::u16string html_encode(std::u16string_view text);

// Values one visitor's requests (or all requests) share. Values are copied in and out, never
// objects: requests run on several threads and the objects are not made for that.
struct StateStore {
  std::mutex values;  // guards the fields below
  std::map<std::u16string, std::pair<std::u16string, zx::Variant>> items;  // by lower-case name
  std::string id;
  long timeoutMinutes = 20;
  std::chrono::steady_clock::time_point lastUsed = std::chrono::steady_clock::now();
  bool abandoned = false;
  std::mutex pageLock;  // Application.Lock
};

class StateObject final : public zx::DispatchObject<StateObject, IStateObject> {
 public:
  StateObject(std::shared_ptr<StateStore> store, bool session) : m_store(std::move(store)), m_session(session) {}
  ~StateObject();  // a page that ends still holding Lock lets go

  STDMETHOD(get_Value)(BSTR Name, VARIANT* out) override;
  STDMETHOD(put_Value)(BSTR Name, VARIANT value) override;
  STDMETHOD(get_SessionID)(BSTR* out) override;
  STDMETHOD(get_Timeout)(LONG* out) override;
  STDMETHOD(put_Timeout)(LONG minutes) override;
  STDMETHOD(Abandon)() override;
  STDMETHOD(Lock)() override;
  STDMETHOD(Unlock)() override;
  STDMETHOD(Remove)(BSTR Name) override;
  STDMETHOD(RemoveAll)() override;
  STDMETHOD(get_Count)(LONG* out) override;

 private:
  HRESULT fail(HRESULT hr, const char16_t* text);
  std::shared_ptr<StateStore> m_store;
  bool m_session;
  bool m_locked = false;
};

}  // namespace zx::script::web
