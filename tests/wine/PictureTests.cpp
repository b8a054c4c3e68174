// The app icon row end to end: files chosen in the program's own file dialog show in the
// picture box, whatever their name says; what is not a picture blanks it; a cancelled
// dialog reads the last chosen file again; GIF animations play in order, on time and for
// ever, stop when the picture changes, and do not hold up the end of the program.
//
// The box stretches every picture over its 98 x 98 client area, so a picture of a few
// pixels a side shows each of its pixels as a block; the probes sit well inside the blocks,
// clear of the smoothing at their edges.
#include "Tests.h"

#include "Fixtures.h"
#include "IconPicker.h"
#include "Peeker.h"
#include "TestPictures.h"

#include <algorithm>

namespace driver {

using namespace testpictures;
// Not the window description's colours of the same names.
using testpictures::kBlack;
using testpictures::kWhite;

namespace {

COLORREF Ref(Rgba c) {
    return RGB(c.r, c.g, c.b);
}

// The centres of the four quarters of the client area.
std::vector<Probe> QuarterProbes(COLORREF topLeft, COLORREF topRight, COLORREF bottomLeft, COLORREF bottomRight,
                                 int tolerance = 0) {
    return {{L"top left quarter", 24, 24, topLeft, tolerance},
            {L"top right quarter", 73, 24, topRight, tolerance},
            {L"bottom left quarter", 24, 73, bottomLeft, tolerance},
            {L"bottom right quarter", 73, 73, bottomRight, tolerance}};
}

std::vector<Probe> HalfProbes(COLORREF top, COLORREF bottom, int tolerance = 0) {
    return QuarterProbes(top, top, bottom, bottom, tolerance);
}

// The box's drawing-time transparency: trunc(c * a + b * (1 - a)) with a = alpha / 255 in
// single precision, b the background's channel.
uint8_t Blended(uint8_t c, uint8_t background, uint8_t alpha) {
    const float a = static_cast<float>(alpha) * 0.003921569f;
    const float v = static_cast<float>(c) * a + static_cast<float>(background) * (1.0f - a);
    return static_cast<uint8_t>(std::clamp(v, 0.0f, 255.0f));
}

COLORREF Blended(Rgba c, COLORREF background) {
    return RGB(Blended(c.r, GetRValue(background), c.a), Blended(c.g, GetGValue(background), c.a),
               Blended(c.b, GetBValue(background), c.a));
}

// --- Formats -----------------------------------------------------------------------------

struct FormatRow {
    const wchar_t* what;
    const wchar_t* file;
    Bytes bytes;
    std::vector<Probe> probes;
    bool coversAll = false; // no pixel of the client area may keep the background colour
};

Raster WithAlpha(Raster raster, uint8_t alpha) {
    for (Rgba& pixel : raster.pixels) pixel.a = alpha;
    return raster;
}

IconImage Icon(const Raster& raster, int bits) {
    return IconImage{raster, bits, static_cast<uint8_t>(bits == 4 ? 16 : 0)};
}

std::vector<FormatRow> FormatRows(COLORREF face) {
    const COLORREF red = Ref(kRed), green = Ref(kGreen), blue = Ref(kBlue), yellow = Ref(kYellow);
    const Raster redOverBlue = Halves(8, 8, kRed, kBlue);
    const Raster fourColours = Quarters(8, 8, kRed, kGreen, kBlue, kYellow);
    const std::vector<Probe> redOverBlueProbes = HalfProbes(red, blue);
    const std::vector<Probe> fourColourProbes = QuarterProbes(red, green, blue, yellow);
    // JPEG keeps colours only nearly; 16 x 16 so that each quarter is whole 8 x 8 blocks.
    const Raster jpegQuarters = Quarters(16, 16, kRed, kGreen, kBlue, kWhite);
    const std::vector<Probe> jpegProbes = QuarterProbes(red, green, blue, Ref(kWhite), 12);
    const Rgba halfRed{255, 0, 0, 128}, quarterGreen{0, 255, 0, 64}, clear{255, 255, 255, 0};
    const Raster green16 = Filled(16, 16, kGreen);
    const Raster green48 = Filled(48, 48, kGreen);

    // A V5 header whose bit fields carry alpha: the same quarters as the PNG with alpha.
    BmpLayout v5;
    v5.width = v5.height = 8;
    v5.bits = 32;
    v5.headerSize = 124;
    v5.compression = 3;
    v5.masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    const Bytes alphaRows = BmpFile(Quarters(8, 8, halfRed, kBlue, quarterGreen, clear), 32);
    v5.pixels.assign(alphaRows.begin() + 54, alphaRows.end()); // after the 54 header bytes
    // RLE8, bottom row first: four blue and end of line in each bottom row, where the end of
    // line skips the right half; eight red in each top row.
    BmpLayout rle;
    rle.width = rle.height = 8;
    rle.bits = 8;
    rle.compression = 1;
    rle.table = {kRed, kBlue};
    for (int y = 0; y < 8; ++y) {
        const Bytes run = y < 4 ? Bytes{4, 1, 0, 0} : Bytes{8, 0, 0, 0};
        rle.pixels.insert(rle.pixels.end(), run.begin(), run.end());
    }
    rle.pixels.insert(rle.pixels.end(), {0, 1});
    // 24-bit PCX: each row a line of red, one of green and one of blue samples.
    PcxLayout pcx24;
    pcx24.width = pcx24.height = 8;
    pcx24.planes = 3;
    for (int y = 0; y < 8; ++y) {
        const Rgba c = y < 4 ? kRed : kBlue;
        for (const uint8_t sample : {c.r, c.g, c.b}) {
            pcx24.rows.insert(pcx24.rows.end(), 8, sample);
        }
    }

    std::vector<FormatRow> rows = {
        {L"24-bit BMP, rows stored bottom first", L"halves24.bmp", BmpFile(redOverBlue, 24), redOverBlueProbes},
        {L"8-bit BMP with a colour table", L"quarters8.bmp", BmpFile(fourColours, 8), fourColourProbes},
        {L"4-bit BMP with a colour table", L"quarters4.bmp", BmpFile(fourColours, 4), fourColourProbes},
        {L"1-bit BMP with a red and blue table", L"halves1.bmp", BmpFile(redOverBlue, 1), redOverBlueProbes},
        // Rows that end inside a byte: 7 pixels of 4 bits, 13 of 1 bit.
        {L"4-bit BMP 7 pixels wide", L"odd4.bmp", BmpFile(Quarters(7, 8, kRed, kGreen, kBlue, kYellow), 4),
         fourColourProbes},
        {L"1-bit BMP 13 pixels wide", L"odd1.bmp", BmpFile(Quarters(13, 8, kRed, kBlue, kBlue, kRed), 1),
         QuarterProbes(red, blue, blue, red)},
        {L"32-bit BMP whose fourth bytes are 0 shows opaque", L"quarters32.bmp", BmpFile(WithAlpha(fourColours, 0), 32),
         fourColourProbes},
        {L"200 x 50 BMP stretched over the whole client area",
         L"wide.bmp",
         BmpFile(Quarters(200, 50, kRed, kBlue, kRed, kBlue), 24),
         {{L"left, near the top", 24, 10, red},
          {L"right, near the bottom", 73, 88, blue},
          {L"left, near the bottom", 24, 88, red},
          {L"right, near the top", 73, 10, blue}},
         true},
        {L"1000 x 1000 BMP of 3 MB", L"large.bmp", BmpFile(Quarters(1000, 1000, kRed, kGreen, kBlue, kYellow), 24),
         fourColourProbes},
        {L"V5 BMP with alpha 128, 64 and 0 blended with the button face", L"alpha-v5.bmp", MakeBmp(v5),
         QuarterProbes(Blended(halfRed, face), blue, Blended(quarterGreen, face), face, 1)},
        {L"RLE8 BMP whose skipped pixels show the button face", L"skips.bmp", MakeBmp(rle),
         QuarterProbes(red, red, blue, face)},
        {L"8-bit PCX with its palette", L"quarters8.pcx", PcxFile(fourColours, 8), fourColourProbes},
        {L"24-bit PCX in three planes", L"halves24.pcx", MakePcx(pcx24), redOverBlueProbes},
        {L"1-bit PCX, black over white", L"halves1.pcx", PcxFile(Halves(16, 8, kBlack, kWhite), 1),
         HalfProbes(Ref(kBlack), Ref(kWhite))},
        {L"1-bit PCX 13 pixels wide", L"odd1.pcx", PcxFile(Quarters(13, 8, kWhite, kBlack, kBlack, kWhite), 1),
         QuarterProbes(Ref(kWhite), Ref(kBlack), Ref(kBlack), Ref(kWhite))},
        {L"PNG without alpha", L"quarters.png", PngFile(fourColours, false), fourColourProbes},
        {L"PNG with alpha 128, 64 and 0 blended with the button face", L"alpha.png",
         PngFile(Quarters(8, 8, halfRed, kBlue, quarterGreen, clear), true),
         QuarterProbes(Blended(halfRed, face), blue, Blended(quarterGreen, face), face, 1)},
        {L"animated PNG, its first frame playing for 100 s", L"lights.png",
         WriteApng(8, 8,
                   {{0, 0, 8, 8, RgbaSamples(fourColours), 100, 1}, {0, 0, 8, 8, RgbaSamples(redOverBlue), 100, 1}}),
         fourColourProbes},
        {L"JPEG", L"quarters.jpg", JpegFile(jpegQuarters, false), jpegProbes},
        // Decoded at the size shown (1/8, and twice the box), within the tolerance of the whole.
        {L"1600 x 1600 JPEG", L"large.jpg", JpegFile(Quarters(1600, 1600, kRed, kGreen, kBlue, kWhite), false),
         QuarterProbes(red, green, blue, Ref(kWhite), 24), true},
        {L"800 x 800 lossy WebP", L"large.webp", WebpFile(Quarters(800, 800, kRed, kGreen, kBlue, kWhite), false),
         QuarterProbes(red, green, blue, Ref(kWhite), 24), true},
        {L"lossless WebP", L"quarters.webp", WebpFile(fourColours, true), fourColourProbes},
        {L"lossy WebP", L"quarters-lossy.webp", WebpFile(jpegQuarters, false), jpegProbes},
        {L"WebP with alpha 128, 64 and 0 blended with the button face", L"alpha.webp",
         WebpFile(Quarters(8, 8, halfRed, kBlue, quarterGreen, clear), true),
         QuarterProbes(Blended(halfRed, face), blue, Blended(quarterGreen, face), face, 1)},
        {L"greyscale JPEG, grey copied to red, green and blue", L"grey.jpg",
         JpegFile(Halves(16, 16, Rgba{64, 64, 64}, Rgba{192, 192, 192}), true),
         HalfProbes(RGB(64, 64, 64), RGB(192, 192, 192), 6)},
        {L"icon with one 32 x 32 16-colour image", L"one.ico", IconFile(1, {Icon(Halves(32, 32, kRed, kBlue), 4)}),
         redOverBlueProbes},
        {L"icon with one 32 x 32 true-colour image", L"truecolour.ico",
         IconFile(1, {Icon(Quarters(32, 32, kRed, kGreen, kBlue, kYellow), 32)}), fourColourProbes},
        {L"icon: the 32-pixel 16-colour image is chosen over the others", L"three.ico",
         IconFile(1, {Icon(green16, 4), Icon(Halves(32, 32, kRed, kBlue), 4), Icon(green48, 4)}), redOverBlueProbes},
        {L"icon: a true-colour 32-pixel image is passed over for the last one", L"last.ico",
         IconFile(1, {Icon(Filled(32, 32, kGreen), 32), Icon(Halves(16, 16, kRed, kBlue), 4)}), redOverBlueProbes},
        {L"cursor with one 32 x 32 16-colour image", L"one.cur", IconFile(2, {Icon(Halves(32, 32, kRed, kBlue), 4)}),
         redOverBlueProbes},
        {L"GIF with a single frame", L"still.gif",
         GifWriter(4, 4, RgbTable({kRed, kGreen, kBlue, kYellow}))
             .Frame(GifFrame{0, 0, 4, 4, {0, 0, 1, 1, 0, 0, 1, 1, 2, 2, 3, 3, 2, 2, 3, 3}})
             .Trailer(),
         fourColourProbes},
        {L"JPEG saved under the name of a PNG", L"photo.png", JpegFile(jpegQuarters, false), jpegProbes},
        {L"PNG saved under the name of a BMP", L"picture.bmp", PngFile(fourColours, false), fourColourProbes},
    };
    return rows;
}

// A box without a picture, after a click on 清空图片.
bool ClearAndWaitBlank(Check& check, IconPicker& picker, const std::wstring& before) {
    if (!picker.Clear()) return false;
    const std::wstring problems = picker.WaitBlank();
    return check.Expect(problems.empty(), Cat(before, L", then the clear button: ", problems));
}

// --- Animation ---------------------------------------------------------------------------

// Three one-colour frames, red, green, blue, each `delayCs` hundredths of a second.
Bytes TrafficLight(int delayCs, int loopCount = -1) {
    GifWriter gif(4, 4, RgbTable({kRed, kGreen, kBlue, kWhite}));
    if (loopCount >= 0) gif.LoopCount(loopCount);
    for (uint8_t index = 0; index < 3; ++index) gif.Frame(SolidFrame(4, 4, index, delayCs));
    return gif.Trailer();
}

struct Sample {
    ULONGLONG at;
    int frame; // 0 red, 1 green, 2 blue, -1 anything else
    COLORREF colour;
};

int FrameOf(COLORREF colour) {
    const COLORREF frames[] = {Ref(kRed), Ref(kGreen), Ref(kBlue)};
    for (int i = 0; i < 3; ++i) {
        if (Near(colour, frames[i], 8)) return i;
    }
    return -1;
}

// Reads the centre of the box as often as the screen allows, for `ms` milliseconds.
std::vector<Sample> SampleCentre(const IconPicker& picker, DWORD ms) {
    const POINT centre = picker.CentreOnScreen();
    std::vector<Sample> samples;
    HDC screen = GetDC(nullptr);
    const ULONGLONG start = GetTickCount64();
    for (ULONGLONG now = start; now - start < ms; now = GetTickCount64()) {
        const COLORREF colour = GetPixel(screen, centre.x, centre.y);
        samples.push_back(Sample{now - start, FrameOf(colour), colour});
        PumpMessages();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 4, QS_ALLINPUT);
    }
    ReleaseDC(nullptr, screen);
    return samples;
}

// Runs of one frame, with the time each began; samples of no frame are left out.
struct Run {
    int frame;
    ULONGLONG from;
};

std::vector<Run> Runs(const std::vector<Sample>& samples) {
    std::vector<Run> runs;
    for (const Sample& sample : samples) {
        if (sample.frame < 0) continue;
        if (runs.empty() || runs.back().frame != sample.frame) runs.push_back(Run{sample.frame, sample.at});
    }
    return runs;
}

std::wstring Describe(const std::vector<Run>& runs) {
    std::wstring text;
    for (size_t i = 0; i < runs.size() && i < 40; ++i) text += Cat(L"RGB"[runs[i].frame], L"@", runs[i].from, L" ");
    if (runs.size() > 40) text += L"...";
    return text.empty() ? L"no frame colour at all" : text;
}

struct TimingRow {
    const wchar_t* what;
    int delayCs;
    int loopCount; // -1: no loop extension
    // Bounds of the median time a frame stays, in milliseconds; loose, for a loaded machine.
    ULONGLONG shortest, longest;
    bool webp = false; // the frames as an animated WebP, which plays through the same machinery
};

const TimingRow kTimingRows[] = {
    {L"frames of 100 ms", 10, -1, 60, 200},
    {L"frames of delay 0 stay 50 ms", 0, -1, 25, 90},
    {L"a loop count of 1 is ignored", 10, 1, 60, 200},
    {L"WebP frames of 100 ms", 10, -1, 60, 200, true},
};

constexpr DWORD kSampleMs = 1500;

void CheckTiming(Check& check, const TimingRow& row, const std::vector<Sample>& samples) {
    const std::vector<Run> runs = Runs(samples);
    const std::wstring seen = Cat(L"; seen ", Describe(runs));
    size_t forward = 0, wraps = 0;
    for (size_t i = 1; i < runs.size(); ++i) {
        forward += runs[i].frame == (runs[i - 1].frame + 1) % 3;
        wraps += runs[i - 1].frame == 2 && runs[i].frame == 0;
    }
    const size_t changes = runs.empty() ? 0 : runs.size() - 1;
    const size_t others =
        static_cast<size_t>(std::count_if(samples.begin(), samples.end(), [](const Sample& s) { return s.frame < 0; }));
    check.Expect(others * 10 <= samples.size(),
                 Cat(row.what, L": ", others, L" of ", samples.size(), L" samples show no frame's colour", seen));
    // 1.5 s of frames of 50 to 100 ms give 15 to 30 changes; fewer than 5 is an animation
    // that is stuck or far too slow.
    if (!check.Expect(changes >= 5, Cat(row.what, L": only ", changes, L" frame changes in ", kSampleMs, L" ms", seen)))
        return;
    check.Expect(forward * 5 >= changes * 4,
                 Cat(row.what, L": only ", forward, L" of ", changes, L" changes go red, green, blue, red", seen));
    check.Expect(wraps >= 2, Cat(row.what, L": the sequence came round from blue to red ", wraps, L" times", seen));
    // Median stay of the runs seen whole (not the first or the last).
    std::vector<ULONGLONG> stays;
    for (size_t i = 1; i + 1 < runs.size(); ++i) stays.push_back(runs[i + 1].from - runs[i].from);
    if (!stays.empty()) {
        std::sort(stays.begin(), stays.end());
        const ULONGLONG median = stays[stays.size() / 2];
        check.Note(Cat(row.what, L": ", changes, L" frame changes, frames stay ", median, L" ms (median)"));
        check.Expect(median >= row.shortest && median <= row.longest,
                     Cat(row.what, L": frames stay ", median, L" ms (median), wanted ", row.shortest, L" to ",
                         row.longest, seen));
    }
    // Still changing at the end: a loop count obeyed would have stopped it after 0.6 s.
    check.Expect(runs.back().from + 400 >= kSampleMs,
                 Cat(row.what, L": no frame change in the last ", kSampleMs - runs.back().from, L" ms", seen));
}

// --- Composition ---------------------------------------------------------------------------

// Palette of the composition GIFs: 0 red, 1 green, 2 blue, 3 white (the hole colour).
constexpr uint8_t R = 0, G = 1, B = 2, W = 3;

// One colour index over a rectangle of the 4 x 4 screen.
GifFrame Area(int left, int top, int width, int height, uint8_t index, int delayCs, int disposal = 0) {
    GifFrame frame{left, top, width, height, std::vector<uint8_t>(static_cast<size_t>(width * height), index)};
    frame.delayCs = delayCs;
    frame.disposal = disposal;
    return frame;
}

// The top half holes (white, transparent), the bottom half `bottom`.
GifFrame HolesOver(uint8_t bottom, int delayCs) {
    GifFrame frame{
        0, 0, 4, 4, {W, W, W, W, W, W, W, W, bottom, bottom, bottom, bottom, bottom, bottom, bottom, bottom}};
    frame.delayCs = delayCs;
    frame.transparentIndex = W;
    return frame;
}

struct ComposeRow {
    const wchar_t* what;
    std::vector<GifFrame> frames;
    // Colours of the quarters while the frame that stays long is up; face = the background.
    COLORREF topLeft, topRight, bottomLeft, bottomRight;
    // When the first round can look the same as the later ones: the bottom right quarter
    // shows this colour (a later frame) before the quarters are looked at.
    COLORREF seenFirst = CLR_INVALID;
};

std::vector<ComposeRow> ComposeRows(COLORREF face) {
    const COLORREF red = Ref(kRed), green = Ref(kGreen), blue = Ref(kBlue);
    GifFrame blueOverHoles{0, 0, 4, 4, {B, B, B, B, B, B, B, B, W, W, W, W, W, W, W, W}};
    blueOverHoles.delayCs = 200;
    blueOverHoles.transparentIndex = W;
    GifFrame redOverHoles{0, 0, 4, 4, {R, R, R, R, R, R, R, R, W, W, W, W, W, W, W, W}};
    redOverHoles.delayCs = 200;
    redOverHoles.transparentIndex = W;
    GifFrame holeTopLeft{0, 0, 4, 4, {W, W, R, R, W, W, R, R, R, R, R, R, R, R, R, R}};
    holeTopLeft.delayCs = 200;
    holeTopLeft.transparentIndex = W;
    return {
        {L"holes of frame 2 show frame 1", {Area(0, 0, 4, 4, R, 10), blueOverHoles}, blue, blue, red, red},
        {L"a smaller frame at an offset draws only its own area",
         {Area(0, 0, 4, 4, R, 10), Area(2, 2, 2, 2, G, 200)},
         red,
         red,
         red,
         green},
        {L"disposal 1 leaves the frame in place",
         {Area(0, 0, 4, 4, R, 10), Area(0, 0, 2, 2, G, 10, 1), HolesOver(B, 200)},
         green,
         red,
         blue,
         blue},
        {L"disposal 2 puts back what the frame covered",
         {Area(0, 0, 4, 4, R, 10), Area(0, 0, 2, 2, G, 10, 2), HolesOver(B, 200)},
         red,
         red,
         blue,
         blue},
        {L"disposal 3 puts back what the frame covered",
         {Area(0, 0, 4, 4, R, 10), Area(0, 0, 2, 2, G, 10, 3), HolesOver(B, 200)},
         red,
         red,
         blue,
         blue},
        {L"holes of the first frame show the background",
         {redOverHoles, Area(2, 0, 2, 2, G, 10)},
         red,
         red,
         face,
         face},
        {L"the screen is kept when the frames start again: the first frame's hole shows the last frame",
         {holeTopLeft, Area(0, 0, 4, 4, G, 10)},
         green,
         red,
         red,
         red},
        {L"disposal 2 of the last frame is undone before the first frame comes again",
         {Area(0, 0, 2, 2, B, 200), Area(0, 0, 4, 4, G, 10, 2)},
         blue,
         face,
         face,
         face,
         green},
    };
}

} // namespace

