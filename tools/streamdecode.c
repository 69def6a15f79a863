#include "streamdecode.h"

#include "message.h"
#include "nls.h"
#include "picturehash.h"
#include "picturelimit.h"

#include <errno.h>
#include <limits.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
#include <libavutil/log.h>

#define READ_CHUNK (1 << 18)
/* Zero bytes in a row (00 00 00) cannot lie inside a NAL unit: this much input
 * with them and no start code is not H.264. */
#define NO_START_CODE_LIMIT (4 << 20)
/* Room for the largest picture coded losslessly, twice over; beyond it no
 * picture can still be on its way, and the parser would only hoard input. */
#define NO_PICTURE_LIMIT (2 * (PICTURE_MAX_PIXELS * 3 / 2))

/* What the log callback learns, from whichever thread decodes a picture.
 * A log line is pinned to the packet (decode order) it concerns through the
 * opaque of the codec context that logs it: libavcodec copies the user's
 * opaque into a frame thread's context along with the packet. */
static struct {
    atomic_int first; /* decode index of the first damaged packet, or INT_MAX */
    int rank;         /* of the reason kept: lower wins at the same packet */
    char reason[160];
    pthread_mutex_t lock;
} damage = {.lock = PTHREAD_MUTEX_INITIALIZER};

enum { RANK_LOG, RANK_RESULT, RANK_CHECKSUM, RANK_READ };

static void note_damage(int packet, int rank, const char *fmt, va_list vl)
{
    size_t len;

    pthread_mutex_lock(&damage.lock);
    if (packet < atomic_load(&damage.first) || (packet == atomic_load(&damage.first) && rank < damage.rank)) {
        atomic_store(&damage.first, packet);
        damage.rank = rank;
        vsnprintf(damage.reason, sizeof damage.reason, fmt, vl);
        len = strlen(damage.reason);
        while (len > 0 && (damage.reason[len - 1] == '\n' || damage.reason[len - 1] == ' '))
            damage.reason[--len] = '\0';
    }
    pthread_mutex_unlock(&damage.lock);
}

static void damaged_at(int packet, int rank, const char *fmt, ...)
{
    va_list vl;

    va_start(vl, fmt);
    note_damage(packet, rank, fmt, vl);
    va_end(vl);
}

/* Errors, and two things libavcodec tells below error level: a lost
 * reference picture, and a picture patched up by error concealment. */
static int tells_damage(int level, const char *fmt)
{
    return level <= AV_LOG_ERROR || strncmp(fmt, "Frame num gap", 13) == 0 || strncmp(fmt, "concealing ", 11) == 0;
}

/* The packet a log line from outside a codec context concerns. */
static atomic_int current_packet = INT_MAX;

/* Replaces libav's logger: nothing is printed, damage is noted. */
static void log_damage(void *avcl, int level, const char *fmt, va_list vl)
{
    int packet = atomic_load(&current_packet);

    if (!tells_damage(level, fmt))
        return;
    if (avcl && *(const AVClass **)avcl == avcodec_get_class())
        packet = (int)(intptr_t)((AVCodecContext *)avcl)->opaque;
    note_damage(packet, RANK_LOG, fmt, vl);
}

static int damage_found(void)
{
    return atomic_load(&damage.first) != INT_MAX;
}

/* Start codes (00 00 01) and runs no NAL unit can hold (00 00 00, 00 00 02). */
struct scan {
    int zeros;
    int impossible; /* since the last start code */
    uint64_t since_start;
};

static void scan_chunk(struct scan *s, const uint8_t *p, size_t n)
{
    const uint8_t *end = p + n;

    s->since_start += n;
    for (; p < end; p++) {
        if (*p == 0) {
            if (++s->zeros >= 3)
                s->impossible = 1;
            continue;
        }
        if (s->zeros >= 2 && *p == 1) {
            s->impossible = 0;
            s->since_start = (uint64_t)(end - p - 1);
        } else if (s->zeros >= 2 && *p == 2) {
            s->impossible = 1;
        }
        s->zeros = 0;
    }
}

struct decode {
    const struct stream_source *src;
    const struct stream_sink *sink;
    struct stream_result *res;
    AVCodecParserContext *parser;
    AVCodecContext *ctx;
    AVPacket *pkt;
    AVFrame *frame;
    uint8_t *buf;
    struct scan scan;
    uint64_t since_picture;
    int packets;      /* handed to the decoder, and the index of the next */
    int fields;       /* field pictures, two to a frame */
    int frame_pictures;
    int kept_all;     /* no frame has been held back yet */
    enum picture_hash_found checked; /* what the frames so far carried: PICTURE_HASH_NONE, FOUND or PLACED */
    int part_start;   /* frames, and packets, of the streams of ours before the one being checked */
    int kept_last;    /* the frame of its last picture has been kept */
    uint32_t last_decode;
};

