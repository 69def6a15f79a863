#ifndef TUVR_TESTS_ANNEXB_H
#define TUVR_TESTS_ANNEXB_H

// Just enough H.264 Annex B handling for the tools' tests to damage streams
// and to rewrite a sequence parameter set the way other encoders write it.

#include <QByteArray>
#include <QVector>

#include <algorithm>
#include <iterator>

namespace annexb {

struct Nal {
    int start; // first byte after the start code
    int end;   // one past the last byte, trailing zeros excluded
    int type() const { return type_; }
    int refIdc() const { return refIdc_; }
    int type_ = 0;
    int refIdc_ = 0;
};

inline QVector<Nal> split(const QByteArray &s)
{
    QVector<Nal> nals;
    const int n = s.size();
    for (int i = 0; i + 2 < n; ++i) {
        if (s[i] != 0 || s[i + 1] != 0 || s[i + 2] != 1)
            continue;
        if (!nals.isEmpty()) {
            int end = i;
            while (end > nals.last().start && s[end - 1] == 0)
                --end;
            nals.last().end = end;
        }
        Nal nal;
        nal.start = i + 3;
        nal.end = n;
        if (nal.start < n) {
            nal.type_ = uchar(s[nal.start]) & 0x1f;
            nal.refIdc_ = (uchar(s[nal.start]) >> 5) & 3;
        }
        nals.append(nal);
        i += 2;
    }
    return nals;
}

inline bool isSlice(const Nal &nal)
{
    return nal.type() == 1 || nal.type() == 5;
}

// The stream rebuilt from the NAL units keep() accepts, each after a 4-byte start code.
template <typename Keep>
inline QByteArray filter(const QByteArray &s, Keep keep)
{
    QByteArray out;
    for (const Nal &nal : split(s)) {
        if (keep(nal))
            out += QByteArray("\0\0\0\1", 4) + s.mid(nal.start, nal.end - nal.start);
    }
    return out;
}

// The payload without emulation prevention bytes (00 00 03 -> 00 00).
inline QByteArray toRbsp(const QByteArray &ebsp)
{
    QByteArray out;
    int zeros = 0;
    for (char c : ebsp) {
        if (zeros >= 2 && c == 3) {
            zeros = 0;
            continue;
        }
        zeros = c == 0 ? zeros + 1 : 0;
        out.append(c);
    }
    return out;
}

inline QByteArray toEbsp(const QByteArray &rbsp)
{
    QByteArray out;
    int zeros = 0;
    for (char c : rbsp) {
        if (zeros >= 2 && uchar(c) <= 3) {
            out.append(char(3));
            zeros = 0;
        }
        zeros = c == 0 ? zeros + 1 : 0;
        out.append(c);
    }
    return out;
}

class BitReader
{
public:
    explicit BitReader(const QByteArray &data) : d(data) {}
    bool ok() const { return pos <= d.size() * 8; }
    quint32 u(int bits)
    {
        quint32 v = 0;
        for (int i = 0; i < bits; ++i, ++pos)
            v = (v << 1) | (pos < d.size() * 8 ? (uchar(d[pos / 8]) >> (7 - pos % 8)) & 1 : 0);
        return v;
    }
    quint32 ue()
    {
        int zeros = 0;
        while (u(1) == 0 && ok() && zeros < 32)
            ++zeros;
        return (quint32(1) << zeros) - 1 + u(zeros);
    }

private:
    QByteArray d;
    int pos = 0;
};

class BitWriter
{
public:
    void u(int bits, quint32 v)
    {
        for (int i = bits - 1; i >= 0; --i) {
            if (count % 8 == 0)
                d.append(char(0));
            if ((v >> i) & 1)
                d[count / 8] = char(uchar(d[count / 8]) | (0x80 >> (count % 8)));
            ++count;
        }
    }
    void ue(quint32 v)
    {
        int bits = 0;
        while ((v + 1) >> (bits + 1))
            ++bits;
        u(bits, 0);
        u(bits + 1, v + 1);
    }
    QByteArray trailing()
    {
        u(1, 1);
        while (count % 8)
            u(1, 0);
        return d;
    }

private:
    QByteArray d;
    int count = 0;
};

struct SpsChange {
    int widthInMbs = 0;  // 0 keeps the stream's
    int heightInMbs = 0; // of a frame-coded stream
    bool dropReorderDepth = false; // writes the VUI without its bitstream restriction
};

// Rewrites a sequence parameter set NAL unit (header byte included), copying
// every field it does not change. Returns an empty array for a layout these
// tests never produce (scaling matrices, POC type 1, HRD parameters).
inline QByteArray rewriteSps(const QByteArray &nal, const SpsChange &change)
{
    BitReader r(toRbsp(nal.mid(1)));
    BitWriter w;
    auto u = [&](int bits) { const quint32 v = r.u(bits); w.u(bits, v); return v; };
    auto ue = [&] { const quint32 v = r.ue(); w.ue(v); return v; };

    const quint32 profile = u(8);
    u(16); // constraint flags, level
    ue();  // seq_parameter_set_id
    static const quint32 high[] = {100, 110, 122, 244, 44, 83, 86, 118, 128, 138, 139, 134, 135};
    if (std::find(std::begin(high), std::end(high), profile) != std::end(high)) {
        if (ue() == 3) // chroma_format_idc
            u(1);
        ue(); // bit depths
        ue();
        u(1); // transform bypass
        if (u(1)) // scaling matrices
            return {};
    }
    ue(); // log2_max_frame_num_minus4
    const quint32 pocType = ue();
    if (pocType == 0)
        ue();
    else if (pocType == 1)
        return {};
    ue(); // max_num_ref_frames
    u(1); // gaps allowed
    const quint32 widthMbs = r.ue() + 1, heightMbs = r.ue() + 1;
    w.ue((change.widthInMbs ? quint32(change.widthInMbs) : widthMbs) - 1);
    w.ue((change.heightInMbs ? quint32(change.heightInMbs) : heightMbs) - 1);
    if (!u(1)) // frame_mbs_only
        u(1);
    u(1); // direct_8x8_inference
    if (u(1)) { // cropping
        for (int i = 0; i < 4; ++i)
            ue();
    }
    if (u(1)) { // VUI
        if (u(1) && u(8) == 255) // aspect ratio
            u(32);
        if (u(1)) // overscan
            u(1);
        if (u(1)) { // video signal type
            u(4);
            if (u(1))
                u(24);
        }
        if (u(1)) { // chroma location
            ue();
            ue();
        }
        if (u(1)) { // timing
            u(32);
            u(32);
            u(1);
        }
        if (u(1) || u(1)) // NAL or VCL HRD
            return {};
        u(1); // pic_struct_present
        if (change.dropReorderDepth) {
            r.u(1);
            w.u(1, 0);
        } else if (u(1)) {
            u(1);
            for (int i = 0; i < 6; ++i)
                ue();
        }
    }
    if (!r.ok())
        return {};
    return nal.left(1) + toEbsp(w.trailing());
}

// The stream with every sequence parameter set rewritten, or empty.
inline QByteArray rewriteAllSps(const QByteArray &stream, const SpsChange &change)
{
    QByteArray out;
    int copied = 0;
    for (const Nal &nal : split(stream)) {
        if (nal.type() != 7)
            continue;
        const QByteArray sps = rewriteSps(stream.mid(nal.start, nal.end - nal.start), change);
        if (sps.isEmpty())
            return {};
        out += stream.mid(copied, nal.start - copied) + sps;
        copied = nal.end;
    }
    return copied ? out + stream.mid(copied) : QByteArray();
}

} // namespace annexb

#endif
