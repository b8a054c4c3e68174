// What the window looks like at start, read back as pixels from the screen: the flat
// borders, the empty picture box, labels painted opaque with their captions in black, and
// all of it in the system's colours under a high-contrast scheme.
#include "Tests.h"

#include "Fixtures.h"
#include "Session.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <vector>

namespace driver {

namespace {

// A copy of one screen rectangle as 32-bit pixels.
// A copy of part of the screen, read pixel by pixel.
using ScreenShot = ScreenCopy;

std::wstring Colour(COLORREF colour) {
    if (colour == CLR_INVALID) return L"nothing";
    wchar_t text[16];
    wsprintfW(text, L"#%02X%02X%02X", GetRValue(colour), GetGValue(colour), GetBValue(colour));
    return text;
}

RECT ScreenRect(HWND hwnd) {
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    return rect;
}

// Every problem found in one look at the screen; empty when all is as it should be. `ink` is
// the colour of the labels' and group titles' captions.
std::vector<std::wstring> Peek(Session& session, COLORREF ink) {
    std::vector<std::wstring> problems;
    const ScreenShot shot(ScreenRect(session.Main()));
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const COLORREF frame = GetSysColor(COLOR_WINDOWFRAME);
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    auto expect = [&](const std::wstring& what, COLORREF wanted, COLORREF got) {
        if (wanted != got) problems.push_back(Cat(what, L": wanted ", Colour(wanted), L", got ", Colour(got)));
    };

    // A free spot of the client area, left of the group boxes and below the labels.
    POINT free{300, 300};
    ClientToScreen(session.Main(), &free);
    expect(L"window background at client (300,300)", face, shot.At(free.x, free.y));

    // One dark line round each box, then its white inside. A sunken 3-D edge starts grey.
    const int edits[] = {kEdit1, kEdit2, kEdit3, kEdit4, kEdit5, kEdit6, kEdit7, kEdit8};
    for (const int id : edits) {
        HWND hwnd = FindControl(session.Main(), id);
        if (hwnd == nullptr) continue;
        const RECT r = ScreenRect(hwnd);
        const std::wstring name = ControlName(id);
        for (int y = r.top; y < r.bottom; ++y) {
            if (shot.At(r.left, y) != frame) {
                expect(Cat(name, L" left border at row ", y - r.top), frame, shot.At(r.left, y));
                break;
            }
        }
        // Over the left half only: a scroll bar takes the right end of the echo box's top.
        for (int x = r.left; x < (r.left + r.right) / 2; ++x) {
            if (shot.At(x, r.top) != frame) {
                expect(Cat(name, L" top border at column ", x - r.left), frame, shot.At(x, r.top));
                break;
            }
        }
        expect(name + L" inside, next to the bottom left corner", window, shot.At(r.left + 1, r.bottom - 2));
    }

    // The picture box: a line round it and nothing but the background inside.
    if (HWND picture = FindControl(session.Main(), kPicture1)) {
        const RECT r = ScreenRect(picture);
        expect(L"picture box border", frame, shot.At(r.left, (r.top + r.bottom) / 2));
        RECT inside{};
        GetClientRect(picture, &inside);
        MapWindowPoints(picture, nullptr, reinterpret_cast<POINT*>(&inside), 2);
        int other = 0;
        for (int y = inside.top; y < inside.bottom; ++y) {
            for (int x = inside.left; x < inside.right; ++x) other += shot.At(x, y) != face;
        }
        if (other != 0) problems.push_back(Cat(L"empty picture box: ", other, L" pixels are not the background"));
    }

    // Labels fill their whole rectangle and draw their captions in the ink; group titles are
    // drawn in it at the top left of their frame. Font smoothing blends the strokes with the
    // face, and a thin Chinese stroke may cover no pixel whole, so ink is any colour nearer
    // the ink than the face.
    const auto inked = [&](COLORREF c) {
        const auto nearer = [](int got, int want, int under) {
            return std::abs(got - want) * 2 < std::abs(under - want);
        };
        return nearer(GetRValue(c), GetRValue(ink), GetRValue(face)) &&
               nearer(GetGValue(c), GetGValue(ink), GetGValue(face)) &&
               nearer(GetBValue(c), GetBValue(ink), GetBValue(face));
    };
    const int captioned[] = {kLabel1, kLabel2, kLabel3, kLabel4, kLabel5, kLabel6, kLabel7, kLabel8, kGroup1, kGroup2};
    for (const int id : captioned) {
        HWND hwnd = FindControl(session.Main(), id);
        if (hwnd == nullptr) continue;
        RECT r = ScreenRect(hwnd);
        const std::wstring name = ControlName(id);
        if (id == kGroup1 || id == kGroup2) {
            r = RECT{r.left + 4, r.top, r.left + 48, r.top + 12}; // the title
        } else {
            expect(name + L" top left corner", face, shot.At(r.left, r.top));
            expect(name + L" bottom right corner", face, shot.At(r.right - 1, r.bottom - 1));
        }
        int drawn = 0;
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x) drawn += inked(shot.At(x, y));
        }
        if (drawn == 0) problems.push_back(Cat(name, L": no caption pixels near ", Colour(ink)));
    }
    return problems;
}