static int open_decoder(struct decode *d, int threads)
{
    const AVCodec *codec = avcodec_find_decoder(AV_CODEC_ID_H264);

    if (!codec || !(d->parser = av_parser_init(AV_CODEC_ID_H264))) {
        tool_error(_("this libavcodec has no H.264 decoder"));
        return -1;
    }
    /* The parser may read a little past the data it is given. */
    if (!(d->ctx = avcodec_alloc_context3(codec)) || !(d->pkt = av_packet_alloc()) || !(d->frame = av_frame_alloc()) ||
        !(d->buf = av_mallocz(READ_CHUNK + AV_INPUT_BUFFER_PADDING_SIZE))) {
        tool_error(_("out of memory"));
        return -1;
    }
    /* Frame threads need whole access units, which is what the parser hands over. */
    d->ctx->thread_count = threads;
    d->ctx->thread_type = FF_THREAD_FRAME;
    /* A stream that does not state its reordering depth gets the largest its
     * level allows, so no picture comes too late to be put in display order. */
    d->ctx->strict_std_compliance = FF_COMPLIANCE_STRICT;
    d->ctx->max_pixels = PICTURE_MAX_PIXELS;
    if (avcodec_open2(d->ctx, codec, NULL) < 0) {
        tool_error(_("cannot open the H.264 decoder"));
        return -1;
    }
    return 0;
}

/* Our checksum of the frame, when it carries one among its user data. A
 * second one came from a picture lost before it. */
static enum picture_hash_found stored_hash(const AVFrame *f, struct picture_hash *hash, struct picture_place *place)
{
    enum picture_hash_found found = PICTURE_HASH_NONE;

    for (int i = 0; i < f->nb_side_data; i++) {
        const AVFrameSideData *sd = f->side_data[i];
        enum picture_hash_found one;

        if (sd->type != AV_FRAME_DATA_SEI_UNREGISTERED)
            continue;
        if ((one = picture_hash_read(sd->data, sd->size, hash, place)) == PICTURE_HASH_NONE)
            continue;
        if (found != PICTURE_HASH_NONE)
            return PICTURE_HASH_DAMAGED;
        found = one;
    }
    return found;
}

static int matches_hash(const AVFrame *f, const struct picture_hash *stored)
{
    const int cw = (f->width + 1) / 2, ch = (f->height + 1) / 2;

    return picture_hash_plane(f->data[0], f->linesize[0], f->width, f->height) == stored->plane[0] &&
           picture_hash_plane(f->data[1], f->linesize[1], cw, ch) == stored->plane[1] &&
           picture_hash_plane(f->data[2], f->linesize[2], cw, ch) == stored->plane[2];
}

/* Every picture of the stream being checked has come out, its last one too. */
static int part_complete(const struct decode *d)
{
    return d->kept_last && (uint32_t)(d->res->frames - d->part_start) == d->last_decode + 1;
}

/* Frames come out in display order, each with the number of the packet it
 * was decoded from, in decode order: a picture lost, doubled or moved puts
 * a frame where the encoder did not. Streams of ours joined end to end
 * number their pictures each from 0; one picture a packet, so a stream
 * holds as many packets as frames. */
static int check_place(struct decode *d, const AVFrame *f, const struct picture_place *place)
{
    const int frame = d->res->frames + 1;

    if (part_complete(d)) {
        d->part_start = d->res->frames;
        d->kept_last = 0;
    }
    if (place->display != (uint32_t)(d->res->frames - d->part_start)) {
        damaged_at((int)f->pts, RANK_CHECKSUM, _("frame %d is lost or out of order: frame %llu came in its place"),
                   frame, (unsigned long long)d->part_start + place->display + 1);
        return -1;
    }
    if (place->decode != (uint32_t)(f->pts - d->part_start)) {
        damaged_at((int)f->pts, RANK_CHECKSUM,
                   _("frame %d is out of its place in the stream: a picture before it was lost, doubled or moved"),
                   frame);
        return -1;
    }
    if (place->last) {
        d->kept_last = 1;
        d->last_decode = place->decode;
    }
    return 0;
}

/* Damage libavcodec cannot see shows as a frame that differs from the
 * checksum the encoder wrote with it, stands where the encoder did not put
 * it, or lacks the checksum, or the kind of it, its stream carried so far.
 * Streams without our checksums go unchecked. */
