#define _POSIX_C_SOURCE 200809L
#include "elapsed.h"
#include "message.h"
#include "outfile.h"
#include "yuvio.h"

#include <errno.h>
#include <limits.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdatomic.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>

#define READ_CHUNK (1 << 18)

struct decode {
    const char *in_path;
    FILE *in;
    uint8_t *inbuf;
    uint64_t bytes_in;
    AVCodecParserContext *parser;
    AVCodecContext *ctx;
    AVPacket *pkt;
    AVFrame *frame;
    char *stem;
    struct outfile out;
    char *out_path;
    int packets;
    int frames;
    int width;
    int height;
    enum AVPixelFormat format;
    int writing_stopped;
    int changed;
    double seconds;
};

/* With frame threads libavcodec reports a damaged picture only through its log,
 * from the thread that decoded it. Every thread's context gets the user's
 * opaque when it takes a packet, so opaque carries the packet's index and a
 * logged error can be pinned to the picture it spoils. */
static atomic_int first_damaged = INT_MAX;
static atomic_int next_packet;
static pthread_mutex_t damage_lock = PTHREAD_MUTEX_INITIALIZER;
static char damage_reason[160];

static void note_damage(int packet, const char *fmt, va_list vl)
{
    int seen = atomic_load(&first_damaged);
    size_t len;

    while (packet < seen && !atomic_compare_exchange_weak(&first_damaged, &seen, packet))
        ;
    pthread_mutex_lock(&damage_lock);
    if (!damage_reason[0]) {
        vsnprintf(damage_reason, sizeof damage_reason, fmt, vl);
        len = strlen(damage_reason);
        while (len > 0 && (damage_reason[len - 1] == '\n' || damage_reason[len - 1] == ' '))
            damage_reason[--len] = '\0';
    }
    pthread_mutex_unlock(&damage_lock);
}

static void damaged_at(int packet, const char *fmt, ...)
{
    va_list vl;

    va_start(vl, fmt);
    note_damage(packet, fmt, vl);
    va_end(vl);
}

/* Replaces libav's logger: nothing is printed, errors mark the stream damaged. */
static void log_damage(void *avcl, int level, const char *fmt, va_list vl)
{
    int packet = atomic_load(&next_packet);

    if (level > AV_LOG_ERROR)
        return;
    if (avcl && *(const AVClass **)avcl == avcodec_get_class())
        packet = (int)(intptr_t)((AVCodecContext *)avcl)->opaque;
    note_damage(packet, fmt, vl);
}

static int damage_found(void)
{
    return atomic_load(&first_damaged) != INT_MAX;
}

/* "dir/stream.dat" -> "dir/stream"; a dot in a folder name or a leading dot stays. */
static char *output_stem(const char *path)
{
    const char *slash = strrchr(path, '/');
    const char *base = slash ? slash + 1 : path;
    const char *dot = strrchr(base, '.');
    size_t len = dot && dot != base ? (size_t)(dot - path) : strlen(path);
    char *stem = malloc(len + 1);

    if (stem) {
        memcpy(stem, path, len);
        stem[len] = '\0';
    }
    return stem;
}

static int open_input(struct decode *d)
{
    struct stat st;

    if (!(d->in = fopen(d->in_path, "rb"))) {
        tool_error("cannot open stream file '%s': %s", d->in_path, strerror(errno));
        return -1;
    }
    if (fstat(fileno(d->in), &st) == 0 && S_ISDIR(st.st_mode)) {
        tool_error("stream file '%s' is a folder", d->in_path);
        return -1;
    }
    /* The parser may read a little past the data it is given. */
    if (!(d->inbuf = calloc(1, READ_CHUNK + AV_INPUT_BUFFER_PADDING_SIZE)) || !(d->stem = output_stem(d->in_path))) {
        tool_error("out of memory");
        return -1;
    }
    return 0;
}