// The program started, and every control looked at until all paint as they should (painting
// follows showing) or time is up; what is still wrong then fails the case.
void ExpectControlsPaint(Check& check, const Options& options, COLORREF ink) {
    Session session(check, options);
    if (!session.Ok() || !session.Front()) return;
    std::vector<std::wstring> problems;
    WaitUntil(kStepTimeoutMs, [&] {
        problems = Peek(session, ink);
        return problems.empty();
    });
    for (const std::wstring& problem : problems) check.Fail(problem);
}

// The pixels of an icon at the given size: colour, and whether each pixel is opaque.
struct IconPixels {
    int size = 0;
    std::vector<COLORREF> colour;
    std::vector<bool> opaque;
};

IconPixels ReadIcon(HICON icon, int size) {
    IconPixels out;
    ICONINFO info{};
    if (icon == nullptr || !GetIconInfo(icon, &info)) return out;
    BITMAPINFO header = TopDownBgraHeader(size, size);
    std::vector<DWORD> colour(static_cast<size_t>(size * size)), mask(static_cast<size_t>(size * size));
    HDC dc = GetDC(nullptr);
    const bool ok = info.hbmColor != nullptr &&
                    GetDIBits(dc, info.hbmColor, 0, static_cast<UINT>(size), colour.data(), &header, DIB_RGB_COLORS) &&
                    GetDIBits(dc, info.hbmMask, 0, static_cast<UINT>(size), mask.data(), &header, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    if (!ok) return out;
    out.size = size;
    for (size_t i = 0; i < colour.size(); ++i) {
        out.colour.push_back(RGB((colour[i] >> 16) & 0xFF, (colour[i] >> 8) & 0xFF, colour[i] & 0xFF));
        out.opaque.push_back((mask[i] & 0xFFFFFF) == 0); // AND mask: black keeps the colour
    }
    return out;
}

// Whether the icon's opaque pixels appear somewhere in the top left corner of the window,
// where the title bar draws the small icon.
bool ShowsIcon(const ScreenShot& shot, const RECT& window, const IconPixels& icon) {
    for (int top = window.top; top < window.top + 40; ++top) {
        for (int left = window.left; left < window.left + 40; ++left) {
            bool all = true;
            for (int y = 0; y < icon.size && all; ++y) {
                for (int x = 0; x < icon.size && all; ++x) {
                    const size_t i = static_cast<size_t>(y * icon.size + x);
                    all = !icon.opaque[i] || shot.At(left + x, top + y) == icon.colour[i];
                }
            }
            if (all) return true;
        }
    }
    return false;
}

BOOL CALLBACK FirstIconGroup(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
    auto* found = reinterpret_cast<std::wstring*>(param);
    *found = IS_INTRESOURCE(name) ? Cat(L"#", reinterpret_cast<ULONG_PTR>(name)) : std::wstring(name);
    return FALSE;
}

} // namespace