static int check_hash(struct decode *d, const AVFrame *f)
{
    const int frame = d->res->frames + 1;
    struct picture_hash stored;
    struct picture_place place;
    enum picture_hash_found found;

    if (f->format != AV_PIX_FMT_YUV420P && f->format != AV_PIX_FMT_YUVJ420P)
        return 0;
    found = stored_hash(f, &stored, &place);
    if (found == PICTURE_HASH_NONE && d->checked == PICTURE_HASH_NONE)
        return 0;
    if (found == PICTURE_HASH_NONE) {
        damaged_at((int)f->pts, RANK_CHECKSUM, _("frame %d lacks the checksum the frames before it carry"), frame);
        return -1;
    }
    if (found == PICTURE_HASH_DAMAGED || (d->checked != PICTURE_HASH_NONE && found != d->checked)) {
        damaged_at((int)f->pts, RANK_CHECKSUM, _("frame %d carries a damaged checksum"), frame);
        return -1;
    }
    d->checked = found;
    if (found == PICTURE_HASH_PLACED && check_place(d, f, &place) < 0)
        return -1;
    if (matches_hash(f, &stored))
        return 0;
    damaged_at((int)f->pts, RANK_CHECKSUM, _("frame %d differs from the checksum stored with it"), frame);
    return -1;
}

/* The encoder marks its last picture: without it, or with frames missing
 * before it, the stream lost pictures at its end. */
static void check_end(struct decode *d)
{
    if (d->checked != PICTURE_HASH_PLACED || !d->kept_all || damage_found() || part_complete(d))
        return;
    damaged_at(d->packets, RANK_CHECKSUM, _("pictures are missing at the end of the stream"));
    /* It held at least one picture more than came out. */
    d->res->counted_all = 0;
    if (d->res->pictures <= d->res->frames)
        d->res->pictures = d->res->frames + 1;
}

/* Every packet before a frame's own has been decoded once the frame comes
 * out, so what is known of the damage then is all there is to know for it:
 * the frame is kept when it and all before it in display order were decoded
 * from packets that come before the first damaged one, and match their
 * checksums. */
static int take_frame(struct decode *d, const AVFrame *f)
{
    if (!d->kept_all || f->pts == AV_NOPTS_VALUE || f->pts >= atomic_load(&damage.first) || check_hash(d, f) < 0) {
        d->kept_all = 0;
        return 0;
    }
    if (d->sink->frame(d->sink->opaque, f) < 0)
        return -1;
    d->res->frames++;
    return 0;
}

/* A NULL packet drains the decoder. Its errors cannot be pinned to a packet
 * under frame threads: the last one sent is as late as they can belong to. */
static int decode(struct decode *d, const AVPacket *pkt)
{
    int ret = avcodec_send_packet(d->ctx, pkt);

    if (ret < 0 && ret != AVERROR_EOF)
        damaged_at(d->packets - 1, RANK_RESULT, "%s", av_err2str(ret));
    for (;;) {
        ret = avcodec_receive_frame(d->ctx, d->frame);
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF)
            return 0;
        if (ret < 0) {
            damaged_at(d->packets - 1, RANK_RESULT, "%s", av_err2str(ret));
            return 0;
        }
        ret = take_frame(d, d->frame);
        av_frame_unref(d->frame);
        if (ret < 0)
            return -1;
    }
}

/* A stream that starts too large is refused; one that grows too large later
 * keeps the frames before, as after damage. */
static int refuse_size(struct decode *d)
{
    const int w = d->parser->width, h = d->parser->height;

    if (d->frame_pictures + d->fields > 1) {
        damaged_at(d->packets, RANK_LOG, _("its pictures grow to %dx%d, larger than these tools handle"), w, h);
        return 0;
    }
    tool_error(_("stream file '%s' holds pictures of %dx%d: the largest these tools handle has %d pixels and "
               "%d a side (%dx%d)"),
               d->src->name, w, h, PICTURE_MAX_PIXELS, PICTURE_MAX_SIDE, PICTURE_MAX_SIDE,
               PICTURE_MAX_PIXELS / PICTURE_MAX_SIDE);
    return -1;
}

/* Counts the picture the parser found and hands the packet on, unless the
 * stream is known to be damaged: then the rest is only counted. */
