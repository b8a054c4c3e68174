#!/usr/bin/env python3
"""Compares the portable decoders with a reference decoder (Pillow; avifdec for AVIF) over
standard test suites.

    conformance.py --dump PICTURE_DUMP --source-root DIR [--only SUITE]... [--verbose]

suites.txt names the suites, one a line: a name, a glob of files and the largest difference
allowed per channel (0 for lossless formats). A glob that starts with "src:" is taken inside
DIR (scripts/fetch-picture-sources.sh prints it: Debian's source packages of the libraries and
of Pillow); any other glob is an absolute path (installed test packages).

differences.txt lists every intended difference: "suite/file outcome reason". A file that is
not listed must give what the reference gives: the same size and, pixel by pixel, channels
within the suite's tolerance (where both alphas are 0 the colour is not compared: a fully
transparent pixel shows the background whatever its colour). Both refusing a file counts as
agreement. An animation is compared frame by frame. Outcomes:
    refused      we give no picture; the reference gives one
    ours-only    we give a picture; the reference refuses the file
    differs      both give a picture and the pixels (or the frame count) differ
    frames       the still picture agrees; the frames of the animation differ
    like:FILE    the reference decoder is wrong or refuses the file, and the suite has its own
                 rendering of it (FILE, relative to the file's folder): we must match that
A listed difference that does not occur (any more) is a failure too, so the list stays true.
Every failure names its file. Exit status 0 when everything agrees or is listed.
"""
import argparse
import glob
import os
import re
import subprocess
import sys
import tempfile
import warnings
from fractions import Fraction

from PIL import Image, ImageChops, ImageOps, ImageSequence

# Pillow warns about the odd files the suites hold on purpose.
warnings.simplefilter("ignore")

HERE = os.path.dirname(os.path.abspath(__file__))
OUTCOMES = ("refused", "ours-only", "differs", "frames")


