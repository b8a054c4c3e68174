// Measures the picture box on the real service layer, under Wine or Windows, and prints its
// figures. Pictures are made in memory, so nothing large is written to disk.
//
//   PictureBench repaint               median cost of one repaint of the box, for pictures of
//                                      100x100, 1000x1000 and 6000x4000 pixels
//   PictureBench memory W H [progressive]  peak private memory while showing a W x H JPEG in
//                                      the box, against its file and 4-bytes-per-pixel sizes,
//                                      and the time that takes against a whole decode
//   PictureBench animate SECONDS       plays a 500x500 ten-frame GIF at 20 frames per second
//                                      and prints the process's CPU time over that span, then
//                                      the cost of a repaint while it plays
//   PictureBench noframe SECONDS       the same with a GIF whose stream yields no frame
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "DecodePicture.h"
#include "PictureBox.h"
#include "PictureBox_win.h"
#include "StandIn_win.h"
#include "TestPictures.h"

namespace {

void Nothing() {}

const auto kControls = NumberRows(
    0x06030001, {ControlRow(ControlKind::PicBox, "box").At(10, 10).Size(100, 100).Stretched()});
const WindowDescription BenchWindow =
    standin::Window(0x52030001, "PictureBench", 200, 180, kControls);

double NowMs() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return 1000.0 * static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

void PumpFor(double ms) {
    const double end = NowMs() + ms;
    MSG msg;
    for (;;) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        const double left = end - NowMs();
        if (left <= 0) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left) + 1, QS_ALLINPUT);
    }
}

HWND BoxWindow() {
    const HWND main = FindWindowW(L"OrvessaWindow", L"PictureBench");
    return main ? FindWindowExW(main, nullptr, L"OrvessaPicBox", nullptr) : nullptr;
}

// A 24-bit BMP with a smooth pattern.
std::vector<uint8_t> GradientBmp(int w, int h) {
    const size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~size_t{3};
    std::vector<uint8_t> rows(stride * static_cast<size_t>(h), 0);
    for (int y = 0; y < h; ++y) {
        uint8_t* row = rows.data() + stride * static_cast<size_t>(y);
        for (int x = 0; x < w; ++x, row += 3) {
            row[0] = static_cast<uint8_t>(x * 255 / w);
            row[1] = static_cast<uint8_t>(y * 255 / h);
            row[2] = static_cast<uint8_t>((x + y) & 0xFF);
        }
    }
    return testpictures::MakeBmp(w, h, 24, rows);
}

// A photo-like JPEG (gradients and noise), encoded row by row so the encoder holds no image.
// Beyond the pixel cap the noise is fainter, so the file stays within a few tens of MB.
std::vector<uint8_t> GradientJpeg(int w, int h, bool progressive) {
    uint32_t seed = 12345;
    const uint32_t noiseMask = int64_t{w} * h <= kMaxPicturePixels ? 31 : 3;
    const auto fill = [&](int y, uint8_t* row) {
        for (int x = 0; x < w; ++x, row += 3) {
            seed = seed * 1103515245u + 12345u;
            const int noise =
                static_cast<int>((seed >> 16) & noiseMask) - static_cast<int>(noiseMask / 2 + 1);
            row[0] = static_cast<uint8_t>(std::clamp(x * 255 / w + noise, 0, 255));
            row[1] = static_cast<uint8_t>(std::clamp(y * 255 / h + noise, 0, 255));
            row[2] = static_cast<uint8_t>(std::clamp(128 + noise * 3, 0, 255));
        }
    };
    using testpictures::JpegScans;
    return testpictures::WriteJpegRows(
        w, h, 3, fill, progressive ? JpegScans::Progressive : JpegScans::Baseline, 85, true);
}

// LZW data of 8-bit indices with only literal codes: a clear code every 254 codes keeps the
// code width at 9 bits, which every decoder must accept.
std::vector<uint8_t> LiteralLzw(const std::vector<uint8_t>& pixels) {
    std::vector<uint8_t> packed;
    uint32_t acc = 0;
    int bits = 0;
    auto emit = [&](unsigned code) {
        acc |= code << bits;
        bits += 9;
        while (bits >= 8) {
            packed.push_back(static_cast<uint8_t>(acc));
            acc >>= 8;
            bits -= 8;
        }
    };
    emit(256);
    int sinceClear = 0;
    for (uint8_t p : pixels) {
        if (sinceClear == 254) {
            emit(256);
            sinceClear = 0;
        }
        emit(p);
        ++sinceClear;
    }
    emit(257);
    if (bits > 0) packed.push_back(static_cast<uint8_t>(acc));
    return packed;
}

