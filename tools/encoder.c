#define _POSIX_C_SOURCE 200809L
#include "configfile.h"
#include "elapsed.h"
#include "fileid.h"
#include "message.h"
#include "nls.h"
#include "outfile.h"
#include "picturehash.h"
#include "progress.h"
#include "ssim.h"
#include "toolstart.h"
#include "utf8path.h"
#include "yuvio.h"

#include <errno.h>
#include <math.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <x264.h>

#define INPUT_BUFFER (1 << 20)
/* The frame rate the bit rate is given at: the encoder's default stream rate. */
#define REPORT_FPS 25
/* x264 gives 100 dB for a plane that came through unchanged. */
#define LOSSLESS_PSNR 100.0
/* The program cuts the report at this phrase and puts its own translation in
 * its place, so it stays English in every language. */
#define COMPRESSION_RATE_PHRASE "Compression rate"
/* Set to 0, the stream carries no picture checksums: for the benchmark only. */
#define HASH_VARIABLE "TUVR_ENCODER_PICTURE_HASH"

/* Sums of the per-frame figures, for the means of the summary. The mean
 * squared errors are over 255 squared, 0 for a plane that came through
 * unchanged: the PSNR of their mean is what ffmpeg's psnr filter sums up. */
struct quality {
    double mse[3];
    double mse_avg; /* x264's of the three planes together, for the global PSNR */
    double ssim;    /* negative when the pictures hold no SSIM window */
};

/* The luma of every picture x264 still holds, by pts, so its SSIM can be
 * measured against the reconstruction x264 hands back later. */
struct held_luma {
    uint8_t *planes;
    int64_t *pts;
    int count;
    struct ssim_block *scratch;
};

#define FREE_SLOT (-1)

/* One picture's figures for its per-frame line. */
struct frame_line {
    int64_t pts; /* FREE_SLOT when the slot is empty */
    char type;
    uint64_t bytes;
    double psnr[3];
    double ssim; /* negative when not measured */
};

/* x264 hands pictures back in coded order, B-frames after the pictures they
 * refer to; their lines wait here, by pts, until they are next in display order. */
struct frame_lines {
    struct frame_line *slots;
    int count;
    int64_t next_pts;
};

/* The picture x264 handed back last, written once the next one comes or the
 * stream ends: only then can its checksum say whether it is the last. */
struct pending_picture {
    uint8_t *bytes;
    size_t size; /* 0 when none is pending */
    size_t room;
    size_t head; /* what comes before its first slice, where the checksum goes */
    int checked; /* it gets a checksum */
    struct picture_hash hash;
    struct picture_place place;
    struct frame_line line; /* its per-frame line, its bytes counted as written */
};

struct encode {
    struct encoder_config cfg;
    FILE *in;
    char *in_buf;
    uint8_t *frame;
    size_t frame_size;
    struct outfile out;
    x264_t *h;
    int frames;
    int total;       /* what will be encoded, for the progress line */
    int frames_out;  /* what x264 has handed back */
    struct quality q;
    struct held_luma held;
    struct pending_picture pending;
    struct frame_lines lines;
    struct progress progress;
    size_t partial_bytes;
    int hash_pictures;
    uint64_t bytes_out;
    double seconds;
};

static int open_input(struct encode *e)
{
    struct stat st;

    if (!(e->in = utf8_fopen(e->cfg.file_in, "rb"))) {
        tool_error(_("cannot open input file '%s': %s"), e->cfg.file_in, strerror(errno));
        return -1;
    }
    if (fstat(fileno(e->in), &st) < 0) {
        tool_error(_("cannot read input file '%s': %s"), e->cfg.file_in, strerror(errno));
        return -1;
    }
    if (S_ISDIR(st.st_mode)) {
        tool_error(_("input file '%s' is a folder"), e->cfg.file_in);
        return -1;
    }
    /* Writing the stream over its own input would destroy the clip being read. */
    if (is_same_file(e->in, e->cfg.file_dat)) {
        tool_error(_("file_dat '%s' is the input file"), e->cfg.file_dat);
        return -1;
    }
    if ((e->in_buf = malloc(INPUT_BUFFER)))
        setvbuf(e->in, e->in_buf, _IOFBF, INPUT_BUFFER);
    e->frame_size = (size_t)e->cfg.width * (size_t)e->cfg.height * 3 / 2;
    e->total = e->cfg.nframes;
    if (S_ISREG(st.st_mode) && (uint64_t)st.st_size / e->frame_size < (uint64_t)e->total)
        e->total = (int)((uint64_t)st.st_size / e->frame_size);
    if (!(e->frame = malloc(e->frame_size))) {
        tool_error(_("out of memory for a %dx%d frame"), e->cfg.width, e->cfg.height);
        return -1;
    }
    return 0;
}

