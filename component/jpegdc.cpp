#include "component/jpegdc.h"

#include "component/thumbnaildecoder.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace tovradocs::Internal {

namespace {

// Codes of up to this many bits are decoded by one lookup; longer ones walk
// the canonical code lengths.
constexpr int Look = 12;

// A run of AC symbols that fits in Look bits, dropped by one lookup: bits 0-3
// how many bits, bits 4-9 how far the coefficient index moves, bit 10 set when
// the run ends the block. 0 when not even one whole symbol fits.
constexpr uint16_t EndsBlock = 1 << 10;

struct HuffTable
{
    bool present = false;
    std::array<uint16_t, 1 << Look> fast{}; // (code length << 8) | symbol, 0 past Look bits
    std::array<uint16_t, 1 << Look> skip{}; // AC only
    std::array<int32_t, 18> maxCode{}; // largest code of each length, -1 for none
    std::array<int32_t, 17> offset{}; // symbol index minus first code of each length
    std::array<uint8_t, 256> symbols{};
};

void buildSkips(HuffTable &t)
{
    for (int i = 0; i < (1 << Look); ++i) {
        int used = 0;
        int advance = 0;
        uint16_t entry = 0;
        while (used < Look) {
            const uint16_t e = t.fast[size_t((i << used) & ((1 << Look) - 1))];
            const int len = e >> 8;
            const int sym = e & 0xff;
            const int extra = sym & 15;
            if (!e || used + len + extra > Look)
                break;
            if (sym == 0x00) {
                entry = uint16_t((used + len) | (advance << 4) | EndsBlock);
                break;
            }
            if (extra == 0 && sym != 0xf0)
                break; // no such symbol in a valid stream: the slow path decides
            advance += sym == 0xf0 ? 16 : (sym >> 4) + 1;
            if (advance > 63)
                break;
            used += len + extra;
            entry = uint16_t(used | (advance << 4));
        }
        t.skip[size_t(i)] = entry;
    }
}

bool buildTable(HuffTable &t, const uint8_t *counts, const uint8_t *symbols, int total, bool ac)
{
    // Reset in place: a fresh table is too large for a temporary.
    t.present = false;
    t.fast.fill(0);
    t.skip.fill(0);
    t.maxCode.fill(0);
    t.offset.fill(0);
    t.symbols.fill(0);
    std::memcpy(t.symbols.data(), symbols, size_t(total));
    int code = 0;
    int k = 0;
    for (int len = 1; len <= 16; ++len) {
        const int n = counts[len - 1];
        t.offset[size_t(len)] = k - code;
        for (int i = 0; i < n; ++i, ++k, ++code) {
            if (code >= (1 << len))
                return false; // more codes than the length allows
            if (len <= Look) {
                const int first = code << (Look - len);
                const int spread = 1 << (Look - len);
                for (int j = 0; j < spread; ++j)
                    t.fast[size_t(first + j)] = uint16_t((len << 8) | symbols[k]);
            }
        }
        t.maxCode[size_t(len)] = n ? code - 1 : -1;
        code <<= 1;
    }
    t.maxCode[17] = 0x7fffffff;
    if (ac)
        buildSkips(t);
    t.present = true;
    return true;
}

// The entropy-coded bytes, with 0xFF 0x00 stuffing removed, most significant
// bit first. At a marker or the end it feeds zero bytes and notes how many.
// Kept by value in the decoding loop so its fields stay in registers.
struct BitReader
{
    const uint8_t *p = nullptr;
    const uint8_t *end = nullptr;
    uint64_t buf = 0;
    int count = 0;
    int64_t padding = 0; // zero bits fed past the data