// A 500x500 GIF of ten full frames, each shown for 50 ms; with junkAfterFirst, the stream
// after the first frame is bytes that yield no frame.
std::vector<uint8_t> MakeGif(bool junkAfterFirst) {
    const int n = 500;
    std::vector<uint8_t> table;
    for (int i = 0; i < 256; ++i) {
        table.insert(table.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                                   static_cast<uint8_t>(i * 7)});
    }
    testpictures::GifWriter gif(n, n, table);
    const int frames = junkAfterFirst ? 1 : 10;
    for (int f = 0; f < frames; ++f) {
        testpictures::GifFrame frame(0, 0, n, n, {}, {}, false, 8);
        std::vector<uint8_t> pixels(static_cast<size_t>(n) * n);
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x)
                pixels[static_cast<size_t>(y) * n + x] =
                    static_cast<uint8_t>((x + y + f * 25) & 0xFF);
        gif.Control(0, 5).Image(frame, LiteralLzw(pixels));
    }
    if (junkAfterFirst) gif.Raw(std::vector<uint8_t>(100000, 0x55));
    return gif.Trailer();
}

void Show(const std::vector<uint8_t>& bytes) {
    SetPicture(BenchWindow, "box", Bytes(bytes.data(), static_cast<int32_t>(bytes.size())));
}

double CpuMs() {
    FILETIME c, e, k, u;
    GetProcessTimes(GetCurrentProcess(), &c, &e, &k, &u);
    const auto ticks = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return static_cast<double>(ticks(k) + ticks(u)) / 10000.0;
}

// The median and 90th percentile cost of repainting the whole box, over 200 repaints.
void PrintRepaint(const char* what) {
    const HWND box = BoxWindow();
    std::vector<double> costs;
    for (int i = 0; i < 200; ++i) {
        InvalidateRect(box, nullptr, FALSE);
        const double t0 = NowMs();
        UpdateWindow(box);
        GdiFlush();
        costs.push_back(NowMs() - t0);
    }
    std::sort(costs.begin(), costs.end());
    std::printf("repaint %s into the 100x100 box: median %.3f ms, 90th percentile %.3f ms\n", what,
                costs[costs.size() / 2], costs[costs.size() * 9 / 10]);
}

