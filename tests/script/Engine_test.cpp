// Zentarix — MIT licence.
// The engine as a host embeds it: engines on threads of their own, script objects called from
// outside, errors with their places, and the Response object's head and body on a channel.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "Engine.h"
#include "HostObjects.h"
#include "Response.h"
#include "objbase.h"

using namespace zx::script;
using namespace zx::script::host;

namespace {

struct Captured final : OutputSink {
  std::string text;
  bool write(const void* data, size_t size) override {
    text.append(static_cast<const char*>(data), size);
    return true;
  }
};

struct Recorder final : ResponseChannel {
  std::vector<std::string> events;
  bool send_head(const ResponseHead& head) override {
    std::string line = "head " + head.status + " " + head.contentType;
    for (const auto& h : head.headers) line += " " + h.first + "=" + h.second;
    events.push_back(line);
    return true;
  }
  bool send_body(const void* data, size_t size) override {
    events.push_back("body " + std::string(static_cast<const char*>(data), size));
    return true;
  }
};

// Runs a script with WScript writing to `out`; returns run()'s answer.
bool run_script(const char16_t* source, Captured& out, ScriptError* error, Engine& engine, IDispatch* extra = nullptr,
                const char16_t* extraName = nullptr) {
  zx::ComPtr<WScriptObject> wscript(new WScriptObject({}, out, out, [&engine](int code) { engine.request_stop(code); }));
  engine.add_object(u"WScript", wscript.get());
  if (extra) engine.add_object(extraName, extra);
  if (!engine.compile(source, error)) return false;
  int exitCode = 0;
  return engine.run(&exitCode, error);
}

zx::ComPtr<IDispatch> dictionary() {
  CLSID clsid;
  zx::ComPtr<IDispatch> d;
  EXPECT_EQ(CLSIDFromProgID(u"Scripting.Dictionary", &clsid), S_OK);
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, d.put_void()), S_OK);
  return d;
}

TEST(ScriptEngine, EnginesRunOnThreadsOfTheirOwn) {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  constexpr char16_t kScript[] =
      u"Class Acc : Public T : Sub Add(n) : T = T + n : End Sub : End Class\n"
      u"Set a = New Acc : For i = 1 To 20000 : a.Add i Mod 7 : Next : WScript.Echo a.T";
  std::string results[4];
  std::vector<std::thread> threads;
  for (auto& result : results)
    threads.emplace_back([&result, &kScript] {
      Engine engine;
      Captured out;
      ScriptError error;
      EXPECT_TRUE(run_script(kScript, out, &error, engine));
      result = out.text;
    });
  for (auto& t : threads) t.join();
  for (const auto& r : results) EXPECT_EQ(r, "59998\n");
  CoUninitialize();
}

TEST(ScriptEngine, ScriptObjectsServeCallersOutsideUntilTheEngineCloses) {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  zx::ComPtr<IDispatch> box = dictionary();
  zx::ComPtr<IDispatch> object;
  {
    Engine engine;
    Captured out;
    ScriptError error;
    ASSERT_TRUE(run_script(u"Class Calc\n Function Twice(ByRef n) : n = n + 1 : Twice = n * 2 : End Function\n"
                           u" Private Function Hidden : End Function\nEnd Class\nSet Box(\"calc\") = New Calc",
                           out, &error, engine, box.get(), u"Box"));
    zx::Variant key, item;
    key.vt = VT_BSTR;
    key.bstrVal = SysAllocString(u"calc");
    DISPPARAMS get{&key, nullptr, 1, 0};
    ASSERT_EQ(box->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_PROPERTYGET, &get, &item, nullptr, nullptr), S_OK);
    ASSERT_EQ(item.vt, VT_DISPATCH);
    object = item.pdispVal;

    LPOLESTR names[] = {const_cast<LPOLESTR>(u"TWICE")}, hidden[] = {const_cast<LPOLESTR>(u"Hidden")};
    DISPID id = 0;
    ASSERT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    EXPECT_EQ(object->GetIDsOfNames(IID_NULL, hidden, 1, 0, &id), DISP_E_UNKNOWNNAME);
    object->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
    zx::Variant n, byRef, result;
    n.vt = VT_I4;
    n.lVal = 20;
    byRef.vt = VT_BYREF | VT_VARIANT;
    byRef.pvarVal = &n;
    DISPPARAMS call{&byRef, nullptr, 1, 0};
    ASSERT_EQ(object->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &call, &result, nullptr, nullptr), S_OK);
    EXPECT_EQ(result.lVal, 42);
    EXPECT_EQ(n.lVal, 21);  // written back through the reference
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXCEPINFO info{};
    EXPECT_EQ(object->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, &result, &info, nullptr), DISP_E_EXCEPTION);
    EXPECT_EQ(info.scode, static_cast<HRESULT>(0x800A01C2));  // wrong number of arguments
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
  }
  // The engine is gone: its objects refuse calls instead of running code of a program that is gone.
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  zx::Variant result;
  EXPECT_EQ(object->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr), E_UNEXPECTED);
  CoUninitialize();
}