    uint32_t peek(int n) const { return uint32_t(buf >> (64 - n)); }
    void drop(int n)
    {
        buf <<= n;
        count -= n;
    }
    int32_t take(int n) // n in 1..16
    {
        const int32_t v = int32_t(peek(n));
        drop(n);
        return v;
    }
    bool overran() const { return padding > count; }
};

// Byte by byte, for stuffed bytes, markers and the end of the data.
[[gnu::noinline]] BitReader refillSlowly(BitReader b)
{
    while (b.count <= 56) {
        uint64_t byte = 0;
        if (b.p < b.end && *b.p != 0xff) {
            byte = *b.p++;
        } else if (b.p + 1 < b.end && b.p[1] == 0x00) {
            byte = 0xff;
            b.p += 2;
        } else {
            b.padding += 8;
        }
        b.buf |= byte << (56 - b.count);
        b.count += 8;
    }
    return b;
}

// Tops the buffer up to at least 56 bits; call with fewer than 32.
inline void refill(BitReader &b)
{
    if (b.end - b.p >= 8) {
        uint64_t word;
        std::memcpy(&word, b.p, 8);
        // Any 0xFF byte among the eight sends us the slow way.
        if (((~word - 0x0101010101010101ull) & word & 0x8080808080808080ull) == 0) {
            const int n = (63 - b.count) >> 3;
            const uint64_t be = qFromBigEndian(word);
            b.buf |= (be >> (64 - 8 * n)) << (64 - 8 * n - b.count);
            b.count += 8 * n;
            b.p += n;
            return;
        }
    }
    b = refillSlowly(b);
}

// One symbol with the canonical walk, for codes past Look bits: the code's
// length << 8 | the symbol, or -1 for a code the table does not hold.
[[gnu::noinline]] int slowSymbol(uint64_t buf, const HuffTable &t)
{
    int len = Look + 1;
    int32_t code = int32_t(buf >> (64 - len));
    while (len <= 16 && code > t.maxCode[size_t(len)]) {
        ++len;
        code = int32_t(buf >> (64 - len));
    }
    if (len > 16)
        return -1;
    const int index = code + t.offset[size_t(len)];
    return index >= 0 && index < 256 ? (len << 8) | t.symbols[size_t(index)] : -1;
}

inline int decodeSymbol(BitReader &bits, const HuffTable &t)
{
    int e = t.fast[bits.peek(Look)];
    if (!e) {
        e = slowSymbol(bits.buf, t);
        if (e < 0)
            return -1;
    }
    bits.drop(e >> 8);
    return e & 0xff;
}

inline int32_t extend(int32_t v, int s)
{
    return v < (1 << (s - 1)) ? v - (1 << s) + 1 : v;
}

// Drops a block's AC coefficients; false when the block runs past 63.
inline bool skipAc(BitReader &bits, const HuffTable &t)
{
    int k = 1;
    for (;;) {
        if (bits.count < 32)
            refill(bits);
        const uint16_t e = t.skip[bits.peek(Look)];
        const int next = k + ((e >> 4) & 63);
        // A run that would reach the block's end without its end mark goes
        // one symbol at a time, so the next block's bits are not taken.
        if (e && next < 64) [[likely]] {
            bits.drop(e & 15);
            if (e & EndsBlock)
                return true;
            k = next;
            continue;
        }
        const int sym = decodeSymbol(bits, t);
        if (sym < 0)
            return false;
        const int r = sym >> 4;
        const int s = sym & 15;
        if (s) {
            bits.drop(s);
            k += r + 1;
        } else if (r == 15) {
            k += 16;
        } else {
            return true; // end of block (0x00), or a run the standard does not define
        }
        if (k >= 64)
            return k == 64;
    }
}

struct Component
{
    int id = 0;
    int h = 1;
    int v = 1;
    int quant = 0;
    int dcTable = 0;
    int acTable = 0;
    int blocksWide = 0; // of its planes, padded to whole MCUs
    int blocksHigh = 0;
    int ownWide = 0; // blocks that cover the component itself
    int ownHigh = 0;
    std::vector<int16_t> dc; // each block's DC coefficient
    std::vector<uint8_t> plane; // and its value as a sample
    int dcBitsMissing = -1; // low bits of DC still to come; -1 before its first scan
};

inline uint8_t dcSample(int16_t coefficient, int q)
{
    // As libjpeg's 1 x 1 inverse DCT: dequantised, divided by 8 with
    // rounding, level-shifted.
    const int v = ((int(coefficient) * q + 4) >> 3) + 128;
    return uint8_t(std::clamp(v, 0, 255));
}

struct Parser
{
    const uint8_t *data = nullptr;
    size_t size = 0;
    size_t at = 2;
    std::array<std::array<int, 64>, 4> quant{};
    std::array<HuffTable, 4> dc;
    std::array<HuffTable, 4> ac;
    std::vector<Component> comps;
    int width = 0;
    int height = 0;
    int mcusWide = 0;
    int mcusHigh = 0;
    int restart = 0;
    bool frame = false;
    bool progressive = false;
    bool jfif = false;
    int adobeTransform = -1;

    uint16_t u16(size_t i) const { return uint16_t((data[i] << 8) | data[i + 1]); }

