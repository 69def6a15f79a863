#define _POSIX_C_SOURCE 200809L
#include "configfile.h"

#include "message.h"
#include "nls.h"
#include "picturelimit.h"
#include "utf8path.h"

#include <ctype.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* The program writes a few hundred bytes; anything this big is not a config. */
#define CONFIG_MAX_BYTES 65536

enum config_key { KEY_FILE_IN, KEY_WIDTH, KEY_HEIGHT, KEY_NFRAMES, KEY_FILE_DAT, KEY_QUALITY, KEY_COUNT };

static const char *const key_names[KEY_COUNT] = {
    "file_in", "width", "height", "nframes", "file_dat", "quality_param",
};

struct config_text {
    const char *path;
    const char *values[KEY_COUNT];
    int lines[KEY_COUNT];
};

static char *read_text(const char *path, size_t *len)
{
    FILE *fp = NULL;
    char *text = NULL;
    int ok = 0;

    if (!(fp = utf8_fopen(path, "rb"))) {
        tool_error(_("cannot open config file '%s': %s"), path, strerror(errno));
        goto end;
    }
    if (!(text = malloc(CONFIG_MAX_BYTES + 1))) {
        tool_error(_("out of memory"));
        goto end;
    }
    *len = fread(text, 1, CONFIG_MAX_BYTES + 1, fp);
    if (ferror(fp)) {
        tool_error(_("cannot read config file '%s': %s"), path, strerror(errno ? errno : EIO));
        goto end;
    }
    ok = 1;

end:
    if (fp)
        fclose(fp);
    if (!ok) {
        free(text);
        text = NULL;
    }
    return text;
}

static int find_key(const char *key)
{
    for (int k = 0; k < KEY_COUNT; k++) {
        if (strcmp(key, key_names[k]) == 0)
            return k;
    }
    return -1;
}

/* line is NUL-terminated and writable; the value runs from the first space to its end. */
static int parse_line(struct config_text *ct, int lineno, char *line)
{
    char *space;
    int k;

    if (strchr(line, '\r')) {
        tool_error(_("config file '%s' line %d ends in CR: lines must end in LF only"), ct->path, lineno);
        return -1;
    }
    if (*line == '\0') {
        tool_error(_("config file '%s' line %d is empty"), ct->path, lineno);
        return -1;
    }
    space = strchr(line, ' ');
    if (space)
        *space = '\0';
    k = find_key(line);
    if (k < 0) {
        tool_error(_("config file '%s' line %d: unknown key '%.64s'"), ct->path, lineno, line);
        return -1;
    }
    if (ct->values[k]) {
        tool_error(_("config file '%s' line %d: key '%s' repeats line %d"), ct->path, lineno, key_names[k],
                   ct->lines[k]);
        return -1;
    }
    ct->values[k] = space ? space + 1 : "";
    ct->lines[k] = lineno;
    return 0;
}

static int split_lines(struct config_text *ct, char *text, size_t len)
{
    size_t pos = 0;
    int lineno = 0;

    if (len == 0) {
        tool_error(_("config file '%s' is empty"), ct->path);
        return -1;
    }
    if (memchr(text, '\0', len)) {
        tool_error(_("config file '%s' contains a NUL byte: not a text file"), ct->path);
        return -1;
    }
    while (pos < len) {
        char *line = text + pos;
        char *eol = memchr(line, '\n', len - pos);
        size_t linelen = eol ? (size_t)(eol - line) : len - pos;

        line[linelen] = '\0';
        pos += linelen + 1;
        if (parse_line(ct, ++lineno, line) < 0)
            return -1;
    }
    for (int k = 0; k < KEY_COUNT; k++) {
        if (!ct->values[k]) {
            tool_error(_("config file '%s' has no key '%s'"), ct->path, key_names[k]);
            return -1;
        }
    }
    return 0;
}

static int is_number_text(const char *s)
{
    if (*s == '-')
        s++;
    if (!*s)
        return 0;
    for (; *s; s++) {
        if (!isdigit((unsigned char)*s))
            return 0;
    }
    return 1;
}