def read_table(name, columns):
    """Rows of a whitespace-separated table; the last column takes the rest of the line."""
    rows = []
    with open(os.path.join(HERE, name), encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            fields = line.split(None, columns - 1)
            if len(fields) != columns:
                sys.exit(f"{name}:{number}: want {columns} fields: {line}")
            rows.append(fields)
    return rows


def suite_files(pattern, source_root):
    if pattern.startswith("src:"):
        pattern = os.path.join(source_root, pattern[4:])
    return sorted(p for p in glob.glob(pattern) if os.path.isfile(p))


def as_rgba(frame, info):
    """A Pillow frame as RGBA the way a viewer shows it. Pillow ignores a PNG's gAMA chunk,
    which libpng applies: a PNG that states a gamma and no sRGB or ICC profile has its colour
    channels brought to the display's gamma of 2.2, as libpng does. Pillow keeps 16-bit grey as
    32-bit integers, which its RGBA conversion would clip: those are narrowed here, after the
    gamma, and their tRNS grey value made transparent."""
    gamma = info.get("gamma")
    exponent = 1 / (gamma * 2.2) if gamma and "srgb" not in info and "icc_profile" not in info else 1
    if frame.mode in ("I", "I;16"):
        key = frame.info.get("transparency")
        rgba = Image.new("RGBA", frame.size)
        rgba.putdata([(g, g, g, 0 if v == key else 255)
                      for v in frame.getdata()
                      for g in [round(255 * (v / 65535) ** exponent)]])
        return rgba.tobytes()
    rgba = frame.convert("RGBA")
    if exponent != 1:
        table = [round(255 * (v / 255) ** exponent) for v in range(256)]
        r, g, b, a = rgba.split()
        rgba = Image.merge("RGBA", (r.point(table), g.point(table), b.point(table), a))
    return rgba.tobytes()


def is_avif(path):
    with open(path, "rb") as f:
        head = f.read(64)
    return head[4:8] == b"ftyp" and (b"avif" in head[8:] or b"avis" in head[8:])


def avif_transformed(frame, info):
    """A frame as a browser shows it: avifdec 0.11.1 decodes but leaves the item's clap, irot
    and imir to the viewer, so they are applied here, in that order, by their definitions. A
    clean aperture that is no whole-pixel rectangle inside the picture (on even pixels where
    chroma is subsampled that way) is ignored."""
    clap = re.search(r"clap \(Clean Aperture\): W: (-?\d+)/(\d+), H: (-?\d+)/(\d+), "
                     r"hOff: (-?\d+)/(\d+), vOff: (-?\d+)/(\d+)", info)
    if clap:
        n = [int(v) for v in clap.groups()]
        if all(d > 0 for d in n[1::2]):
            w, h = Fraction(n[0], n[1]), Fraction(n[2], n[3])
            left = Fraction(n[4], n[5]) + (frame.size[0] - w) / 2
            top = Fraction(n[6], n[7]) + (frame.size[1] - h) / 2
            chroma = re.search(r"Format +: YUV(\d+)", info)
            odd_x = chroma and chroma.group(1) in ("420", "422") and left % 2 != 0
            odd_y = chroma and chroma.group(1) == "420" and top % 2 != 0
            if (all(v.denominator == 1 for v in (w, h, left, top)) and w > 0 and h > 0
                    and left >= 0 and top >= 0 and left + w <= frame.size[0]
                    and top + h <= frame.size[1] and not odd_x and not odd_y):
                frame = frame.crop((int(left), int(top), int(left + w), int(top + h)))
    irot = re.search(r"irot \(Rotation\) +: (\d)", info)
    if irot:  # anticlockwise quarter turns
        frame = frame.rotate(90 * int(irot.group(1)), expand=True)
    imir = re.search(r"imir \(Mirror\) +: Mode (\d)", info)
    if imir:  # 0 exchanges top and bottom, 1 left and right
        frame = frame.transpose(Image.FLIP_TOP_BOTTOM if imir.group(1) == "0" else Image.FLIP_LEFT_RIGHT)
    return frame


def avif_reference(path):
    """As reference(), from avifdec (libavif-bin): 8 bits a channel, chroma upsampled by
    libavif's best filter; every frame is played."""
    info = subprocess.run(["avifdec", "--info", path], capture_output=True, text=True)
    frames = re.search(r"(\d+) frames?$", info.stdout, re.M)
    if info.returncode != 0 or not frames:
        return None
    pictures = []
    with tempfile.TemporaryDirectory() as folder:
        out = os.path.join(folder, "frame.png")
        for index in range(int(frames.group(1))):
            decoded = subprocess.run(["avifdec", "-u", "best", "-d", "8", "--index", str(index),
                                      path, out], capture_output=True)
            if decoded.returncode != 0:
                return None
            with Image.open(out) as im:
                pictures.append(avif_transformed(im.convert("RGBA"), info.stdout))
    frames = [p.tobytes() for p in pictures]
    return pictures[0].size[0], pictures[0].size[1], frames, frames


def reference(path):
    """(width, height, [RGBA bytes per frame], [the frames an animation plays]) from Pillow, or
    None when it refuses the file. An animated PNG's default image that is not part of its
    animation is Pillow's first frame, and is not played."""
    if is_avif(path):
        return avif_reference(path)
    try:
        with Image.open(path) as im:
            if im.format == "JPEG":
                # A JPEG's EXIF orientation is applied, as browsers and photo viewers do.
                upright = ImageOps.exif_transpose(im)
                frames = [as_rgba(upright, im.info)]
                return upright.size[0], upright.size[1], frames, frames
            frames = []
            for frame in ImageSequence.Iterator(im):
                frames.append(as_rgba(frame, im.info))
            played = frames[1:] if im.format == "PNG" and im.info.get("default_image") else frames
            return im.size[0], im.size[1], frames, played
    except Exception:  # any refusal, whatever Pillow calls it
        return None


def ours(dump, paths):
    """{path: None (refused) | "skipped" | (width, height, [RGBA bytes per picture])}."""
    out = subprocess.run([dump] + paths, stdout=subprocess.PIPE, check=False)
    if out.returncode != 0:
        sys.exit(f"conformance: {dump} failed with status {out.returncode}")
    data = out.stdout
    results = {}
    at = 0
    for path in paths:
        end = data.index(b"\n", at)
        words = data[at:end].split()
        at = end + 1
        if words[0] == b"refused":
            results[path] = None
        elif words[0] == b"skipped":
            results[path] = "skipped"
        else:
            width, height, count = int(words[1]), int(words[2]), int(words[3])
            size = width * height * 4
            pictures = [data[at + i * size : at + (i + 1) * size] for i in range(count)]
            at += count * size
            results[path] = (width, height, pictures)
    return results


def largest_difference(a, b, width, height):
    """The largest per-channel difference of two RGBA pictures, ignoring colour where both
    pixels are fully transparent; with the first pixel (x, y) where it occurs."""
    if a == b:
        return 0, (0, 0)
    ia = Image.frombytes("RGBA", (width, height), a)
    ib = Image.frombytes("RGBA", (width, height), b)
    diff = ImageChops.difference(ia, ib)
    # Where either alpha is above 0 the pixel counts.
    seen = ImageChops.lighter(ia.getchannel("A"), ib.getchannel("A")).point(lambda v: 255 if v else 0)
    diff = Image.composite(diff, Image.new("RGBA", diff.size), seen)
    worst = max(high for _, high in diff.getextrema())
    if worst == 0:
        return 0, (0, 0)
    # The first row with a difference that large, and its first such pixel.
    bands = [band.point(lambda v: 255 if v == worst else 0) for band in diff.split()]
    mask = bands[0]
    for band in bands[1:]:
        mask = ImageChops.lighter(mask, band)
    box = mask.getbbox()
    row = mask.crop((0, box[1], width, box[1] + 1)).getbbox()
    return worst, (row[0], box[1])


def on_black_if_opaque(mine, ref, width, height):
    """The reference frame composed onto black when ours is opaque throughout: an animation
    whose frames are blended as they are composed (WebP, PNG) is dumped onto opaque black."""
    if Image.frombytes("RGBA", (width, height), mine).getchannel("A").getextrema()[0] < 255:
        return ref
    black = Image.new("RGBA", (width, height), (0, 0, 0, 255))
    return Image.alpha_composite(black, Image.frombytes("RGBA", (width, height), ref)).tobytes()


def compare(mine, ref, tolerance):
    """The outcome of one file: None when it agrees, else (outcome, what)."""
    if mine is None and ref is None:
        return None
    if mine is None:
        return "refused", "we refuse it; the reference gives a picture"
    if ref is None:
        return "ours-only", "the reference refuses it; we give a picture"
    (w, h, pictures), (rw, rh, frames, played) = mine, ref
    if (w, h) != (rw, rh):
        return "differs", f"size {w}x{h}, the reference {rw}x{rh}"
    worst, where = largest_difference(pictures[0], frames[0], w, h)
    if worst > tolerance:
        return "differs", f"channel off by {worst} at {where}"
    if len(pictures) > 1:
        animation = pictures[1:]
        if len(animation) != len(played):
            return "frames", f"{len(animation)} frames, the reference {len(played)}"
        for n, (a, b) in enumerate(zip(animation, played)):
            worst, where = largest_difference(a, on_black_if_opaque(a, b, w, h), w, h)
            if worst > tolerance:
                return "frames", f"frame {n}: channel off by {worst} at {where}"
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dump", required=True)
    parser.add_argument("--source-root", required=True)
    parser.add_argument("--only", action="append", default=[])
    parser.add_argument("--verbose", action="store_true")
    args = parser.parse_args()

    listed = {}
    for key, outcome, reason in read_table("differences.txt", 3):
        if outcome not in OUTCOMES and not outcome.startswith("like:"):
            sys.exit(f"differences.txt: {key}: unknown outcome {outcome}")
        listed[key] = outcome
    failures = []
    seen = set()
    for name, pattern, tolerance in read_table("suites.txt", 3):
        if args.only and name not in args.only:
            continue
        paths = suite_files(pattern, args.source_root)
        if not paths:
            failures.append(f"{name}: no files match {pattern}")
            continue
        results = ours(args.dump, paths)
        # Files are named inside the suite: "bmp/g/pal1.bmp".
        common = os.path.commonpath([os.path.dirname(p) for p in paths])
        counts = {"agree": 0, "listed": 0, "skipped": 0}
        for path in paths:
            key = f"{name}/{os.path.relpath(path, common)}"
            seen.add(key)
            mine = results[path]
            if mine == "skipped":
                counts["skipped"] += 1
                continue
            expected = listed.get(key)
            if expected and expected.startswith("like:"):
                # A rendering shows the still picture only.
                rendering = os.path.join(os.path.dirname(path), expected[5:])
                still = mine and (mine[0], mine[1], mine[2][:1])
                found = compare(still, reference(rendering), int(tolerance))
                if found is None:
                    counts["listed"] += 1
                else:
                    failures.append(f"{key}: against {expected[5:]}: {found[1]}")
                continue
            found = compare(mine, reference(path), int(tolerance))
            if found is None and expected is None:
                counts["agree"] += 1
            elif found is not None and found[0] == expected:
                counts["listed"] += 1
                if args.verbose:
                    print(f"  listed {key}: {found[1]}")
            elif found is None:
                failures.append(f"{key}: listed as {expected}, but it agrees with the reference")
            else:
                failures.append(f"{key}: {found[1]}" + (f" (listed as {expected})" if expected else ""))
        print(f"conformance {name}: {len(paths)} files, {counts['agree']} agree, "
              f"{counts['listed']} listed differences, {counts['skipped']} not decoded here")
    if not args.only:
        for key in sorted(set(listed) - seen):
            failures.append(f"{key}: listed in differences.txt but no such file in its suite")
    for failure in failures:
        print(f"conformance FAIL {failure}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