static int take_packet(struct decode *d)
{
    const int structure = d->parser->picture_structure;

    if (structure == AV_PICTURE_STRUCTURE_FRAME)
        d->frame_pictures++;
    else if (structure == AV_PICTURE_STRUCTURE_TOP_FIELD || structure == AV_PICTURE_STRUCTURE_BOTTOM_FIELD)
        d->fields++;
    if (structure != AV_PICTURE_STRUCTURE_UNKNOWN)
        d->since_picture = 0;
    if (damage_found())
        return 0;
    if (structure != AV_PICTURE_STRUCTURE_UNKNOWN && !picture_fits(d->parser->width, d->parser->height))
        return refuse_size(d);
    d->pkt->pts = d->packets++;
    return decode(d, d->pkt);
}

static int parse(struct decode *d, const uint8_t *data, size_t size)
{
    const int eof = size == 0;

    for (;;) {
        int used;

        atomic_store(&current_packet, d->packets);
        d->ctx->opaque = (void *)(intptr_t)d->packets;
        used = av_parser_parse2(d->parser, d->ctx, &d->pkt->data, &d->pkt->size, data, (int)size, AV_NOPTS_VALUE,
                                AV_NOPTS_VALUE, 0);
        if (used < 0) {
            damaged_at(d->packets, RANK_LOG, "%s", av_err2str(used));
            return 0;
        }
        data += used;
        size -= (size_t)used;
        if (d->pkt->size && take_packet(d) < 0)
            return -1;
        if (eof ? !d->pkt->size : size == 0)
            return 0;
    }
}

/* 1 when the input has gone on too long without a picture to be worth
 * reading; the last access unit, held by the parser, still gets decoded. */
static int give_up(struct decode *d)
{
    /* Whole sentences for each case, so each reads right in translation. */
    const char *refusal, *reason;
    uint64_t limit;

    if (d->scan.impossible && d->scan.since_start > NO_START_CODE_LIMIT) {
        refusal = _("stream file '%s' is not an H.264 stream: no H.264 data in its first %llu MiB");
        reason = _("no H.264 data in %llu MiB");
        limit = NO_START_CODE_LIMIT;
    } else if (d->since_picture > NO_PICTURE_LIMIT) {
        refusal = _("stream file '%s' is not an H.264 stream: no picture in its first %llu MiB");
        reason = _("no picture in %llu MiB");
        limit = NO_PICTURE_LIMIT;
    } else {
        return 0;
    }
    if (d->packets == 0) {
        tool_error(refusal, d->src->name, (unsigned long long)(d->res->bytes_read >> 20));
        return -1;
    }
    if (parse(d, NULL, 0) < 0)
        return -1;
    damaged_at(d->packets, RANK_READ, reason, (unsigned long long)(limit >> 20));
    return 1;
}

static int read_input(struct decode *d)
{
    int ret;

    for (;;) {
        long n = d->src->read(d->src->opaque, d->buf, READ_CHUNK);

        if (n < 0) {
            tool_error(_("cannot read stream file '%s': %s"), d->src->name, strerror(errno ? errno : EIO));
            return -1;
        }
        d->res->bytes_read += (uint64_t)n;
        if (d->sink->progress)
            d->sink->progress(d->sink->opaque, d->res->bytes_read);
        scan_chunk(&d->scan, d->buf, (size_t)n);
        d->since_picture += (uint64_t)n;
        if (parse(d, d->buf, (size_t)n) < 0)
            return -1;
        if (n == 0) {
            d->res->counted_all = 1;
            return 0;
        }
        if ((ret = give_up(d)) != 0)
            return ret < 0 ? -1 : 0;
    }
}

int stream_decode(const struct stream_source *src, const struct stream_sink *sink, int threads,
                  struct stream_result *res)
{
    struct decode d = {.src = src, .sink = sink, .res = res, .kept_all = 1};
    int ret = -1;

    memset(res, 0, sizeof *res);
    atomic_store(&damage.first, INT_MAX);
    damage.reason[0] = '\0';
    av_log_set_callback(log_damage);
    if (open_decoder(&d, threads) < 0)
        goto end;
    if (read_input(&d) < 0 || decode(&d, NULL) < 0)
        goto end;
    res->pictures = d.frame_pictures + (d.fields + 1) / 2;
    check_end(&d);
    res->damaged = damage_found();
    snprintf(res->reason, sizeof res->reason, "%s", damage.reason);
    ret = 0;

end:
    av_frame_free(&d.frame);
    av_packet_free(&d.pkt);
    avcodec_free_context(&d.ctx);
    av_parser_close(d.parser);
    av_free(d.buf);
    atomic_store(&current_packet, INT_MAX);
    return ret;
}
