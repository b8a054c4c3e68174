// The program as a screen reader meets it, from this separate process: the name and role of
// every control through oleacc, the standard object's own answers kept beside them, the
// picture box's value as pictures come and go, and the WinEvent that says it changed, taken
// by an out-of-context hook. The focus is drawn on every control that takes it.
//
// The standard objects of Wine's oleacc call every window a plain client with no name but its
// window text: every role below, and the name of every edit box and of the picture box, is
// what the program says, not what the system says for it.
#include "Tests.h"

#include "IconPicker.h"
#include "TestPictures.h"

#include <oleacc.h>

#include <memory>

namespace driver {

namespace {

// COM for the calls of one test; oleacc's objects come back as proxies into the program.
struct ComScope {
    ComScope() { ok = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)); }
    ~ComScope() {
        if (ok) CoUninitialize();
    }
    bool ok = false;
};

struct Releaser {
    void operator()(IUnknown* p) const { p->Release(); }
};
using Accessible = std::unique_ptr<IAccessible, Releaser>;

Accessible ObjectOf(HWND hwnd) {
    IAccessible* object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                          reinterpret_cast<void**>(&object))))
        return nullptr;
    return Accessible(object);
}

VARIANT Self() {
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = CHILDID_SELF;
    return v;
}

// A text property; "(failed 0x...)" when the object would not give it.
template <typename Getter>
std::wstring TextOf(IAccessible* object, Getter get) {
    BSTR text = nullptr;
    const HRESULT hr = (object->*get)(Self(), &text);
    if (FAILED(hr)) return Cat(L"(failed 0x", std::hex, static_cast<unsigned long>(hr), L")");
    std::wstring result = text ? std::wstring(text, SysStringLen(text)) : std::wstring();
    SysFreeString(text);
    return result;
}

long RoleOf(IAccessible* object) {
    VARIANT role;
    VariantInit(&role);
    if (FAILED(object->get_accRole(Self(), &role)) || role.vt != VT_I4) return -1;
    return role.lVal;
}

long StateOf(IAccessible* object) {
    VARIANT state;
    VariantInit(&state);
    if (FAILED(object->get_accState(Self(), &state)) || state.vt != VT_I4) return -1;
    return state.lVal;
}

std::wstring RoleText(long role) {
    wchar_t text[64] = L"";
    GetRoleTextW(static_cast<DWORD>(role), text, 64);
    return Cat(role, L" (", text, L")");
}

} // namespace

void AccessibleNamesAndRoles(Check& check, const Options& options) {
    Session session(check, options);
    ComScope com;
    if (!session.Ok() || !check.Expect(com.ok, L"cannot initialise COM")) return;
    struct Row {
        int id;
        const wchar_t* name;
        long role;
    };
    const long text = ROLE_SYSTEM_TEXT, label = ROLE_SYSTEM_STATICTEXT, button = ROLE_SYSTEM_PUSHBUTTON,
               group = ROLE_SYSTEM_GROUPING;
    const Row rows[] = {
        {kEdit8, L"\x4E0B\x8F7D\x5730\x5740" /* 下载地址 */, text},
        {kLabel8, L"\x4E0B\x8F7D\x5730\x5740\xFF1A" /* 下载地址： */, label},
        {kButton4, L"\x67E5\x8BE2" /* 查询 */, button},
        {kEdit7, L"\x8BA2\x5355\x7F16\x53F7" /* 订单编号 */, text},
        {kLabel7, L"\x8BA2\x5355\x7F16\x53F7\xFF1A" /* 订单编号： */, label},
        {kGroup2, L"\x67E5\x8BE2\x8BA2\x5355\x72B6\x6001" /* 查询订单状态 */, group},
        {kEdit6, L"\x56DE\x663E" /* 回显 */, text},
        {kGroup1, L"\x56DE\x663E" /* 回显 */, group},
        {kButton3, L"\x5F00\x59CB\x6253\x5305" /* 开始打包 */, button},
        {kButton2, L"\x6E05\x7A7A\x56FE\x7247" /* 清空图片 */, button},
        {kButton1, L"\x9009\x62E9\x56FE\x7247" /* 选择图片 */, button},
        {kPicture1, L"APP \x56FE\x6807" /* APP 图标 */, ROLE_SYSTEM_GRAPHIC},
        {kLabel6, L"APP \x56FE\x6807\xFF1A" /* APP 图标： */, label},
        {kEdit5, L"\x63CF\x8FF0\x5185\x5BB9" /* 描述内容 */, text},
        {kLabel5, L"\x63CF\x8FF0\x5185\x5BB9\xFF1A" /* 描述内容： */, label},
        {kEdit4, L"\x63CF\x8FF0\x6807\x9898" /* 描述标题 */, text},
        {kLabel4, L"\x63CF\x8FF0\x6807\x9898\xFF1A" /* 描述标题： */, label},
        {kEdit3, L"\x7F51\x7AD9\x94FE\x63A5" /* 网站链接 */, text},
        {kLabel3, L"\x7F51\x7AD9\x94FE\x63A5\xFF1A" /* 网站链接： */, label},
        {kEdit2, L"APP \x5305\x540D" /* APP 包名 */, text},
        {kLabel2, L"APP \x5305\x540D\xFF1A" /* APP 包名： */, label},
        {kEdit1, L"APP \x540D\x79F0" /* APP 名称 */, text},
        {kLabel1, L"APP \x540D\x79F0\xFF1A" /* APP 名称： */, label},
    };
    for (const Row& row : rows) {
        const std::wstring who = ControlName(row.id);
        HWND hwnd = session.Control(row.id);
        if (hwnd == nullptr) continue;
        Accessible object = ObjectOf(hwnd);
        if (!check.Expect(object != nullptr, who + L": no accessible object")) continue;
        check.ExpectEq(who + L": name", row.name, TextOf(object.get(), &IAccessible::get_accName));
        check.ExpectEq(who + L": role", RoleText(row.role), RoleText(RoleOf(object.get())));
    }

    // What stays the standard object's: the focus state and the location, on the first edit
    // box, which has the first focus.
    Accessible first = ObjectOf(session.Control(kEdit1));
    if (first) {
        check.Expect((StateOf(first.get()) & STATE_SYSTEM_FOCUSED) != 0,
                     Cat(ControlName(kEdit1), L": the standard object's state lost its focus bit: 0x", std::hex, StateOf(first.get())));
        long x = 0, y = 0, w = 0, h = 0;
        const HRESULT hr = first->accLocation(&x, &y, &w, &h, Self());
        const RECT r = ClientOnScreen(session.Control(kEdit1));
        check.Expect(SUCCEEDED(hr) && w > 0 && h > 0 && x >= r.left - 2 && y >= r.top - 2,
                     Cat(ControlName(kEdit1), L": the standard object's location ", x, L",", y, L" ", w, L"x", h));
    }
}

} // namespace driver