/* x264 measures PSNR and SSIM only at log level info. Only its errors reach
 * standard error: its warnings are about the settings made here (PSNR
 * measured with psychovisual tuning on). */
static void log_x264(void *priv, int level, const char *fmt, va_list ap)
{
    (void)priv;
    if (level > X264_LOG_ERROR)
        return;
    progress_break();
    fputs("x264: ", stderr);
    vfprintf(stderr, fmt, ap);
}

static int open_x264(struct encode *e)
{
    const int qp = e->cfg.quality_param;
    x264_param_t p;

    if (x264_param_default_preset(&p, "medium", NULL) < 0) {
        tool_error(_("x264 does not know the preset 'medium'"));
        return -1;
    }
    p.i_log_level = X264_LOG_INFO;
    p.pf_log = log_x264;
    p.i_threads = X264_THREADS_AUTO;
    p.i_csp = X264_CSP_I420;
    p.i_width = e->cfg.width;
    p.i_height = e->cfg.height;
    p.b_annexb = 1;
    p.b_repeat_headers = 1;
    /* Every picture handed back deblocked, as a decoder outputs it, even
     * those no other picture refers to: its checksum and PSNR are then those
     * of the written stream. */
    p.b_full_recon = 1;
    p.rc.i_rc_method = X264_RC_CQP;
    p.rc.i_qp_constant = qp;
    /* The report gives x264's PSNR; its SSIM is measured here, on ffmpeg's grid. */
    p.analyse.b_psnr = 1;
    /* x264 allows lossless only in a 4:4:4 profile; the stream stays 4:2:0. */
    if (x264_param_apply_profile(&p, qp == 0 ? "high444" : "high") < 0) {
        tool_error(_("x264 rejects profile %s with quality_param %d"), qp == 0 ? "high444" : "high", qp);
        return -1;
    }
    if (!(e->h = x264_encoder_open(&p))) {
        tool_error(_("x264 cannot encode %dx%d at quality_param %d"), e->cfg.width, e->cfg.height, qp);
        return -1;
    }
    return 0;
}

static int write_bytes(struct encode *e, const uint8_t *data, size_t size)
{
    if (size > 0 && fwrite(data, 1, size, e->out.fp) != size) {
        tool_error(_("cannot write output file '%s': %s"), e->cfg.file_dat, strerror(errno));
        return -1;
    }
    e->bytes_out += size;
    return 0;
}

/* The picture as a decoder will output it; x264 keeps its chroma interleaved. */
static int hash_picture(const struct encode *e, const x264_image_t *img, struct picture_hash *hash)
{
    if (img->i_csp != X264_CSP_NV12 || img->i_plane != 2) {
        tool_error(_("x264 handed back a picture in a layout other than NV12 (colour space %d)"), img->i_csp);
        return -1;
    }
    hash->plane[0] = picture_hash_plane(img->plane[0], img->i_stride[0], e->cfg.width, e->cfg.height);
    picture_hash_interleaved(img->plane[1], img->i_stride[1], e->cfg.width / 2, e->cfg.height / 2, &hash->plane[1],
                             &hash->plane[2]);
    return 0;
}

static int first_slice(const x264_nal_t *nal, int i_nal)
{
    int i = 0;

    while (i < i_nal && nal[i].i_type != NAL_SLICE && nal[i].i_type != NAL_SLICE_IDR)
        i++;
    return i;
}

/* Its checksum, if it gets one, goes into its own access unit, just before its first slice. */
static int write_pending(struct encode *e, int last)
{
    struct pending_picture *p = &e->pending;
    const size_t head = p->checked ? p->head : p->size;
    uint8_t sei[PICTURE_HASH_SEI_MAX];

    if (p->size == 0)
        return 0;
    p->place.last = last;
    if (write_bytes(e, p->bytes, head) < 0 ||
        (p->checked && write_bytes(e, sei, picture_hash_sei(&p->hash, &p->place, sei)) < 0) ||
        write_bytes(e, p->bytes + head, p->size - head) < 0)
        return -1;
    p->size = 0;
    return 0;
}