/* A whole number from min to max, and even when even is set. */
static int parse_number(const struct config_text *ct, int k, long min, long max, int even, int *out)
{
    const char *text = ct->values[k];
    long v;

    if (!is_number_text(text)) {
        tool_error(_("config file '%s': %s '%.64s' is not a whole number"), ct->path, key_names[k], text);
        return -1;
    }
    errno = 0;
    v = strtol(text, NULL, 10);
    if (errno == ERANGE || v < min || v > max || (even && v % 2 != 0)) {
        if (even)
            tool_error(_("config file '%s': %s %.64s is not valid: it must be an even number from %ld to %ld"),
                       ct->path, key_names[k], text, min, max);
        else
            tool_error(_("config file '%s': %s %.64s is not valid: it must be from %ld to %ld"), ct->path,
                       key_names[k], text, min, max);
        return -1;
    }
    *out = (int)v;
    return 0;
}

static int copy_path(const struct config_text *ct, int k, char **out)
{
    if (!*ct->values[k]) {
        tool_error(_("config file '%s': %s is empty"), ct->path, key_names[k]);
        return -1;
    }
    if (!(*out = strdup(ct->values[k]))) {
        tool_error(_("out of memory"));
        return -1;
    }
    return 0;
}

static int convert_values(const struct config_text *ct, struct encoder_config *cfg)
{
    if (copy_path(ct, KEY_FILE_IN, &cfg->file_in) < 0 || copy_path(ct, KEY_FILE_DAT, &cfg->file_dat) < 0)
        return -1;
    if (parse_number(ct, KEY_WIDTH, 2, PICTURE_MAX_SIDE, 1, &cfg->width) < 0 ||
        parse_number(ct, KEY_HEIGHT, 2, PICTURE_MAX_SIDE, 1, &cfg->height) < 0 ||
        parse_number(ct, KEY_NFRAMES, 1, CONFIG_MAX_NFRAMES, 0, &cfg->nframes) < 0 ||
        parse_number(ct, KEY_QUALITY, 0, CONFIG_MAX_QP, 0, &cfg->quality_param) < 0)
        return -1;
    if (!picture_fits(cfg->width, cfg->height)) {
        tool_error(_("config file '%s': a %dx%d picture is too large: the largest has %d pixels (%dx%d)"), ct->path,
                   cfg->width, cfg->height, PICTURE_MAX_PIXELS, PICTURE_MAX_SIDE, PICTURE_MAX_PIXELS / PICTURE_MAX_SIDE);
        return -1;
    }
    return 0;
}

int config_parse(const char *text, size_t len, const char *path, struct encoder_config *cfg)
{
    struct config_text ct = {.path = path};
    char *copy = NULL;
    int ret = -1;

    memset(cfg, 0, sizeof *cfg);
    if (len > CONFIG_MAX_BYTES) {
        tool_error(_("config file '%s' is larger than %d bytes"), path, CONFIG_MAX_BYTES);
        goto end;
    }
    /* split_lines() cuts a writable copy into NUL-terminated lines. */
    if (!(copy = malloc(len + 1))) {
        tool_error(_("out of memory"));
        goto end;
    }
    memcpy(copy, text, len);
    copy[len] = '\0';
    if (split_lines(&ct, copy, len) < 0 || convert_values(&ct, cfg) < 0)
        goto end;
    ret = 0;

end:
    free(copy);
    if (ret < 0)
        config_free(cfg);
    return ret;
}

int config_load(const char *path, struct encoder_config *cfg)
{
    size_t len = 0;
    char *text = read_text(path, &len);
    int ret;

    memset(cfg, 0, sizeof *cfg);
    if (!text)
        return -1;
    ret = config_parse(text, len, path, cfg);
    free(text);
    return ret;
}

void config_free(struct encoder_config *cfg)
{
    free(cfg->file_in);
    free(cfg->file_dat);
    cfg->file_in = NULL;
    cfg->file_dat = NULL;
}
