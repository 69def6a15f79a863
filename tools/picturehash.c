#include "picturehash.h"

#include <string.h>

/* Header only, so the tools need no xxHash library where they are built. */
#define XXH_INLINE_ALL
#include <xxhash.h>

#define SEI_NAL_TYPE 6
#define SEI_USER_DATA_UNREGISTERED 5
#define INTERLEAVED_CHUNK 1024

static const uint8_t tuvr_uuid[16] = {0xb0, 0xff, 0x12, 0x35, 0x85, 0x4c, 0x46, 0xe5,
                                      0xb6, 0xf7, 0x94, 0xe8, 0xd7, 0xff, 0x48, 0x2b};

uint64_t picture_hash_plane(const uint8_t *data, ptrdiff_t linesize, int width, int height)
{
    XXH3_state_t state;

    /* A plane without gaps between its rows goes in one piece, as fast as XXH3 gets. */
    if (linesize == width)
        return XXH3_64bits(data, (size_t)width * (size_t)height);
    XXH3_INITSTATE(&state);
    XXH3_64bits_reset(&state);
    for (int y = 0; y < height; y++)
        XXH3_64bits_update(&state, data + (ptrdiff_t)y * linesize, (size_t)width);
    return XXH3_64bits_digest(&state);
}

void picture_hash_interleaved(const uint8_t *data, ptrdiff_t linesize, int width, int height, uint64_t *u,
                              uint64_t *v)
{
    XXH3_state_t su, sv;
    uint8_t bu[INTERLEAVED_CHUNK], bv[INTERLEAVED_CHUNK];

    XXH3_INITSTATE(&su);
    XXH3_INITSTATE(&sv);
    XXH3_64bits_reset(&su);
    XXH3_64bits_reset(&sv);
    for (int y = 0; y < height; y++) {
        const uint8_t *row = data + (ptrdiff_t)y * linesize;

        for (int x = 0; x < width; x += INTERLEAVED_CHUNK) {
            const int n = width - x < INTERLEAVED_CHUNK ? width - x : INTERLEAVED_CHUNK;

            for (int i = 0; i < n; i++) {
                bu[i] = row[2 * (x + i)];
                bv[i] = row[2 * (x + i) + 1];
            }
            XXH3_64bits_update(&su, bu, (size_t)n);
            XXH3_64bits_update(&sv, bv, (size_t)n);
        }
    }
    *u = XXH3_64bits_digest(&su);
    *v = XXH3_64bits_digest(&sv);
}

static void write_payload(const struct picture_hash *hash, uint8_t *p)
{
    memcpy(p, tuvr_uuid, sizeof tuvr_uuid);
    p += sizeof tuvr_uuid;
    *p++ = PICTURE_HASH_XXH3_64;
    for (int plane = 0; plane < 3; plane++) {
        for (int shift = 56; shift >= 0; shift -= 8)
            *p++ = (uint8_t)(hash->plane[plane] >> shift);
    }
}

/* Inserts 03 wherever two zero bytes would run into a byte that could make a start code. */
static size_t escape(const uint8_t *rbsp, size_t size, uint8_t *out)
{
    size_t n = 0;
    int zeros = 0;

    for (size_t i = 0; i < size; i++) {
        if (zeros == 2 && rbsp[i] <= 3) {
            out[n++] = 3;
            zeros = 0;
        }
        zeros = rbsp[i] == 0 ? zeros + 1 : 0;
        out[n++] = rbsp[i];
    }
    return n;
}

size_t picture_hash_sei(const struct picture_hash *hash, uint8_t nal[PICTURE_HASH_SEI_MAX])
{
    static const uint8_t start[] = {0, 0, 0, 1, SEI_NAL_TYPE};
    uint8_t rbsp[2 + PICTURE_HASH_PAYLOAD_SIZE + 1];

    rbsp[0] = SEI_USER_DATA_UNREGISTERED;
    rbsp[1] = PICTURE_HASH_PAYLOAD_SIZE;
    write_payload(hash, rbsp + 2);
    rbsp[sizeof rbsp - 1] = 0x80; /* rbsp_trailing_bits */
    memcpy(nal, start, sizeof start);
    return sizeof start + escape(rbsp, sizeof rbsp, nal + sizeof start);
}

enum picture_hash_found picture_hash_read(const uint8_t *payload, size_t size, struct picture_hash *hash)
{
    const uint8_t *p = payload + sizeof tuvr_uuid + 1;

    if (size < sizeof tuvr_uuid + 1 || memcmp(payload, tuvr_uuid, sizeof tuvr_uuid) != 0)
        return PICTURE_HASH_NONE;
    if (payload[sizeof tuvr_uuid] != PICTURE_HASH_XXH3_64 || size != PICTURE_HASH_PAYLOAD_SIZE)
        return PICTURE_HASH_UNKNOWN;
    for (int plane = 0; plane < 3; plane++) {
        hash->plane[plane] = 0;
        for (int i = 0; i < 8; i++)
            hash->plane[plane] = hash->plane[plane] << 8 | *p++;
    }
    return PICTURE_HASH_FOUND;
}