    bool readTables(size_t from, size_t len, bool dqt)
    {
        size_t i = from;
        const size_t stop = from + len;
        while (i < stop) {
            const int kind = data[i] >> 4;
            const int slot = data[i] & 15;
            ++i;
            if (dqt) {
                const size_t n = kind ? 128 : 64;
                if (slot > 3 || i + n > stop)
                    return false;
                for (int z = 0; z < 64; ++z)
                    quant[size_t(slot)][size_t(z)] = kind ? u16(i + size_t(2 * z)) : data[i + size_t(z)];
                i += n;
            } else {
                if (slot > 3 || kind > 1 || i + 16 > stop)
                    return false;
                int total = 0;
                for (int l = 0; l < 16; ++l)
                    total += data[i + size_t(l)];
                if (total > 256 || i + 16 + size_t(total) > stop)
                    return false;
                HuffTable &t = kind ? ac[size_t(slot)] : dc[size_t(slot)];
                if (!buildTable(t, data + i, data + i + 16, total, kind == 1))
                    return false;
                i += 16 + size_t(total);
            }
        }
        return true;
    }

    bool readFrame(size_t from, size_t len)
    {
        if (frame || len < 6 || data[from] != 8)
            return false;
        height = u16(from + 1);
        width = u16(from + 3);
        const int n = data[from + 5];
        if (width == 0 || height == 0 || (n != 1 && n != 3) || len < size_t(6 + 3 * n))
            return false;
        for (int c = 0; c < n; ++c) {
            const size_t o = from + 6 + size_t(3 * c);
            Component comp;
            comp.id = data[o];
            comp.h = data[o + 1] >> 4;
            comp.v = data[o + 1] & 15;
            comp.quant = data[o + 2];
            if (comp.h < 1 || comp.h > 4 || comp.v < 1 || comp.v > 4 || comp.quant > 3)
                return false;
            comps.push_back(comp);
        }
        int hMax = 1;
        int vMax = 1;
        int blocks = 0;
        for (const Component &c : comps) {
            hMax = std::max(hMax, c.h);
            vMax = std::max(vMax, c.v);
            blocks += c.h * c.v;
        }
        if (blocks > 10)
            return false;
        mcusWide = (width + 8 * hMax - 1) / (8 * hMax);
        mcusHigh = (height + 8 * vMax - 1) / (8 * vMax);
        for (Component &c : comps) {
            c.blocksWide = mcusWide * c.h;
            c.blocksHigh = mcusHigh * c.v;
            c.ownWide = ((width * c.h + hMax - 1) / hMax + 7) / 8;
            c.ownHigh = ((height * c.v + vMax - 1) / vMax + 7) / 8;
        }
        frame = true;
        return true;
    }

    // Planes are made only once the picture is known to be one we read, so
    // a claimed size is checked before anything of that size exists.
    void makePlanes()
    {
        for (Component &c : comps)
            c.dc.assign(size_t(c.blocksWide) * size_t(c.blocksHigh), 0);
    }

