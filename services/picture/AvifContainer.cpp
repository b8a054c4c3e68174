// Reads the boxes of an AVIF file (ISO/IEC 14496-12 boxes, the image items of ISO/IEC 23008-12
// and the AV1 bindings). Nothing here decodes AV1 or touches pixels.
#include "AvifContainer.h"

#include <cstring>

#include "PictureBytes.h"

namespace avif {
namespace {

constexpr uint32_t FourCc(const char (&s)[5]) {
    return (uint32_t{static_cast<uint8_t>(s[0])} << 24) |
           (uint32_t{static_cast<uint8_t>(s[1])} << 16) |
           (uint32_t{static_cast<uint8_t>(s[2])} << 8) | uint32_t{static_cast<uint8_t>(s[3])};
}

// ipma indices are 7 or 15 bits wide: no property past this one can be referred to.
constexpr size_t kMaxProperties = 0x7FFF;
// An image sequence of more frames than this (nine hours at 30 a second) is refused before its
// sample table is held.
constexpr uint32_t kMaxSamples = uint32_t{1} << 20;
// Alpha is found among the items that are auxiliary to the primary one; a file with more
// than a handful is no picture a person made.
constexpr size_t kMaxAuxiliaryItems = 16;

const char kAlphaUrn[] = "urn:mpeg:mpegB:cicp:systems:auxiliary:alpha";
const char kAlphaUrnHevc[] = "urn:mpeg:hevc:2015:auxid:1";

// A cursor over a run of bytes; a read that does not fit fails and leaves the cursor alone.
class Reader {
public:
    Reader() = default;
    Reader(const uint8_t* p, size_t n) : p_(p), n_(n) {}

    size_t Left() const { return n_; }
    const uint8_t* Here() const { return p_; }

