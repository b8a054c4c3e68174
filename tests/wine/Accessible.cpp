#include "Accessible.h"

#include "Ui.h"

namespace driver {

namespace {

VARIANT Self() {
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = CHILDID_SELF;
    return v;
}

std::wstring TextProperty(IAccessible* object, HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*)) {
    if (object == nullptr) return L"(no object)";
    BSTR text = nullptr;
    const HRESULT hr = (object->*get)(Self(), &text);
    if (FAILED(hr)) return Cat(L"(failed 0x", std::hex, static_cast<unsigned long>(hr), L")");
    std::wstring result = text ? std::wstring(text, SysStringLen(text)) : std::wstring();
    SysFreeString(text);
    return result;
}

long NumberProperty(IAccessible* object, HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*)) {
    VARIANT v;
    VariantInit(&v);
    if (object == nullptr || FAILED((object->*get)(Self(), &v)) || v.vt != VT_I4) return -1;
    return v.lVal;
}

} // namespace

Accessible ObjectOf(HWND hwnd) {
    IAccessible* object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                          reinterpret_cast<void**>(&object))))
        return nullptr;
    return Accessible(object);
}

std::wstring NameOf(IAccessible* object) {
    return TextProperty(object, &IAccessible::get_accName);
}
std::wstring ValueOf(IAccessible* object) {
    return TextProperty(object, &IAccessible::get_accValue);
}
long RoleOf(IAccessible* object) {
    return NumberProperty(object, &IAccessible::get_accRole);
}
long StateOf(IAccessible* object) {
    return NumberProperty(object, &IAccessible::get_accState);
}

std::wstring PictureValue(HWND box) {
    Accessible object = ObjectOf(box);
    return object ? ValueOf(object.get()) : L"(no object)";
}

std::wstring WaitPictureValue(HWND box, const std::wstring& want, DWORD timeoutMs) {
    std::wstring got;
    WaitUntil(timeoutMs, [&] {
        got = PictureValue(box);
        return got == want;
    });
    return got;
}

} // namespace driver