/* The NAL units of one picture lie back to back in memory until x264's next call. */
static int hold_picture(struct encode *e, const x264_nal_t *nal, int i_nal, int size, const x264_picture_t *pic)
{
    struct pending_picture *p = &e->pending;
    const int slice = first_slice(nal, i_nal);

    if ((size_t)size > p->room) {
        uint8_t *bigger = realloc(p->bytes, (size_t)size);

        if (!bigger) {
            tool_error(_("out of memory"));
            return -1;
        }
        p->bytes = bigger;
        p->room = (size_t)size;
    }
    memcpy(p->bytes, nal[0].p_payload, (size_t)size);
    p->size = (size_t)size;
    p->checked = e->hash_pictures && slice < i_nal;
    if (!p->checked)
        return 0;
    p->head = (size_t)(nal[slice].p_payload - nal[0].p_payload);
    /* x264 hands the pictures back in decode order; their pts is their number in display order. */
    p->place.display = (uint32_t)pic->i_pts;
    p->place.decode = (uint32_t)(e->frames_out - 1);
    return hash_picture(e, &pic->img, &p->hash);
}

static int open_held_luma(struct encode *e)
{
    struct held_luma *held = &e->held;
    const size_t luma = (size_t)e->cfg.width * (size_t)e->cfg.height;

    held->count = x264_encoder_maximum_delayed_frames(e->h) + 1;
    held->planes = malloc((size_t)held->count * luma);
    held->pts = malloc((size_t)held->count * sizeof *held->pts);
    held->scratch = malloc(ssim_scratch_blocks(e->cfg.width) * sizeof *held->scratch);
    if (!held->planes || !held->pts || !held->scratch) {
        tool_error(_("out of memory for %d pictures of %dx%d"), held->count, e->cfg.width, e->cfg.height);
        return -1;
    }
    for (int i = 0; i < held->count; i++)
        held->pts[i] = FREE_SLOT;
    return 0;
}

/* The slot holding the picture of that pts, or -1. */
static int held_slot(const struct held_luma *held, int64_t pts)
{
    for (int i = 0; i < held->count; i++) {
        if (held->pts[i] == pts)
            return i;
    }
    return -1;
}

static int hold_luma(struct encode *e, int64_t pts)
{
    const size_t luma = (size_t)e->cfg.width * (size_t)e->cfg.height;
    const int slot = held_slot(&e->held, FREE_SLOT);

    if (slot < 0) {
        tool_error(_("x264 holds more than the %d pictures it said it would"), e->held.count - 1);
        return -1;
    }
    memcpy(e->held.planes + (size_t)slot * luma, e->frame, luma);
    e->held.pts[slot] = pts;
    return 0;
}

static int add_ssim(struct encode *e, const x264_picture_t *pic_out, double *picture_ssim)
{
    const size_t luma = (size_t)e->cfg.width * (size_t)e->cfg.height;
    const int slot = held_slot(&e->held, pic_out->i_pts);
    const x264_image_t *img = &pic_out->img;
    double ssim;

    if (slot < 0) {
        tool_error(_("x264 handed back frame %lld, which it was never given"), (long long)pic_out->i_pts);
        return -1;
    }
    ssim = ssim_plane(img->plane[0], img->i_stride[0], e->held.planes + (size_t)slot * luma, e->cfg.width,
                      e->cfg.width, e->cfg.height, e->held.scratch);
    e->q.ssim = ssim < 0 || e->q.ssim < 0 ? -1.0 : e->q.ssim + ssim;
    *picture_ssim = ssim;
    e->held.pts[slot] = FREE_SLOT;
    return 0;
}

/* The mean squared error over 255 squared that x264's PSNR stands for. */
static double mse_of(double psnr)
{
    return psnr >= LOSSLESS_PSNR ? 0.0 : pow(10.0, -psnr / 10.0);
}

static void add_psnr(struct quality *q, const x264_image_properties_t *prop)
{
    for (int i = 0; i < 3; i++)
        q->mse[i] += mse_of(prop->f_psnr[i]);
    q->mse_avg += mse_of(prop->f_psnr_avg);
}

static int open_frame_lines(struct encode *e)
{
    struct frame_lines *lines = &e->lines;

    lines->count = x264_encoder_maximum_delayed_frames(e->h) + 1;
    if (!(lines->slots = malloc((size_t)lines->count * sizeof *lines->slots))) {
        tool_error(_("out of memory for %d pictures of %dx%d"), lines->count, e->cfg.width, e->cfg.height);
        return -1;
    }
    for (int i = 0; i < lines->count; i++)
        lines->slots[i].pts = FREE_SLOT;
    return 0;
}

