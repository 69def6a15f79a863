/* Encodes a few pictures with libx264 and decodes them with libavcodec's
 * parser and decoder, as the stand-in tools do, to show that both static
 * libraries work on Windows, threads and assembly included. */
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <x264.h>
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>

enum { WIDTH = 320, HEIGHT = 240, PICTURES = 25 };

struct decoding {
    AVCodecParserContext *parser;
    AVCodecContext *context;
    AVPacket *packet;
    AVFrame *frame;
    int pictures;
    int encoder_notes;
};

static void errors_only(void *object, int level, const char *format, va_list args)
{
    (void)object;
    if (level <= AV_LOG_ERROR)
        vfprintf(stderr, format, args);
}

/* Sends one packet (NULL flushes) and takes every picture it completes. */
static int decode(struct decoding *d, const AVPacket *packet)
{
    int ret = avcodec_send_packet(d->context, packet);
    while (ret >= 0) {
        ret = avcodec_receive_frame(d->context, d->frame);
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF)
            return 0;
        if (ret < 0)
            break;
        if (d->pictures++ == 0)
            printf("decoded pictures are %s\n", av_get_pix_fmt_name(d->frame->format));
        /* x264 tells its version and options in an unregistered SEI message. */
        if (av_frame_get_side_data(d->frame, AV_FRAME_DATA_SEI_UNREGISTERED))
            d->encoder_notes++;
    }
    return ret;
}

/* Cuts the stream into packets; size 0 flushes the last one. */
static int parse(struct decoding *d, const uint8_t *data, int size)
{
    do {
        int used = av_parser_parse2(d->parser, d->context, &d->packet->data, &d->packet->size, data, size,
                                    AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        if (used < 0)
            return used;
        data += used;
        size -= used;
        if (d->packet->size > 0 && decode(d, d->packet) < 0)
            return -1;
    } while (size > 0);
    return 0;
}

static void paint(x264_picture_t *picture, int index)
{
    for (int y = 0; y < HEIGHT; y++)
        for (int x = 0; x < WIDTH; x++)
            picture->img.plane[0][y * picture->img.i_stride[0] + x] = (uint8_t)(x + y + 3 * index);
    memset(picture->img.plane[1], 128, (size_t)picture->img.i_stride[1] * HEIGHT / 2);
    memset(picture->img.plane[2], 128, (size_t)picture->img.i_stride[2] * HEIGHT / 2);
}

static int encode(x264_t *encoder, x264_picture_t *picture, struct decoding *d)
{
    x264_nal_t *nals;
    int count;
    x264_picture_t out;
    int size = x264_encoder_encode(encoder, &nals, &count, picture, &out);
    if (size < 0)
        return size;
    /* The payloads of one picture lie one after another. */
    return size > 0 ? parse(d, nals[0].p_payload, size) : 0;
}

int main(void)
{
    int status = 1;
    x264_t *encoder = NULL;
    x264_picture_t picture;
    int picture_allocated = 0;
    struct decoding d = { 0 };
    x264_param_t param;
    const AVCodec *codec = avcodec_find_decoder(AV_CODEC_ID_H264);

    av_log_set_callback(errors_only);
    if (x264_param_default_preset(&param, "medium", NULL) < 0)
        goto end;
    param.i_width = WIDTH;
    param.i_height = HEIGHT;
    param.i_csp = X264_CSP_I420;
    param.i_log_level = X264_LOG_WARNING;
    encoder = x264_encoder_open(&param);
    picture_allocated = x264_picture_alloc(&picture, X264_CSP_I420, WIDTH, HEIGHT) == 0;
    d.parser = av_parser_init(AV_CODEC_ID_H264);
    d.context = codec ? avcodec_alloc_context3(codec) : NULL;
    d.packet = av_packet_alloc();
    d.frame = av_frame_alloc();
    if (!encoder || !picture_allocated || !d.parser || !d.context || !d.packet || !d.frame ||
        avcodec_open2(d.context, codec, NULL) < 0)
        goto end;

    for (int i = 0; i < PICTURES; i++) {
        paint(&picture, i);
        picture.i_pts = i;
        if (encode(encoder, &picture, &d) < 0)
            goto end;
    }
    while (x264_encoder_delayed_frames(encoder))
        if (encode(encoder, NULL, &d) < 0)
            goto end;
    if (parse(&d, NULL, 0) < 0 || decode(&d, NULL) < 0)
        goto end;

    printf("%d of %d pictures back, %d with the encoder's notes\n", d.pictures, PICTURES, d.encoder_notes);
    status = d.pictures == PICTURES && d.encoder_notes > 0 ? 0 : 1;
end:
    av_frame_free(&d.frame);
    av_packet_free(&d.packet);
    avcodec_free_context(&d.context);
    av_parser_close(d.parser);
    if (picture_allocated)
        x264_picture_clean(&picture);
    if (encoder)
        x264_encoder_close(encoder);
    return status;
}
