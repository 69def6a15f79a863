#ifndef TUVR_TOOLS_CONFIGFILE_H
#define TUVR_TOOLS_CONFIGFILE_H

/* The six "key value" lines the program writes for the encoder. */
struct encoder_config {
    char *file_in;
    char *file_dat;
    int width;
    int height;
    int nframes;
    int quality_param;
};

#include <stddef.h>

/* The largest int: the program's frame-count field accepts the same. */
#define CONFIG_MAX_NFRAMES 2147483647
#define CONFIG_MAX_QP 51

/* Reads and checks the config file at path. Returns 0, or -1 after printing a
 * one-line error naming the file, the key and the value. */
int config_load(const char *path, struct encoder_config *cfg);

/* The same for len bytes of config text already in memory; path only names
 * them in messages. */
int config_parse(const char *text, size_t len, const char *path, struct encoder_config *cfg);

void config_free(struct encoder_config *cfg);

#endif