    bool Skip(size_t count) {
        if (count > n_) return false;
        p_ += count;
        n_ -= count;
        return true;
    }
    bool U8(uint8_t* v) {
        if (n_ < 1) return false;
        *v = p_[0];
        return Skip(1);
    }
    bool U16(uint16_t* v) {
        if (n_ < 2) return false;
        *v = static_cast<uint16_t>((p_[0] << 8) | p_[1]);
        return Skip(2);
    }
    bool U32(uint32_t* v) {
        if (n_ < 4) return false;
        *v = picture_bytes::ReadBE32(p_);
        return Skip(4);
    }
    bool U64(uint64_t* v) {
        uint32_t hi = 0, lo = 0;
        if (n_ < 8 || !U32(&hi) || !U32(&lo)) return false;
        *v = (uint64_t{hi} << 32) | lo;
        return true;
    }
    // An unsigned field of 0, 4 or 8 bytes (iloc's sizes); 0 bytes reads as 0.
    bool Sized(uint32_t bytes, uint64_t* v) {
        uint32_t v32 = 0;
        switch (bytes) {
        case 0: *v = 0; return true;
        case 4:
            if (!U32(&v32)) return false;
            *v = v32;
            return true;
        case 8: return U64(v);
        default: return false;
        }
    }
    // 16 or 32 bits, as a full box's version says.
    bool Id(bool wide, uint32_t* v) {
        uint16_t v16 = 0;
        if (wide) return U32(v);
        if (!U16(&v16)) return false;
        *v = v16;
        return true;
    }
    // A full box's version and flags.
    bool VersionFlags(uint8_t* version, uint32_t* flags) {
        uint32_t word = 0;
        if (!U32(&word)) return false;
        *version = static_cast<uint8_t>(word >> 24);
        *flags = word & 0xFFFFFFu;
        return true;
    }

private:
    const uint8_t* p_ = nullptr;
    size_t n_ = 0;
};

struct Box {
    uint32_t type = 0;
    Reader body;
};

// The next box of a run: size (32 bits, 1 for a 64-bit size after the type, 0 for "to the
// end"), type, body.
bool NextBox(Reader& r, Box* box) {
    Reader head = r;
    uint32_t size32 = 0;
    if (!head.U32(&size32) || !head.U32(&box->type)) return false;
    uint64_t size = size32;
    uint64_t header = 8;
    if (size32 == 1) {
        if (!head.U64(&size)) return false;
        header = 16;
    } else if (size32 == 0) {
        size = header + head.Left();
    }
    if (size < header || size - header > head.Left()) return false;
    const size_t bodySize = static_cast<size_t>(size - header);
    box->body = Reader(head.Here(), bodySize);
    head.Skip(bodySize);
    r = head;
    return true;
}

// The first child box of the given type, or false.
bool FindBox(Reader r, uint32_t type, Reader* body) {
    Box box;
    while (NextBox(r, &box)) {
        if (box.type == type) {
            *body = box.body;
            return true;
        }
    }
    return false;
}

// Why boxes could not be read: Truncated when the file's own boxes run past its end.
Refusal Broken(const uint8_t* data, size_t size) {
    Reader file(data, size);
    Box box;
    while (NextBox(file, &box)) {
    }
    return file.Left() > 0 ? Refusal::Truncated : Refusal::Malformed;
}

bool ReadNclx(Reader r, Nclx* nclx) {
    uint32_t colourType = 0;
    uint8_t range = 0;
    if (!r.U32(&colourType) || colourType != FourCc("nclx")) return true;  // ICC: not used
    if (!r.U16(&nclx->primaries) || !r.U16(&nclx->transfer) || !r.U16(&nclx->matrix) ||
        !r.U8(&range)) {
        return false;
    }
    nclx->fullRange = (range & 0x80) != 0;
    nclx->present = true;
    return true;
}

// --- items -----------------------------------------------------------------------------

struct Extent {
    uint64_t offset = 0;
    uint64_t length = 0;
};

// What is read of one item the picture uses.
struct Item {
    uint32_t id = 0;
    uint32_t type = 0;
    uint16_t method = 0;         // iloc's construction method: 0 in the file, 1 in idat
    bool fromElsewhere = false;  // another file, or built from other items
    std::vector<Extent> extents;
    std::vector<uint16_t> properties;  // 1-based indices into ipco
};

Item* FindItem(std::vector<Item>& items, uint32_t id) {
    for (Item& item : items) {
        if (item.id == id) return &item;
    }
    return nullptr;
}

// iref: the items auxiliary to the primary one (auxl), and whether the primary's colour is
// premultiplied by one of them (prem, from the primary to the alpha item).
bool ReadReferences(Reader r, uint32_t primary, std::vector<Item>* items,
                    std::vector<uint32_t>* premultipliedBy) {
    uint8_t version = 0;
    uint32_t flags = 0;
    if (!r.VersionFlags(&version, &flags)) return false;
    Box box;
    while (NextBox(r, &box)) {
        uint32_t from = 0;
        uint16_t count = 0;
        if (!box.body.Id(version != 0, &from) || !box.body.U16(&count)) return false;
        for (uint16_t i = 0; i < count; ++i) {
            uint32_t to = 0;
            if (!box.body.Id(version != 0, &to)) return false;
            if (box.type == FourCc("auxl") && to == primary && !FindItem(*items, from) &&
                items->size() < kMaxAuxiliaryItems + 1) {
                Item item;
                item.id = from;
                items->push_back(item);
            } else if (box.type == FourCc("prem") && from == primary &&
                       premultipliedBy->size() < kMaxAuxiliaryItems) {
                premultipliedBy->push_back(to);
            }
        }
    }
    return true;
}

// iinf: the type of each item in use.
bool ReadItemTypes(Reader r, std::vector<Item>* items) {
    uint8_t version = 0;
    uint32_t flags = 0, count = 0;
    if (!r.VersionFlags(&version, &flags) || !r.Id(version != 0, &count)) return false;
    Box box;
    for (uint32_t i = 0; i < count && NextBox(r, &box); ++i) {
        if (box.type != FourCc("infe")) continue;
        uint8_t infeVersion = 0;
        uint32_t id = 0, type = 0;
        uint16_t protection = 0;
        if (!box.body.VersionFlags(&infeVersion, &flags)) return false;
        if (infeVersion < 2) continue;  // no item type before version 2
        if (!box.body.Id(infeVersion >= 3, &id) || !box.body.U16(&protection) ||
            !box.body.U32(&type)) {
            return false;
        }
        if (Item* item = FindItem(*items, id)) item->type = protection == 0 ? type : 0;
    }
    return true;
}

// iloc: where each item in use lies.
bool ReadLocations(Reader r, std::vector<Item>* items) {
    uint8_t version = 0, sizes = 0, moreSizes = 0;
    uint32_t flags = 0, count = 0;
    if (!r.VersionFlags(&version, &flags) || version > 2 || !r.U8(&sizes) || !r.U8(&moreSizes) ||
        !r.Id(version == 2, &count)) {
        return false;
    }
    const uint32_t offsetSize = sizes >> 4, lengthSize = sizes & 15u;
    const uint32_t baseSize = moreSizes >> 4, indexSize = version >= 1 ? moreSizes & 15u : 0;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t id = 0;
        uint16_t method = 0, dataReference = 0, extents = 0;
        uint64_t base = 0;
        if (!r.Id(version == 2, &id) || (version >= 1 && !r.U16(&method)) ||
            !r.U16(&dataReference) || !r.Sized(baseSize, &base) || !r.U16(&extents)) {
            return false;
        }
        Item* item = FindItem(*items, id);
        if (item) {
            if (!item->extents.empty()) return false;
            item->method = method & 15u;
            item->fromElsewhere = dataReference != 0 || item->method > 1;
        }
        for (uint16_t e = 0; e < extents; ++e) {
            uint64_t index = 0;
            Extent extent;
            if (!r.Sized(indexSize, &index) || !r.Sized(offsetSize, &extent.offset) ||
                !r.Sized(lengthSize, &extent.length)) {
                return false;
            }
            if (!item) continue;
            // A piece of no length (its field may take no bytes at all) would let the count
            // run up without the data paying for it.
            if (extent.length == 0 || extent.offset > UINT64_MAX - base) return false;
            extent.offset += base;
            item->extents.push_back(extent);
        }
    }
    return true;
}

// ipma: the properties of each item in use.
bool ReadAssociations(Reader r, std::vector<Item>* items) {
    uint8_t version = 0;
    uint32_t flags = 0, count = 0;
    if (!r.VersionFlags(&version, &flags) || !r.U32(&count)) return false;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t id = 0;
        uint8_t associations = 0;
        if (!r.Id(version >= 1, &id) || !r.U8(&associations)) return false;
        Item* item = FindItem(*items, id);
        for (uint8_t a = 0; a < associations; ++a) {
            uint16_t index = 0;
            uint8_t index8 = 0;
            if (flags & 1u) {
                if (!r.U16(&index)) return false;
                index &= 0x7FFFu;
            } else {
                if (!r.U8(&index8)) return false;
                index = index8 & 0x7Fu;
            }
            if (item && index != 0) item->properties.push_back(index);
        }
    }
    return true;
}