static char frame_type(int x264_type)
{
    if (IS_X264_TYPE_I(x264_type))
        return 'I';
    return IS_X264_TYPE_B(x264_type) ? 'B' : 'P';
}

/* A PSNR as the program parses it: C's decimal point, "inf" for a plane x264
 * found unchanged (it gives 100 dB then, and at QP 0 measures nothing). */
static const char *frame_psnr_text(char *buf, size_t size, double db, int lossless)
{
    if (lossless || db >= LOSSLESS_PSNR)
        return "inf";
    snprintf(buf, size, "%.3f", db);
    return buf;
}

static void print_frame_line(const struct encode *e, const struct frame_line *l)
{
    const int lossless = e->cfg.quality_param == 0;
    char y[16], u[16], v[16], ssim[16];

    if (l->ssim < 0)
        strcpy(ssim, "-");
    else
        snprintf(ssim, sizeof ssim, "%.6f", l->ssim);
    progress_break();
    fprintf(stderr, "frame %lld %c %llu %s %s %s %s\n", (long long)l->pts, l->type, (unsigned long long)l->bytes,
            frame_psnr_text(y, sizeof y, l->psnr[0], lossless), frame_psnr_text(u, sizeof u, l->psnr[1], lossless),
            frame_psnr_text(v, sizeof v, l->psnr[2], lossless), ssim);
}

/* Holds the picture's line and prints those now next in display order. */
static int say_frame(struct encode *e, const struct frame_line *line)
{
    struct frame_lines *lines = &e->lines;
    const int64_t pts = line->pts;
    struct frame_line *l = &lines->slots[pts % lines->count];

    if (pts < lines->next_pts || pts - lines->next_pts >= lines->count || l->pts != FREE_SLOT) {
        tool_error(_("x264 handed back frame %lld further out of display order than it said it would"),
                   (long long)pts);
        return -1;
    }
    *l = *line;
    while ((l = &lines->slots[lines->next_pts % lines->count])->pts == lines->next_pts) {
        print_frame_line(e, l);
        l->pts = FREE_SLOT;
        lines->next_pts++;
    }
    return 0;
}

/* Writes the picture held back, then says it, now that its bytes are known. */
static int write_held_picture(struct encode *e, int last)
{
    const uint64_t before = e->bytes_out;
    const int held = e->pending.size > 0;

    if (write_pending(e, last) < 0)
        return -1;
    e->pending.line.bytes = e->bytes_out - before;
    return held ? say_frame(e, &e->pending.line) : 0;
}

static int encode_picture(struct encode *e, x264_picture_t *pic)
{
    x264_picture_t pic_out;
    x264_nal_t *nal;
    int i_nal;
    double ssim;
    int size = x264_encoder_encode(e->h, &nal, &i_nal, pic, &pic_out);

    if (size < 0) {
        tool_error(_("x264 failed to encode frame %d"), e->frames);
        return -1;
    }
    if (size == 0)
        return 0;
    if (add_ssim(e, &pic_out, &ssim) < 0)
        return -1;
    add_psnr(&e->q, &pic_out.prop);
    progress_frames(&e->progress, ++e->frames_out, e->total, 0);
    if (write_held_picture(e, 0) < 0 || hold_picture(e, nal, i_nal, size, &pic_out) < 0)
        return -1;
    e->pending.line = (struct frame_line){pic_out.i_pts, frame_type(pic_out.i_type), 0,
                                          {pic_out.prop.f_psnr[0], pic_out.prop.f_psnr[1], pic_out.prop.f_psnr[2]},
                                          ssim};
    return 0;
}

static void set_planes(struct encode *e, x264_picture_t *pic)
{
    const int w = e->cfg.width;
    const size_t luma = (size_t)w * (size_t)e->cfg.height;

    x264_picture_init(pic);
    pic->img.i_csp = X264_CSP_I420;
    pic->img.i_plane = 3;
    pic->img.i_stride[0] = w;
    pic->img.i_stride[1] = w / 2;
    pic->img.i_stride[2] = w / 2;
    pic->img.plane[0] = e->frame;
    pic->img.plane[1] = e->frame + luma;
    pic->img.plane[2] = e->frame + luma + luma / 4;
}

