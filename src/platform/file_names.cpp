// Files by name: POSIX calls as they are, or the Windows wide-character calls
// on names converted from and to UTF-8.
#include "platform/file_names.h"

#include <cassert>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>

#include "bytes/fast_paths.h"
#ifdef _WIN32
#include <direct.h>
#include <dirent.h>
#include <io.h>
#include <windows.h>
#else
#include <dirent.h>
#include <unistd.h>

// Sizes, offsets and directory entries of any file system fit: a 32-bit build
// needs large-file support (the build sets it).
static_assert(sizeof(off_t) >= 8, "off_t must hold 64 bits: build with _FILE_OFFSET_BITS=64");
#endif

#ifdef _WIN32

// UTF-8 to UTF-16; a name that is not valid UTF-8 gives an empty string,
// which names nothing.
static std::wstring wide(const char* name)
{
    int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name, -1, nullptr, 0);
    if (size <= 0)
        return std::wstring();
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name, -1, text.data(), size);
    text.resize(static_cast<std::size_t>(size - 1));
    return text;
}

std::string utf8(const wchar_t* name)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, name, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::string text(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, name, -1, text.data(), size, nullptr, nullptr);
    text.resize(static_cast<std::size_t>(size - 1));
    return text;
}

// The errno values of the failures an open meets.
static int errnoOf(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return ENOENT;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_TOO_MANY_OPEN_FILES:
        return EMFILE;
    default:
        return EACCES;
    }
}

// Opens as _wopen does, but shares the file for deletion too, so that an
// interrupt can remove a file the run still holds open (it goes when the
// process ends).
int openNamed(const char* name, int flags, int mode)
{
    DWORD access = (flags & O_ACCMODE) == O_RDONLY ? GENERIC_READ
                   : (flags & O_ACCMODE) == O_WRONLY ? GENERIC_WRITE
                                                      : GENERIC_READ | GENERIC_WRITE;
    DWORD disposition = OPEN_EXISTING;
    if ((flags & O_CREAT) && (flags & O_EXCL))
        disposition = CREATE_NEW;
    else if ((flags & O_CREAT) && (flags & O_TRUNC))
        disposition = CREATE_ALWAYS;
    else if (flags & O_CREAT)
        disposition = OPEN_ALWAYS;
    else if (flags & O_TRUNC)
        disposition = TRUNCATE_EXISTING;
    DWORD attributes = (flags & O_CREAT) && !(mode & _S_IWRITE) ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL;
    HANDLE handle = CreateFileW(wide(name).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, disposition, attributes, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = errnoOf(GetLastError());
        return -1;
    }
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags & (O_RDONLY | O_WRONLY | O_RDWR | O_BINARY));
    if (fd < 0)
        CloseHandle(handle);
    return fd;
}

// The name as _wstat64 takes it: without the slashes that end it (with them
// it finds nothing), unless they are all there is or follow a drive.
static std::wstring statName(const char* name)
{
    std::wstring text = wide(name);
    while (text.size() > 1 && (text.back() == L'/' || text.back() == L'\\') && text[text.size() - 2] != L':')
        text.pop_back();
    return text;
}

bool statNamed(const char* name, bool& regular, std::uint64_t& size)
{
    struct _stat64 info;
    if (_wstat64(statName(name).c_str(), &info) != 0)
        return false;
    regular = (info.st_mode & _S_IFMT) == _S_IFREG;
    size = static_cast<std::uint64_t>(info.st_size);
    return true;
}

bool namesDirectory(const char* name)
{
    struct _stat64 info;
    return _wstat64(statName(name).c_str(), &info) == 0 && (info.st_mode & _S_IFMT) == _S_IFDIR;
}

bool leadsToDirectory(const char* name)
{
    return namesDirectory(name);
}

int removeNamed(const char* name)
{
    return _wunlink(wide(name).c_str());
}

int makeDirectoryNamed(const char* name)
{
    return _wmkdir(wide(name).c_str());
}