// The item's data: a view when it is one piece, a copy of its pieces otherwise. Each piece
// lies inside its source and all of them together are no larger than the source.
Refusal ItemBytes(const Item& item, const uint8_t* file, size_t fileSize, const Reader& idat,
                  CodedBytes* out) {
    if (item.fromElsewhere) return Refusal::Unsupported;
    const uint8_t* source = item.method == 1 ? idat.Here() : file;
    const size_t sourceSize = item.method == 1 ? idat.Left() : fileSize;
    if (item.extents.empty() || !source) return Refusal::Malformed;
    uint64_t total = 0;
    for (const Extent& e : item.extents) {
        if (!picture_bytes::RangeInside(e.offset, e.length, sourceSize)) return Refusal::Truncated;
        total += e.length;
        if (total > sourceSize) return Refusal::Malformed;
    }
    if (item.extents.size() == 1) {
        out->data = source + item.extents[0].offset;
        out->size = static_cast<size_t>(total);
        return Refusal::None;
    }
    out->copy.reserve(static_cast<size_t>(total));
    for (const Extent& e : item.extents) {
        const uint8_t* p = source + e.offset;
        out->copy.insert(out->copy.end(), p, p + e.length);
    }
    out->data = out->copy.data();
    out->size = out->copy.size();
    return Refusal::None;
}

