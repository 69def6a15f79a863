#include "outfile_p.h"

#include "message.h"
#include "nls.h"
#include "utf8path.h"
#include "utf8path_win.h"

#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#include <windows.h>

/* Set to 1, the output is written as on a drive that refuses delete
 * dispositions: for tests, which have no such drive under Wine. */
#define NAMED_PARTIAL_VARIABLE "TUVR_OUTFILE_NAMED_PARTIAL"

/* Held while a file is created, named or its hidden name removed, so a stop
 * finds the output either whole under its name or about to go. */
static SRWLOCK naming_lock = SRWLOCK_INIT;
static const wchar_t *stop_removes; /* the hidden name a stop deletes */

/* Runs in a thread of its own while the tool goes on, and ends the process
 * as the system's own handler does, once the cleanup is done. A file with
 * its delete disposition set goes when the exit closes it. */
static BOOL WINAPI stop_cleanly(DWORD event)
{
    (void)event;
    AcquireSRWLockExclusive(&naming_lock);
    if (stop_removes)
        DeleteFileW(stop_removes);
    ExitProcess(STATUS_CONTROL_C_EXIT);
}

static void install_stop_handler(void)
{
    static int installed;

    /* Best effort, as on Linux: without it a stop still ends the tool; only a
     * named partial file would stay. */
    if (!installed)
        installed = SetConsoleCtrlHandler(stop_cleanly, TRUE);
}

static HANDLE handle_of(const struct outfile *of)
{
    return (HANDLE)_get_osfhandle(_fileno(of->fp));
}

static int set_delete_on_close(HANDLE h, BOOL delete_file)
{
    FILE_DISPOSITION_INFO info = {delete_file};

    return SetFileInformationByHandle(h, FileDispositionInfo, &info, sizeof info) ? 0 : -1;
}

static int disposition_refused_for_tests(void)
{
    const char *value = getenv(NAMED_PARTIAL_VARIABLE);

    return value && strcmp(value, "1") == 0;
}

/* From now on the hidden name is removed by name: on failure and on a stop. */
static void become_named_partial(struct outfile *of)
{
    of->named_partial = 1;
    stop_removes = of->tmp_path;
}

/* The folder part of target as given ("C:" and "" included), absolute. */
static wchar_t *folder_of(const char *target)
{
    const size_t len = (size_t)(path_base_name(target) - target);
    char *folder = malloc(len + 2);
    wchar_t *wide = NULL, *full = NULL, *with_separator = NULL;
    size_t full_len;

    if (!folder)
        return NULL;
    memcpy(folder, target, len);
    strcpy(folder + len, len ? "" : ".");
    if ((wide = wide_from_utf8(folder)) && (full = wide_full_path(wide))) {
        full_len = wcslen(full);
        if (full_len && full[full_len - 1] == L'\\')
            with_separator = full;
        else if ((with_separator = realloc(full, (full_len + 2) * sizeof *full)))
            wcscpy(with_separator + full_len, L"\\");
        else
            free(full);
    }
    free(folder);
    free(wide);
    return with_separator;
}

/* A fresh hidden file in the folder; INVALID_HANDLE_VALUE with errno set. */
static HANDLE create_hidden(struct outfile *of)
{
    char name[OUTFILE_TEMP_NAME_SIZE];
    HANDLE h = INVALID_HANDLE_VALUE;
    DWORD error = ERROR_FILE_EXISTS;

    for (int i = 0; i < OUTFILE_TEMP_NAME_TRIES && error == ERROR_FILE_EXISTS; i++) {
        outfile_temp_name(name, (unsigned long)GetCurrentProcessId());
        free(of->tmp_path);
        if (!(of->tmp_path = wide_path_in(of->folder, name)))
            return INVALID_HANDLE_VALUE;
        /* DELETE for the disposition and the rename; readers may look in,
         * and a stop may delete it while it is open. */
        h = CreateFileW(of->tmp_path, GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL, CREATE_NEW,
                        FILE_ATTRIBUTE_HIDDEN, NULL);
        error = h == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    }
    if (h == INVALID_HANDLE_VALUE)
        errno = errno_from_windows(error);
    return h;
}

/* The hidden file, to be deleted when closed however the tool ends; where
 * the drive refuses that, a named partial. */
static HANDLE create_partial(struct outfile *of)
{
    HANDLE h;

    AcquireSRWLockExclusive(&naming_lock);
    h = create_hidden(of);
    if (h != INVALID_HANDLE_VALUE && (disposition_refused_for_tests() || set_delete_on_close(h, TRUE) < 0))
        become_named_partial(of);
    ReleaseSRWLockExclusive(&naming_lock);
    return h;
}

static int open_stream(struct outfile *of, HANDLE h)
{
    const int fd = _open_osfhandle((intptr_t)h, _O_WRONLY | _O_BINARY);

    if (fd < 0) {
        CloseHandle(h);
        return -1;
    }
    if (!(of->fp = _fdopen(fd, "wb"))) {
        _close(fd);
        return -1;
    }
    return 0;
}

