#include "testmovies/SynthMovie.h"

#include <fstream>

#include "testmovies/AtomBytes.h"

namespace brevio::testmovies {

namespace {

std::vector<uint8_t> Full(uint8_t version, uint32_t flags) {
    std::vector<uint8_t> b;
    Put32(b, (uint32_t(version) << 24) | flags);
    return b;
}

void Append(std::vector<uint8_t>& b, const std::vector<uint8_t>& more) {
    b.insert(b.end(), more.begin(), more.end());
}

void Matrix(std::vector<uint8_t>& b) {
    for (uint32_t v : {0x10000u, 0u, 0u, 0u, 0x10000u, 0u, 0u, 0u, 0x40000000u}) Put32(b, v);
}

std::vector<uint8_t> Moov(const SynthOptions& o, uint64_t dataStart) {
    const uint32_t duration = o.frames * 100;  // ms
    std::vector<uint8_t> mvhd = Full(o.version1 ? 1 : 0, 0);
    if (o.version1) {
        Put64(mvhd, 0), Put64(mvhd, 0), Put32(mvhd, 1000), Put64(mvhd, duration);
    } else {
        Put32(mvhd, 0), Put32(mvhd, 0), Put32(mvhd, 1000), Put32(mvhd, duration);
    }
    Put32(mvhd, 0x10000), Put16(mvhd, 0x100);
    for (int i = 0; i < 10; ++i) mvhd.push_back(0);
    Matrix(mvhd);
    for (int i = 0; i < 24; ++i) mvhd.push_back(0);
    Put32(mvhd, 2);

    std::vector<uint8_t> tkhd = Full(o.version1 ? 1 : 0, 3);
    if (o.version1) {
        Put64(tkhd, 0), Put64(tkhd, 0), Put32(tkhd, 1), Put32(tkhd, 0), Put64(tkhd, duration);
    } else {
        Put32(tkhd, 0), Put32(tkhd, 0), Put32(tkhd, 1), Put32(tkhd, 0), Put32(tkhd, duration);
    }
    for (int i = 0; i < 16; ++i) tkhd.push_back(0);
    Matrix(tkhd);
    Put32(tkhd, 16 << 16), Put32(tkhd, 16 << 16);

    std::vector<uint8_t> elst = Full(o.version1 ? 1 : 0, 0);
    Put32(elst, 1);
    if (o.version1) {
        Put64(elst, duration), Put64(elst, 0);
    } else {
        Put32(elst, duration), Put32(elst, 0);
    }
    Put32(elst, 0x10000);

    std::vector<uint8_t> mdhd = Full(o.version1 ? 1 : 0, 0);
    if (o.version1) {
        Put64(mdhd, 0), Put64(mdhd, 0), Put32(mdhd, 10), Put64(mdhd, o.frames);
    } else {
        Put32(mdhd, 0), Put32(mdhd, 0), Put32(mdhd, 10), Put32(mdhd, o.frames);
    }
    Put32(mdhd, 0);

    std::vector<uint8_t> hdlr = Full(0, 0);
    PutType(hdlr, "mhlr"), PutType(hdlr, "vide");
    for (int i = 0; i < 13; ++i) hdlr.push_back(0);

    std::vector<uint8_t> dref = Full(0, 0);
    Put32(dref, 1);
    if (o.externalUrl.empty()) {
        Append(dref, Box("url ", Full(0, 1)));
    } else {
        std::vector<uint8_t> url = Full(0, 0);
        url.insert(url.end(), o.externalUrl.begin(), o.externalUrl.end());
        url.push_back(0);
        Append(dref, Box("url ", url));
    }

    std::vector<uint8_t> avc1;
    for (int i = 0; i < 6; ++i) avc1.push_back(0);
    Put16(avc1, 1);
    for (int i = 0; i < 16; ++i) avc1.push_back(0);
    Put16(avc1, 16), Put16(avc1, 16), Put32(avc1, 0x480000), Put32(avc1, 0x480000), Put32(avc1, 0),
        Put16(avc1, 1);
    for (int i = 0; i < 32; ++i) avc1.push_back(0);
    Put16(avc1, 24), Put16(avc1, 0xffff);
    Append(avc1, Box("avcC", {1, 0x42, 0, 0x0a, 0xff, 0xe0, 0}));
    std::vector<uint8_t> stsd = Full(0, 0);
    Put32(stsd, 1);
    Append(stsd, Box("avc1", avc1));

    std::vector<uint8_t> stts = Full(0, 0);
    Put32(stts, 1), Put32(stts, o.frames), Put32(stts, 1);
    std::vector<uint8_t> stss = Full(0, 0);
    Put32(stss, (o.frames + o.gop - 1) / o.gop);
    for (uint32_t i = 0; i < o.frames; i += o.gop) Put32(stss, i + 1);
    const uint32_t chunks = (o.frames + o.samplesPerChunk - 1) / o.samplesPerChunk;
    std::vector<uint8_t> stsc = Full(0, 0);
    const uint32_t lastCount = o.frames - (chunks - 1) * o.samplesPerChunk;
    Put32(stsc, lastCount == o.samplesPerChunk || chunks == 1 ? 1 : 2);
    Put32(stsc, 1), Put32(stsc, chunks == 1 ? lastCount : o.samplesPerChunk), Put32(stsc, 1);
    if (lastCount != o.samplesPerChunk && chunks > 1)
        Put32(stsc, chunks), Put32(stsc, lastCount), Put32(stsc, 1);
    std::vector<uint8_t> stsz = Full(0, 0);
    Put32(stsz, 0), Put32(stsz, o.frames);
    for (uint32_t i = 0; i < o.frames; ++i) Put32(stsz, o.sampleSize);
    std::vector<uint8_t> stco = Full(0, 0);
    Put32(stco, chunks);
    for (uint32_t c = 0; c < chunks; ++c) {
        uint64_t off = dataStart + uint64_t(c) * o.samplesPerChunk * o.sampleSize;
        if (o.co64)
            Put64(stco, off);
        else
            Put32(stco, uint32_t(off));
    }
    std::vector<uint8_t> stbl = Box("stsd", stsd);
    Append(stbl, Box("stts", stts));
    if (o.ctts) {
        std::vector<uint8_t> ctts = Full(1, 0);
        Put32(ctts, 2), Put32(ctts, o.frames - 1), Put32(ctts, 0), Put32(ctts, 1),
            Put32(ctts, uint32_t(-1));
        Append(stbl, Box("ctts", ctts));
    }
    Append(stbl, Box("stss", stss));
    Append(stbl, Box("stsc", stsc));
    Append(stbl, Box("stsz", stsz));
    Append(stbl, Box(o.co64 ? "co64" : "stco", stco));

    std::vector<uint8_t> vmhd = Full(0, 1);
    for (int i = 0; i < 8; ++i) vmhd.push_back(0);
    std::vector<uint8_t> minf = Box("vmhd", vmhd);
    Append(minf, Box("dinf", Box("dref", dref)));
    Append(minf, Box("stbl", stbl));
    std::vector<uint8_t> mdia = Box("mdhd", mdhd);
    Append(mdia, Box("hdlr", hdlr));
    Append(mdia, Box("minf", minf));
    std::vector<uint8_t> trak = Box("tkhd", tkhd);
    Append(trak, Box("edts", Box("elst", elst)));
    Append(trak, Box("mdia", mdia));

    std::vector<uint8_t> moov = Box("mvhd", mvhd);
    Append(moov, Box("trak", trak));
    if (o.brvu) {
        std::vector<uint8_t> brvu = Full(0, 0);
        Put32(brvu, (o.frames + o.gop - 1) / o.gop);
        for (uint32_t i = 0; i < o.frames; i += o.gop) Put32(brvu, i * 100);
        Append(moov, Box("udta", Box("BRVU", brvu)));
    }
    return Box("moov", moov);
}

}  // namespace

std::vector<uint8_t> Build(const SynthOptions& o, size_t& gapAt);

std::vector<uint8_t> BuildSynthMovie(const SynthOptions& o) {
    size_t at = 0;
    std::vector<uint8_t> b = Build(o, at);
    if (o.gap) b.insert(b.begin() + std::ptrdiff_t(at), size_t(o.gap), 0);
    return b;
}

std::vector<uint8_t> Build(const SynthOptions& o, size_t& gapAt) {
    std::vector<uint8_t> ftyp;
    PutType(ftyp, "qt  "), Put32(ftyp, 0x200), PutType(ftyp, "qt  ");
    std::vector<uint8_t> file = Box("ftyp", ftyp);
    const uint64_t dataBytes = uint64_t(o.frames) * o.sampleSize;
    const uint64_t mdatHeader = o.mdat64 ? 16 : 8;
    uint64_t moovSize = o.moovFirst ? Moov(o, 0).size() : 0;
    uint64_t dataStart = file.size() + moovSize + (o.withMdat ? mdatHeader : 8) + o.gap;
    if (o.moovFirst) Append(file, Moov(o, dataStart));
    if (o.withMdat) {
        if (o.mdat64) {
            Put32(file, 1), PutType(file, "mdat"), Put64(file, dataBytes + 16 + o.gap);
        } else {
            Put32(file, uint32_t(dataBytes + 8 + o.gap)), PutType(file, "mdat");
        }
    } else {
        Put32(file, uint32_t(dataBytes + 8)), PutType(file, "free");
    }
    gapAt = file.size();
    for (uint64_t i = 0; i < dataBytes; ++i) file.push_back(uint8_t(i * 7));
    if (!o.moovFirst) Append(file, Moov(o, dataStart));
    return file;
}

void WriteSynthMovie(const std::filesystem::path& path, const SynthOptions& o) {
    size_t at = 0;
    std::vector<uint8_t> b = Build(o, at);
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(b.data()), std::streamsize(at));
    f.seekp(std::streamoff(at + o.gap));
    f.write(reinterpret_cast<const char*>(b.data() + at), std::streamsize(b.size() - at));
}

}  // namespace brevio::testmovies