struct ItemProperties {
    bool hasSize = false;
    bool hasAv1Config = false;
    Chroma chroma = Chroma::Full444;
    bool isAlpha = false;
    uint32_t width = 0, height = 0;
    Nclx nclx;
    Transforms transforms;
};

bool ReadProperties(const Item& item, const std::vector<Reader>& ipco, ItemProperties* out) {
    for (uint16_t index : item.properties) {
        if (index > ipco.size()) return false;
        Box box;
        Reader r = ipco[index - 1];
        if (!NextBox(r, &box)) return false;
        Reader& b = box.body;
        uint8_t version = 0, byte = 0;
        uint32_t flags = 0;
        switch (box.type) {
        case FourCc("ispe"):
            if (!b.VersionFlags(&version, &flags) || !b.U32(&out->width) || !b.U32(&out->height))
                return false;
            out->hasSize = true;
            break;
        case FourCc("av1C"): {
            // Marker 1 and version 1 in the first byte; profile and level; then tier, high
            // bit depth, twelve bit, monochrome, chroma subsampling x and y, sample position.
            uint8_t level = 0, bits = 0;
            if (!b.U8(&byte) || byte != 0x81 || !b.U8(&level) || !b.U8(&bits)) return false;
            out->chroma = (bits & 0x10)           ? Chroma::Monochrome
                          : (bits & 0x0C) == 0x0C ? Chroma::Subsampled420
                          : (bits & 0x08)         ? Chroma::Subsampled422
                                                  : Chroma::Full444;
            out->hasAv1Config = true;
            break;
        }
        case FourCc("colr"):
            if (!out->nclx.present && !ReadNclx(b, &out->nclx)) return false;
            break;
        case FourCc("auxC"): {
            if (!b.VersionFlags(&version, &flags)) return false;
            const size_t n = strnlen(reinterpret_cast<const char*>(b.Here()), b.Left());
            const char* urn = reinterpret_cast<const char*>(b.Here());
            out->isAlpha =
                (n == sizeof(kAlphaUrn) - 1 && std::memcmp(urn, kAlphaUrn, n) == 0) ||
                (n == sizeof(kAlphaUrnHevc) - 1 && std::memcmp(urn, kAlphaUrnHevc, n) == 0);
            break;
        }
        case FourCc("irot"):
            if (!b.U8(&byte)) return false;
            out->transforms.quarterTurns = byte & 3u;
            break;
        case FourCc("imir"):
            if (!b.U8(&byte)) return false;
            out->transforms.mirrorAxis = static_cast<int8_t>(byte & 1u);
            break;
        case FourCc("clap"): {
            CleanAperture& c = out->transforms.clap;
            uint32_t horiz = 0, vert = 0;
            if (!b.U32(&c.widthN) || !b.U32(&c.widthD) || !b.U32(&c.heightN) ||
                !b.U32(&c.heightD) || !b.U32(&horiz) || !b.U32(&c.horizOffD) || !b.U32(&vert) ||
                !b.U32(&c.vertOffD)) {
                return false;
            }
            c.horizOffN = static_cast<int32_t>(horiz);
            c.vertOffN = static_cast<int32_t>(vert);
            c.present = true;
            break;
        }
        default: break;
        }
    }
    return true;
}

// --- tracks ----------------------------------------------------------------------------

struct TrackBoxes {
    uint32_t id = 0;
    uint32_t auxiliaryFor = 0;     // tref auxl
    uint32_t premultipliedBy = 0;  // tref prem
    uint32_t handler = 0;
    uint32_t timescale = 0;
    Reader stbl;
};