    bool colourIsYcc() const
    {
        if (comps.size() != 3 || jfif)
            return true;
        if (adobeTransform >= 0)
            return adobeTransform != 0;
        return !(comps[0].id == 'R' && comps[1].id == 'G' && comps[2].id == 'B')
            && !(comps[0].id == 'r' && comps[1].id == 'g' && comps[2].id == 'b');
    }
};

enum class ScanKind { Sequential, DcFirst, DcRefine };

struct Scan
{
    std::vector<int> comps; // frame indices, in frame order
    ScanKind kind = ScanKind::Sequential;
    int al = 0; // successive approximation: the bit position this scan gives
};

// Decodes one scan's DC values into the components' planes: a sequential
// scan (AC runs skipped), or a progressive DC scan, first or refining.
bool decodeScan(Parser &ps, const Scan &scan, BitReader &reader)
{
    BitReader bits = reader;
    const bool single = scan.comps.size() == 1;
    // One component alone is not interleaved: its MCU is one of its own blocks.
    const int mcusWide = single ? ps.comps[size_t(scan.comps[0])].ownWide : ps.mcusWide;
    const int mcus = single ? mcusWide * ps.comps[size_t(scan.comps[0])].ownHigh : ps.mcusWide * ps.mcusHigh;
    std::array<uint32_t, 3> pred{};
    int untilRestart = ps.restart;
    int expectedMarker = 0;
    for (int m = 0; m < mcus; ++m) {
        if (ps.restart) {
            if (untilRestart == 0) {
                // Whatever is left of the interval is padding up to RSTn.
                while (bits.p + 1 < bits.end && !(bits.p[0] == 0xff && bits.p[1] != 0x00))
                    ++bits.p;
                if (bits.p + 1 >= bits.end || bits.p[1] != 0xd0 + expectedMarker)
                    return false;
                bits.p += 2;
                bits.buf = 0;
                bits.count = 0;
                bits.padding = 0;
                pred = {};
                expectedMarker = (expectedMarker + 1) & 7;
                untilRestart = ps.restart;
            }
            --untilRestart;
        }
        const int mx = m % mcusWide;
        const int my = m / mcusWide;
        for (size_t k = 0; k < scan.comps.size(); ++k) {
            Component &c = ps.comps[size_t(scan.comps[k])];
            const HuffTable &dcT = ps.dc[size_t(c.dcTable)];
            const HuffTable &acT = ps.ac[size_t(c.acTable)];
            const int bh = single ? 1 : c.h;
            const int bv = single ? 1 : c.v;
            for (int by = 0; by < bv; ++by) {
                int16_t *row = c.dc.data() + size_t(my * bv + by) * size_t(c.blocksWide) + size_t(mx * bh);
                for (int bx = 0; bx < bh; ++bx) {
                    if (bits.count < 32)
                        refill(bits);
                    if (scan.kind == ScanKind::DcRefine) {
                        if (bits.take(1))
                            row[bx] = int16_t(row[bx] | (1 << scan.al));
                        continue;
                    }
                    const int s = decodeSymbol(bits, dcT);
                    if (s < 0 || s > 15)
                        return false;
                    if (s) {
                        if (bits.count < 32)
                            refill(bits);
                        pred[k] += uint32_t(extend(bits.take(s), s));
                    }
                    row[bx] = int16_t(pred[k] << scan.al);
                    if (scan.kind == ScanKind::Sequential && !skipAc(bits, acT))
                        return false;
                }
            }
        }
        if (bits.overran())
            return false;
    }
    reader = bits;
    return true;
}

// Past the entropy-coded data that starts at from: the next marker other
// than a restart marker, or the end.
size_t nextMarker(const uint8_t *data, size_t size, size_t from)
{
    while (from + 1 < size) {
        const auto *ff = static_cast<const uint8_t *>(std::memchr(data + from, 0xff, size - from - 1));
        if (!ff)
            break;
        const size_t i = size_t(ff - data);
        const uint8_t next = data[i + 1];
        if (next != 0x00 && next != 0xff && (next < 0xd0 || next > 0xd7))
            return i;
        from = i + 1;
    }
    return size;
}

// YCbCr to RGB as libjpeg converts it, chroma taken from the block it covers.
void toRgb(const Parser &ps, QImage &out)
{
    constexpr int Scale = 16;
    constexpr int Half = 1 << (Scale - 1);
    auto fix = [](double x) { return int(x * (1 << Scale) + 0.5); };
    std::array<int, 256> crR;
    std::array<int, 256> cbB;
    std::array<int, 256> crG;
    std::array<int, 256> cbG;
    for (int i = 0; i < 256; ++i) {
        const int x = i - 128;
        crR[size_t(i)] = (fix(1.40200) * x + Half) >> Scale;
        cbB[size_t(i)] = (fix(1.77200) * x + Half) >> Scale;
        crG[size_t(i)] = -fix(0.71414) * x;
        cbG[size_t(i)] = -fix(0.34414) * x + Half;
    }
    const Component &y = ps.comps[0];
    const Component &cb = ps.comps[1];
    const Component &cr = ps.comps[2];
    int hMax = 1;
    int vMax = 1;
    for (const Component &c : ps.comps) {
        hMax = std::max(hMax, c.h);
        vMax = std::max(vMax, c.v);
    }
    const auto clamp = [](int v) { return uint32_t(std::clamp(v, 0, 255)); };
    for (int row = 0; row < out.height(); ++row) {
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(row));
        const uint8_t *ys = y.plane.data() + size_t(row * y.v / vMax) * size_t(y.blocksWide);
        const uint8_t *cbs = cb.plane.data() + size_t(row * cb.v / vMax) * size_t(cb.blocksWide);
        const uint8_t *crs = cr.plane.data() + size_t(row * cr.v / vMax) * size_t(cr.blocksWide);
        for (int x = 0; x < out.width(); ++x) {
            const int l = ys[x * y.h / hMax];
            const int b = cbs[x * cb.h / hMax];
            const int r = crs[x * cr.h / hMax];
            line[x] = 0xff000000u | clamp(l + crR[size_t(r)]) << 16
                | clamp(l + ((cbG[size_t(b)] + crG[size_t(r)]) >> Scale)) << 8
                | clamp(l + cbB[size_t(b)]);
        }
    }
}

