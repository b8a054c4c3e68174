// Accessibility: every control gets the name and role a screen reader should hear, which the
// system cannot find for this window (its labels are painted by the program, not static
// controls), and the picture box also its value.
//
// The system's own controls (edit boxes, buttons, group boxes) are named by direct annotation
// (IAccPropServices): their standard accessible objects stay what clients get, so UI Automation
// keeps its native support for them (an edit box's text by line, word and caret). A control that
// answered WM_GETOBJECT itself would be taken for a plain MSAA server and lose that. Only the
// name is annotated: oleacc already gives these controls their roles, and a role annotation
// could only change the control type UI Automation reports.
//
// The program's own classes (the label and the picture box), and any control where annotation
// is not to be had (some systems' oleacc does not implement it), answer WM_GETOBJECT for their
// client area with a thin object around the system's standard one. The standard object keeps
// the states, actions, text value and navigation; the thin one gives the role, the name and the
// picture box's value. The role is given for every kind: the standard objects of some systems
// call every window a plain client. The roles are the ones the system's own objects give
// standard controls.
//
// Annotation loads oleacc, which costs several milliseconds, so it waits until the window is
// shown (AnnotateWaitingControls). Until then a control answers through the thin object, and a
// client's first request to any waiting control annotates them all before it is answered.

#include "Accessibility_win.h"

#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "Handles_win.h"
#include "SystemLibrary_win.h"
#include "WindowProcedure_win.h"

