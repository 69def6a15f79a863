#include "outfile_p.h"

#include "message.h"
#include "nls.h"
#include "utf8path.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

#define OUTFILE_MAX_SUFFIX 9999
/* Raw video is written in large pieces; a big stdio buffer saves system calls. */
#define OUTFILE_BUFFER (1 << 20)

void outfile_temp_name(char name[OUTFILE_TEMP_NAME_SIZE], unsigned long pid)
{
    static unsigned counter;

    snprintf(name, OUTFILE_TEMP_NAME_SIZE, OUTFILE_TEMP_PREFIX "%lu-%u", pid, counter++);
}

int outfile_begin(struct outfile *of, const char *target)
{
    memset(of, 0, sizeof *of);
    if (*path_base_name(target))
        return 0;
    tool_error(_("cannot create output file '%s': it names a folder"), target);
    return -1;
}

void outfile_buffer_stream(struct outfile *of)
{
    if ((of->buf = malloc(OUTFILE_BUFFER)))
        setvbuf(of->fp, of->buf, _IOFBF, OUTFILE_BUFFER);
}

static int finish_writing(struct outfile *of, const char *target)
{
    if (fflush(of->fp) == 0 && !ferror(of->fp))
        return 0;
    tool_error(_("cannot write output file '%s': %s"), target, strerror(errno ? errno : EIO));
    return -1;
}

void outfile_close_stream(struct outfile *of)
{
    if (of->fp)
        fclose(of->fp);
    of->fp = NULL;
    free(of->buf);
    of->buf = NULL;
}

/* Everything was flushed before the file got its name, yet a drive may
 * report a failed write only now; then the name goes again. */
static int close_named(struct outfile *of, const char *path)
{
    int ret = fclose(of->fp);

    of->fp = NULL;
    if (ret == 0)
        return 0;
    tool_error(_("cannot write output file '%s': %s"), path, strerror(errno));
    outfile_remove_name(of, path);
    return -1;
}

int outfile_commit(struct outfile *of, const char *target)
{
    int ret = -1;

    if (finish_writing(of, target) == 0) {
        if (outfile_name_as(of, target, 1) != 0)
            tool_error(_("cannot create output file '%s': %s"), target, strerror(errno));
        else
            ret = close_named(of, target);
    }
    outfile_discard(of);
    return ret;
}

static char *candidate_name(const char *stem, const char *ext, int n)
{
    size_t size = strlen(stem) + strlen(ext) + 16;
    char *name = malloc(size);

    if (!name)
        return NULL;
    if (n == 0)
        snprintf(name, size, "%s%s", stem, ext);
    else
        snprintf(name, size, "%s-%d%s", stem, n, ext);
    return name;
}

/* The suffix of the first name outfile_commit_new() tries that nothing
 * takes now; 0 when all are taken. */
static int first_free_suffix(const struct outfile *of, const char *stem, const char *ext)
{
    for (int n = 0; n <= OUTFILE_MAX_SUFFIX; n++) {
        char *path = candidate_name(stem, ext, n);
        const int taken = path && outfile_path_taken(of, path);

        free(path);
        if (!taken)
            return n;
    }
    return 0;
}

char *outfile_free_name(const struct outfile *of, const char *stem, const char *ext)
{
    return candidate_name(stem, ext, first_free_suffix(of, stem, ext));
}

char *outfile_commit_new(struct outfile *of, const char *stem, const char *ext)
{
    const int first = first_free_suffix(of, stem, ext);
    char *path = NULL;
    int named = -1;

    for (int n = first; n <= OUTFILE_MAX_SUFFIX; n++) {
        free(path);
        if (!(path = candidate_name(stem, ext, n))) {
            tool_error(_("out of memory"));
            goto end;
        }
        if (n == first && finish_writing(of, path) < 0)
            goto end;
        named = outfile_name_as(of, path, 0);
        if (named != 1)
            break;
    }
    if (named == 1)
        tool_error(_("no free output name: '%s' up to suffix -%d all exist"), path, OUTFILE_MAX_SUFFIX);
    else if (named < 0)
        tool_error(_("cannot create output file '%s': %s"), path, strerror(errno));
    else if (close_named(of, path) < 0)
        named = -1;

end:
    outfile_discard(of);
    if (named == 0)
        return path;
    free(path);
    return NULL;
}