bool ReadTrackBoxes(Reader trak, TrackBoxes* t) {
    Reader tkhd, mdia, mdhd, hdlr, minf, tref;
    uint8_t version = 0;
    uint32_t flags = 0;
    if (!FindBox(trak, FourCc("tkhd"), &tkhd) || !tkhd.VersionFlags(&version, &flags) ||
        !tkhd.Skip(version == 1 ? 16 : 8) || !tkhd.U32(&t->id)) {
        return false;
    }
    if (FindBox(trak, FourCc("tref"), &tref)) {
        Box ref;
        while (NextBox(tref, &ref)) {
            uint32_t to = 0;
            if (!ref.body.U32(&to)) return false;
            if (ref.type == FourCc("auxl")) t->auxiliaryFor = to;
            if (ref.type == FourCc("prem")) t->premultipliedBy = to;
        }
    }
    if (!FindBox(trak, FourCc("mdia"), &mdia) || !FindBox(mdia, FourCc("mdhd"), &mdhd) ||
        !mdhd.VersionFlags(&version, &flags) || !mdhd.Skip(version == 1 ? 16 : 8) ||
        !mdhd.U32(&t->timescale) || !FindBox(mdia, FourCc("hdlr"), &hdlr) || !hdlr.Skip(8) ||
        !hdlr.U32(&t->handler) || !FindBox(mdia, FourCc("minf"), &minf) ||
        !FindBox(minf, FourCc("stbl"), &t->stbl)) {
        return false;
    }
    return true;
}

// The samples of a track from its sample table: sizes (stsz), chunks (stco or co64), samples
// per chunk (stsc) and durations (stts), with the AV1 sample entry's size and colour (stsd).
Refusal ReadSamples(const TrackBoxes& t, size_t fileSize, Track* track) {
    Reader stsd, stsz, stsc, stts, stco;
    uint8_t version = 0;
    uint32_t flags = 0, entries = 0;
    Box entry;
    if (!FindBox(t.stbl, FourCc("stsd"), &stsd) || !stsd.VersionFlags(&version, &flags) ||
        !stsd.U32(&entries) || !NextBox(stsd, &entry) || entry.type != FourCc("av01")) {
        return Refusal::Malformed;
    }
    // VisualSampleEntry: 6 reserved, data reference, 16 pre-defined, width, height, 50 more.
    uint16_t width = 0, height = 0;
    Reader visual = entry.body;
    if (!visual.Skip(24) || !visual.U16(&width) || !visual.U16(&height) || !visual.Skip(50)) {
        return Refusal::Malformed;
    }
    track->width = width;
    track->height = height;
    Reader colr;
    if (FindBox(visual, FourCc("colr"), &colr) && !ReadNclx(colr, &track->nclx))
        return Refusal::Malformed;

    uint32_t fixedSize = 0, count = 0;
    if (!FindBox(t.stbl, FourCc("stsz"), &stsz) || !stsz.VersionFlags(&version, &flags) ||
        !stsz.U32(&fixedSize) || !stsz.U32(&count) || count == 0) {
        return Refusal::Malformed;
    }
    // Every sample has bytes of its own in the file: this bounds the count before anything
    // is allocated for it.
    if (count > kMaxSamples) return Refusal::TooLarge;
    if (fixedSize == 0 ? count > stsz.Left() / 4 : count > fileSize / fixedSize) {
        return Refusal::Malformed;
    }
    const bool wideChunks = FindBox(t.stbl, FourCc("co64"), &stco);
    uint32_t chunks = 0;
    if ((!wideChunks && !FindBox(t.stbl, FourCc("stco"), &stco)) ||
        !stco.VersionFlags(&version, &flags) || !stco.U32(&chunks) ||
        !FindBox(t.stbl, FourCc("stsc"), &stsc) || !stsc.VersionFlags(&version, &flags) ||
        !FindBox(t.stbl, FourCc("stts"), &stts) || !stts.VersionFlags(&version, &flags)) {
        return Refusal::Malformed;
    }
    uint32_t runs = 0, durationRuns = 0;
    if (!stsc.U32(&runs) || !stts.U32(&durationRuns)) return Refusal::Malformed;
    track->samples.reserve(count);

    uint32_t runFirst = 0, runSamples = 0, nextFirst = 0, nextSamples = 0, description = 0;
    uint32_t runsRead = 0;
    if (runs == 0 || !stsc.U32(&nextFirst) || !stsc.U32(&nextSamples) || !stsc.U32(&description)) {
        return Refusal::Malformed;
    }
    runsRead = 1;
    uint64_t total = 0;
    uint32_t durationLeft = 0, duration = 0, durationsRead = 0;
    for (uint32_t chunk = 1; chunk <= chunks && track->samples.size() < count; ++chunk) {
        // The stsc run this chunk falls in.
        while (nextFirst != 0 && chunk >= nextFirst) {
            runFirst = nextFirst;
            runSamples = nextSamples;
            nextFirst = 0;
            if (runsRead < runs) {
                if (!stsc.U32(&nextFirst) || !stsc.U32(&nextSamples) || !stsc.U32(&description) ||
                    nextFirst <= runFirst) {
                    return Refusal::Malformed;
                }
                ++runsRead;
            }
        }
        if (runFirst == 0) return Refusal::Malformed;
        uint64_t offset = 0;
        if (!stco.Sized(wideChunks ? 8 : 4, &offset)) return Refusal::Malformed;
        for (uint32_t s = 0; s < runSamples && track->samples.size() < count; ++s) {
            uint32_t size = fixedSize;
            if (size == 0 && !stsz.U32(&size)) return Refusal::Malformed;
            if (size == 0) return Refusal::Malformed;
            if (!picture_bytes::RangeInside(offset, size, fileSize)) return Refusal::Truncated;
            total += size;
            if (total > fileSize) return Refusal::Malformed;
            while (durationLeft == 0 && durationsRead < durationRuns) {
                if (!stts.U32(&durationLeft) || !stts.U32(&duration)) return Refusal::Malformed;
                ++durationsRead;
            }
            if (durationLeft > 0) --durationLeft;
            Sample sample;
            sample.offset = static_cast<size_t>(offset);
            sample.size = size;
            const uint64_t ms = t.timescale ? uint64_t{duration} * 1000 / t.timescale : 0;
            sample.durationMs = static_cast<uint32_t>(ms < INT32_MAX ? ms : INT32_MAX);
            track->samples.push_back(sample);
            offset += size;
        }
    }
    return track->samples.size() == count ? Refusal::None : Refusal::Malformed;
}

}  // namespace