// Every format the box knows, chosen through the dialog, shows the right colours the right
// way up; the name of the file plays no part.
void PictureFormatsShow(Check& check, const Options& options) {
    Bench bench(check, options);
    if (!bench.Ok()) return;
    IconPicker& picker = bench.picker;

    RECT outer{}, client{};
    GetWindowRect(picker.Box(), &outer);
    GetClientRect(picker.Box(), &client);
    check.ExpectEq(L"picture box outer width", 100, outer.right - outer.left);
    check.ExpectEq(L"picture box outer height", 100, outer.bottom - outer.top);
    check.ExpectEq(L"picture box client width", 98, client.right);
    check.ExpectEq(L"picture box client height", 98, client.bottom);

    const COLORREF face = picker.Background();
    for (const FormatRow& row : FormatRows(face)) {
        check.Note(row.what);
        if (!bench.Show(check, row.file, row.bytes)) return;
        const std::wstring problems = picker.WaitProbes(row.probes);
        if (!problems.empty()) {
            check.Fail(Cat(row.what, L" (", row.file, L"): ", problems));
        } else if (row.coversAll) {
            const RECT inside = ClientOnScreen(picker.Box());
            const int background = ScreenCopy(inside).CountNear(inside, face, 0);
            check.Expect(background == 0, Cat(row.what, L": ", background,
                                              L" pixels of the client area show the "
                                              L"background"));
            // The picture stays inside the border.
            HDC screen = GetDC(nullptr);
            const COLORREF border = GetPixel(screen, outer.left, (outer.top + outer.bottom) / 2);
            ReleaseDC(nullptr, screen);
            check.Expect(border == GetSysColor(COLOR_WINDOWFRAME),
                         Cat(row.what, L": the box's left border is ", ColourText(border), L", wanted ",
                             ColourText(GetSysColor(COLOR_WINDOWFRAME))));
        }
        if (!ClearAndWaitBlank(check, picker, row.what)) return;
    }

    // Data that is no picture, or no picture the box can decode, leaves the box blank, and the
    // picture shown before is gone.
    const char text[] = "This is a note, not a picture.\r\n";
    Bytes compressedBmp = BmpFile(Filled(8, 8, kBlue), 8);
    compressedBmp[30] = 1; // compression: run-length, 8 bits
    Bytes cutPng = PngFile(Filled(8, 8, kBlue), false);
    cutPng.resize(cutPng.size() - 40); // into the pixel data
    Bytes cutJpeg = JpegFile(Filled(16, 16, kBlue), false);
    cutJpeg.resize(cutJpeg.size() / 2);
    const struct {
        const wchar_t* what;
        const wchar_t* file;
        Bytes bytes;
    } rows[] = {
        {L"a text file", L"note.txt", Bytes(text, text + sizeof text - 1)},
        {L"7 bytes that begin like a BMP", L"short.bmp", Bytes{'B', 'M', 0, 0, 0, 0, 0}},
        {L"an empty file", L"empty.png", Bytes{}},
        {L"a BMP with run-length compression", L"compressed.bmp", compressedBmp},
        {L"a PNG cut off in its pixel data", L"cut.png", cutPng},
        {L"a JPEG cut off in the middle", L"cut.jpg", cutJpeg},
    };
    const Bytes yellow = BmpFile(Filled(8, 8, kYellow), 24);
    for (const auto& row : rows) {
        check.Note(row.what);
        if (!bench.Show(check, L"yellow.bmp", yellow)) return;
        const std::wstring before = picker.WaitProbes(Everywhere(Ref(kYellow)));
        if (!check.Expect(before.empty(), Cat(L"the picture before ", row.what, L": ", before))) return;
        if (!bench.Show(check, row.file, row.bytes)) return;
        const std::wstring after = picker.WaitBlank();
        check.Expect(after.empty(),
                     Cat(row.what, L" (", row.file, L", ", row.bytes.size(), L" bytes) after a picture: ", after));
    }
}

