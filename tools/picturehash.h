#ifndef TUVR_TOOLS_PICTUREHASH_H
#define TUVR_TOOLS_PICTUREHASH_H

#include <stddef.h>
#include <stdint.h>

/* A checksum of each plane of a picture as a decoder outputs it, and the
 * picture's place in its stream. H.264 carries neither of its own, so the
 * encoder writes them with every picture, in a user data SEI message under a
 * UUID of ours, and the decoder compares: damage libavcodec cannot see, and
 * a picture lost, doubled or moved, would otherwise pass for good frames.
 * Other decoders skip the message. */

/* The payload: the UUID, a byte for its kind, then for PICTURE_HASH_PLACED
 * a byte of flags (PICTURE_PLACE_LAST), the display number and the decode
 * number (32 bits each); last one hash a plane (Y, U, V). Every number most
 * significant byte first. */
#define PICTURE_HASH_UUID_SIZE 16
#define PICTURE_HASH_PLACED_SIZE (PICTURE_HASH_UUID_SIZE + 1 + 1 + 2 * 4 + 3 * 8)
/* Room for the whole SEI NAL unit with its start code, emulation prevention included. */
#define PICTURE_HASH_SEI_MAX (4 + 3 + PICTURE_HASH_PLACED_SIZE + 1 + (3 + PICTURE_HASH_PLACED_SIZE + 1) / 2)

/* The kinds. XXH3 with 64 bits over each plane's visible rows back to back:
 * a 1080p picture takes a quarter of a millisecond, against 1 ms for CRC-32.
 * Streams of the first kind, hashes alone, still decode checked. */
#define PICTURE_HASH_XXH3_64 1
#define PICTURE_HASH_XXH3_64_PLACED 2

#define PICTURE_PLACE_LAST 1

/* Where a picture stands in its stream. */
struct picture_place {
    uint32_t display; /* its frame's number in display order, from 0 */
    uint32_t decode;  /* the pictures the stream holds before it */
    int last;         /* no picture follows it in the stream */
};

struct picture_hash {
    uint64_t plane[3];
};

enum picture_hash_found {
    PICTURE_HASH_NONE,    /* not our payload */
    PICTURE_HASH_DAMAGED, /* ours, but of no kind or size this build knows */
    PICTURE_HASH_FOUND,   /* the hashes alone, of the first kind */
    PICTURE_HASH_PLACED   /* the hashes and the place */
};

uint64_t picture_hash_plane(const uint8_t *data, ptrdiff_t linesize, int width, int height);

/* Hashes the two planes of interleaved chroma (U, V, U, V, ...) as if each
 * stood alone; width counts the samples of one plane. */
void picture_hash_interleaved(const uint8_t *data, ptrdiff_t linesize, int width, int height, uint64_t *u,
                              uint64_t *v);

/* Writes the SEI NAL unit carrying hash and place, start code first; returns its size. */
size_t picture_hash_sei(const struct picture_hash *hash, const struct picture_place *place,
                        uint8_t nal[PICTURE_HASH_SEI_MAX]);

/* Reads a user data unregistered SEI payload, UUID first; place is filled
 * for PICTURE_HASH_PLACED only. */
enum picture_hash_found picture_hash_read(const uint8_t *payload, size_t size, struct picture_hash *hash,
                                          struct picture_place *place);

#endif