// Whether the picture is one this reader gives, checked at the first scan:
// a 1/8 that covers the thumbnail, one grey or three YCbCr components with
// chroma planes that are whole fractions of the luma one.
bool readable(Parser &ps, int edge)
{
    const QSize fit = fitSize(QSize(ps.width, ps.height), edge);
    const int w = (ps.width + 7) / 8;
    const int h = (ps.height + 7) / 8;
    // Past the largest reduced picture we keep, or claiming more than a picture
    // we open, libjpeg refuses it with a reason.
    if (w < fit.width() || h < fit.height() || qint64(w) * h > MaxReducedPixels
        || qint64(ps.width) * ps.height > MaxClaimedPixels)
        return false;
    if (ps.comps.size() == 3) {
        const Component &y = ps.comps[0];
        for (int i = 1; i < 3; ++i) {
            const Component &c = ps.comps[size_t(i)];
            if (c.h != 1 || c.v != 1 || y.h > 2 || y.v > 2)
                return false;
        }
        if (!ps.colourIsYcc())
            return false;
    }
    ps.makePlanes();
    return true;
}

// A scan's header; nullopt for one this reader does not follow. An AC scan
// of a progressive picture comes back without components: it is skipped.
std::optional<Scan> readScanHeader(Parser &ps, size_t body, size_t bodyLen)
{
    const uint8_t *data = ps.data;
    const size_t n = bodyLen ? data[body] : 0;
    if (n < 1 || n > ps.comps.size() || bodyLen < 4 + 2 * n)
        return std::nullopt;
    const size_t at = body + 1 + 2 * n;
    const int ss = data[at];
    const int se = data[at + 1];
    const int ah = data[at + 2] >> 4;
    const int al = data[at + 2] & 15;
    Scan scan;
    if (!ps.progressive) {
        // One scan with every component: anything else is for libjpeg.
        if (n != ps.comps.size() || ss != 0 || se != 63 || ah != 0 || al != 0)
            return std::nullopt;
    } else if (ss != 0) {
        return scan; // AC coefficients: not needed at 1/8
    } else if (se != 0 || al > 13) {
        return std::nullopt;
    } else {
        scan.kind = ah == 0 ? ScanKind::DcFirst : ScanKind::DcRefine;
        scan.al = al;
    }
    int previous = -1;
    for (size_t i = 0; i < n; ++i) {
        const int id = data[body + 1 + 2 * i];
        const int tables = data[body + 2 + 2 * i];
        int index = -1;
        for (size_t j = 0; j < ps.comps.size(); ++j) {
            if (ps.comps[j].id == id)
                index = int(j);
        }
        if (index <= previous)
            return std::nullopt; // unknown, repeated, or out of the frame's order
        previous = index;
        Component &c = ps.comps[size_t(index)];
        if (scan.kind == ScanKind::DcRefine) {
            if (c.dcBitsMissing != ah || al != ah - 1)
                return std::nullopt;
        } else {
            c.dcTable = tables >> 4;
            // A progressive DC scan names an AC table it does not use.
            c.acTable = scan.kind == ScanKind::Sequential ? tables & 15 : 0;
            if (c.dcTable > 3 || !ps.dc[size_t(c.dcTable)].present)
                return std::nullopt;
            if (scan.kind == ScanKind::Sequential && (c.acTable > 3 || !ps.ac[size_t(c.acTable)].present))
                return std::nullopt;
            if (scan.kind == ScanKind::DcFirst && c.dcBitsMissing != -1)
                return std::nullopt;
        }
        scan.comps.push_back(index);
    }
    return scan;
}

