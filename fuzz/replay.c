/* Runs a harness over files and folders of inputs, as libFuzzer would run
 * them once, so the ordinary build and CTest replay every seed and every
 * input that ever crashed. */
#define _POSIX_C_SOURCE 200809L
#include <dirent.h>
#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

static int replay_file(const char *path)
{
    FILE *fp = fopen(path, "rb");
    uint8_t *data = NULL;
    long size;
    int ret = -1;

    if (!fp || fseek(fp, 0, SEEK_END) < 0 || (size = ftell(fp)) < 0 || fseek(fp, 0, SEEK_SET) < 0) {
        fprintf(stderr, "replay: cannot read '%s': %s\n", path, strerror(errno));
        goto end;
    }
    /* One byte more, so an empty file still gets a buffer. */
    if (!(data = malloc((size_t)size + 1)) || fread(data, 1, (size_t)size, fp) != (size_t)size) {
        fprintf(stderr, "replay: cannot read '%s'\n", path);
        goto end;
    }
    fprintf(stderr, "replay: %s (%ld bytes)\n", path, size);
    LLVMFuzzerTestOneInput(data, (size_t)size);
    ret = 0;

end:
    if (fp)
        fclose(fp);
    free(data);
    return ret;
}

static int name_order(const void *a, const void *b)
{
    return strcmp(*(char *const *)a, *(char *const *)b);
}

static void free_names(char **names, size_t n)
{
    while (n > 0)
        free(names[--n]);
    free(names);
}

/* The inputs a folder holds (not its hidden files), in name order, so every
 * system replays them alike; NULL with errno set when it cannot be listed. */
static char **list_inputs(const char *path, size_t *count)
{
    DIR *dir = opendir(path);
    struct dirent *entry;
    char **names = NULL;
    size_t n = 0;

    if (!dir)
        return NULL;
    while ((entry = readdir(dir))) {
        char **more;

        if (entry->d_name[0] == '.')
            continue;
        if (!(more = realloc(names, (n + 1) * sizeof *names)) || !(more[n] = strdup(entry->d_name))) {
            free_names(more ? more : names, n);
            closedir(dir);
            errno = ENOMEM;
            return NULL;
        }
        names = more;
        n++;
    }
    closedir(dir);
    if (n > 0)
        qsort(names, n, sizeof *names, name_order);
    *count = n;
    /* An empty folder still gets a list to free. */
    return names ? names : calloc(1, sizeof *names);
}

/* Returns the number of inputs run, or -1. */
static int replay(const char *path)
{
    struct stat st;
    char **names;
    size_t n = 0;
    int count = 0;

    if (stat(path, &st) < 0) {
        fprintf(stderr, "replay: '%s': %s\n", path, strerror(errno));
        return -1;
    }
    if (!S_ISDIR(st.st_mode))
        return replay_file(path) < 0 ? -1 : 1;
    if (!(names = list_inputs(path, &n))) {
        fprintf(stderr, "replay: cannot list '%s': %s\n", path, strerror(errno));
        return -1;
    }
    for (size_t i = 0; i < n && count >= 0; i++) {
        char *child = malloc(strlen(path) + strlen(names[i]) + 2);
        int r = -1;

        if (child) {
            sprintf(child, "%s/%s", path, names[i]);
            r = replay(child);
        }
        count = r < 0 ? -1 : count + r;
        free(child);
    }
    free_names(names, n);
    return count;
}

int main(int argc, char **argv)
{
    int total = 0;

    if (argc < 2) {
        fprintf(stderr, "usage: %s FILE_OR_FOLDER...\n", argv[0]);
        return 2;
    }
    for (int i = 1; i < argc; i++) {
        int n = replay(argv[i]);

        if (n < 0)
            return 1;
        total += n;
    }
    if (total == 0) {
        fprintf(stderr, "replay: no input found\n");
        return 1;
    }
    printf("replay: %d inputs ran without a fault\n", total);
    return 0;
}