static int open_decoder(struct decode *d)
{
    const AVCodec *codec = avcodec_find_decoder(AV_CODEC_ID_H264);

    if (!codec || !(d->parser = av_parser_init(AV_CODEC_ID_H264))) {
        tool_error("this libavcodec has no H.264 decoder");
        return -1;
    }
    if (!(d->ctx = avcodec_alloc_context3(codec)) || !(d->pkt = av_packet_alloc()) || !(d->frame = av_frame_alloc())) {
        tool_error("out of memory");
        return -1;
    }
    /* Frame threads need whole access units, which is what the parser hands over. */
    d->ctx->thread_count = 0;
    d->ctx->thread_type = FF_THREAD_FRAME;
    if (avcodec_open2(d->ctx, codec, NULL) < 0) {
        tool_error("cannot open the H.264 decoder");
        return -1;
    }
    return 0;
}

static int is_supported(enum AVPixelFormat fmt)
{
    return fmt == AV_PIX_FMT_YUV420P || fmt == AV_PIX_FMT_YUVJ420P;
}

static const char *format_name(enum AVPixelFormat fmt)
{
    const char *name = av_get_pix_fmt_name(fmt);

    return name ? name : "unknown";
}

static int start_output(struct decode *d, const AVFrame *f)
{
    char *target;
    int ret;

    if (!is_supported(f->format)) {
        tool_error("stream '%s' has pixel format %s; only 8-bit 4:2:0 (yuv420p) can be written as I420", d->in_path,
                   format_name(f->format));
        return -1;
    }
    d->width = f->width;
    d->height = f->height;
    d->format = f->format;
    if (!(target = malloc(strlen(d->stem) + sizeof ".yuv"))) {
        tool_error("out of memory");
        return -1;
    }
    sprintf(target, "%s.yuv", d->stem);
    ret = outfile_open(&d->out, target);
    free(target);
    return ret;
}

static int check_same_shape(struct decode *d, const AVFrame *f)
{
    if (f->width == d->width && f->height == d->height && f->format == (int)d->format)
        return 0;
    tool_error("stream '%s' changes from %dx%d %s to %dx%d %s at frame %d; kept the %d frames before it", d->in_path,
               d->width, d->height, format_name(d->format), f->width, f->height, format_name(f->format),
               d->frames + 1, d->frames);
    d->changed = 1;
    return -1;
}

static int write_frame(struct decode *d, const AVFrame *f)
{
    const int cw = (f->width + 1) / 2, ch = (f->height + 1) / 2;

    if (yuv_write_plane(d->out.fp, f->data[0], f->linesize[0], f->width, f->height) < 0 ||
        yuv_write_plane(d->out.fp, f->data[1], f->linesize[1], cw, ch) < 0 ||
        yuv_write_plane(d->out.fp, f->data[2], f->linesize[2], cw, ch) < 0) {
        tool_error("cannot write output file '%s.yuv': %s", d->stem, strerror(errno));
        return -1;
    }
    d->frames++;
    return 0;
}

/* Frames come in display order; the output stays a clean run of them, so the
 * first damaged picture ends it. */
static int take_frame(struct decode *d, const AVFrame *f)
{
    int64_t packet = f->pts != AV_NOPTS_VALUE ? f->pts : f->best_effort_timestamp;

    if (d->writing_stopped)
        return 0;
    if (f->decode_error_flags || (f->flags & AV_FRAME_FLAG_CORRUPT))
        damaged_at((int)packet, "a damaged picture");
    if (packet >= atomic_load(&first_damaged)) {
        d->writing_stopped = 1;
        return 0;
    }
    if (d->frames == 0 ? start_output(d, f) < 0 : check_same_shape(d, f) < 0)
        return -1;
    return write_frame(d, f);
}

/* A NULL packet drains the decoder. */
static int decode(struct decode *d, const AVPacket *pkt)
{
    int ret = avcodec_send_packet(d->ctx, pkt);

    if (ret < 0) {
        damaged_at(d->packets - 1, "%s", av_err2str(ret));
        return 0;
    }
    for (;;) {
        ret = avcodec_receive_frame(d->ctx, d->frame);
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF)
            return 0;
        if (ret < 0) {
            damaged_at(d->packets - 1, "%s", av_err2str(ret));
            return 0;
        }
        ret = take_frame(d, d->frame);
        av_frame_unref(d->frame);
        if (ret < 0)
            return -1;
    }
}