bool IsAvif(const uint8_t* data, size_t size) {
    Reader file(data, size);
    Box ftyp;
    if (!data || !NextBox(file, &ftyp) || ftyp.type != FourCc("ftyp")) return false;
    uint32_t brand = 0, minor = 0;
    if (!ftyp.body.U32(&brand) || !ftyp.body.U32(&minor)) return false;
    do {
        if (brand == FourCc("avif") || brand == FourCc("avis")) return true;
    } while (ftyp.body.U32(&brand));
    return false;
}

Refusal ReadStill(const uint8_t* data, size_t size, Still* still) {
    Reader file(data, size), meta;
    if (!IsAvif(data, size)) return Refusal::Malformed;
    if (!FindBox(file, FourCc("meta"), &meta)) return Broken(data, size);
    uint8_t version = 0;
    uint32_t flags = 0, handler = 0;
    Reader hdlr, pitm, iinf, iloc, iref, iprp, ipco, ipma, idat;
    if (!meta.VersionFlags(&version, &flags) || !FindBox(meta, FourCc("hdlr"), &hdlr) ||
        !hdlr.Skip(8) || !hdlr.U32(&handler) || handler != FourCc("pict") ||
        !FindBox(meta, FourCc("pitm"), &pitm) || !FindBox(meta, FourCc("iinf"), &iinf) ||
        !FindBox(meta, FourCc("iloc"), &iloc) || !FindBox(meta, FourCc("iprp"), &iprp) ||
        !FindBox(iprp, FourCc("ipco"), &ipco) || !FindBox(iprp, FourCc("ipma"), &ipma)) {
        return Broken(data, size);
    }
    FindBox(meta, FourCc("idat"), &idat);
    uint32_t primary = 0;
    if (!pitm.VersionFlags(&version, &flags) || !pitm.Id(version != 0, &primary))
        return Broken(data, size);

    std::vector<Item> items(1);
    items[0].id = primary;
    std::vector<uint32_t> premultipliedBy;
    if (FindBox(meta, FourCc("iref"), &iref) &&
        !ReadReferences(iref, primary, &items, &premultipliedBy)) {
        return Broken(data, size);
    }
    std::vector<Reader> properties;
    Box property;
    Reader propertyRun = ipco;
    while (properties.size() < kMaxProperties) {
        Reader start = propertyRun;
        if (!NextBox(propertyRun, &property)) break;
        properties.push_back(Reader(start.Here(), start.Left() - propertyRun.Left()));
    }
    if (!ReadItemTypes(iinf, &items) || !ReadLocations(iloc, &items) ||
        !ReadAssociations(ipma, &items)) {
        return Broken(data, size);
    }

    const Item& color = items[0];
    ItemProperties colorProperties;
    if (color.type != FourCc("av01")) return Refusal::Unsupported;
    if (!ReadProperties(color, properties, &colorProperties) || !colorProperties.hasSize ||
        !colorProperties.hasAv1Config) {
        return Refusal::Malformed;
    }
    const Refusal bytes = ItemBytes(color, data, size, idat, &still->color);
    if (bytes != Refusal::None) return bytes;
    still->width = colorProperties.width;
    still->height = colorProperties.height;
    still->chroma = colorProperties.chroma;
    still->nclx = colorProperties.nclx;
    still->transforms = colorProperties.transforms;

    // The first auxiliary AV1 item that declares itself alpha; a broken one is ignored, as
    // the picture still has its colour.
    for (size_t i = 1; i < items.size(); ++i) {
        ItemProperties alphaProperties;
        CodedBytes alpha;
        if (items[i].type == FourCc("av01") &&
            ReadProperties(items[i], properties, &alphaProperties) && alphaProperties.isAlpha &&
            alphaProperties.hasAv1Config &&
            ItemBytes(items[i], data, size, idat, &alpha) == Refusal::None) {
            still->alpha = std::move(alpha);
            for (uint32_t id : premultipliedBy) still->premultiplied |= id == items[i].id;
            break;
        }
    }
    return Refusal::None;
}

