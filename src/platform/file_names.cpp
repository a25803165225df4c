// Files by name: POSIX calls as they are, or the Windows wide-character calls
// on names converted from and to UTF-8.
#include "platform/file_names.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <dirent.h>
#include <io.h>
#include <vector>
#include <windows.h>
#include <shellapi.h>
#else
#include <dirent.h>
#include <unistd.h>
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

static std::string utf8(const wchar_t* name)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, name, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::string text(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, name, -1, text.data(), size, nullptr, nullptr);
    text.resize(static_cast<std::size_t>(size - 1));
    return text;
}

int openNamed(const char* name, int flags, int mode)
{
    return _wopen(wide(name).c_str(), flags, mode);
}

bool statNamed(const char* name, bool& regular, std::uint64_t& size)
{
    struct _stat64 info;
    if (_wstat64(wide(name).c_str(), &info) != 0)
        return false;
    regular = (info.st_mode & _S_IFMT) == _S_IFREG;
    size = static_cast<std::uint64_t>(info.st_size);
    return true;
}

bool namesDirectory(const char* name)
{
    struct _stat64 info;
    return _wstat64(wide(name).c_str(), &info) == 0 && (info.st_mode & _S_IFMT) == _S_IFDIR;
}

int removeNamed(const char* name)
{
    return _wunlink(wide(name).c_str());
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

char** utf8Arguments(int& argc, char** argv)
{
    static std::vector<std::string> texts;
    static std::vector<char*> pointers;
    int count = 0;
    wchar_t** wideArguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wideArguments == nullptr)
        return argv;
    for (int i = 0; i < count; i++)
        texts.push_back(utf8(wideArguments[i]));
    LocalFree(wideArguments);
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    argc = count;
    return pointers.data();
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

int removeNamed(const char* name)
{
    return unlink(name);
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

char** utf8Arguments(int& /*argc*/, char** argv)
{
    return argv;
}

#endif