static void number_next_packet(struct decode *d)
{
    d->ctx->opaque = (void *)(intptr_t)d->packets;
    atomic_store(&next_packet, d->packets);
}

static int parse_chunk(struct decode *d, const uint8_t *data, size_t size, int eof)
{
    while ((size > 0 || eof) && !damage_found()) {
        int used;

        number_next_packet(d);
        used = av_parser_parse2(d->parser, d->ctx, &d->pkt->data, &d->pkt->size, data, (int)size, AV_NOPTS_VALUE,
                                AV_NOPTS_VALUE, 0);
        if (used < 0) {
            damaged_at(d->packets, "%s", av_err2str(used));
            break;
        }
        data += used;
        size -= (size_t)used;
        if (d->pkt->size) {
            d->pkt->pts = d->packets++;
            if (decode(d, d->pkt) < 0)
                return -1;
        } else if (eof) {
            break;
        }
    }
    return 0;
}

/* Stops feeding at the first damage but still drains the frames before it. */
static int decode_input(struct decode *d)
{
    int eof = 0;

    while (!eof && !damage_found()) {
        size_t n = fread(d->inbuf, 1, READ_CHUNK, d->in);

        if (ferror(d->in)) {
            tool_error("cannot read stream file '%s': %s", d->in_path, strerror(errno ? errno : EIO));
            return -1;
        }
        d->bytes_in += n;
        eof = n == 0;
        if (parse_chunk(d, d->inbuf, n, eof) < 0)
            return -1;
    }
    return decode(d, NULL);
}

static int check_frames(const struct decode *d)
{
    if (d->frames > 0)
        return 0;
    if (d->bytes_in == 0)
        tool_error("stream file '%s' is empty", d->in_path);
    else if (d->packets == 0)
        tool_error("stream file '%s' is not an H.264 stream: no H.264 data found", d->in_path);
    else
        tool_error("stream file '%s' is not a readable H.264 stream: no picture could be decoded (%s)", d->in_path,
                   damage_reason[0] ? damage_reason : "no picture in it");
    return -1;
}

static int run(struct decode *d)
{
    double start = now_seconds();
    int ret;

    if (open_input(d) < 0 || open_decoder(d) < 0)
        return -1;
    ret = decode_input(d);
    if (ret < 0 && !d->changed)
        return -1;
    if (check_frames(d) < 0)
        return -1;
    if (!(d->out_path = outfile_commit_new(&d->out, d->stem, ".yuv")))
        return -1;
    d->seconds = now_seconds() - start;
    return ret;
}

static void print_report(const struct decode *d)
{
    const uint64_t bytes_out = (uint64_t)d->frames * ((uint64_t)d->width * d->height +
                                                       2 * (uint64_t)((d->width + 1) / 2) * ((d->height + 1) / 2));

    if (damage_found())
        printf("Warning: the stream is damaged or cut short at picture %d (%s); kept the %d frame%s decoded "
               "before it\n",
               atomic_load(&first_damaged) + 1, damage_reason, d->frames, d->frames == 1 ? "" : "s");
    printf("Decoded %d frames of %dx%d in %.2f s (%.1f fps)\n", d->frames, d->width, d->height, d->seconds,
           d->seconds > 0 ? d->frames / d->seconds : 0.0);
    printf("Output: %llu bytes -> %s\n", (unsigned long long)bytes_out, d->out_path);
}

int main(int argc, char **argv)
{
    struct decode d;
    int ret;

    memset(&d, 0, sizeof d);
    if (argc != 2) {
        tool_error("usage: %s STREAM.dat  (writes the decoded frames as STREAM.yuv beside it)",
                   argc > 0 ? argv[0] : "decoder.exe");
        return 2;
    }
    av_log_set_callback(log_damage);
    d.in_path = argv[1];
    ret = run(&d);
    if (d.out_path)
        print_report(&d);

    outfile_discard(&d.out);
    av_frame_free(&d.frame);
    av_packet_free(&d.pkt);
    avcodec_free_context(&d.ctx);
    av_parser_close(d.parser);
    if (d.in)
        fclose(d.in);
    free(d.inbuf);
    free(d.stem);
    free(d.out_path);
    return ret < 0 ? 1 : 0;
}
