#include "component/isomedia.h"

#include <cstring>

namespace tovradocs::Internal {

namespace {

// Far more than any real file has; a hostile one that packs millions of empty
// boxes stops here instead of costing time.
constexpr int kMaxBoxes = 20000;
constexpr int kMaxDepth = 8;

quint32 be32(const uchar *p)
{
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | quint32(p[3]);
}

quint64 be64(const uchar *p)
{
    return quint64(be32(p)) << 32 | be32(p + 4);
}

bool isType(const uchar *type, const char (&name)[5])
{
    return std::memcmp(type, name, 4) == 0;
}

QString typeName(const uchar *type)
{
    QString name;
    for (int i = 0; i < 4; ++i)
        name += type[i] >= 0x20 && type[i] < 0x7f ? QChar(type[i]) : QChar(u'?');
    return name;
}

struct Walker
{
    const uchar *data;
    qint64 size;
    IsoMedia out;
    int boxes = 0;

    // Track being read: its display size and whether its handler is video.
    QSize trackSize;
    bool trackIsVideo = false;

    void fail(IsoMedia::Damage damage, const QString &problem)
    {
        if (out.damage == IsoMedia::Whole) {
            out.damage = damage;
            out.problem = problem;
        }
    }

    // Visits the boxes between begin and end; false stops the whole walk.
    bool walk(qint64 begin, qint64 end, int depth, const uchar *parent)
    {
        qint64 at = begin;
        while (at < end) {
            if (++boxes > kMaxBoxes) {
                fail(IsoMedia::Broken, QStringLiteral("it holds too many boxes"));
                return false;
            }
            if (end - at < 8) {
                // A box header cut off: at the top level the file was cut short.
                fail(depth == 0 ? IsoMedia::Truncated : IsoMedia::Broken,
                     QStringLiteral("it ends inside a box header"));
                return false;
            }
            const uchar *box = data + at;
            const uchar *type = box + 4;
            quint64 boxSize = be32(box);
            qint64 header = 8;
            if (boxSize == 1) {
                if (end - at < 16) {
                    fail(depth == 0 ? IsoMedia::Truncated : IsoMedia::Broken,
                         QStringLiteral("it ends inside a box header"));
                    return false;
                }
                boxSize = be64(box + 8);
                header = 16;
            } else if (boxSize == 0) {
                boxSize = quint64(end - at); // runs to the end of its parent
            }
            if (boxSize < quint64(header)) {
                fail(IsoMedia::Broken,
                     QStringLiteral("its '%1' box has an impossible size").arg(typeName(type)));
                return false;
            }
            if (boxSize > quint64(end - at)) {
                if (depth == 0)
                    fail(IsoMedia::Truncated,
                         QStringLiteral("the file ends inside its '%1' box (%2 of %3 bytes)")
                             .arg(typeName(type))
                             .arg(end - at)
                             .arg(boxSize));
                else
                    fail(IsoMedia::Broken,
                         QStringLiteral("its '%1' box is larger than the '%2' box holding it")
                             .arg(typeName(type), typeName(parent)));
                visitTopLevel(type, depth);
                return false;
            }
            const qint64 bodyBegin = at + header;
            const qint64 bodyEnd = at + qint64(boxSize);
            if (!visit(type, bodyBegin, bodyEnd, depth))
                return false;
            at = bodyEnd;
        }
        return true;
    }

    void visitTopLevel(const uchar *type, int depth)
    {
        if (depth != 0)
            return;
        if (isType(type, "moov"))
            out.hasMovie = true;
        else if (isType(type, "mdat"))
            out.hasMediaData = true;
        else if (isType(type, "meta"))
            out.hasMeta = true;
    }

    bool visit(const uchar *type, qint64 begin, qint64 end, int depth)
    {
        visitTopLevel(type, depth);
        const qint64 length = end - begin;
        const uchar *body = data + begin;
        if (depth == 0 && isType(type, "ftyp") && length >= 4 && out.majorBrand.isEmpty())
            out.majorBrand = QByteArray(reinterpret_cast<const char *>(body), 4);
        if (depth >= kMaxDepth)
            return true;
        if (isType(type, "moov") || isType(type, "mdia") || isType(type, "minf")
            || isType(type, "iprp") || isType(type, "ipco"))
            return walk(begin, end, depth + 1, type);
        if (isType(type, "trak")) {
            trackSize = QSize();
            trackIsVideo = false;
            const bool go = walk(begin, end, depth + 1, type);
            if (trackIsVideo && !trackSize.isEmpty() && !out.videoSize.isValid())
                out.videoSize = trackSize;
            return go;
        }
        // A HEIF picture's 'meta' is a full box: version and flags first.
        if (isType(type, "meta") && depth == 0)
            return length < 4 || walk(begin + 4, end, depth + 1, type);
        if (isType(type, "irot") || isType(type, "imir"))
            out.heifTransforms = true;
        else if (isType(type, "mvhd"))
            readMovieHeader(body, length);
        else if (isType(type, "tkhd"))
            readTrackHeader(body, length);
        else if (isType(type, "hdlr") && length >= 12)
            trackIsVideo = trackIsVideo || std::memcmp(body + 8, "vide", 4) == 0;
        return true;
    }

    void readMovieHeader(const uchar *body, qint64 length)
    {
        const bool wide = length >= 1 && body[0] == 1;
        const qint64 need = wide ? 4 + 8 + 8 + 4 + 8 : 4 + 4 + 4 + 4 + 4;
        if (length < need)
            return;
        const quint32 scale = be32(body + (wide ? 20 : 12));
        const quint64 duration = wide ? be64(body + 24) : be32(body + 16);
        // All ones: the duration is not known.
        const bool unknown = wide ? duration == ~quint64(0) : duration == 0xffffffffu;
        if (scale > 0 && !unknown && duration < (quint64(1) << 53))
            out.durationMs = qint64(duration * 1000 / scale);
    }

    void readTrackHeader(const uchar *body, qint64 length)
    {
        const bool wide = length >= 1 && body[0] == 1;
        const qint64 at = wide ? 88 : 76;
        if (length < at + 8)
            return;
        // 16.16 fixed point
        trackSize = QSize(int(be32(body + at) >> 16), int(be32(body + at + 4) >> 16));
    }
};

} // namespace

IsoMedia readIsoMedia(const uchar *data, qint64 size)
{
    Walker walker{data, size, {}, 0, {}, false};
    if (!data || size <= 0) {
        walker.fail(IsoMedia::Truncated, QStringLiteral("it is empty"));
        return walker.out;
    }
    walker.walk(0, size, 0, reinterpret_cast<const uchar *>("file"));
    return walker.out;
}

} // namespace tovradocs::Internal
