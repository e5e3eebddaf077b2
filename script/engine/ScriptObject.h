// Zentarix — MIT licence.
// An instance of a script's Class: its fields, and IDispatch so components and hosts can call it.
#pragma once
#include <atomic>
#include <vector>

#include "Ast.h"
#include "oaidl.h"

namespace zx::script {

class Interpreter;

class ScriptObject final : public IDispatch {
 public:
  ScriptObject(Interpreter* interp, const ClassDef* cls);
  ScriptObject(const ScriptObject&) = delete;
  ScriptObject& operator=(const ScriptObject&) = delete;

  // The class of an object made by a script, or null for any other object.
  static const ClassDef* class_of(IUnknown* unknown);
  static ScriptObject* from(IUnknown* unknown);

  const ClassDef* cls() const { return m_cls; }
  Interpreter* interpreter() const { return m_interp; }
  VARIANT* fields() { return m_fields.data(); }
  // The interpreter is going: later calls fail instead of running code of a program that is gone.
  void orphan() { m_interp = nullptr; }

  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override;
  STDMETHOD_(ULONG, AddRef)() override { return ++m_refs; }
  STDMETHOD_(ULONG, Release)() override;
  STDMETHOD(GetTypeInfoCount)(UINT* pctinfo) override;
  STDMETHOD(GetTypeInfo)(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
  // Public members by name; dispids are member positions + 1, DISPID_VALUE the default member.
  STDMETHOD(GetIDsOfNames)(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override;
  STDMETHOD(Invoke)(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                    VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

 private:
  ~ScriptObject();
  std::atomic<ULONG> m_refs{0};
  Interpreter* m_interp;
  const ClassDef* m_cls;
  std::vector<VARIANT> m_fields;
};

}  // namespace zx::script