void Repaint() {
    const int sizes[][2] = {{100, 100}, {1000, 1000}, {6000, 4000}};
    for (const auto& s : sizes) {
        Show(GradientBmp(s[0], s[1]));
        PumpFor(200);
        const std::string what = std::to_string(s[0]) + "x" + std::to_string(s[1]);
        PrintRepaint(what.c_str());
    }
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Hands the box a copy of the file's bytes, as the program hands it the file it read, and
// returns how long the box took to take and decode them.
double ShowTimed(const std::vector<uint8_t>& file) {
    Bytes bytes(file.data(), static_cast<int32_t>(file.size()));
    const double t0 = NowMs();
    SetPicture(BenchWindow, "box", std::move(bytes));
    return NowMs() - t0;
}

// The same bytes decoded into plain memory: whole, as the box decoded every picture before it
// decoded for the size it draws, or for the box's client area; 0 when there is no picture.
double DecodeMs(const std::vector<uint8_t>& file, const DrawTarget* target) {
    HeapPixelSink sink;
    DecodedPicture decoded;
    const double t0 = NowMs();
    const bool ok = DecodePicture(file.data(), file.size(), false, sink, &decoded, target);
    return ok ? NowMs() - t0 : 0;
}

void Memory(int w, int h, bool progressive) {
    const std::vector<uint8_t> jpeg = GradientJpeg(w, h, progressive);
    PROCESS_MEMORY_COUNTERS before{};
    GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before);
    // An outside observer (scripts/bench-wine.sh) reads the resident set between these lines.
    std::printf("before\n");
    std::fflush(stdout);
    PumpFor(1500);
    // The bytes the box keeps are counted: they are the file, as a program that read it has.
    std::vector<double> shown = {ShowTimed(jpeg)};
    PumpFor(300);
    PROCESS_MEMORY_COUNTERS after{};
    GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after);
    const double file = static_cast<double>(jpeg.size());
    const double picture = 4.0 * w * h;
    // What stays once it shows; Wine gives no peak here (its "peak" is the current figure),
    // so the peak while showing is read from outside (scripts/bench-wine.sh).
    const double kept =
        static_cast<double>(after.PagefileUsage) - static_cast<double>(before.PagefileUsage);
    const bool showsIt = PictureBoxValue(BoxWindow()).rfind(L"JPEG ", 0) == 0;
    std::printf(
        "%s JPEG %dx%d (%.1f MB file) %s the 100x100 box: private memory kept for it %.1f MB = "
        "the file + %.1f MB, %.3fx its 4-bytes-per-pixel size (%.1f MB)\n",
        progressive ? "progressive" : "baseline", w, h, file / 1e6,
        showsIt ? "shows in" : "DOES NOT SHOW in", kept / 1e6, (kept - file) / 1e6, kept / picture,
        picture / 1e6);
    std::printf("after\n");
    std::fflush(stdout);
    PumpFor(1500);
    // Times in turns, so that both see the same load on the machine.
    RECT client;
    GetClientRect(BoxWindow(), &client);
    const DrawTarget box{1, client.right, client.bottom};
    std::vector<double> whole, fitted;
    for (int i = 0; i < 5; ++i) {
        whole.push_back(DecodeMs(jpeg, nullptr));
        fitted.push_back(DecodeMs(jpeg, &box));
        if (i > 0) shown.push_back(ShowTimed(jpeg));
    }
    const double wholeMs = Median(whole);
    const double shownMs = Median(shown);
    std::printf("  shown at the box's size in %.0f ms (its decoding alone %.0f ms)", shownMs,
                Median(fitted));
    if (wholeMs > 0) {
        std::printf(", decoded whole in %.0f ms: %.2fx the time (at most 0.35x wanted)", wholeMs,
                    shownMs / wholeMs);
    } else {
        std::printf("; whole, it is beyond the pixel cap");
    }
    std::printf(", medians of 5\n");
    std::fflush(stdout);
}

void Animate(int seconds, bool junk) {
    Show(MakeGif(junk));
    PumpFor(500);
    const double cpu0 = CpuMs();
    const double t0 = NowMs();
    std::printf("ready\n");
    std::fflush(stdout);
    PumpFor(seconds * 1000.0);
    const double cpu = CpuMs() - cpu0;
    const double wall = NowMs() - t0;
    std::printf("%s: program CPU %.1f ms over %.1f s = %.2f%% of one core\n",
                junk ? "GIF whose stream yields no frame" : "500x500 GIF at 20 frames per second",
                cpu, wall / 1000.0, 100.0 * cpu / wall);
    // Stays a moment, so an outside observer can read the Wine and X servers' times while
    // this process (and so its Wine server) still runs.
    std::printf("measured\n");
    std::fflush(stdout);
    // By now the animation replays its kept frames: a repaint copies the one on show.
    if (!junk) PrintRepaint("of the playing 500x500 GIF");
    PumpFor(1500);
}

int32_t ApplicationMain() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    static const WindowDescription* const windows[] = {&BenchWindow};
    standin::Start(windows, {}, Nothing);
    PumpFor(300);
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"repaint") {
        Repaint();
    } else if (mode == L"memory" && argc > 3) {
        Memory(_wtoi(argv[2]), _wtoi(argv[3]), argc > 4 && std::wstring(argv[4]) == L"progressive");
    } else if ((mode == L"animate" || mode == L"noframe") && argc > 2) {
        Animate(_wtoi(argv[2]), mode == L"noframe");
    } else {
        std::printf(
            "usage: PictureBench repaint | memory W H [progressive] | animate S | noframe S\n");
    }
    std::fflush(stdout);
    LocalFree(argv);
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    RunProgram(ApplicationMain);
}