static int encode_input(struct encode *e)
{
    x264_picture_t pic;
    size_t got;

    set_planes(e, &pic);
    while (e->frames < e->cfg.nframes) {
        enum frame_read r = yuv_read_frame(e->in, e->frame, e->frame_size, &got);

        if (r == FRAME_READ_ERROR) {
            tool_error(_("cannot read input file '%s': %s"), e->cfg.file_in, strerror(errno));
            return -1;
        }
        if (r == FRAME_READ_PARTIAL)
            e->partial_bytes = got;
        if (r != FRAME_READ_OK)
            break;
        pic.i_pts = e->frames;
        if (hold_luma(e, pic.i_pts) < 0 || encode_picture(e, &pic) < 0)
            return -1;
        e->frames++;
    }
    return 0;
}

static int flush_delayed(struct encode *e)
{
    while (x264_encoder_delayed_frames(e->h) > 0) {
        if (encode_picture(e, NULL) < 0)
            return -1;
    }
    return 0;
}

static int check_frames(const struct encode *e)
{
    if (e->frames > 0)
        return 0;
    if (e->partial_bytes > 0)
        tool_error(_("input file '%s' holds no whole frame: %zu bytes, a %dx%d frame is %zu bytes"), e->cfg.file_in,
                   e->partial_bytes, e->cfg.width, e->cfg.height, e->frame_size);
    else
        tool_error(_("input file '%s' is empty"), e->cfg.file_in);
    return -1;
}

/* A figure in decibels, or "inf" for a picture that came through unchanged. */
static const char *decibels_text(char *buf, size_t size, double db)
{
    if (isinf(db))
        /* TRANSLATORS: an infinite PSNR or SSIM in decibels. */
        return _("inf");
    snprintf(buf, size, "%.3f", db);
    return buf;
}

/* The PSNR of a mean squared error over 255 squared. */
static double psnr_of(double mse)
{
    return mse > 0 ? -10.0 * log10(mse) : INFINITY;
}

static void print_quality(const struct encode *e)
{
    const double n = e->frames_out;
    /* The planes' errors weighed by their samples, as ffmpeg's average does. */
    const double luma = (double)e->cfg.width * e->cfg.height, chroma = luma / 4;
    const double mse_avg = (luma * e->q.mse[0] + chroma * (e->q.mse[1] + e->q.mse[2])) / (luma + 2 * chroma);
    const double ssim = e->q.ssim / n;
    char y[16], u[16], v[16], avg[16], all[16], db[16];

    /* At QP 0 x264 bypasses the transform and measures nothing: the pictures
     * come back exactly. */
    if (e->cfg.quality_param == 0) {
        const char *inf = decibels_text(db, sizeof db, INFINITY);

        printf(_("PSNR Mean Y:%s U:%s V:%s Avg:%s Global:%s (lossless)\n"), inf, inf, inf, inf, inf);
        printf(_("SSIM Mean Y:%.7f (%s db, lossless)\n"), 1.0, inf);
        return;
    }
    printf(_("PSNR Mean Y:%s U:%s V:%s Avg:%s Global:%s\n"), decibels_text(y, sizeof y, psnr_of(e->q.mse[0] / n)),
           decibels_text(u, sizeof u, psnr_of(e->q.mse[1] / n)), decibels_text(v, sizeof v, psnr_of(e->q.mse[2] / n)),
           decibels_text(avg, sizeof avg, psnr_of(mse_avg / n)),
           decibels_text(all, sizeof all, psnr_of(e->q.mse_avg / n)));
    if (ssim < 0)
        printf(_("SSIM Mean Y: not measured, the pictures have a side under 8 pixels\n"));
    else
        printf(_("SSIM Mean Y:%.7f (%sdb)\n"), ssim,
               decibels_text(db, sizeof db, ssim < 1.0 ? -10.0 * log10(1.0 - ssim) : INFINITY));
}

/* The first line, which the program cuts the report at. */
static void print_compression_rate(const struct encode *e, uint64_t bytes_in, double fps)
{
    const double ratio = e->bytes_out ? (double)bytes_in / (double)e->bytes_out : 0.0;
    char in[32], out[32];

    fputs(COMPRESSION_RATE_PHRASE, stdout);
    /* TRANSLATORS: follows "Compression rate", which stays English: the
     * program translates it. The clip's bytes by the stream's, then both. */
    printf(ngettext(": %.2f (%s / %s byte)", ": %.2f (%s / %s bytes)", e->bytes_out), ratio,
           report_digits(in, sizeof in, bytes_in), report_digits(out, sizeof out, e->bytes_out));
    /* TRANSLATORS: ends the "Compression rate" line: the frames encoded, and how fast. */
    printf(ngettext(", %d frame, %.1f fps\n", ", %d frames, %.1f fps\n", e->frames), e->frames, fps);
}

