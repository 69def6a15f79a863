#include "picturehash.h"

#include <string.h>

/* Header only, so the tools need no xxHash library where they are built. */
#define XXH_INLINE_ALL
#include <xxhash.h>

#define SEI_NAL_TYPE 6
#define SEI_USER_DATA_UNREGISTERED 5
#define INTERLEAVED_CHUNK 1024

static const uint8_t tuvr_uuid[PICTURE_HASH_UUID_SIZE] = {0xb0, 0xff, 0x12, 0x35, 0x85, 0x4c, 0x46, 0xe5,
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

static uint8_t *put_number(uint8_t *p, uint64_t value, int bytes)
{
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        *p++ = (uint8_t)(value >> shift);
    return p;
}

static uint64_t get_number(const uint8_t **p, int bytes)
{
    uint64_t value = 0;

    for (int i = 0; i < bytes; i++)
        value = value << 8 | *(*p)++;
    return value;
}

static void write_payload(const struct picture_hash *hash, const struct picture_place *place, uint8_t *p)
{
    memcpy(p, tuvr_uuid, sizeof tuvr_uuid);
    p += sizeof tuvr_uuid;
    *p++ = PICTURE_HASH_XXH3_64_PLACED;
    *p++ = place->last ? PICTURE_PLACE_LAST : 0;
    p = put_number(p, place->display, 4);
    p = put_number(p, place->decode, 4);
    for (int plane = 0; plane < 3; plane++)
        p = put_number(p, hash->plane[plane], 8);
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

size_t picture_hash_sei(const struct picture_hash *hash, const struct picture_place *place,
                        uint8_t nal[PICTURE_HASH_SEI_MAX])
{
    static const uint8_t start[] = {0, 0, 0, 1, SEI_NAL_TYPE};
    uint8_t rbsp[2 + PICTURE_HASH_PLACED_SIZE + 1];

    rbsp[0] = SEI_USER_DATA_UNREGISTERED;
    rbsp[1] = PICTURE_HASH_PLACED_SIZE;
    write_payload(hash, place, rbsp + 2);
    rbsp[sizeof rbsp - 1] = 0x80; /* rbsp_trailing_bits */
    memcpy(nal, start, sizeof start);
    return sizeof start + escape(rbsp, sizeof rbsp, nal + sizeof start);
}

/* The place of a payload of the placed kind, or -1 for flags this build does not know. */
static int read_place(const uint8_t **p, struct picture_place *place)
{
    const uint8_t flags = *(*p)++;

    if (flags & ~PICTURE_PLACE_LAST)
        return -1;
    place->last = flags & PICTURE_PLACE_LAST;
    place->display = (uint32_t)get_number(p, 4);
    place->decode = (uint32_t)get_number(p, 4);
    return 0;
}

/* The size of a payload of that kind, 0 for a kind this build does not know. */
static size_t payload_size(int kind)
{
    switch (kind) {
    case PICTURE_HASH_XXH3_64:
        return PICTURE_HASH_UUID_SIZE + 1 + 3 * 8;
    case PICTURE_HASH_XXH3_64_PLACED:
        return PICTURE_HASH_PLACED_SIZE;
    }
    return 0;
}

enum picture_hash_found picture_hash_read(const uint8_t *payload, size_t size, struct picture_hash *hash,
                                          struct picture_place *place)
{
    const uint8_t *p = payload + sizeof tuvr_uuid + 1;
    int kind;

    if (size < sizeof tuvr_uuid || memcmp(payload, tuvr_uuid, sizeof tuvr_uuid) != 0)
        return PICTURE_HASH_NONE;
    /* A kind or size that damage changed must not let a picture pass unchecked. */
    kind = size > sizeof tuvr_uuid ? payload[sizeof tuvr_uuid] : 0;
    if (size != payload_size(kind) || (kind == PICTURE_HASH_XXH3_64_PLACED && read_place(&p, place) < 0))
        return PICTURE_HASH_DAMAGED;
    for (int plane = 0; plane < 3; plane++)
        hash->plane[plane] = get_number(&p, 8);
    return kind == PICTURE_HASH_XXH3_64_PLACED ? PICTURE_HASH_PLACED : PICTURE_HASH_FOUND;
}
