#ifndef TUVR_TOOLS_PICTUREHASH_H
#define TUVR_TOOLS_PICTUREHASH_H

#include <stddef.h>
#include <stdint.h>

/* A checksum of each plane of a picture as a decoder outputs it. H.264
 * carries none of its own, so the encoder writes one with every picture, in
 * a user data SEI message under a UUID of ours, and the decoder compares:
 * damage libavcodec cannot see would otherwise pass for good frames. Other
 * decoders skip the message. */

/* The payload: the UUID, a byte for the kind of hash, then one hash a plane
 * (Y, U, V), most significant byte first. */
#define PICTURE_HASH_PAYLOAD_SIZE (16 + 1 + 3 * 8)
/* Room for the whole SEI NAL unit with its start code, emulation prevention included. */
#define PICTURE_HASH_SEI_MAX (4 + 3 + PICTURE_HASH_PAYLOAD_SIZE + 1 + (3 + PICTURE_HASH_PAYLOAD_SIZE + 1) / 2)

/* XXH3 with 64 bits over each plane's visible rows back to back: a 1080p
 * picture takes a quarter of a millisecond, against 1 ms for CRC-32. */
#define PICTURE_HASH_XXH3_64 1

struct picture_hash {
    uint64_t plane[3];
};

enum picture_hash_found {
    PICTURE_HASH_NONE,    /* not our payload */
    PICTURE_HASH_UNKNOWN, /* ours, of a kind this build cannot check */
    PICTURE_HASH_FOUND
};

uint64_t picture_hash_plane(const uint8_t *data, ptrdiff_t linesize, int width, int height);

/* Hashes the two planes of interleaved chroma (U, V, U, V, ...) as if each
 * stood alone; width counts the samples of one plane. */
void picture_hash_interleaved(const uint8_t *data, ptrdiff_t linesize, int width, int height, uint64_t *u,
                              uint64_t *v);

/* Writes the SEI NAL unit carrying hash, start code first; returns its size. */
size_t picture_hash_sei(const struct picture_hash *hash, uint8_t nal[PICTURE_HASH_SEI_MAX]);

/* Reads a user data unregistered SEI payload, UUID first. */
enum picture_hash_found picture_hash_read(const uint8_t *payload, size_t size, struct picture_hash *hash);

#endif