static void print_report(const struct encode *e)
{
    const struct encoder_config *c = &e->cfg;
    const uint64_t bytes_in = (uint64_t)e->frames * e->frame_size;
    const double fps = e->seconds > 0 ? e->frames / e->seconds : 0.0;
    const double bits = 8.0 * (double)e->bytes_out;
    char partial[32], frame[32], out[32];

    report_numbers_begin();
    print_compression_rate(e, bytes_in, fps);
    if (e->frames < c->nframes)
        printf(ngettext("Input ended after %d of the %d frame asked for\n",
                        "Input ended after %d of the %d frames asked for\n", c->nframes),
               e->frames, c->nframes);
    if (e->partial_bytes > 0)
        printf(ngettext("Ignored a partial last frame of %s byte (a frame is %s bytes)\n",
                        "Ignored a partial last frame of %s bytes (a frame is %s bytes)\n", e->partial_bytes),
               report_digits(partial, sizeof partial, e->partial_bytes),
               report_digits(frame, sizeof frame, e->frame_size));
    print_quality(e);
    printf(ngettext("Bit rate: %.4f bits per pixel, %.2f kbit/s at %d frame per second\n",
                    "Bit rate: %.4f bits per pixel, %.2f kbit/s at %d frames per second\n", REPORT_FPS),
           bits / ((double)e->frames * c->width * c->height), bits * REPORT_FPS / e->frames / 1000.0, REPORT_FPS);
    printf(ngettext("Encoded %d frame of %dx%d at QP %d in %.2f s (%.1f fps)\n",
                    "Encoded %d frames of %dx%d at QP %d in %.2f s (%.1f fps)\n", e->frames),
           e->frames, c->width, c->height, c->quality_param, e->seconds, fps);
    printf(ngettext("Output: %s byte -> %s\n", "Output: %s bytes -> %s\n", e->bytes_out),
           report_digits(out, sizeof out, e->bytes_out), c->file_dat);
    report_numbers_end();
}

static int run(struct encode *e)
{
    const char *hash = getenv(HASH_VARIABLE);
    double start = now_seconds();

    e->hash_pictures = !hash || strcmp(hash, "0") != 0;
    progress_start(&e->progress);
    if (open_input(e) < 0 || outfile_open(&e->out, e->cfg.file_dat) < 0 || open_x264(e) < 0 || open_held_luma(e) < 0 ||
        open_frame_lines(e) < 0)
        return -1;
    if (encode_input(e) < 0 || flush_delayed(e) < 0 || write_held_picture(e, 1) < 0 || check_frames(e) < 0)
        return -1;
    if (outfile_commit(&e->out, e->cfg.file_dat) < 0)
        return -1;
    e->seconds = now_seconds() - start;
    progress_frames(&e->progress, e->frames, e->frames, 1);
    return 0;
}

int main(int argc, char **argv)
{
    const char *usage;
    struct encode e;
    char **args;
    int ret = 1;

    memset(&e, 0, sizeof e);
    tools_nls_start();
    /* The program reads the report as it comes. */
    setvbuf(stdout, NULL, _IOLBF, 0);
    if (!(args = tool_start(&argc, argv)))
        goto end;
    usage = _("usage: %s CONFIG  (CONFIG holds the lines file_in, width, height, nframes, file_dat, "
              "quality_param)");
    if (tool_answer_options(argc, args, usage)) {
        ret = 0;
        goto end;
    }
    if (argc != 2) {
        tool_error(usage, argc > 0 ? args[0] : "encoder.exe");
        ret = 2;
        goto end;
    }
    if (config_load(path_native_separators(args[1]), &e.cfg) < 0)
        goto end;
    path_native_separators(e.cfg.file_in);
    path_native_separators(e.cfg.file_dat);
    if (run(&e) < 0)
        goto end;
    print_report(&e);
    ret = 0;

end:
    if (e.h)
        x264_encoder_close(e.h);
    outfile_discard(&e.out);
    if (e.in)
        fclose(e.in);
    free(e.in_buf);
    free(e.frame);
    free(e.held.planes);
    free(e.held.pts);
    free(e.held.scratch);
    free(e.pending.bytes);
    free(e.lines.slots);
    config_free(&e.cfg);
    tool_finish(args, argv);
    return ret;
}