// The dialog's file name survives from one run to the next: a cancelled dialog reads the last
// chosen file again, as it is now, even after the box was emptied.
void CancelRereadsLastChoice(Check& check, const Options& options) {
    Bench bench(check, options);
    if (!bench.Ok()) return;
    IconPicker& picker = bench.picker;

    enum class Act { Esc, CancelButton, Choose, Clear };
    enum class Before { Nothing, WriteRed, WriteBlue, Lock, Unlock, Delete };
    struct Row {
        const wchar_t* what;
        Before before;
        Act act;
        const wchar_t* fieldShows; // what the dialog's file-name box holds when it opens
        COLORREF shows;            // CLR_INVALID: a blank box
    };
    const COLORREF red = Ref(kRed), blue = Ref(kBlue), blank = CLR_INVALID;
    const Row rows[] = {
        {L"Esc before any choice leaves the box blank", Before::Nothing, Act::Esc, L"", blank},
        {L"the cancel button before any choice leaves the box blank", Before::Nothing, Act::CancelButton, L"", blank},
        {L"choosing a file shows it", Before::WriteRed, Act::Choose, L"", red},
        {L"the clear button blanks the box", Before::Nothing, Act::Clear, nullptr, blank},
        {L"Esc after a choice shows that file again", Before::Nothing, Act::Esc, L"icon.bmp", red},
        {L"the clear button blanks the box again", Before::Nothing, Act::Clear, nullptr, blank},
        {L"the cancel button reads the file anew, now blue", Before::WriteBlue, Act::CancelButton, L"icon.bmp", blue},
        {L"Esc while another program holds the file locked blanks the box", Before::Lock, Act::Esc, L"icon.bmp", blank},
        {L"Esc once the lock is gone shows the file again", Before::Unlock, Act::Esc, L"icon.bmp", blue},
        {L"Esc after the file was deleted blanks the box", Before::Delete, Act::Esc, L"icon.bmp", blank},
    };
    const std::wstring name = L"icon.bmp";
    // Open without sharing, the file cannot be read by anyone else.
    struct Lock {
        HANDLE file = INVALID_HANDLE_VALUE;
        void Release() {
            if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
            file = INVALID_HANDLE_VALUE;
        }
        ~Lock() { Release(); }
    } lock;
    bool first = true;
    for (const Row& row : rows) {
        check.Note(row.what);
        bool ok = true;
        switch (row.before) {
        case Before::Nothing: break;
        case Before::WriteRed: ok = WriteFileBytes(bench.folder / name, BmpFile(Filled(8, 8, kRed), 24)); break;
        case Before::WriteBlue: ok = WriteFileBytes(bench.folder / name, BmpFile(Filled(8, 8, kBlue), 24)); break;
        case Before::Lock:
            lock.file = CreateFileW((bench.folder / name).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
            ok = lock.file != INVALID_HANDLE_VALUE;
            break;
        case Before::Unlock: lock.Release(); break;
        case Before::Delete: ok = DeleteFileW((bench.folder / name).c_str()) != FALSE; break;
        }
        if (!check.Expect(ok, Cat(row.what, L": cannot prepare ", (bench.folder / name)))) return;

        if (row.act == Act::Clear) {
            if (!picker.Clear()) return;
        } else if (row.act == Act::Choose) {
            if (!picker.Choose((bench.folder / name))) return;
        } else {
            // Space on the button once, clicks otherwise: both open the dialog.
            HWND dialog = picker.OpenDialog(first ? IconPicker::Press::Space : IconPicker::Press::Click);
            first = false;
            if (dialog == nullptr) return;
            if (HWND edit = picker.FileNameEdit(dialog)) {
                const std::wstring field = TextOf(edit);
                const std::wstring wanted = row.fieldShows;
                const bool shows =
                    wanted.empty() ? field.empty()
                                   : field.size() >= wanted.size() &&
                                         lstrcmpiW(field.c_str() + field.size() - wanted.size(), wanted.c_str()) == 0;
                check.Expect(shows, Cat(row.what, L": the file-name box opened with ", Quoted(field),
                                        wanted.empty() ? L", wanted it empty" : L", wanted the last chosen file ",
                                        wanted.empty() ? L"" : Quoted(wanted)));
            }
            if (!picker.Cancel(dialog,
                               row.act == Act::Esc ? IconPicker::Dismiss::Esc : IconPicker::Dismiss::CancelButton))
                return;
        }
        const std::wstring problems =
            row.shows == blank ? picker.WaitBlank() : picker.WaitProbes(Everywhere(row.shows));
        check.Expect(problems.empty(), Cat(row.what, L": ", problems));
    }
}

// Three frames, red, green, blue: they follow each other in order, at their delay, and come
// round again for as long as the picture is shown; as a GIF and as an animated WebP.
void GifAnimates(Check& check, const Options& options) {
    Bench bench(check, options);
    if (!bench.Ok()) return;
    for (const TimingRow& row : kTimingRows) {
        check.Note(row.what);
        const Bytes lights =
            row.webp
                ? AnimatedWebpFile({Filled(4, 4, kRed), Filled(4, 4, kGreen), Filled(4, 4, kBlue)}, 10 * row.delayCs)
                : TrafficLight(row.delayCs, row.loopCount);
        if (!bench.Show(check, row.webp ? L"lights.webp" : L"lights.gif", lights)) return;
        if (!check.Expect(bench.picker.WaitAnimating(),
                          Cat(row.what, L": the box did not change frames twice within ", kStepTimeoutMs, L" ms")))
            continue;
        CheckTiming(check, row, SampleCentre(bench.picker, kSampleMs));
    }

    // Frames drawn over earlier ones: holes, partial frames and the disposal methods.
    const COLORREF face = bench.picker.Background();
    int number = 0;
    for (const ComposeRow& row : ComposeRows(face)) {
        check.Note(row.what);
        GifWriter gif(4, 4, RgbTable({kRed, kGreen, kBlue, kWhite}));
        for (const GifFrame& frame : row.frames) gif.Frame(frame);
        // One file per row, so that a failure's log names the file.
        if (!bench.Show(check, Cat(L"compose", ++number, L".gif"), gif.Trailer())) return;
        // The frame looked at stays 2 s and the whole round takes at most 2.2 s.
        if (row.seenFirst != CLR_INVALID) {
            const std::wstring later =
                bench.picker.WaitProbes({{L"bottom right quarter", 73, 73, row.seenFirst, 2}}, 6000);
            if (!check.Expect(later.empty(), Cat(row.what, L": the later frame never showed: ", later))) continue;
        }
        const std::wstring problems =
            bench.picker.WaitProbes(QuarterProbes(row.topLeft, row.topRight, row.bottomLeft, row.bottomRight, 2), 6000);
        check.Expect(problems.empty(), Cat(row.what, L": ", problems));
    }
}

// A new picture, or none, ends the animation before it is shown: no frame is drawn over it.
// Closing the window ends it too.
void NewPictureStopsAnimation(Check& check, const Options& options) {
    Bench bench(check, options);
    if (!bench.Ok()) return;
    IconPicker& picker = bench.picker;
    const Bytes gif = TrafficLight(0);
    const struct {
        const wchar_t* what;
        bool clear; // else a yellow BMP is chosen
    } rows[] = {
        {L"choosing a still BMP", false},
        {L"the clear button", true},
    };
    for (const auto& row : rows) {
        check.Note(row.what);
        if (!bench.Show(check, L"lights.gif", gif)) return;
        if (!check.Expect(picker.WaitAnimating(), Cat(L"before ", row.what, L": the GIF does not animate"))) return;
        const COLORREF wanted = row.clear ? picker.Background() : Ref(kYellow);
        if (row.clear) {
            if (!picker.Clear()) return;
        } else if (!bench.Show(check, L"yellow.bmp", BmpFile(Filled(8, 8, kYellow), 24))) {
            return;
        }
        const std::wstring problems = picker.WaitProbes(Everywhere(wanted));
        if (!check.Expect(problems.empty(), Cat(row.what, L": ", problems))) continue;
        // Frames of 50 ms: a second holds twenty chances for a left-over frame to show.
        const std::vector<Sample> samples = SampleCentre(picker, 1000);
        const auto other = [&](const Sample& sample) { return sample.colour != wanted; };
        const auto first = std::find_if(samples.begin(), samples.end(), other);
        check.Expect(first == samples.end(),
                     Cat(row.what, L": within 1 s after, ", std::count_if(samples.begin(), samples.end(), other),
                         L" of ", samples.size(), L" looks at the box were not ", ColourText(wanted),
                         L"; the first was ", ColourText(first == samples.end() ? CLR_INVALID : first->colour)));
    }

    // Esc while the GIF animates closes the window; the animation's thread is stopped and the
    // program ends at once with exit code 0.
    if (!bench.Show(check, L"lights.gif", gif)) return;
    if (!check.Expect(picker.WaitAnimating(), L"before Esc: the GIF does not animate")) return;
    if (!bench.session.Front()) return;
    const ULONGLONG start = GetTickCount64();
    PressKey(VK_ESCAPE);
    DWORD code = 0;
    constexpr DWORD kQuickExitMs = 3000;
    if (!check.Expect(bench.session.Process().WaitExit(kQuickExitMs, code),
                      Cat(L"the program still runs ", kQuickExitMs, L" ms after Esc")))
        return;
    check.Note(Cat(L"ended ", GetTickCount64() - start, L" ms after Esc"));
    check.ExpectEq(L"exit code", 0, static_cast<long long>(code));
}

// Only an animated GIF has a thread of its own, and it ends when the picture goes. While one
// plays, the program holds as many GDI objects whatever its frame count.
void AnimationThreadLifetime(Check& check, const Options& options) {
    Bench bench(check, options);
    if (!bench.Ok()) return;
    IconPicker& picker = bench.picker;
    const DWORD pid = bench.session.Process().Pid();
    if (!bench.Show(check, L"yellow.bmp", BmpFile(Filled(8, 8, kYellow), 24))) return;
    std::wstring problems = picker.WaitProbes(Everywhere(Ref(kYellow)));
    if (!check.Expect(problems.empty(), L"a still BMP: " + problems)) return;
    // The file dialog may leave threads of its own behind; they are part of the baseline.
    const int baseline = ThreadsOf(pid);
    check.Note(Cat(L"threads with a still BMP: ", baseline));
    int now = 0;
    auto settlesAt = [&](int wanted) {
        return WaitUntil(kStepTimeoutMs, [&] { return (now = ThreadsOf(pid)) == wanted; });
    };

    const Bytes still =
        GifWriter(4, 4, RgbTable({kRed, kGreen, kBlue, kWhite})).Frame(SolidFrame(4, 4, 1, 10)).Trailer();
    if (!bench.Show(check, L"still.gif", still)) return;
    problems = picker.WaitProbes(Everywhere(Ref(kGreen)));
    if (!check.Expect(problems.empty(), L"a GIF with one frame: " + problems)) return;
    const bool stillSettled = settlesAt(baseline);
    check.Expect(stillSettled, Cat(L"a GIF with one frame: ", now, L" threads, wanted ", baseline));

    // Two passes of 1.2 s are recorded frame by frame before the kept frames replay; a DC the worker holds may show.
    GifWriter sixty(200, 200, RgbTable({kRed, kGreen, kBlue, kYellow}));
    for (int i = 0; i < 60; ++i) sixty.Frame(SolidFrame(200, 200, static_cast<uint8_t>(i % 4), 2));
    Peeker peeker(bench.session.Main());
    if (!check.Expect(peeker.Ok(), L"cannot hook the program's GUI thread") ||
        !bench.Show(check, L"sixty.gif", sixty.Trailer()) || !check.Expect(picker.WaitAnimating(), L"60 frames"))
        return;
    peek::Resources at{};
    DWORD fewest = MAXDWORD, most = 0;
    for (const ULONGLONG start = GetTickCount64(); GetTickCount64() - start < 3000;) {
        if (!check.Expect(bench.session.Sync() && peeker.ReadResources(at), L"no resource counts")) return;
        fewest = std::min<DWORD>(fewest, at.gdiObjects), most = std::max<DWORD>(most, at.gdiObjects);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    }
    check.Note(Cat(L"60 frames playing: GDI objects from ", fewest, L" to ", most));
    check.Expect(most - fewest <= 2, Cat(L"60 frames playing: GDI objects from ", fewest, L" to ", most));
    const struct {
        const wchar_t* what;
        bool animated; // else the clear button
    } rows[] = {
        {L"an animated GIF", true},
        {L"another animated GIF in its place", true},
        {L"the clear button", false},
    };
    for (const auto& row : rows) {
        if (row.animated) {
            if (!bench.Show(check, L"lights.gif", TrafficLight(10))) return;
            if (!check.Expect(picker.WaitAnimating(), Cat(row.what, L": does not animate"))) return;
        } else if (!picker.Clear()) {
            return;
        }
        const int wanted = baseline + (row.animated ? 1 : 0);
        const bool settled = settlesAt(wanted);
        check.Expect(settled, Cat(row.what, L": ", now, L" threads, wanted ", wanted));
    }
}

// A picture is drawn again, not lost, when part of the box is repainted, and when the window
// has been minimized and restored; an animation goes on.
void PictureSurvivesRepaint(Check& check, const Options& options) {
    Bench bench(check, options);
    if (!bench.Ok()) return;
    IconPicker& picker = bench.picker;
    const COLORREF face = picker.Background();
    const COLORREF red = Ref(kRed), blue = Ref(kBlue);
    const Rgba halfRed{255, 0, 0, 128};
    const struct {
        const wchar_t* what;
        const wchar_t* file;
        Bytes bytes;
        std::vector<Probe> probes; // none: an animation, which must go on
    } rows[] = {
        {L"PNG with alpha", L"alpha.png", PngFile(Quarters(8, 8, halfRed, kBlue, kBlue, halfRed), true),
         QuarterProbes(Blended(halfRed, face), blue, blue, Blended(halfRed, face), 1)},
        {L"picture with more pixels than the box", L"wide.bmp",
         BmpFile(Quarters(200, 50, kRed, kBlue, kRed, kBlue), 24), QuarterProbes(red, blue, red, blue)},
        {L"icon", L"one.ico", IconFile(1, {Icon(Halves(32, 32, kRed, kBlue), 4)}), HalfProbes(red, blue)},
        {L"animated GIF", L"lights.gif", TrafficLight(10), {}},
    };
    HWND main = bench.session.Main();
    for (const auto& row : rows) {
        check.Note(row.what);
        if (!bench.Show(check, row.file, row.bytes)) return;
        auto shows = [&](const wchar_t* after) {
            if (row.probes.empty()) {
                return check.Expect(picker.WaitAnimating(), Cat(row.what, after, L": the GIF does not animate"));
            }
            const std::wstring problems = picker.WaitProbes(row.probes);
            return check.Expect(problems.empty(), Cat(row.what, after, L": ", problems));
        };
        if (!shows(L"")) continue;

        // What uncovering the top half of the box asks for on Windows. Wine keeps each window's
        // pixels and puts them back itself, so covering it with another window would test nothing.
        RECT topHalf{0, 0, 98, 49};
        InvalidateRect(picker.Box(), &topHalf, TRUE);
        if (!check.Expect(bench.session.Sync(), L"the program did not become idle")) return;
        if (!shows(L", its top half repainted")) continue;

        const int threads = ThreadsOf(bench.session.Process().Pid());
        Ask(main, WM_SYSCOMMAND, SC_MINIMIZE);
        if (!check.Expect(WaitUntil(kStepTimeoutMs, [&] { return IsIconic(main) != FALSE; }),
                          L"the window did not minimize"))
            return;
        // Minimized, an animation pauses: its thread ends.
        if (row.probes.empty())
            check.Expect(
                WaitUntil(kStepTimeoutMs, [&] { return ThreadsOf(bench.session.Process().Pid()) == threads - 1; }),
                L"the animation thread still runs while minimized");
        Ask(main, WM_SYSCOMMAND, SC_RESTORE);
        if (!check.Expect(WaitUntil(kStepTimeoutMs, [&] { return !IsIconic(main); }), L"the window did not restore"))
            return;
        if (!bench.session.Front()) return;
        shows(L", minimized and restored");
    }
}

} // namespace driver