namespace {

// Defined here rather than taken from a library: the program does not link oleacc.
constexpr CLSID kAccPropServicesClass = {
    0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
constexpr IID kAccPropServicesInterface = {
    0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
constexpr MSAAPROPID kNameProperty = {
    0x608d3df8, 0x8128, 0x4aa7, {0xa4, 0x28, 0xf5, 0x5e, 0x49, 0x26, 0x72, 0x91}};

// Set once the system has answered that it does not implement annotation; not asked again.
bool g_annotationNotImplemented = false;

struct Identity {
    HWND control;
    LONG role;
    std::wstring name;
    AccessibleValue value;
    bool annotated;  // named by annotation; the standard object answers for it
    bool waiting;    // to be annotated (AnnotateWaitingControls)
};

// The controls given an identity, and those whose annotation waits; the GUI thread's, as every
// window message is.
std::vector<std::unique_ptr<Identity>> g_identities;
std::vector<HWND> g_waiting;

Identity* IdentityOf(HWND control) {
    for (const std::unique_ptr<Identity>& identity : g_identities)
        if (identity->control == control) return identity.get();
    return nullptr;
}

// The annotation service of oleacc, for one use. Null where the system has none.
class AnnotationService {
public:
    AnnotationService() {
        CoCreateInstance(kAccPropServicesClass, nullptr, CLSCTX_INPROC_SERVER,
                         kAccPropServicesInterface, reinterpret_cast<void**>(services_.Put()));
    }

    // Names the control's client object; false, with nothing left behind, when the system
    // does not take the annotation (Wine's oleacc answers E_NOTIMPL).
    bool Annotate(HWND control, const std::wstring& name) {
        if (!services_) return false;
        const HRESULT hr = services_->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT),
                                                     CHILDID_SELF, kNameProperty, name.c_str());
        if (SUCCEEDED(hr)) return true;
        if (hr == E_NOTIMPL) g_annotationNotImplemented = true;
        Clear(control);
        return false;
    }
    void Clear(HWND control) {
        if (!services_) return;
        MSAAPROPID properties[] = {kNameProperty};
        services_->ClearHwndProps(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                  properties, 1);
    }

private:
    OwnedCom<IAccPropServices> services_;
};

// The system's own control classes, whose standard objects UI Automation knows natively.
bool IsSystemControl(HWND control) {
    wchar_t name[16] = L"";
    if (!GetClassNameW(control, name, 16)) return false;
    return lstrcmpiW(name, WC_EDITW) == 0 || lstrcmpiW(name, WC_BUTTONW) == 0;
}

LONG SystemRole(AccessibleRole role) {
    switch (role) {
    case AccessibleRole::Text: return ROLE_SYSTEM_TEXT;
    case AccessibleRole::StaticText: return ROLE_SYSTEM_STATICTEXT;
    case AccessibleRole::PushButton: return ROLE_SYSTEM_PUSHBUTTON;
    case AccessibleRole::Grouping: return ROLE_SYSTEM_GROUPING;
    case AccessibleRole::Graphic: return ROLE_SYSTEM_GRAPHIC;
    case AccessibleRole::None: return ROLE_SYSTEM_CLIENT;
    }
    return ROLE_SYSTEM_CLIENT;
}

bool IsSelf(const VARIANT& child) {
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

void FreeString(BSTR text) {
    using Free = void(WINAPI*)(BSTR);
    static const auto release = SystemFunction<Free>(L"oleaut32.dll", "SysFreeString");
    if (release) release(text);
}

HRESULT StringOut(const std::wstring& text, BSTR* out) {
    if (!out) return E_POINTER;
    using Allocate = BSTR(WINAPI*)(const OLECHAR*, UINT);
    static const auto allocate = SystemFunction<Allocate>(L"oleaut32.dll", "SysAllocStringLen");
    *out = allocate ? allocate(text.c_str(), static_cast<UINT>(text.size())) : nullptr;
    return *out ? S_OK : E_OUTOFMEMORY;
}

// Delegates everything to the standard object but the role, the name and, for a graphic,
// the value. Lives as long as a client holds it; the window may go first, and then the
// standard object answers for the window as it does for any destroyed window.
// COM objects are destroyed by their own Release, never through the interface.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif
class ControlAccessible final : public IAccessible {
public:
    ControlAccessible(OwnedCom<IAccessible> standard, HWND hwnd, const Identity& identity)
        : standard_(std::move(standard)),
          hwnd_(hwnd),
          role_(identity.role),
          name_(identity.name),
          value_(identity.value) {}
    ControlAccessible(const ControlAccessible&) = delete;
    ControlAccessible& operator=(const ControlAccessible&) = delete;

    // IUnknown. The interfaces of the standard object that add nothing of ours are its own;
    // anything else (IMarshal above all) is not offered, so this object is what is marshalled.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IAccessible) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        if (riid == IID_IEnumVARIANT || riid == IID_IOleWindow)
            return standard_->QueryInterface(riid, out);
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.Add(); }
    ULONG STDMETHODCALLTYPE Release() override { return refs_.Release(this); }

    // IDispatch.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        return standard_->GetTypeInfoCount(n);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT i, LCID l, ITypeInfo** t) override {
        return standard_->GetTypeInfo(i, l, t);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID r, LPOLESTR* n, UINT c, LCID l,
                                            DISPID* d) override {
        return standard_->GetIDsOfNames(r, n, c, l, d);
    }
    // A late-bound client reads the name, role and value through Invoke: those are answered
    // here as through the vtable, everything else by the standard object.
    HRESULT STDMETHODCALLTYPE Invoke(DISPID d, REFIID r, LCID l, WORD f, DISPPARAMS* p, VARIANT* v,
                                     EXCEPINFO* e, UINT* a) override {
        const bool ours =
            d == DISPID_ACC_NAME || d == DISPID_ACC_ROLE || (d == DISPID_ACC_VALUE && value_);
        VARIANT child;
        if (!ours || !(f & DISPATCH_PROPERTYGET) || !ChildArgument(p, &child) || !IsSelf(child))
            return standard_->Invoke(d, r, l, f, p, v, e, a);
        if (!IsEqualIID(r, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        VARIANT result;
        result.vt = VT_EMPTY;
        HRESULT hr = S_OK;
        if (d == DISPID_ACC_ROLE) {
            hr = get_accRole(child, &result);
        } else {
            BSTR text = nullptr;
            hr = d == DISPID_ACC_NAME ? get_accName(child, &text) : get_accValue(child, &text);
            if (SUCCEEDED(hr)) {
                result.vt = VT_BSTR;
                result.bstrVal = text;
            }
        }
        if (FAILED(hr)) return hr;
        if (v) {
            *v = result;
        } else if (result.vt == VT_BSTR) {
            FreeString(result.bstrVal);
        }
        return S_OK;
    }

    // IAccessible: what this program says.
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (!IsSelf(child)) return standard_->get_accName(child, name);
        return StringOut(name_, name);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (!IsSelf(child)) return standard_->get_accRole(child, role);
        if (!role) return E_POINTER;
        role->vt = VT_I4;
        role->lVal = role_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        if (!IsSelf(child) || !value_) return standard_->get_accValue(child, value);
        if (!IsWindow(hwnd_)) return E_FAIL;
        return StringOut(value_(hwnd_), value);
    }

    // IAccessible: the standard object's answers.
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** p) override {
        return standard_->get_accParent(p);
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* n) override {
        return standard_->get_accChildCount(n);
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT c, IDispatch** d) override {
        return standard_->get_accChild(c, d);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT c, BSTR* s) override {
        return standard_->get_accDescription(c, s);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT c, VARIANT* s) override {
        return standard_->get_accState(c, s);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT c, BSTR* s) override {
        return standard_->get_accHelp(c, s);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* f, VARIANT c, LONG* t) override {
        return standard_->get_accHelpTopic(f, c, t);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT c, BSTR* s) override {
        return standard_->get_accKeyboardShortcut(c, s);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* c) override {
        return standard_->get_accFocus(c);
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* c) override {
        return standard_->get_accSelection(c);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT c, BSTR* s) override {
        return standard_->get_accDefaultAction(c, s);
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG f, VARIANT c) override {
        return standard_->accSelect(f, c);
    }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* x, LONG* y, LONG* w, LONG* h, VARIANT c) override {
        return standard_->accLocation(x, y, w, h, c);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG d, VARIANT s, VARIANT* e) override {
        return standard_->accNavigate(d, s, e);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* c) override {
        return standard_->accHitTest(x, y, c);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT c) override {
        return standard_->accDoDefaultAction(c);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT c, BSTR s) override {
        return standard_->put_accName(c, s);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT c, BSTR s) override {
        return standard_->put_accValue(c, s);
    }