int removeDirectoryNamed(const char* name)
{
    return _wrmdir(wide(name).c_str());
}

int replaceNamed(const char* from, const char* to)
{
    if (MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING))
        return 0;
    DWORD error = GetLastError();
    errno = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ENOENT : EACCES;
    return -1;
}

// The two renames that replace `to` keeping it, where it cannot be done in
// one step.
static int replaceKeepingInTwo(const wchar_t* from, const wchar_t* to, const wchar_t* keep)
{
    if (!MoveFileExW(to, keep, MOVEFILE_REPLACE_EXISTING))
        return -1;
    if (MoveFileExW(from, to, 0))
        return 0;
    const DWORD error = GetLastError();
    MoveFileExW(keep, to, 0);
    SetLastError(error);
    return -1;
}

int replaceKeepingNamed(const char* from, const char* to, const char* keep, KeptAt& kept)
{
    const std::wstring wideFrom = wide(from), wideTo = wide(to), wideKeep = wide(keep);
    const DWORD attributes = GetFileAttributesW(wideTo.c_str());
    int status = -1;
    if (attributes == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_FILE_NOT_FOUND) {
        kept = KeptAt::Nowhere;
        status = MoveFileExW(wideFrom.c_str(), wideTo.c_str(), 0) ? 0 : -1;
    } else if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        errno = EISDIR;
        return -1;
    } else {
        kept = KeptAt::Keep;
        if (fastPathsOn() && ReplaceFileW(wideTo.c_str(), wideFrom.c_str(), wideKeep.c_str(),
                                          REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
            return 0;
        // Half done, the replaced file is under `keep`: it goes back first.
        if (fastPathsOn() && GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
            MoveFileExW(wideKeep.c_str(), wideTo.c_str(), 0);
        status = replaceKeepingInTwo(wideFrom.c_str(), wideTo.c_str(), wideKeep.c_str());
    }
    if (status != 0)
        errno = errnoOf(GetLastError());
    return status;
}

int undoReplaceKeeping(const char* from, const char* to, const char* keep, KeptAt kept)
{
    assert(kept != KeptAt::From);
    if (!MoveFileExW(wide(to).c_str(), wide(from).c_str(), 0) ||
        (kept == KeptAt::Keep && !MoveFileExW(wide(keep).c_str(), wide(to).c_str(), 0))) {
        errno = errnoOf(GetLastError());
        return -1;
    }
    return 0;
}

bool identifyNamed(const char* name, FileIdentity& identity)
{
    // Opened for no access at all: a directory too, and whatever is shared.
    HANDLE handle = CreateFileW(wide(name).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = errnoOf(GetLastError());
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = GetFileInformationByHandle(handle, &info) != 0;
    if (!known)
        errno = errnoOf(GetLastError());
    CloseHandle(handle);
    if (!known)
        return false;
    identity.device = info.dwVolumeSerialNumber;
    identity.index = static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    return true;
}

bool openListing(DirectoryListing& listing, const char* directory)
{
    listing.handle = _wopendir(wide(directory).c_str());
    return listing.handle != nullptr;
}

const char* nextListed(DirectoryListing& listing)
{
    errno = 0;
    struct _wdirent* entry = _wreaddir(static_cast<_WDIR*>(listing.handle));
    if (entry == nullptr)
        return nullptr;
    listing.name = utf8(entry->d_name);
    return listing.name.c_str();
}

void rewindListing(DirectoryListing& listing)
{
    _wrewinddir(static_cast<_WDIR*>(listing.handle));
}

void closeListing(DirectoryListing& listing)
{
    _wclosedir(static_cast<_WDIR*>(listing.handle));
    listing.handle = nullptr;
}

#else

int openNamed(const char* name, int flags, int mode)
{
    return open(name, flags, mode);
}

bool statNamed(const char* name, bool& regular, std::uint64_t& size)
{
    struct stat info;
    if (stat(name, &info) != 0)
        return false;
    regular = S_ISREG(info.st_mode);
    size = static_cast<std::uint64_t>(info.st_size);
    return true;
}

bool namesDirectory(const char* name)
{
    struct stat info;
    return lstat(name, &info) == 0 && S_ISDIR(info.st_mode);
}

bool leadsToDirectory(const char* name)
{
    struct stat info;
    return stat(name, &info) == 0 && S_ISDIR(info.st_mode);
}

int removeNamed(const char* name)
{
    return unlink(name);
}

int makeDirectoryNamed(const char* name)
{
    return mkdir(name, 0777);
}

int removeDirectoryNamed(const char* name)
{
    return rmdir(name);
}

int replaceNamed(const char* from, const char* to)
{
#if defined(__linux__) && defined(RENAME_EXCHANGE)
    // A rename over an existing file makes ext4 write the new file's data
    // out there and then (auto_da_alloc), which costs a run more than its
    // whole conversion. Swapping the two names and removing the old file,
    // now under `from`, replaces it as atomically without that. Never a
    // directory: that is the rename's to refuse.
    struct stat target;
    if (lstat(to, &target) == 0 && !S_ISDIR(target.st_mode) &&
        renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_EXCHANGE) == 0) {
        unlink(from);
        return 0;
    }
#endif
    return rename(from, to);
}

// The names swapped in one step; false where the system cannot.
static bool exchangeNamed(const char* one, const char* other)
{
#if defined(__linux__) && defined(RENAME_EXCHANGE)
    return renameat2(AT_FDCWD, one, AT_FDCWD, other, RENAME_EXCHANGE) == 0;
#else
    (void)one;
    (void)other;
    errno = EINVAL;
    return false;
#endif
}

int replaceKeepingNamed(const char* from, const char* to, const char* keep, KeptAt& kept)
{
    struct stat target;
    if (lstat(to, &target) != 0) {
        if (errno != ENOENT)
            return -1;
        kept = KeptAt::Nowhere;
        return rename(from, to);
    }
    if (S_ISDIR(target.st_mode)) {
        errno = EISDIR;
        return -1;
    }
    kept = KeptAt::From;
    if (fastPathsOn() && exchangeNamed(from, to))
        return 0;
    // The two renames: a moment without `to`, where no swap can be had.
    kept = KeptAt::Keep;
    if (rename(to, keep) != 0)
        return -1;
    if (rename(from, to) == 0)
        return 0;
    const int errorNumber = errno;
    rename(keep, to);
    errno = errorNumber;
    return -1;
}

int undoReplaceKeeping(const char* from, const char* to, const char* keep, KeptAt kept)
{
    if (kept == KeptAt::From)
        return exchangeNamed(from, to) ? 0 : -1;
    if (rename(to, from) != 0)
        return -1;
    return kept == KeptAt::Keep ? rename(keep, to) : 0;
}

bool identifyNamed(const char* name, FileIdentity& identity)
{
    struct stat info;
    if (stat(name, &info) != 0)
        return false;
    identity.device = static_cast<std::uint64_t>(info.st_dev);
    identity.index = static_cast<std::uint64_t>(info.st_ino);
    return true;
}

bool openListing(DirectoryListing& listing, const char* directory)
{
    listing.handle = opendir(directory);
    return listing.handle != nullptr;
}

const char* nextListed(DirectoryListing& listing)
{
    errno = 0;
    struct dirent* entry = readdir(static_cast<DIR*>(listing.handle));
    return entry == nullptr ? nullptr : entry->d_name;
}

void rewindListing(DirectoryListing& listing)
{
    rewinddir(static_cast<DIR*>(listing.handle));
}

void closeListing(DirectoryListing& listing)
{
    closedir(static_cast<DIR*>(listing.handle));
    listing.handle = nullptr;
}

#endif

#ifdef _WIN32

// ReadFile and WriteFile at an offset move a synchronous handle's file
// pointer past what they moved, where pread and pwrite leave it: the
// pointer is put back after each, so that the descriptor's own writes go on
// where they were. Not atomic: nothing else reads or writes through the
// handle meanwhile (the copy's target is read through a file object of its
// own, openForReadingAgain's).
class KeptFilePointer {
public:
    explicit KeptFilePointer(HANDLE handle) : handle_(handle)
    {
        kept_ = SetFilePointerEx(handle_, LARGE_INTEGER{}, &at_, FILE_CURRENT) != 0;
    }
    ~KeptFilePointer()
    {
        if (kept_)
            SetFilePointerEx(handle_, at_, nullptr, FILE_BEGIN);
    }
    KeptFilePointer(const KeptFilePointer&) = delete;
    KeptFilePointer& operator=(const KeptFilePointer&) = delete;

private:
    HANDLE handle_;
    LARGE_INTEGER at_{};
    bool kept_;
};

// The offset of a read or write, as ReadFile and WriteFile take it.
static OVERLAPPED overlappedAt(std::uint64_t offset)
{
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

// The bytes one call moves at most: a gibibyte, well inside a DWORD.
static DWORD oneCallOf(std::size_t size)
{
    return size < (1u << 30) ? static_cast<DWORD>(size) : (1u << 30);
}

long long readSomeAt(int fd, char* into, std::size_t size, std::uint64_t offset)
{
    OVERLAPPED at = overlappedAt(offset);
    DWORD got = 0;
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    KeptFilePointer kept(handle);
    if (ReadFile(handle, into, oneCallOf(size), &got, &at))
        return got;
    if (GetLastError() == ERROR_HANDLE_EOF)
        return 0;
    errno = EIO;
    return -1;
}

static long long writeSomeAt(int fd, const char* bytes, std::size_t size, std::uint64_t offset)
{
    OVERLAPPED at = overlappedAt(offset);
    DWORD wrote = 0;
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    KeptFilePointer kept(handle);
    if (WriteFile(handle, bytes, oneCallOf(size), &wrote, &at))
        return wrote;
    errno = errnoOf(GetLastError());
    return -1;
}

bool seekToEnd(int fd)
{
    return _lseeki64(fd, 0, SEEK_END) >= 0;
}

int openForReadingAgain(int fd)
{
    const HANDLE handle = ReOpenFile(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = errnoOf(GetLastError());
        return -1;
    }
    const int reader = _open_osfhandle(reinterpret_cast<intptr_t>(handle), O_RDONLY | O_BINARY);
    if (reader < 0)
        CloseHandle(handle);
    return reader;
}

#else

long long readSomeAt(int fd, char* into, std::size_t size, std::uint64_t offset)
{
    return pread(fd, into, size, static_cast<off_t>(offset));
}

static long long writeSomeAt(int fd, const char* bytes, std::size_t size, std::uint64_t offset)
{
    return pwrite(fd, bytes, size, static_cast<off_t>(offset));
}

bool seekToEnd(int fd)
{
    return lseek(fd, 0, SEEK_END) >= 0;
}

int openForReadingAgain(int fd)
{
    return dup(fd);
}

#endif

bool readAllAt(int fd, char* into, std::size_t size, std::uint64_t offset)
{
    while (size > 0) {
        const long long got = readSomeAt(fd, into, size, offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            if (got == 0)
                errno = EIO;   // the file is shorter than what was written to it
            return false;
        }
        into += got;
        size -= static_cast<std::size_t>(got);
        offset += static_cast<std::uint64_t>(got);
    }
    return true;
}

bool writeAllAt(int fd, const char* bytes, std::size_t size, std::uint64_t offset)
{
    while (size > 0) {
        const long long wrote = writeSomeAt(fd, bytes, size, offset);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0) {
            if (wrote == 0)
                errno = ENOSPC;
            return false;
        }
        bytes += wrote;
        size -= static_cast<std::size_t>(wrote);
        offset += static_cast<std::uint64_t>(wrote);
    }
    return true;
}