Refusal ReadSequence(const uint8_t* data, size_t size, Sequence* sequence) {
    Reader file(data, size), moov;
    if (!IsAvif(data, size)) return Refusal::Malformed;
    if (!FindBox(file, FourCc("moov"), &moov)) return Broken(data, size);
    // The colour track is the first picture track that is auxiliary to none; its alpha track
    // is the one auxiliary to it.
    TrackBoxes color, alpha;
    Box box;
    Reader run = moov;
    while (NextBox(run, &box)) {
        TrackBoxes t;
        if (box.type != FourCc("trak") || !ReadTrackBoxes(box.body, &t)) continue;
        if (color.id == 0 && t.auxiliaryFor == 0 &&
            (t.handler == FourCc("pict") || t.handler == FourCc("vide"))) {
            color = t;
        }
    }
    if (color.id == 0) return Broken(data, size);
    run = moov;
    while (NextBox(run, &box)) {
        TrackBoxes t;
        if (box.type == FourCc("trak") && ReadTrackBoxes(box.body, &t) &&
            t.auxiliaryFor == color.id && alpha.id == 0) {
            alpha = t;
        }
    }
    const Refusal samples = ReadSamples(color, size, &sequence->color);
    if (samples != Refusal::None) return samples;
    if (alpha.id != 0 && (ReadSamples(alpha, size, &sequence->alpha) != Refusal::None ||
                          sequence->alpha.samples.size() != sequence->color.samples.size())) {
        // A broken alpha track leaves the colour to show, opaque.
        sequence->alpha = Track{};
    }
    sequence->premultiplied = color.premultipliedBy != 0 && color.premultipliedBy == alpha.id &&
                              !sequence->alpha.samples.empty();
    return Refusal::None;
}

}  // namespace avif