// The program file carries its icon at 16, 32 and 48 pixels in 16 colours, and the title
// bar shows it. The window's icon handles cannot be read from another process under Wine
// (WM_GETICON and the class icon both answer nothing), so the title bar is looked at.
void ProgramIcon(Check& check, const Options& options) {
    HMODULE module = LoadLibraryExW(options.program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!check.Expect(module != nullptr, L"cannot read the resources of " + options.program)) return;
    std::wstring group;
    EnumResourceNamesW(module, MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */, FirstIconGroup,
                       reinterpret_cast<LONG_PTR>(&group));
    if (!check.Expect(!group.empty(), L"the program file has no icon")) {
        FreeLibrary(module);
        return;
    }
    const wchar_t* name = group[0] == L'#'
                              ? MAKEINTRESOURCEW(static_cast<WORD>(std::wcstoul(group.c_str() + 1, nullptr, 10)))
                              : group.c_str();
    // The icon directory: a 6-byte header, then 14 bytes for each image.
    std::wstring sizes;
    if (HRSRC found = FindResourceW(module, name, MAKEINTRESOURCEW(14))) {
        const auto* dir = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
        const DWORD bytes = SizeofResource(module, found);
        const unsigned count = bytes >= 6 ? static_cast<unsigned>(dir[4] | (dir[5] << 8)) : 0;
        for (unsigned i = 0; i < count && 6 + (i + 1) * 14 <= bytes; ++i) {
            const BYTE* entry = dir + 6 + i * 14;
            const unsigned width = entry[0] ? entry[0] : 256u;
            const unsigned colours = entry[2];
            const unsigned bits = static_cast<unsigned>(entry[6] | (entry[7] << 8));
            const wchar_t* depth = colours == 16 || bits == 4 ? L"16 colours" : bits == 32 ? L"32-bit" : L"other";
            // The 256-pixel image is stored as PNG, as the icon format allows for that size.
            const WORD id = static_cast<WORD>(entry[12] | (entry[13] << 8));
            HRSRC image = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(3) /* RT_ICON */);
            const auto* data = image ? static_cast<const BYTE*>(LockResource(LoadResource(module, image))) : nullptr;
            const bool isPng =
                data && SizeofResource(module, image) > 8 && std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0;
            sizes += Cat(width, L"x", entry[1] ? entry[1] : 256u, L"/", depth, isPng ? L" PNG" : L"", L" ");
        }
    }
    // The 16-colour images of old, and 32-bit images with alpha for every display scale.
    check.ExpectEq(L"icon images",
                   L"16x16/16 colours 32x32/16 colours 48x48/16 colours 20x20/32-bit 24x24/32-bit "
                   L"28x28/32-bit 40x40/32-bit 56x56/32-bit 64x64/32-bit 256x256/32-bit PNG ",
                   sizes);

    const int small = GetSystemMetrics(SM_CXSMICON);
    const auto icon = static_cast<HICON>(LoadImageW(module, name, IMAGE_ICON, small, small, LR_DEFAULTCOLOR));
    const IconPixels pixels = ReadIcon(icon, small);
    if (icon != nullptr) DestroyIcon(icon);
    FreeLibrary(module);
    if (!check.Expect(pixels.size != 0, L"cannot read the small icon's pixels")) return;

    Session session(check, options);
    if (!session.Ok() || !session.Front()) return;
    RECT window{};
    GetWindowRect(session.Main(), &window);
    const bool shown = WaitUntil(kStepTimeoutMs, [&] { return ShowsIcon(ScreenShot(window), window, pixels); });
    check.Expect(shown, L"the title bar does not show the program's own small icon");
}

void ControlsPaint(Check& check, const Options& options) {
    ExpectControlsPaint(check, options, RGB(0, 0, 0));
}

// Under High Contrast Black's colours (Wine 8 does not report high contrast, but the black face
// hides the written black captions): labels and group titles white on black, edit boxes in the
// window colours, the picture box on the face. Set as the Settings app sets them, before the
// start (a Wine 8 process keeps the colours it first read), and put back however the case ends;
// a run that dies midway leaves them only until its Wine server stops.
void HighContrastColours(Check& check, const Options& options) {
    static const int which[] = {COLOR_BTNFACE, COLOR_BTNTEXT, COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_WINDOWFRAME};
    static const COLORREF scheme[] = {RGB(0, 0, 0), RGB(255, 255, 255), RGB(0, 0, 0), RGB(255, 255, 255),
                                      RGB(255, 255, 255)};
    struct Restore {
        COLORREF old[5];
        ~Restore() { SetSysColors(5, which, old); }
    } restore{{GetSysColor(which[0]), GetSysColor(which[1]), GetSysColor(which[2]), GetSysColor(which[3]),
               GetSysColor(which[4])}};
    if (check.Expect(SetSysColors(5, which, scheme) != FALSE, L"SetSysColors failed"))
        ExpectControlsPaint(check, options, RGB(255, 255, 255));
}

} // namespace driver
