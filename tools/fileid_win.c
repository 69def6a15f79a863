#include "fileid.h"

#include "utf8path_win.h"

#include <io.h>
#include <stdlib.h>

#include <windows.h>

/* fstat() gives no device under Wine, and on Windows no inode: the volume
 * serial number and the file index tell a file apart. */
static int same_identity(const BY_HANDLE_FILE_INFORMATION *a, const BY_HANDLE_FILE_INFORMATION *b)
{
    return a->dwVolumeSerialNumber == b->dwVolumeSerialNumber && a->nFileIndexHigh == b->nFileIndexHigh &&
           a->nFileIndexLow == b->nFileIndexLow;
}

int is_same_file(FILE *fp, const char *path)
{
    const HANDLE open_file = (HANDLE)_get_osfhandle(_fileno(fp));
    wchar_t *wide = wide_path(path);
    /* No access asked: only the identity is read, whoever holds the file open. */
    const HANDLE path_file =
        wide ? CreateFileW(wide, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, NULL)
             : INVALID_HANDLE_VALUE;
    BY_HANDLE_FILE_INFORMATION open_info, path_info;
    int same = 0;

    if (open_file != INVALID_HANDLE_VALUE && path_file != INVALID_HANDLE_VALUE &&
        GetFileInformationByHandle(open_file, &open_info) && GetFileInformationByHandle(path_file, &path_info))
        same = same_identity(&open_info, &path_info);
    if (path_file != INVALID_HANDLE_VALUE)
        CloseHandle(path_file);
    free(wide);
    return same;
}