private:
    friend class ::RefCount;  // only the last Release deletes it
    ~ControlAccessible() = default;

    // The child a property read through Invoke names: its one optional positional argument,
    // CHILDID_SELF when it is left out. False for a call shaped otherwise.
    static bool ChildArgument(const DISPPARAMS* p, VARIANT* child) {
        child->vt = VT_I4;
        child->lVal = CHILDID_SELF;
        if (!p || p->cArgs == 0) return true;
        if (p->cArgs != 1 || p->cNamedArgs != 0 || !p->rgvarg) return false;
        const VARIANT& given = p->rgvarg[0];
        if (given.vt == VT_I4) {
            child->lVal = given.lVal;
            return true;
        }
        // An optional argument left out arrives as DISP_E_PARAMNOTFOUND.
        return given.vt == VT_EMPTY ||
               (given.vt == VT_ERROR && given.scode == DISP_E_PARAMNOTFOUND);
    }

    RefCount refs_;
    OwnedCom<IAccessible> standard_;
    HWND hwnd_;
    LONG role_;
    std::wstring name_;
    AccessibleValue value_;
};
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

LRESULT AnswerClientObject(HWND hwnd, WPARAM wParam, const Identity& identity) {
    using CreateStd = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);
    using FromObject = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);
    static const auto createStd =
        SystemFunction<CreateStd>(L"oleacc.dll", "CreateStdAccessibleObject");
    static const auto fromObject = SystemFunction<FromObject>(L"oleacc.dll", "LresultFromObject");
    if (!createStd || !fromObject) return 0;
    OwnedCom<IAccessible> standard;
    if (FAILED(createStd(hwnd, OBJID_CLIENT, IID_IAccessible,
                         reinterpret_cast<void**>(standard.Put()))) ||
        !standard)
        return 0;
    const OwnedCom<ControlAccessible> object(
        new ControlAccessible(std::move(standard), hwnd, identity));
    return fromObject(IID_IAccessible, wParam, object.Get());
}

LRESULT CALLBACK AccessibleControlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Identity* identity = IdentityOf(hwnd);
    if (!identity) return CallProcedureBehind(AccessibleControlProc, hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_GETOBJECT:
        if (identity->waiting) AnnotateWaitingControls();
        if (!identity->annotated &&
            static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT)) {
            if (const LRESULT answer = AnswerClientObject(hwnd, wParam, *identity)) return answer;
        }
        break;
    case WM_NCDESTROY: {
        // Annotations are kept by the system, not by the window: they go with it.
        if (identity->annotated) AnnotationService().Clear(hwnd);
        g_waiting.erase(std::remove(g_waiting.begin(), g_waiting.end(), hwnd), g_waiting.end());
        const LRESULT result =
            CallProcedureBehind(AccessibleControlProc, hwnd, msg, wParam, lParam);
        g_identities.erase(std::remove_if(g_identities.begin(), g_identities.end(),
                                          [hwnd](const std::unique_ptr<Identity>& i) {
                                              return i->control == hwnd;
                                          }),
                           g_identities.end());
        return result;
    }
    default: break;
    }
    return CallProcedureBehind(AccessibleControlProc, hwnd, msg, wParam, lParam);
}

}  // namespace

void GiveAccessibleIdentity(HWND control, AccessibleRole role, const std::wstring& name,
                            AccessibleValue value) {
    if (!control || IdentityOf(control)) return;
    // A control with a value of the program's answers through its own object.
    const bool waiting = !value && !g_annotationNotImplemented && IsSystemControl(control);
    g_identities.push_back(std::unique_ptr<Identity>(
        new Identity{control, SystemRole(role), name, value, false, waiting}));
    if (!PutProcedureInFront(control, AccessibleControlProc)) {
        g_identities.pop_back();
        return;
    }
    if (waiting) g_waiting.push_back(control);
}

void AnnotateWaitingControls() {
    if (g_waiting.empty()) return;
    std::vector<HWND> controls;
    controls.swap(g_waiting);
    // One service for them all: creating it is what loads oleacc.
    AnnotationService service;
    for (const HWND control : controls) {
        Identity* identity = IdentityOf(control);
        if (!identity) continue;
        identity->waiting = false;
        identity->annotated =
            !g_annotationNotImplemented && service.Annotate(control, identity->name);
    }
}

void NotifyPictureChanged(HWND pictureBox) {
    NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, pictureBox, OBJID_CLIENT, CHILDID_SELF);
}
