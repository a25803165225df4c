// Files by name. Names are byte strings throughout the tool (UTF-8 where the
// system's names are text); on Windows they are turned into UTF-16 here, at
// this one boundary, and the wide-character calls are used, so that a list
// of any name can be listed, opened, created and removed.
#pragma once

#include <cstdint>
#include <fcntl.h>
#include <string>

// Flags of open(2) that only some platforms know; elsewhere they mean nothing.
#ifndef O_BINARY
#define O_BINARY 0
#endif
#ifndef O_NOFOLLOW
#define O_NOFOLLOW 0
#endif
#ifndef O_NONBLOCK
#define O_NONBLOCK 0
#endif

// open(2) by name; the descriptor, or -1 with errno set.
int openNamed(const char* name, int flags, int mode = 0);

// Reading and writing at an offset, leaving the descriptor's own offset to
// whoever else reads or writes through it (pread and pwrite; on Windows the
// same through the handle). readSomeAt returns the bytes read (0 at the
// end), or -1 with errno set; the others are false, with errno set, when not
// all the bytes could be read or written.
long long readSomeAt(int fd, char* into, std::size_t size, std::uint64_t offset);
bool readAllAt(int fd, char* into, std::size_t size, std::uint64_t offset);
bool writeAllAt(int fd, const char* bytes, std::size_t size, std::uint64_t offset);

// A descriptor that reads the very file `fd` has open, with an offset of its
// own (dup(2); on Windows a file object of its own, so that reading at an
// offset never moves the position another thread writes at): -1 with errno
// set when none can be had.
int openForReadingAgain(int fd);

// Moves the descriptor's offset to the file's end. False with errno set.
bool seekToEnd(int fd);

// Whether the name leads (through links) to a regular file, and its size.
// False with errno set when it leads nowhere.
bool statNamed(const char* name, bool& regular, std::uint64_t& size);

// True when the name itself (not what a link points to) is a directory.
bool namesDirectory(const char* name);

// True when the name leads (through links) to a directory.
bool leadsToDirectory(const char* name);

// unlink(2) by name: 0, or -1 with errno set.
int removeNamed(const char* name);

// mkdir(2) by name (one level, the mode the umask leaves), and rmdir(2):
// 0, or -1 with errno set.
int makeDirectoryNamed(const char* name);
int removeDirectoryNamed(const char* name);

// rename(2) by name: `to` is replaced by `from` in one step, also where a
// file or a link stands at `to` (the link itself is replaced, its target is
// left alone). 0, or -1 with errno set.
int replaceNamed(const char* from, const char* to);

// Where replaceKeepingNamed left what stood at the target.
enum class KeptAt {
    Nowhere,   // nothing stood there
    From,      // under `from`: the two names were swapped in one step
    Keep,      // under `keep`
};

// Puts `from` at `to` as replaceNamed does, but keeps what stood at `to` (a
// file or a link; a directory there is refused with EISDIR): under `from`,
// the names swapped in one step, where the system can (on Linux), else under
// `keep` (whatever a killed run left there replaced), `to` replaced in one
// step where the system can (on Windows) and otherwise by two renames.
// 0, or -1 with errno set and the names as they were.
int replaceKeepingNamed(const char* from, const char* to, const char* keep, KeptAt& kept);

// Puts the names back as they were before replaceKeepingNamed. 0, or -1
// with errno set.
int undoReplaceKeeping(const char* from, const char* to, const char* keep, KeptAt kept);

// What a name leads to, told apart from every other file of the system: the
// device and inode (on Windows the volume and file index).
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t index = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The identity of what the name leads to (through links). False with errno
// set when it leads nowhere.
bool identifyNamed(const char* name, FileIdentity& identity);

// A directory being listed, one name after the other.
struct DirectoryListing {
    void* handle = nullptr;
    std::string name;   // the last name read
};

// False with errno set when the directory cannot be listed.
bool openListing(DirectoryListing& listing, const char* directory);

// The next name, or nullptr at the end (errno 0) or on an error (errno set).
const char* nextListed(DirectoryListing& listing);

void rewindListing(DirectoryListing& listing);
void closeListing(DirectoryListing& listing);

#ifdef _WIN32
// A UTF-16 name as UTF-8 (empty where it cannot be converted).
std::string utf8(const wchar_t* name);
#endif
