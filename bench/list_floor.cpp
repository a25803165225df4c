// The floor of the list DATs' run: the same reads and file replacements as
// "softlist2dat --per-list OUT", without the scan. Run in the lists'
// directory, it copies every *.xml file into one temporary file and reads
// that back, then, for each DAT already in OUT, writes as many bytes as it
// holds under a new name and swaps it in (exchanging the two names and
// removing the old file, as the tool replaces a DAT). Usage: list_floor OUT
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

static char buffer[256 * 1024];

static void fail(const char* what, const std::string& name)
{
    std::fprintf(stderr, "list_floor: %s '%s': %s\n", what, name.c_str(), std::strerror(errno));
    std::exit(1);
}

static std::vector<std::string> namesIn(const std::string& directory, const char* suffix)
{
    std::vector<std::string> names;
    DIR* dir = opendir(directory.c_str());
    if (dir == nullptr)
        fail("cannot list", directory);
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name.size() > std::strlen(suffix) && name.ends_with(suffix))
            names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

// Appends the file's bytes to `to`.
static void append(const std::string& name, int to)
{
    int from = open(name.c_str(), O_RDONLY);
    if (from < 0)
        fail("cannot open", name);
    for (ssize_t got; (got = read(from, buffer, sizeof buffer)) > 0;)
        if (write(to, buffer, static_cast<std::size_t>(got)) != got)
            fail("cannot write", "t.tmp");
    close(from);
}

// Writes `size` bytes into a new file.
static void writeNew(const std::string& name, off_t size)
{
    int to = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (to < 0)
        fail("cannot create", name);
    for (off_t left = size; left > 0;) {
        std::size_t chunk = left < static_cast<off_t>(sizeof buffer) ? static_cast<std::size_t>(left) : sizeof buffer;
        if (write(to, buffer, chunk) != static_cast<ssize_t>(chunk))
            fail("cannot write", name);
        left -= static_cast<off_t>(chunk);
    }
    close(to);
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: list_floor OUT\n", stderr);
        return 2;
    }
    const std::string out = argv[1];
    int temporary = open("t.tmp", O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (temporary < 0)
        fail("cannot create", "t.tmp");
    for (const std::string& name : namesIn(".", ".xml"))
        append(name, temporary);
    close(temporary);
    int back = open("t.tmp", O_RDONLY);
    while (read(back, buffer, sizeof buffer) > 0) {
    }
    close(back);
    unlink("t.tmp");
    for (const std::string& name : namesIn(out, ".dat")) {
        const std::string target = out + "/" + name;
        const std::string part = target + ".part";
        struct stat info;
        if (stat(target.c_str(), &info) != 0)
            fail("cannot stat", target);
        writeNew(part, info.st_size);
        if (renameat2(AT_FDCWD, part.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) != 0)
            fail("cannot swap", target);
        unlink(part.c_str());
    }
    return 0;
}
