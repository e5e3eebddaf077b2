// Zentarix — MIT licence.
// Calls: arguments by reference or by value, script procedures in frames of their own, members of
// script objects, and components through IDispatch with their errors turned into the language's.
#include <cstring>

#include "ErrObject.h"
#include "Interpreter.h"
#include "ScriptObject.h"

namespace zx::script {

// ---- arguments ----------------------------------------------------------------------------------

ArgList::ArgList(Interpreter& in, const std::vector<Expr*>& exprs) : m_in(in), m_mark(in.m_stack.mark()) {
  const int n = static_cast<int>(exprs.size());
  m_v = in.m_stack.push(static_cast<size_t>(n));
  try {
    for (; m_n < n; ++m_n) {
      const Expr* e = exprs[m_n];
      VARIANT& arg = m_v[m_n];
      if (!e) {
        arg.vt = VT_ERROR;
        arg.scode = DISP_E_PARAMNOTFOUND;
        continue;
      }
      if ((e->kind == ExprKind::Local || e->kind == ExprKind::Global || e->kind == ExprKind::Field) && !e->readOnly) {
        arg.vt = kAlias;
        arg.pvarVal = in.slot_of(e);
        continue;
      }
      if (e->kind == ExprKind::Index && (in.slot_of(e->left)->vt == (VT_ARRAY | VT_VARIANT)) && e->args.size() <= kMaxDimensions) {
        // An element of an array of VARIANTs is passed by reference too; the array stays put meanwhile.
        Indices at;
        in.indices_of(e->args, at);
        const VARIANT* array = in.slot_of(e->left);
        VARIANT* element = variant_element(*array, at.v, at.n);
        m_locks.emplace_back(array->parray);
        arg.vt = kAlias;
        arg.pvarVal = element;
        continue;
      }
      in.eval(e, arg);
    }
  } catch (...) {
    release();
    throw;
  }
}

void ArgList::release() {
  for (int i = 0; i < m_n; ++i)
    if (m_v[i].vt != kAlias) clear_value(m_v[i]);
  m_n = 0;
  m_locks.clear();
  m_in.m_stack.release(m_mark);
}

// ---- script procedures ---------------------------------------------------------------------------

void Interpreter::invoke_proc(const Procedure* p, ScriptObject* me, VARIANT* args, int argc, VARIANT* result) {
  if (argc != static_cast<int>(p->params.size())) raise_error(kErrWrongArgCount, p->name);
  if (m_depth >= m_maxDepth) raise_error(kErrOutOfStack);
  const VariantStack::Mark mark = m_stack.mark();
  VARIANT* locals = m_stack.push(static_cast<size_t>(p->localCount));
  Frame frame;
  frame.locals = locals;
  frame.proc = p;
  frame.me = me;
  // Leaving, by return or by error: the caller's frame comes back and the locals are released.
  struct Leave {
    Interpreter& in;
    Frame* saved;
    VARIANT* locals;
    int count;
    VariantStack::Mark mark;
    ~Leave() {
      in.m_frame = saved;
      --in.m_depth;
      for (int i = count - 1; i >= 0; --i) {
        if (locals[i].vt == kAlias) {
          locals[i].vt = VT_EMPTY;
          continue;
        }
        VARIANT old = locals[i];
        locals[i].vt = VT_EMPTY;
        try {
          clear_value(old);
        } catch (...) {
        }
      }
      in.m_stack.release(mark);
    }
  } leave{*this, m_frame, locals, p->localCount, mark};
  ++m_depth;
  for (int i = 0; i < argc; ++i) {
    VARIANT& a = args[i];
    VARIANT& slot = locals[i + 1];
    if (a.vt == kAlias) {
      if (p->params[i].byVal)
        copy_value(slot, *a.pvarVal);
      else
        slot = a;
    } else {
      slot = a;  // the caller's temporary becomes the parameter
      a.vt = VT_EMPTY;
    }
  }
  init_arrays(locals, p->fixedArrays, p->dynamicArrays);
  m_frame = &frame;
  exec_block(p->body);
  if (result) {
    clear_value(*result);
    *result = locals[0];
    locals[0].vt = VT_EMPTY;
  }
}

void Interpreter::call(const Expr* e, WORD, VARIANT* result) {
  ArgList args(*this, e->args);
  invoke_proc(e->proc, nullptr, args.data(), args.size(), result);
}

// ---- members ------------------------------------------------------------------------------------

namespace {

// Holds the object a member is called on for the length of the call, whatever the arguments do to
// the variable it came from.
struct HeldObject {
  VARIANT v;
  explicit HeldObject(const VARIANT& from) : v(from) {
    if (is_object(v) && v.punkVal) v.punkVal->AddRef();
  }
  HeldObject(const HeldObject&) = delete;
  HeldObject& operator=(const HeldObject&) = delete;
  ~HeldObject() {
    if (is_object(v) && v.punkVal) v.punkVal->Release();
  }
};

}  // namespace

void Interpreter::member(const Expr* e, WORD flags, VARIANT* value, VARIANT* result) {
  Value tmp;
  const VARIANT* object;
  if (!e->left)
    object = target_of(e->withLocal ? &m_frame->locals[e->slot] : &m_globals[e->slot]);
  else
    object = peek(e->left, tmp);
  if (e->name.empty() && (object->vt & VT_ARRAY) && !value && result) {  // Split(s)(1): an element of the result
    Indices at;
    indices_of(e->args, at);
    Value element;
    read_element(*object, at.v, at.n, element);
    clear_value(*result);
    *result = element.release();
    return;
  }
  if (!is_object(*object) || !object->punkVal)
    raise_error(kErrObjectRequired, e->left && !e->left->name.empty() ? e->left->name : e->name);
  HeldObject held(*object);
  ArgList args(*this, e->args);
  invoke_object(held.v, e->name, e, flags, args.data(), args.size(), value, result);
}

void Interpreter::me_member(const Expr* e, WORD flags, VARIANT* value, VARIANT* result) {
  ArgList args(*this, e->args);
  call_member(m_frame->me, e->slot, flags, args.data(), args.size(), value, result);
}

int Interpreter::member_of(ScriptObject* obj, const std::u16string& name, const Expr* site) {
  const ClassDef* cls = obj->cls();
  int index;
  if (site && site->cache.cls == cls) {
    index = site->cache.member;
  } else {
    auto it = cls->memberIndex.find(fold_name(name));
    index = it == cls->memberIndex.end() ? -1 : it->second;
    if (site) site->cache = {cls, index};
  }
  // Private members are for the class's own code only.
  if (index >= 0 && !cls->members[index].isPublic && !(m_frame->me && m_frame->me->cls() == cls)) return -1;
  return index;
}

void Interpreter::invoke_object(const VARIANT& object, const std::u16string& name, const Expr* site, WORD flags,
                                VARIANT* args, int argc, VARIANT* value, VARIANT* result) {
  if (!is_object(object) || !object.punkVal) raise_error(kErrObjectRequired, name);
  if (ScriptObject* so = ScriptObject::from(object.punkVal); so && so->interpreter() == this) {
    const int index = name.empty() ? so->cls()->defaultMember : member_of(so, name, site);
    if (index < 0) raise_error(kErrNoSuchMember, name);
    return call_member(so, index, flags, args, argc, value, result);
  }
  zx::ComPtr<IDispatch> disp;
  if (object.vt == VT_DISPATCH)
    disp = object.pdispVal;
  else if (FAILED(object.punkVal->QueryInterface(IID_IDispatch, disp.put_void())))
    raise_error(kErrNoSuchMember, name);
  DISPID id = DISPID_VALUE;
  if (!name.empty()) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name.c_str())};
    const HRESULT hr = disp->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) raise_call_error(hr == E_NOTIMPL ? DISP_E_UNKNOWNNAME : hr, nullptr, name);
  }
  // Arguments go last first; a put's value comes first, named as DISPID_PROPERTYPUT.
  const int total = argc + (value ? 1 : 0);
  VARIANT small[16];
  std::vector<VARIANT> large;
  VARIANT* reversed = small;
  if (total > 16) {
    large.resize(static_cast<size_t>(total));
    reversed = large.data();
  }
  int k = 0;
  if (value) reversed[k++] = *value;  // borrowed
  for (int i = argc - 1; i >= 0; --i) reversed[k++] = args[i];
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS params{reversed, value ? &put : nullptr, static_cast<UINT>(total), value ? 1u : 0u};
  EXCEPINFO info{};
  Value answer;
  UINT argErr = 0;
  HRESULT hr = disp->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &answer, &info, &argErr);
  if (m_pendingStop) raise_pending_stop();
  // A put through a read-only collection property (Response.Cookies("k") = v) has no put member.
  const bool putThrough = hr == DISP_E_MEMBERNOTFOUND && value && (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF));
  if ((hr == DISP_E_BADPARAMCOUNT || putThrough) && argc > 0 && id != DISPID_VALUE) {
    // obj.Items(1) where the property Items takes no arguments: the arguments go to the default
    // member of what it returns (WScript.Arguments.Unnamed(0)). Only a property is read again: a
    // method is never called a second time.
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    Value inner;
    EXCEPINFO ignored{};
    hr = disp->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &inner, &ignored, &argErr);
    if (m_pendingStop) raise_pending_stop();
    if (FAILED(hr)) {
      SysFreeString(ignored.bstrSource);
      SysFreeString(ignored.bstrDescription);
      SysFreeString(ignored.bstrHelpFile);
      raise_call_error(DISP_E_BADPARAMCOUNT, nullptr, name);
    }
    if (inner.vt & VT_ARRAY && !value && result) {
      Indices at;
      script::indices_of(args, argc, at);
      Value element;
      read_element(inner, at.v, at.n, element);
      clear_value(*result);
      *result = element.release();
      return;
    }
    return invoke_object(inner, std::u16string(), nullptr, flags, args, argc, value, result);
  }
  if (FAILED(hr)) raise_call_error(hr, &info, name.empty() ? std::u16string(u"default member") : name);
  if (result) {
    clear_value(*result);
    if (answer.vt & VT_BYREF) {
      VariantInit(result);
      if (FAILED(VariantCopyInd(result, &answer))) raise_error(kErrTypeMismatch);
    } else {
      *result = answer.release();
    }
  }
}

