// The replay program: runs the target's decoder over the files named on the command line, and
// every file under the folders named there, in name order. Used for seed and crash corpora and
// for the hostile real-world files of scripts/corpus.sh.
//
//   replay_<target> [--timeout SECONDS] [--list FILE] [--verbose] PATH...
//
// --list reads more paths from FILE, one a line. Each input gets SECONDS (default 2) of wall
// time; running over ends the program with a message naming the file. A sanitizer report or a
// broken promise names the file too. The last line is a summary:
//   replay <target>: <n> files; own kind <n> (decoded <n>, refused <n>); other kinds <n>
//   (decoded <n>, refused <n>)
// where "own kind" counts the files whose first bytes select this decoder.
#include <sanitizer/common_interface_defs.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "FuzzTarget.h"

namespace {

namespace fs = std::filesystem;

constexpr uintmax_t kMaxInputBytes = uintmax_t{256} * 1024 * 1024;

// The input being decoded, for the messages of the handlers below.
char gCurrent[4096] = "";

void WriteAll(const char* text) {
    size_t left = std::strlen(text);
    while (left != 0) {
        const ssize_t n = write(STDERR_FILENO, text, left);
        if (n <= 0) {
            return;
        }
        text += n;
        left -= static_cast<size_t>(n);
    }
}

void NameTheInput() {
    WriteAll("replay: the input was ");
    WriteAll(gCurrent);
    WriteAll("\n");
}

void OnAlarm(int) {
    WriteAll("replay: TIMEOUT: ");
    WriteAll(kFuzzTargetName);
    WriteAll(" took too long on ");
    WriteAll(gCurrent);
    WriteAll("\n");
    _exit(124);
}

void OnAbort(int) {
    NameTheInput();
    signal(SIGABRT, SIG_DFL);
    raise(SIGABRT);
}

void Collect(const fs::path& path, std::vector<fs::path>* out) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        for (const auto& entry : fs::recursive_directory_iterator(path, ec)) {
            if (entry.is_regular_file(ec)) {
                out->push_back(entry.path());
            }
        }
    } else {
        out->push_back(path);
    }
}

// Exactly the file's size on the heap, so a read one byte past the end is caught.
bool ReadWhole(const fs::path& path, std::unique_ptr<uint8_t[]>* bytes, size_t* size) {
    std::error_code ec;
    const uintmax_t length = fs::file_size(path, ec);
    if (ec || length > kMaxInputBytes) {
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    *size = static_cast<size_t>(length);
    bytes->reset(new uint8_t[*size == 0 ? 1 : *size]);
    in.read(reinterpret_cast<char*>(bytes->get()), static_cast<std::streamsize>(*size));
    return static_cast<size_t>(in.gcount()) == *size;
}

// Whether a file's kind is one this target is meant for; the drop's file list takes any bytes.
bool Selects(PictureKind kind) {
    const std::string name = kFuzzTargetName;
    if (name == "drop") return true;
    switch (kind) {
    case PictureKind::Bmp: return name == "bmp";
    case PictureKind::Pcx8:
    case PictureKind::Pcx1: return name == "pcx";
    case PictureKind::Gif: return name == "gif";
    case PictureKind::Ico:
    case PictureKind::Cur: return name == "icon";
    case PictureKind::Jpeg: return name == "jpeg";
    case PictureKind::Png: return name == "png";
    case PictureKind::Webp: return name == "webp";
    case PictureKind::Avif: return name == "avif";
    case PictureKind::None: break;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    unsigned timeout = 2;
    bool verbose = false;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--timeout" && i + 1 < argc) {
            timeout = static_cast<unsigned>(std::stoul(argv[++i]));
        } else if (arg == "--list" && i + 1 < argc) {
            std::ifstream list(argv[++i]);
            for (std::string line; std::getline(list, line);) {
                if (!line.empty()) {
                    Collect(line, &inputs);
                }
            }
        } else if (arg == "--verbose") {
            verbose = true;
        } else {
            Collect(arg, &inputs);
        }
    }
    std::sort(inputs.begin(), inputs.end());

    // Real files get the decoders' real cap, not the fuzzing one.
    fuzz::gSinkMaxPixels = kMaxPicturePixels;
    __sanitizer_set_death_callback(NameTheInput);
    signal(SIGALRM, OnAlarm);
    signal(SIGABRT, OnAbort);

    unsigned long own = 0, ownDecoded = 0, other = 0, otherDecoded = 0, unreadable = 0;
    for (const fs::path& path : inputs) {
        std::unique_ptr<uint8_t[]> bytes;
        size_t size = 0;
        if (!ReadWhole(path, &bytes, &size)) {
            std::cerr << "replay: cannot read " << path.string() << "\n";
            ++unreadable;
            continue;
        }
        std::snprintf(gCurrent, sizeof gCurrent, "%s", path.c_str());
        const bool mine = Selects(RecognizePicture(bytes.get(), size));
        alarm(timeout);
        const bool decoded = FuzzTargetRun(bytes.get(), size);
        alarm(0);
        (mine ? own : other) += 1;
        (mine ? ownDecoded : otherDecoded) += decoded ? 1 : 0;
        if (verbose) {
            std::cout << (decoded ? "decoded " : "refused ") << (mine ? "own   " : "other ")
                      << path.string() << "\n";
        }
    }
    std::cout << "replay " << kFuzzTargetName << ": " << inputs.size() - unreadable
              << " files; own kind " << own << " (decoded " << ownDecoded << ", refused "
              << own - ownDecoded << "); other kinds " << other << " (decoded " << otherDecoded
              << ", refused " << other - otherDecoded << ")\n";
    return unreadable == 0 ? 0 : 2;
}
