#define _POSIX_C_SOURCE 200809L
#include "elapsed.h"
#include "message.h"
#include "nls.h"
#include "outfile.h"
#include "progress.h"
#include "streamdecode.h"
#include "toolstart.h"
#include "utf8path.h"
#include "yuvio.h"

#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <libavutil/pixdesc.h>

/* Sets the decoder's thread count for tests; one a core when unset. */
#define THREADS_VARIABLE "TUVR_DECODER_THREADS"
#define MAX_THREADS 64

struct decode {
    const char *in_path;
    FILE *in;
    uint64_t in_size; /* 0 when unknown */
    char *stem;
    struct outfile out;
    char *out_path;
    int frames;
    int width;
    int height;
    enum AVPixelFormat format;
    int changed;
    struct progress progress;
    struct stream_result res;
    double seconds;
};

/* "dir/stream.dat" -> "dir/stream"; a dot in a folder name or a leading dot
 * stays. A relative path is made absolute, so the report names the output
 * wherever the decoder ran. */
static char *output_stem(const char *path)
{
    char *stem = utf8_absolute_path(path);
    const char *base = stem ? path_base_name(stem) : NULL;
    char *dot = base ? strrchr(base, '.') : NULL;

    if (dot && dot != base)
        *dot = '\0';
    return stem;
}

static int open_input(struct decode *d)
{
    struct stat st;

    if (!(d->in = utf8_fopen(d->in_path, "rb"))) {
        tool_error(_("cannot open stream file '%s': %s"), d->in_path, strerror(errno));
        return -1;
    }
    if (fstat(fileno(d->in), &st) < 0) {
        tool_error(_("cannot read stream file '%s': %s"), d->in_path, strerror(errno));
        return -1;
    }
    if (S_ISDIR(st.st_mode)) {
        tool_error(_("stream file '%s' is a folder"), d->in_path);
        return -1;
    }
    if (S_ISREG(st.st_mode))
        d->in_size = (uint64_t)st.st_size;
    if (!(d->stem = output_stem(d->in_path))) {
        tool_error(_("cannot name the output beside '%s': %s"), d->in_path, strerror(errno));
        return -1;
    }
    return 0;
}

/* 0 (one a core), the number set in the environment, or -1 after an error. */
static int thread_count(void)
{
    const char *text = getenv(THREADS_VARIABLE);
    char *end;
    long n;

    if (!text)
        return 0;
    errno = 0;
    n = strtol(text, &end, 10);
    if (errno || end == text || *end || n < 1 || n > MAX_THREADS) {
        tool_error(_("%s is '%.32s': it must be a number from 1 to %d"), THREADS_VARIABLE, text, MAX_THREADS);
        return -1;
    }
    return (int)n;
}

static long read_file(void *opaque, uint8_t *buf, size_t size)
{
    FILE *fp = opaque;
    size_t n = fread(buf, 1, size, fp);

    if (n < size && ferror(fp)) {
        if (errno == 0)
            errno = EIO;
        return -1;
    }
    return (long)n;
}

static void show_progress(void *opaque, uint64_t bytes_read)
{
    struct decode *d = opaque;

    progress_bytes(&d->progress, d->frames, bytes_read, d->in_size, 0);
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
        tool_error(_("stream '%s' has pixel format %s; only 8-bit 4:2:0 (yuv420p) can be written as I420"), d->in_path,
                   format_name(f->format));
        return -1;
    }
    d->width = f->width;
    d->height = f->height;
    d->format = f->format;
    if (!(target = malloc(strlen(d->stem) + sizeof ".yuv"))) {
        tool_error(_("out of memory"));
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
    tool_error(_("stream '%s' changes from %dx%d %s to %dx%d %s at frame %d; kept the %d frames before it"), d->in_path,
               d->width, d->height, format_name(d->format), f->width, f->height, format_name(f->format),
               d->frames + 1, d->frames);
    d->changed = 1;
    return -1;
}

/* The output gets its name only once complete: the message names the one it would get. */
static void write_failed(const struct decode *d)
{
    const int err = errno;
    char *name = outfile_free_name(&d->out, d->stem, ".yuv");

    tool_error(_("cannot write output file '%s': %s"), name ? name : d->stem, strerror(err));
    free(name);
}

static int write_frame(void *opaque, const AVFrame *f)
{
    struct decode *d = opaque;
    const int cw = (f->width + 1) / 2, ch = (f->height + 1) / 2;

    if (d->frames == 0 ? start_output(d, f) < 0 : check_same_shape(d, f) < 0)
        return -1;
    if (yuv_write_plane(d->out.fp, f->data[0], f->linesize[0], f->width, f->height) < 0 ||
        yuv_write_plane(d->out.fp, f->data[1], f->linesize[1], cw, ch) < 0 ||
        yuv_write_plane(d->out.fp, f->data[2], f->linesize[2], cw, ch) < 0) {
        write_failed(d);
        return -1;
    }
    d->frames++;
    show_progress(d, d->res.bytes_read);
    return 0;
}