void Interpreter::call_member(ScriptObject* obj, int index, WORD flags, VARIANT* args, int argc, VARIANT* value,
                              VARIANT* result) {
  zx::ComPtr<ScriptObject> keep(obj);  // the object outlives its own member's call
  const ClassMember& m = obj->cls()->members[index];
  if (m.field >= 0) {
    VARIANT* slot = target_of(&obj->fields()[m.field]);
    Indices at;
    if (argc && (slot->vt & VT_ARRAY)) script::indices_of(args, argc, at);
    if (value) {
      const bool isSet = (flags & DISPATCH_PROPERTYPUTREF) != 0;
      if (isSet && !is_object(*value)) raise_error(kErrObjectRequired, m.name);
      if (!isSet && is_object(*value)) {
        Value plain;
        default_value(*value, plain);
        clear_value(*value);
        *value = plain.release();
      }
      if (argc == 0) return store(slot, *value);
      if (slot->vt & VT_ARRAY) return write_element(*slot, at.v, at.n, *value);
      return invoke_object(*slot, std::u16string(), nullptr, flags, args, argc, value, nullptr);
    }
    if (!result) return;
    if (argc == 0) {
      clear_value(*result);
      return copy_value(*result, *slot);
    }
    Value out;
    if (slot->vt & VT_ARRAY)
      read_element(*slot, at.v, at.n, out);
    else
      invoke_object(*slot, std::u16string(), nullptr, flags, args, argc, nullptr, &out);
    clear_value(*result);
    *result = out.release();
    return;
  }
  if (value) {
    const Procedure* put = (flags & DISPATCH_PROPERTYPUTREF) ? m.set : m.let;
    if (!put) put = (flags & DISPATCH_PROPERTYPUTREF) ? m.let : m.set;
    if (!put) raise_error(m.get || m.method ? kErrWrongArgCount : kErrNoSuchMember, m.name);
    // The arguments and then the value, handed over to the accessor's frame.
    const VariantStack::Mark mark = m_stack.mark();
    VARIANT* all = m_stack.push(static_cast<size_t>(argc) + 1);
    for (int i = 0; i < argc; ++i) {
      all[i] = args[i];
      if (args[i].vt != kAlias) args[i].vt = VT_EMPTY;
    }
    all[argc] = *value;
    value->vt = VT_EMPTY;
    struct Release {
      Interpreter& in;
      VARIANT* all;
      int n;
      VariantStack::Mark mark;
      ~Release() {
        for (int i = 0; i < n; ++i)
          if (all[i].vt != kAlias) clear_value(all[i]);
        in.m_stack.release(mark);
      }
    } release{*this, all, argc + 1, mark};
    return invoke_proc(put, obj, all, argc + 1, nullptr);
  }
  const Procedure* get = m.method ? m.method : m.get;
  if (!get) raise_error(kErrNoSuchMember, m.name);
  Value out;
  invoke_proc(get, obj, args, argc, &out);
  if (result) {
    clear_value(*result);
    *result = out.release();
  }
}

void Interpreter::terminate(ScriptObject* obj) {
  const Procedure* p = obj->cls()->terminate;
  if (!p) return;
  Frame* saved = m_frame;
  try {
    invoke_proc(p, obj, nullptr, 0, nullptr);
  } catch (const ScriptError&) {
    // An error in Class_Terminate has nobody to go to: the object is going anyway.
  } catch (const StopRequest& stop) {
    defer_stop(stop);
  } catch (...) {
  }
  m_frame = saved;
}

}  // namespace zx::script