TEST(ScriptEngine, ErrorsNameTheirPlace) {
  struct Case {
    const char16_t* source;
    bool compiles;
    int number, line, column;
    const char* detail;
  } cases[] = {
      {u"x = 1\n  If x Then\n", false, kErrExpectedEnd, 3, 1, ""},
      {u"x = (1 +\n", false, kErrExpectedExpression, 1, 9, ""},
      {u"Dim a(2)\n  a(5) = 1\n", true, kErrSubscript, 2, 3, ""},
      {u"Sub S(a) : End Sub\nS 1, 2\n", true, kErrWrongArgCount, 2, 1, ": 'S'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(zx::to_utf8(c.source));
    Engine engine;
    Captured out;
    ScriptError error;
    EXPECT_FALSE(run_script(c.source, out, &error, engine));
    EXPECT_EQ(error.source, c.compiles ? kRuntimeSource : kCompileSource);
    EXPECT_EQ(error.number, c.number);
    EXPECT_EQ(error.line, c.line);
    EXPECT_EQ(error.column, c.column);
    EXPECT_EQ(zx::to_utf8(error.detail), c.detail);
  }
}

TEST(ScriptEngine, ResponseSendsItsHeadOnceBeforeTheBody) {
  Recorder channel;
  bool stopped = false;
  zx::ComPtr<ResponseObject> response(new ResponseObject(channel, [&](int) { stopped = true; }));
  EXPECT_EQ(response->put_Status(zx::Bstr(u"404 Not Found").get()), S_OK);
  EXPECT_EQ(response->AddHeader(zx::Bstr(u"X-A").get(), zx::Bstr(u"1").get()), S_OK);
  EXPECT_EQ(response->AddHeader(zx::Bstr(u"X-B").get(), zx::Bstr(u"2\r\nInjected: yes").get()), E_INVALIDARG);
  zx::Variant text;
  text.vt = VT_BSTR;
  text.bstrVal = SysAllocString(u"héllo ");
  EXPECT_EQ(response->Write(text), S_OK);
  EXPECT_EQ(response->Flush(), S_OK);
  EXPECT_EQ(response->AddHeader(zx::Bstr(u"X-C").get(), zx::Bstr(u"3").get()), E_FAIL);  // the head went out
  zx::SafeArray bytes(SafeArrayCreateVector(VT_UI1, 0, 3));
  std::memcpy(bytes.get()->pvData, "abc", 3);
  zx::Variant data;
  data.vt = VT_ARRAY | VT_UI1;
  data.parray = bytes.detach();
  EXPECT_EQ(response->BinaryWrite(data), S_OK);
  EXPECT_EQ(response->End(), S_OK);
  EXPECT_TRUE(stopped);
  EXPECT_EQ(response->Write(text), S_OK);  // after End nothing more goes out
  response->finish();
  EXPECT_EQ(channel.events, (std::vector<std::string>{"head 404 Not Found text/html X-A=1", "body h\xC3\xA9llo ", "body abc"}));
}

}  // namespace

// A host's constants sit below the script's own names; a raised cancel flag ends the script at the
// statement it reached, past On Error Resume Next.
TEST(ScriptEngine, HostConstantsAndCancelFlag) {
  Captured out;
  ScriptError error;
  {
    Engine engine;
    engine.add_constant(u"oftPNG", 2);
    engine.add_constant(u"Mine", 9);
    EXPECT_TRUE(run_script(u"Const Mine = 5\nWScript.Echo OFTPNG, Mine", out, &error, engine));
  }
  EXPECT_EQ(out.text, "2 5\n");
  Engine engine;
  std::atomic<bool> cancel{false};
  zx::ComPtr<WScriptObject> wscript(new WScriptObject({}, out, out, [](int) {}));
  engine.add_object(u"WScript", wscript.get());
  ASSERT_TRUE(engine.compile(u"On Error Resume Next\nDo\nLoop", &error));
  ScriptError timeout;
  timeout.description = u"timed out";
  engine.set_cancel_flag(&cancel, timeout);
  int exitCode = 0;
  std::thread watchdog([&cancel] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    cancel = true;
  });
  EXPECT_FALSE(engine.run(&exitCode, &error));
  watchdog.join();
  EXPECT_EQ(error.description, u"timed out");
  EXPECT_EQ(error.line, 2);
}