static int check_frames(const struct decode *d)
{
    if (d->frames > 0)
        return 0;
    if (d->res.bytes_read == 0)
        tool_error(_("stream file '%s' is empty"), d->in_path);
    else if (d->res.pictures == 0 && !d->res.damaged)
        tool_error(_("stream file '%s' is not an H.264 stream: no H.264 picture found"), d->in_path);
    else
        tool_error(_("stream file '%s' is not a readable H.264 stream: no picture could be decoded intact (%s)"),
                   d->in_path, d->res.damaged ? d->res.reason : _("no picture came out of the decoder"));
    return -1;
}

static int run(struct decode *d)
{
    struct stream_source src = {d->in_path, read_file, NULL};
    const struct stream_sink sink = {write_frame, show_progress, d};
    double start = now_seconds();
    int threads = thread_count();
    int ret;

    progress_start(&d->progress);
    if (threads < 0 || open_input(d) < 0)
        return -1;
    src.opaque = d->in;
    ret = stream_decode(&src, &sink, threads, &d->res);
    if (ret < 0 && !d->changed)
        return -1;
    if (check_frames(d) < 0)
        return -1;
    if (!(d->out_path = outfile_commit_new(&d->out, d->stem, ".yuv")))
        return -1;
    d->seconds = now_seconds() - start;
    progress_bytes(&d->progress, d->frames, d->res.bytes_read, d->in_size, 1);
    return ret;
}

/* The stream holds at least two pictures here, so "frames" always agrees. */
static void print_damage_warning(const struct decode *d)
{
    const struct stream_result *r = &d->res;

    if (r->counted_all)
        tool_warning(_("Warning: the stream is damaged or cut short (%s): frame %d and the frames after it depend on "
                 "damaged data; kept the first %d of %d frames\n"),
               r->reason, d->frames + 1, d->frames, r->pictures);
    else
        tool_warning(_("Warning: the stream is damaged or cut short (%s): frame %d and the frames after it depend on "
                 "damaged data; kept the first %d of at least %d frames\n"),
               r->reason, d->frames + 1, d->frames, r->pictures);
}

static void print_missing_warning(const struct decode *d)
{
    const struct stream_result *r = &d->res;

    if (r->counted_all)
        tool_warning(ngettext("Warning: the stream holds %d picture but only %d frames came out of the decoder\n",
                        "Warning: the stream holds %d pictures but only %d frames came out of the decoder\n",
                        r->pictures),
               r->pictures, d->frames);
    else
        tool_warning(ngettext("Warning: the stream holds at least %d picture but only %d frames came out of the decoder\n",
                        "Warning: the stream holds at least %d pictures but only %d frames came out of the decoder\n",
                        r->pictures),
               r->pictures, d->frames);
}

static void print_warning(const struct decode *d)
{
    const struct stream_result *r = &d->res;

    if (r->damaged && d->frames < r->pictures)
        print_damage_warning(d);
    else if (r->damaged)
        tool_warning(ngettext("Warning: the stream is damaged or cut short after its last picture (%s); "
                        "kept its %d frame\n",
                        "Warning: the stream is damaged or cut short after its last picture (%s); "
                        "kept all %d frames\n",
                        d->frames),
               r->reason, d->frames);
    else if (d->frames < r->pictures)
        print_missing_warning(d);
}

static void print_report(const struct decode *d)
{
    const uint64_t bytes_out = (uint64_t)d->frames * ((uint64_t)d->width * d->height +
                                                       2 * (uint64_t)((d->width + 1) / 2) * ((d->height + 1) / 2));
    char out[32];

    report_numbers_begin();
    if (!d->changed)
        print_warning(d);
    printf(ngettext("Decoded %d frame of %dx%d in %.2f s (%.1f fps)\n", "Decoded %d frames of %dx%d in %.2f s (%.1f fps)\n",
                    d->frames),
           d->frames, d->width, d->height, d->seconds, d->seconds > 0 ? d->frames / d->seconds : 0.0);
    printf(ngettext("Output: %s byte -> %s\n", "Output: %s bytes -> %s\n", bytes_out),
           report_digits(out, sizeof out, bytes_out), d->out_path);
    report_numbers_end();
}

/* Frames of the stream were left out of the output: damage, or a change of
 * picture shape. The frames before it are kept, but the decode did not do
 * what was asked, and the exit code says so as well as the warning. */
static int lost_frames(const struct decode *d)
{
    return d->changed || (d->res.damaged && d->frames < d->res.pictures);
}

int main(int argc, char **argv)
{
    const char *usage;
    struct decode d;
    char **args;
    int ret;

    memset(&d, 0, sizeof d);
    tools_nls_start();
    /* The program reads the report as it comes. */
    setvbuf(stdout, NULL, _IOLBF, 0);
    if (!(args = tool_start(&argc, argv)))
        return 1;
    usage = _("usage: %s STREAM.dat  (writes the decoded frames as STREAM.yuv beside it)");
    if (tool_answer_options(argc, args, usage)) {
        tool_finish(args, argv);
        return 0;
    }
    if (argc != 2) {
        tool_error(usage, argc > 0 ? args[0] : "decoder.exe");
        tool_finish(args, argv);
        return 2;
    }
    d.in_path = path_native_separators(args[1]);
    ret = run(&d);
    if (d.out_path)
        print_report(&d);

    outfile_discard(&d.out);
    if (d.in)
        fclose(d.in);
    free(d.stem);
    free(d.out_path);
    tool_finish(args, argv);
    return ret < 0 || lost_frames(&d) ? 1 : 0;
}
