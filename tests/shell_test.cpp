// The in-process "del" and "copy /B *.xml" commands: what they match, the
// order they copy in, what they print, and what they leave after a failure.
#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "platform/process.h"
#include "platform/shell.h"
#include "test_support.h"

namespace {

// Runs one command in a child process inside `directory`, so the test's own
// working directory and streams stay untouched.
ProcessResult shellIn(const std::string& directory, const std::string& command, long fileSizeLimit = -1)
{
    TempDir capture;
    std::fflush(stdout);
    pid_t child = fork();
    if (child == 0) {
        if (!std::freopen(capture.file("out").c_str(), "w", stdout) ||
            !std::freopen(capture.file("err").c_str(), "w", stderr) || chdir(directory.c_str()) != 0)
            _exit(120);
        if (fileSizeLimit >= 0) {
            struct rlimit limit = {static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        prepareProcess();
        int status = runShell(command.c_str());
        std::fflush(stdout);
        std::fflush(stderr);
        _exit(status);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ProcessResult result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = readFile(capture.file("out"));
    result.err = readFile(capture.file("err"));
    return result;
}

const std::string copyCommand = "copy /B *.xml t.tmp";

TEST(Copy, ConcatenatesMatchingFilesInByteOrder)
{
    TempDir dir;
    writeFile(dir.file("b.xml"), "B\n");
    writeFile(dir.file("A.XML"), "upper\n");
    writeFile(dir.file("a.xml"), "a-no-newline");
    writeFile(dir.file("c.Xml"), "");
    writeFile(dir.file("_.xml"), "_\r\n");
    writeFile(dir.file(".hidden.xml"), "hidden\n");
    writeFile(dir.file("d.xml.bak"), "bak\n");
    writeFile(dir.file("xml"), "bare\n");
    writeFile(dir.file(".xml"), "dot\n");
    mkdir(dir.file("dir.xml").c_str(), 0755);
    mkfifo(dir.file("fifo.xml").c_str(), 0644);
    symlink("b.xml", dir.file("link.xml").c_str());
    symlink("missing", dir.file("dangling.xml").c_str());

    ProcessResult r = shellIn(dir.path(), copyCommand);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "A.XML\n_.xml\na.xml\nb.xml\nc.Xml\nlink.xml\n6 file(s) copied.\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(readFile(dir.file("t.tmp")), "upper\n_\r\na-no-newlineB\nB\n");
}

TEST(Copy, ReplacesAStaleTargetAndNeverWritesThroughALink)
{
    TempDir dir;
    writeFile(dir.file("a.xml"), "fresh\n");
    writeFile(dir.file("victim"), "keep me\n");
    symlink("victim", dir.file("t.tmp").c_str());
    ProcessResult r = shellIn(dir.path(), copyCommand);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(readFile(dir.file("victim")), "keep me\n");
    struct stat info;
    ASSERT_EQ(lstat(dir.file("t.tmp").c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(readFile(dir.file("t.tmp")), "fresh\n");
}

struct CopyFailure {
    const char* what;
    void (*prepare)(const TempDir&);
    long fileSizeLimit;
    std::string err;
};

TEST(Copy, FailuresReportAndLeaveNoTarget)
{
    const CopyFailure cases[] = {
        {"no source at all",
         [](const TempDir& d) { writeFile(d.file("t.tmp"), "stale\n"); }, -1, "copy: no *.xml file found\n"},
        {"only a directory matches",
         [](const TempDir& d) { mkdir(d.file("x.xml").c_str(), 0755); }, -1, "copy: no *.xml file found\n"},
        {"target is a directory",
         [](const TempDir& d) {
             writeFile(d.file("a.xml"), "a\n");
             mkdir(d.file("t.tmp").c_str(), 0755);
         },
         -1, "copy: cannot remove 't.tmp': Is a directory\n"},
        {"target outgrows the file-size limit",
         [](const TempDir& d) { writeFile(d.file("a.xml"), std::string(10000, 'a')); }, 4096,
         "copy: cannot write 't.tmp': File too large\n"},
    };
    for (const CopyFailure& c : cases) {
        TempDir dir;
        c.prepare(dir);
        ProcessResult r = shellIn(dir.path(), copyCommand, c.fileSizeLimit);
        EXPECT_EQ(r.status, 1) << c.what;
        EXPECT_EQ(r.err, c.err) << c.what;
        struct stat info;
        bool targetIsFile = lstat(dir.file("t.tmp").c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
        EXPECT_FALSE(targetIsFile) << c.what;
    }
}

TEST(Del, RemovesFilesAndLinksButNoDirectory)
{
    TempDir dir;
    writeFile(dir.file("file"), "x");
    writeFile(dir.file("target"), "x");
    symlink("target", dir.file("link").c_str());
    symlink("missing", dir.file("dangling").c_str());
    mkdir(dir.file("dir").c_str(), 0755);

    for (const char* name : {"file", "link", "dangling", "never-was"}) {
        ProcessResult r = shellIn(dir.path(), std::string("del ") + name);
        EXPECT_EQ(r.status, 0) << name;
        EXPECT_EQ(r.out + r.err, "") << name;
        EXPECT_FALSE(exists(dir.file(name))) << name;
    }
    EXPECT_TRUE(exists(dir.file("target")));

    ProcessResult r = shellIn(dir.path(), "del dir");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "del: cannot remove 'dir': Is a directory\n");
    EXPECT_TRUE(exists(dir.file("dir")));
}

TEST(Shell, UnknownCommandFails)
{
    TempDir dir;
    ProcessResult r = shellIn(dir.path(), "format c:");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err, "");
}

// The window stays open only for a console that is the tool's alone, with
// both stdin and stdout on it.
TEST(Console, WindowStaysOpenOnlyForADoubleClick)
{
    const struct {
        unsigned long processes;
        bool stdinIsConsole;
        bool stdoutIsConsole;
        bool waits;
    } cases[] = {
        {1, true, true, true},   {2, true, true, false},  {3, true, true, false},  {1, false, true, false},
        {1, true, false, false}, {1, false, false, false}, {0, true, true, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(keepsWindowOpen(c.processes, c.stdinIsConsole, c.stdoutIsConsole), c.waits)
            << c.processes << " processes, stdin " << c.stdinIsConsole << ", stdout " << c.stdoutIsConsole;
}

}  // namespace