std::optional<JpegDcPicture> picture(Parser &ps, int orientation)
{
    for (Component &c : ps.comps) {
        const int q = ps.quant[size_t(c.quant)][0];
        c.plane.resize(c.dc.size());
        for (size_t i = 0; i < c.dc.size(); ++i)
            c.plane[i] = dcSample(c.dc[i], q);
    }
    JpegDcPicture out;
    out.original = QSize(ps.width, ps.height);
    out.orientation = orientation ? orientation : 1;
    const int w = (ps.width + 7) / 8;
    const int h = (ps.height + 7) / 8;
    if (ps.comps.size() == 1) {
        out.image = QImage(w, h, QImage::Format_Grayscale8);
        const Component &c = ps.comps[0];
        for (int y = 0; y < h && !out.image.isNull(); ++y)
            std::memcpy(out.image.scanLine(y), c.plane.data() + size_t(y) * size_t(c.blocksWide), size_t(w));
    } else {
        out.image = QImage(w, h, QImage::Format_RGB32);
        if (!out.image.isNull())
            toRgb(ps, out.image);
    }
    if (out.image.isNull())
        return std::nullopt; // out of memory: libjpeg says so
    return out;
}

} // namespace

std::optional<JpegDcPicture> decodeJpegDc(const unsigned char *data, std::size_t size, int edge)
{
    if (size < 4 || data[0] != 0xff || data[1] != 0xd8)
        return std::nullopt;
    // Its tables take some 140 KB: not for a worker thread's stack.
    const auto parser = std::make_unique<Parser>();
    Parser &ps = *parser;
    ps.data = data;
    ps.size = size;
    int orientation = 0;
    bool checked = false;
    for (;;) {
        // Markers may be preceded by any number of 0xFF fill bytes.
        if (ps.at + 4 > size || data[ps.at] != 0xff)
            return std::nullopt;
        while (ps.at + 4 < size && data[ps.at + 1] == 0xff)
            ++ps.at;
        if (ps.at + 4 > size)
            return std::nullopt;
        const int marker = data[ps.at + 1];
        const size_t len = ps.u16(ps.at + 2);
        if (len < 2 || ps.at + 2 + len > size)
            return std::nullopt;
        const size_t body = ps.at + 4;
        const size_t bodyLen = len - 2;
        ps.at += 2 + len;
        switch (marker) {
        case 0xc0: // baseline
        case 0xc1: // extended sequential, Huffman
        case 0xc2: // progressive, Huffman
            if (!ps.readFrame(body, bodyLen))
                return std::nullopt;
            ps.progressive = marker == 0xc2;
            break;
        case 0xc4:
            if (!ps.readTables(body, bodyLen, false))
                return std::nullopt;
            break;
        case 0xdb:
            if (!ps.readTables(body, bodyLen, true))
                return std::nullopt;
            break;
        case 0xdd:
            if (bodyLen < 2)
                return std::nullopt;
            ps.restart = ps.u16(body);
            break;
        case 0xe1:
            if (!orientation && bodyLen > 6 && std::memcmp(data + body, "Exif\0\0", 6) == 0)
                orientation = exifOrientation(data + body + 6, qsizetype(bodyLen) - 6);
            break;
        case 0xe0:
            if (bodyLen >= 5 && std::memcmp(data + body, "JFIF\0", 5) == 0)
                ps.jfif = true;
            break;
        case 0xee:
            if (bodyLen >= 12 && std::memcmp(data + body, "Adobe", 5) == 0)
                ps.adobeTransform = data[body + 11];
            break;
        case 0xda: {
            if (!ps.frame || (!checked && !readable(ps, edge)))
                return std::nullopt;
            checked = true;
            const std::optional<Scan> scan = readScanHeader(ps, body, bodyLen);
            if (!scan)
                return std::nullopt;
            if (scan->comps.empty()) {
                ps.at = nextMarker(data, size, ps.at);
                break;
            }
            BitReader bits;
            bits.p = data + ps.at;
            bits.end = data + size;
            if (!decodeScan(ps, *scan, bits))
                return std::nullopt;
            if (!ps.progressive)
                return picture(ps, orientation);
            // A progressive file's DC values are whole once every component
            // has had its last DC scan; the rest of the file is not needed.
            bool whole = true;
            for (int index : scan->comps)
                ps.comps[size_t(index)].dcBitsMissing = scan->al;
            for (const Component &c : ps.comps)
                whole = whole && c.dcBitsMissing == 0;
            if (whole)
                return picture(ps, orientation);
            ps.at = nextMarker(data, size, size_t(bits.p - data));
            break;
        }
        default:
            // Arithmetic coding, lossless, hierarchical frames.
            if ((marker >= 0xc3 && marker <= 0xcb && marker != 0xc4 && marker != 0xc8)
                || (marker >= 0xcd && marker <= 0xcf))
                return std::nullopt;
            if (marker == 0xd9)
                return std::nullopt; // the file ended before its DC values were whole
            break; // other application data, comments
        }
    }
}

} // namespace tovradocs::Internal
