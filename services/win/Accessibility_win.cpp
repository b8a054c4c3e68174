// Accessibility: every control answers WM_GETOBJECT for its client area with a thin object
// around the system's standard one. The standard object keeps the states, actions, text value
// and navigation; the thin one only gives the role and the name, which the system cannot find
// for this window (its labels are painted by the program, not static controls), and the
// picture box's value.
//
// The role is given for every kind, not only the picture box: the standard objects of some
// systems call every window a plain client, and the labels and the picture box are classes of
// this program anyway. The roles are the ones the system's own objects give standard controls.
//
// Dynamic annotation (IAccPropServices) would be the lighter way, but not every system that
// runs the program implements it; WM_GETOBJECT works everywhere the standard objects do.
// oleacc.dll is loaded when the first client asks, not at start.
#include "Accessibility_win.h"

#include <commctrl.h>
#include <oleacc.h>

#include <utility>

#include "Handles_win.h"
#include "SystemLibrary_win.h"

namespace {

constexpr UINT_PTR kAccessibleSubclassId = 2;

struct Identity {
    LONG role;
    std::wstring name;
    AccessibleValue value;
};

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
    ULONG STDMETHODCALLTYPE AddRef() override {
        return static_cast<ULONG>(InterlockedIncrement(&refs_));
    }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

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
    HRESULT STDMETHODCALLTYPE Invoke(DISPID d, REFIID r, LCID l, WORD f, DISPPARAMS* p, VARIANT* v,
                                     EXCEPINFO* e, UINT* a) override {
        return standard_->Invoke(d, r, l, f, p, v, e, a);
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
    ~ControlAccessible() = default;

    LONG refs_ = 1;
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

LRESULT CALLBACK AccessibleSubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                        DWORD_PTR data) {
    auto* identity = reinterpret_cast<Identity*>(data);
    switch (msg) {
    case WM_GETOBJECT:
        if (static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT)) {
            if (const LRESULT answer = AnswerClientObject(hwnd, wParam, *identity)) return answer;
        }
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, AccessibleSubclassProc, kAccessibleSubclassId);
        delete identity;
        break;
    default: break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

}  // namespace

void GiveAccessibleIdentity(HWND control, AccessibleRole role, const std::wstring& name,
                            AccessibleValue value) {
    auto* identity = new Identity{SystemRole(role), name, value};
    if (!SetWindowSubclass(control, AccessibleSubclassProc, kAccessibleSubclassId,
                           reinterpret_cast<DWORD_PTR>(identity)))
        delete identity;
}

void NotifyPictureChanged(HWND pictureBox) {
    NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, pictureBox, OBJID_CLIENT, CHILDID_SELF);
}