int outfile_open(struct outfile *of, const char *target)
{
    HANDLE h = INVALID_HANDLE_VALUE;

    if (outfile_begin(of, target) < 0)
        return -1;
    install_stop_handler();
    if (!(of->folder = folder_of(target)) || (h = create_partial(of)) == INVALID_HANDLE_VALUE ||
        open_stream(of, h) < 0) {
        tool_error(_("cannot create output file '%s': %s"), target, strerror(errno));
        outfile_discard(of);
        return -1;
    }
    outfile_buffer_stream(of);
    return 0;
}

/* The hidden name's attribute stays off the final name, which gets what a
 * newly made file gets. A delete-pending file opens by no path: its handle. */
static DWORD unhide(const struct outfile *of)
{
    FILE_BASIC_INFO info;

    if (of->named_partial)
        return SetFileAttributesW(of->tmp_path, FILE_ATTRIBUTE_ARCHIVE) ? 0 : GetLastError();
    memset(&info, 0, sizeof info); /* times of zero are left as they are */
    info.FileAttributes = FILE_ATTRIBUTE_ARCHIVE;
    return SetFileInformationByHandle(handle_of(of), FileBasicInfo, &info, sizeof info) ? 0 : GetLastError();
}

static DWORD rename_by_handle(HANDLE h, const wchar_t *path, BOOL replace)
{
    const size_t bytes = (wcslen(path) + 1) * sizeof *path;
    const size_t needed = offsetof(FILE_RENAME_INFO, FileName) + bytes;
    const size_t size = needed > sizeof(FILE_RENAME_INFO) ? needed : sizeof(FILE_RENAME_INFO);
    FILE_RENAME_INFO *info = calloc(1, size);
    DWORD error = 0;

    if (!info)
        return ERROR_NOT_ENOUGH_MEMORY;
    info->ReplaceIfExists = (BOOLEAN)replace;
    info->RootDirectory = NULL;
    info->FileNameLength = (DWORD)(bytes - sizeof *path); /* without the NUL, which follows all the same */
    memcpy(info->FileName, path, bytes);
    /* Wine sometimes fails without saying why. */
    SetLastError(ERROR_SUCCESS);
    if (!SetFileInformationByHandle(h, FileRenameInfo, info, (DWORD)size))
        error = GetLastError() ? GetLastError() : ERROR_CALL_NOT_IMPLEMENTED;
    free(info);
    return error;
}

/* The drive cannot rename by handle at all, whatever the name. */
static int is_refusal(DWORD error)
{
    return error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION ||
           error == ERROR_CALL_NOT_IMPLEMENTED;
}

/* Renames the file by its handle; its delete disposition is off only for
 * the rename. A drive that refuses the rename makes it a named partial. */
static DWORD rename_kept(struct outfile *of, const wchar_t *path, BOOL replace)
{
    const HANDLE h = handle_of(of);
    DWORD error;

    if (set_delete_on_close(h, FALSE) < 0)
        return GetLastError();
    error = rename_by_handle(h, path, replace);
    if (error && (is_refusal(error) || set_delete_on_close(h, TRUE) < 0))
        become_named_partial(of);
    return error;
}

static DWORD move_named_partial(const struct outfile *of, const wchar_t *path, BOOL replace)
{
    return MoveFileExW(of->tmp_path, path, replace ? MOVEFILE_REPLACE_EXISTING : 0) ? 0 : GetLastError();
}

/* The file's name in its folder, as the wide calls take it; NULL with errno set. */
static wchar_t *wide_name(const struct outfile *of, const char *path)
{
    if (of->folder)
        return wide_path_in(of->folder, path_base_name(path));
    errno = EBADF; /* a zeroed outfile holds no folder */
    return NULL;
}

int outfile_name_as(struct outfile *of, const char *target, int replace)
{
    wchar_t *path = wide_name(of, target);
    DWORD error;

    if (!path)
        return -1;
    AcquireSRWLockExclusive(&naming_lock);
    error = unhide(of);
    if (!error && !of->named_partial) {
        error = rename_kept(of, path, replace);
        /* Refused, it is a named partial now, and moved by name below. */
        if (is_refusal(error))
            error = 0;
    }
    if (!error && of->named_partial)
        error = move_named_partial(of, path, replace);
    if (!error) {
        stop_removes = NULL;
        of->named_partial = 0;
        free(of->tmp_path);
        of->tmp_path = NULL;
    }
    ReleaseSRWLockExclusive(&naming_lock);
    free(path);
    if (!error)
        return 0;
    errno = errno_from_windows(error);
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? 1 : -1;
}

void outfile_remove_name(const struct outfile *of, const char *path)
{
    wchar_t *wide = wide_name(of, path);

    if (wide)
        DeleteFileW(wide);
    free(wide);
}

int outfile_path_taken(const struct outfile *of, const char *path)
{
    wchar_t *wide = wide_name(of, path);
    const int taken = wide && GetFileAttributesW(wide) != INVALID_FILE_ATTRIBUTES;

    free(wide);
    return taken;
}

void outfile_discard(struct outfile *of)
{
    /* Closed, a file with its delete disposition set is gone. */
    outfile_close_stream(of);
    AcquireSRWLockExclusive(&naming_lock);
    if (of->named_partial)
        DeleteFileW(of->tmp_path);
    if (stop_removes == of->tmp_path)
        stop_removes = NULL;
    ReleaseSRWLockExclusive(&naming_lock);
    of->named_partial = 0;
    free(of->tmp_path);
    of->tmp_path = NULL;
    free(of->folder);
    of->folder = NULL;
}
