#include <cstring>

#include "engine/impl/AtomParsers.h"

namespace brevio::engine::atoms {

namespace {

std::vector<uint8_t> Copy(Bytes b) {
    return std::vector<uint8_t>(b.begin(), b.end());
}

// Reads an MPEG-4 descriptor header: tag and the variable-length size.
bool ReadDescriptor(ByteReader& r, uint8_t& tag, uint32_t& length) {
    tag = r.U8();
    length = 0;
    for (int i = 0; i < 4; ++i) {
        uint8_t b = r.U8();
        length = (length << 7) | (b & 0x7f);
        if (!(b & 0x80)) break;
    }
    return r.ok() && length <= r.remaining();
}

// The AudioSpecificConfig inside an 'esds' payload; empty when absent.
std::vector<uint8_t> AudioConfigFromEsds(Bytes payload) {
    ByteReader r(payload);
    ReadFullHeader(r);
    uint8_t tag = 0;
    uint32_t len = 0;
    if (!ReadDescriptor(r, tag, len) || tag != 0x03) return {};
    ByteReader es(r.Take(len));
    es.U16();  // ES_ID
    uint8_t flags = es.U8();
    if (flags & 0x80) es.U16();
    if (flags & 0x40) es.Skip(es.U8());
    if (flags & 0x20) es.U16();
    while (es.ok() && es.remaining() > 0) {
        if (!ReadDescriptor(es, tag, len)) return {};
        Bytes body = es.Take(len);
        if (tag != 0x04) continue;
        ByteReader dc(body);
        dc.Skip(13);  // object type, stream type, buffer size, bit rates
        while (dc.ok() && dc.remaining() > 0) {
            if (!ReadDescriptor(dc, tag, len)) return {};
            Bytes info = dc.Take(len);
            if (tag == 0x05) return Copy(info);
        }
        return {};
    }
    return {};
}

bool IsPcmFormat(uint32_t f) {
    return f == FourCC("twos") || f == FourCC("sowt") || f == FourCC("lpcm") ||
           f == FourCC("in24") || f == FourCC("in32") || f == FourCC("fl32") ||
           f == FourCC("fl64") || f == FourCC("raw ") || f == FourCC("NONE") ||
           f == FourCC("ulaw") || f == FourCC("alaw");
}

void ParseVideo(ByteReader& r, SampleDescription& d) {
    r.Skip(16);  // version, revision, vendor, temporal and spatial quality
    d.width = r.U16();
    d.height = r.U16();
    r.Skip(4 + 4 + 4 + 2 + 32 + 2 + 2);
    if (!r.ok()) return;
    auto children = ParseAtoms(r.Rest());
    if (!children) return;
    for (const Atom& c : *children) {
        if (c.type == FourCC("avcC") || c.type == FourCC("hvcC")) {
            d.codecConfig = Copy(c.payload);
            return;
        }
    }
}

void ParseAudio(ByteReader& r, SampleDescription& d) {
    uint16_t version = r.U16();
    r.Skip(2 + 4);  // revision, vendor
    d.channels = r.U16();
    uint16_t sampleSize = r.U16();
    r.Skip(4);  // compression id, packet size
    uint32_t rate1616 = r.U32();
    d.sampleRate = rate1616 >> 16;
    uint32_t v1BytesPerFrame = 0;
    uint32_t lpcmFlags = 0;
    bool haveLpcmFlags = false;
    if (version == 1) {
        r.U32();  // samples per packet
        r.U32();  // bytes per packet
        v1BytesPerFrame = r.U32();
        r.U32();  // bytes per sample
    } else if (version == 2) {
        r.U32();  // size of struct only
        uint64_t bits = r.U64();
        double rate = 0;
        std::memcpy(&rate, &bits, sizeof rate);
        d.sampleRate = (rate > 0 && rate < 1e7) ? uint32_t(rate + 0.5) : 0;
        d.channels = uint16_t(r.U32());
        r.U32();  // always 0x7F000000
        sampleSize = uint16_t(r.U32());
        lpcmFlags = r.U32();
        haveLpcmFlags = true;
        uint32_t bytesPerPacket = r.U32();
        uint32_t framesPerPacket = r.U32();
        if (framesPerPacket == 1) v1BytesPerFrame = bytesPerPacket;
    } else if (version != 0) {
        return;
    }
    if (!r.ok()) return;

    // Children: esds directly or inside 'wave'; 'enda' (in 'wave') gives the byte order.
    bool littleEndianAtom = false;
    auto children = ParseAtoms(r.Rest());
    if (children) {
        for (const Atom& c : *children) {
            if (c.type == FourCC("esds") && d.codecConfig.empty()) {
                d.codecConfig = AudioConfigFromEsds(c.payload);
            } else if (c.type == FourCC("wave")) {
                auto inner = ParseAtoms(c.payload);
                if (!inner) continue;
                for (const Atom& w : *inner) {
                    if (w.type == FourCC("esds") && d.codecConfig.empty())
                        d.codecConfig = AudioConfigFromEsds(w.payload);
                    if (w.type == FourCC("enda") && w.payload.size() >= 2)
                        littleEndianAtom = (w.payload[1] & 1) != 0;
                }
            }
        }
    }

    const uint32_t f = d.format;
    if (!IsPcmFormat(f)) return;
    uint16_t bits = sampleSize;
    bool big = true;
    bool isFloat = false;
    if (f == FourCC("sowt")) {
        big = false;
    } else if (f == FourCC("twos") || f == FourCC("raw ") || f == FourCC("NONE")) {
        big = true;
        if (f == FourCC("raw ")) bits = 8;
    } else if (f == FourCC("in24")) {
        bits = 24;
        big = !littleEndianAtom;
    } else if (f == FourCC("in32")) {
        bits = 32;
        big = !littleEndianAtom;
    } else if (f == FourCC("fl32")) {
        bits = 32;
        isFloat = true;
        big = !littleEndianAtom;
    } else if (f == FourCC("fl64")) {
        bits = 64;
        isFloat = true;
        big = !littleEndianAtom;
    } else if (f == FourCC("ulaw") || f == FourCC("alaw")) {
        bits = 8;
    } else if (f == FourCC("lpcm")) {
        if (!haveLpcmFlags) return;
        isFloat = (lpcmFlags & 1) != 0;
        big = (lpcmFlags & 2) != 0;
    }
    if (bits == 0 || bits % 8 != 0 || d.channels == 0) return;
    d.bitsPerSample = bits;
    d.bigEndian = big;
    d.floatingPoint = isFloat;
    uint32_t computed = uint32_t(d.channels) * (bits / 8);
    d.bytesPerFrame = v1BytesPerFrame != 0 ? v1BytesPerFrame : computed;
    if (d.bytesPerFrame != computed) {
        // Bytes per frame and the sample format disagree; trust neither for splitting.
        d.bytesPerFrame = 0;
        d.bitsPerSample = 0;
        return;
    }
    d.uncompressed = true;
}

}  // namespace

Status ParseStsd(const Atom& atom, uint32_t handler, SampleDescription& d, uint32_t& count) {
    ByteReader r(atom.payload);
    ReadFullHeader(r);
    count = r.U32();
    if (!r.ok()) return Fail("truncated stsd");
    auto entries = ParseAtoms(r.Rest());
    if (!entries) return Fail("stsd: " + entries.error());
    if (count == 0 || entries->empty()) return Fail("stsd without sample descriptions");
    if (entries->size() < count) return Fail("stsd holds fewer entries than it counts");
    const Atom& e = entries->front();
    d = SampleDescription{};
    d.format = e.type;
    d.entry = Copy(e.whole);
    ByteReader er(e.payload);
    er.Skip(6);
    d.dataRefIndex = er.U16();
    if (!er.ok()) return Fail("truncated sample description");
    if (handler == FourCC("vide"))
        ParseVideo(er, d);
    else if (handler == FourCC("soun"))
        ParseAudio(er, d);
    return {};
}

}  // namespace brevio::engine::atoms
