#include "utf8path.h"
#include "utf8path_win.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include <windows.h>

/* Below this length every wide call takes a path as it is; CreateDirectory's
 * limit, as LLVM's widenPath() uses it. */
#define SHORT_PATH (MAX_PATH - 12)

static const struct {
    DWORD error;
    int errno_value;
} windows_errors[] = {
    {ERROR_FILE_NOT_FOUND, ENOENT},       {ERROR_PATH_NOT_FOUND, ENOENT},
    {ERROR_INVALID_DRIVE, ENOENT},        {ERROR_BAD_NETPATH, ENOENT},
    {ERROR_BAD_NET_NAME, ENOENT},         {ERROR_INVALID_NAME, ENOENT},
    {ERROR_BAD_PATHNAME, ENOENT},         {ERROR_ACCESS_DENIED, EACCES},
    {ERROR_SHARING_VIOLATION, EACCES},    {ERROR_LOCK_VIOLATION, EACCES},
    {ERROR_FILE_EXISTS, EEXIST},          {ERROR_ALREADY_EXISTS, EEXIST},
    {ERROR_DISK_FULL, ENOSPC},            {ERROR_HANDLE_DISK_FULL, ENOSPC},
    {ERROR_WRITE_PROTECT, EROFS},         {ERROR_NOT_SAME_DEVICE, EXDEV},
    {ERROR_FILENAME_EXCED_RANGE, ENAMETOOLONG},
    {ERROR_NOT_ENOUGH_MEMORY, ENOMEM},    {ERROR_OUTOFMEMORY, ENOMEM},
    {ERROR_NO_UNICODE_TRANSLATION, EILSEQ},
    {ERROR_NOT_SUPPORTED, ENOSYS},        {ERROR_INVALID_FUNCTION, ENOSYS},
    {ERROR_CALL_NOT_IMPLEMENTED, ENOSYS},
};

int errno_from_windows(unsigned long error)
{
    for (size_t i = 0; i < sizeof windows_errors / sizeof windows_errors[0]; i++) {
        if (windows_errors[i].error == error)
            return windows_errors[i].errno_value;
    }
    return EIO;
}

static void *fail_with(DWORD error)
{
    errno = errno_from_windows(error);
    return NULL;
}

wchar_t *wide_from_utf8(const char *text)
{
    const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, NULL, 0);
    wchar_t *wide;

    if (size <= 0)
        return fail_with(GetLastError());
    if (!(wide = malloc((size_t)size * sizeof *wide)))
        return NULL;
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, wide, size) != size) {
        free(wide);
        return fail_with(GetLastError());
    }
    return wide;
}

char *utf8_from_wide(const wchar_t *text)
{
    const int size = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, NULL, 0, NULL, NULL);
    char *utf8;

    if (size <= 0)
        return fail_with(GetLastError());
    if (!(utf8 = malloc((size_t)size)))
        return NULL;
    if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, utf8, size, NULL, NULL) != size) {
        free(utf8);
        return fail_with(GetLastError());
    }
    return utf8;
}

wchar_t *wide_full_path(const wchar_t *path)
{
    const DWORD size = GetFullPathNameW(path, 0, NULL, NULL);
    wchar_t *full;
    DWORD len;

    if (size == 0)
        return fail_with(GetLastError());
    if (!(full = malloc(size * sizeof *full)))
        return NULL;
    len = GetFullPathNameW(path, size, full, NULL);
    if (len == 0 || len >= size) {
        free(full);
        return fail_with(len ? ERROR_FILENAME_EXCED_RANGE : GetLastError());
    }
    return full;
}

static int is_separator(wchar_t c)
{
    return c == L'/' || c == L'\\';
}

/* An absolute path that is long gets the prefix that lifts MAX_PATH:
 * "C:\..." becomes "\\?\C:\...", "\\server\share\..." "\\?\UNC\server\share\...".
 * Takes full over; NULL with errno set. */
static wchar_t *lift_length_limit(wchar_t *full)
{
    const size_t len = wcslen(full);
    const int unc = is_separator(full[0]) && is_separator(full[1]);
    const wchar_t *prefix = unc ? L"\\\\?\\UNC" : L"\\\\?\\";
    const wchar_t *rest = unc ? full + 1 : full;
    wchar_t *lifted;

    if (len < SHORT_PATH || wcsncmp(full, L"\\\\?\\", 4) == 0)
        return full;
    if ((lifted = malloc((wcslen(prefix) + wcslen(rest) + 1) * sizeof *lifted))) {
        wcscpy(lifted, prefix);
        wcscat(lifted, rest);
    }
    free(full);
    return lifted;
}

wchar_t *wide_path(const char *path)
{
    wchar_t *wide = wide_from_utf8(path);
    wchar_t *full;

    if (!wide || wcslen(wide) < SHORT_PATH)
        return wide;
    full = wide_full_path(wide);
    free(wide);
    return full ? lift_length_limit(full) : NULL;
}

wchar_t *wide_path_in(const wchar_t *folder, const char *name)
{
    wchar_t *wide_name = wide_from_utf8(name);
    wchar_t *path = NULL;

    if (wide_name && (path = malloc((wcslen(folder) + wcslen(wide_name) + 1) * sizeof *path))) {
        wcscpy(path, folder);
        wcscat(path, wide_name);
    }
    free(wide_name);
    return path ? lift_length_limit(path) : NULL;
}

FILE *utf8_fopen(const char *path, const char *mode)
{
    wchar_t *wide = wide_path(path);
    wchar_t *wide_mode = wide_from_utf8(mode);
    FILE *fp = wide && wide_mode ? _wfopen(wide, wide_mode) : NULL;
    int err = errno;

    /* Windows opens no folder as a file; say what it is, as Linux would find. */
    if (!fp && wide && err == EACCES) {
        const DWORD attributes = GetFileAttributesW(wide);

        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            err = EISDIR;
    }
    free(wide);
    free(wide_mode);
    errno = err;
    return fp;
}

static int is_drive(const char *path)
{
    const char c = path[0];

    return ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) && path[1] == ':';
}

const char *path_base_name(const char *path)
{
    const char *base = is_drive(path) ? path + 2 : path;

    /* UTF-8 continuation bytes are never ASCII, so a byte walk finds the separators. */
    for (const char *c = base; *c; c++) {
        if (*c == '/' || *c == '\\')
            base = c + 1;
    }
    return base;
}

char *path_native_separators(char *path)
{
    for (char *c = path; *c; c++) {
        if (*c == '/')
            *c = '\\';
    }
    return path;
}

/* "C:\..." or "C:/...", and "\\server\share\..." or "//server/share/...";
 * not "\clips" (the working folder's drive) nor "C:clips" (its folder there). */
static int is_absolute(const char *path)
{
    if (is_drive(path))
        return is_separator((wchar_t)path[2]);
    return is_separator((wchar_t)path[0]) && is_separator((wchar_t)path[1]);
}

char *utf8_absolute_path(const char *path)
{
    wchar_t *wide, *full;
    char *absolute;

    if (is_absolute(path))
        return strdup(path);
    if (!(wide = wide_from_utf8(path)))
        return NULL;
    full = wide_full_path(wide);
    absolute = full ? utf8_from_wide(full) : NULL;
    free(wide);
    free(full);
    return absolute;
}
