// End-to-end runs of the tool in temporary directories: what it prints, its
// exit status and the files it leaves, for a normal run and every failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "../fuzz/dat_shape.h"
#include "bytes/fast_paths.h"
#include "platform/interrupts.h"
#include "platform/text_output.h"
#include "test_support.h"

namespace {

const std::string banner = "softlist2dat - MESS software lists to one ClrMamePro DAT\n";
const std::string copyFailed = "Error can't get directory information.\n";
const std::string tempAbort = "\nFailed to read from temp file...ABORTING!\n\n";
const std::string datName = "all_mess_software_lists.dat";
const std::string tempName = "tempfileforplimsett.tmp";

std::string summary(long long lines)
{
    return "\nSuccesfully parsed " + std::to_string(lines) +
           " XML lines and created one large.dat file called\n" + datName + "\n";
}

const std::string oneList =
    "<?xml version=\"1.0\"?>\n"
    "<softwarelist name=\"demo\" description=\"Demo\">\n"
    "\t<software name=\"alpha\">\n"
    "\t\t<description>Alpha &amp; Omega</description>\n"
    "\t\t<rom name=\"a.bin\" size=\"16\" crc=\"00000001\" sha1=\"aa\" />\n"
    "\t</software>\n"
    "</softwarelist>\n";

const std::string oneListDat = datHeader() + crlf("\ngame (\n"
                                                  "  name \"alpha\"\n"
                                                  "  description \"demo\\alpha  [ Alpha & Omega ]\"\n"
                                                  "  rom ( name \"a.bin\" size 16 crc 00000001 sha1 aa )\n"
                                                  "  rebuildto \"demo\"\n"
                                                  ")\n");

// What a failed run leaves: the lists alone, or with the previous DAT, when
// there was one, holding its bytes. Each failure runs both ways.
const std::string previousDat = "previous DAT\r\n";

void expectOnlyListsAndPreviousDat(const TempDir& dir, std::vector<std::string> lists, bool previous,
                                   const std::string& where = "")
{
    if (previous) {
        EXPECT_EQ(readFile(dir.file(datName)), previousDat) << where;
        lists.push_back(datName);
    }
    std::sort(lists.begin(), lists.end());
    EXPECT_EQ(listDirectory(dir.path()), lists) << where << (previous ? " (a previous DAT present)" : "");
}

TEST(Run, ConvertsAndCleansUp)
{
    TempDir dir;
    writeFile(dir.file("demo.xml"), oneList);
    writeFile(dir.file(datName), "old output\n");
    ProcessResult r = runTool(dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, banner + "demo.xml\n1 file(s) copied.\n" + summary(7));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(readFile(dir.file(datName)), oneListDat);
    EXPECT_EQ(listDirectory(dir.path()), (std::vector<std::string>{datName, "demo.xml"}));
}

TEST(Run, ConsoleThatWentAwayDoesNotStopTheConversion)
{
    TempDir dir;
    writeFile(dir.file("demo.xml"), oneList);
    ProcessResult r = runTool(dir.path(), {.fileSizeLimit = -1, .asNobody = false, .closedStdout = true, .arguments = {}});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(readFile(dir.file(datName)), oneListDat);
    EXPECT_EQ(listDirectory(dir.path()), (std::vector<std::string>{datName, "demo.xml"}));
}

// The command line, in a directory holding an old DAT, a list and a
// subdirectory with another list: what each form prints, its status, and
// the files it leaves (a form that converts nothing touches nothing).
TEST(Run, CommandLineForms)
{
    const std::string old = "old DAT\n";
    const std::vector<std::string> untouched = {datName, "here.xml", "lists"};
    const std::string fromHere = banner + "here.xml\n1 file(s) copied.\n" + summary(7);
    const std::string fromLists = banner + "demo.xml\n1 file(s) copied.\n" + summary(7);
    const std::string deep = "lists/" + std::string(200, 'd') + "/" + std::string(200, 'e');
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string out;   // "Usage:" stands for the usage text
        std::string err;
        int converted;   // how many times the DAT holds the list's game: 0 for an untouched DAT
    } cases[] = {
        {{}, 0, fromHere, "", true},
        {{"."}, 0, fromHere, "", true},
        {{"lists"}, 0, fromLists, "", true},
        {{"--", "lists"}, 0, fromLists, "", true},
        {{"lists/"}, 0, fromLists, "", true},
        {{"--disks", "lists"}, 0, fromLists, "", true},
        {{"lists", "--disks"}, 0, fromLists, "", true},
        {{deep}, 0, fromLists, "", true},
        {{"-h"}, 0, "Usage:", "", false},
        {{"--help"}, 0, "Usage:", "", false},
        {{"lists", "--help"}, 0, "Usage:", "", false},
        {{"--version"}, 0, "softlist2dat 1.1.0\n", "", false},
        {{"--bogus"}, 2, "", "softlist2dat: unknown option '--bogus'\nUsage:", false},
        {{"here.xml"}, 0, fromHere, "", true},
        {{"here.xml", "--disks", "lists/demo.xml"}, 0, banner + "here.xml\nlists/demo.xml\n2 file(s) copied.\n" +
         summary(14), "", 2},
        {{"lists", "lists"}, 2, "", "softlist2dat: 'lists' is a directory: name one DIR, or FILEs\n", false},
        {{"here.xml", "./here.xml"}, 2, "", "softlist2dat: './here.xml' is the same file as 'here.xml'\n", false},
        {{"here.xml", "gone.xml"}, 2, "", "softlist2dat: cannot read 'gone.xml': No such file or directory\n", false},
        {{"--per-list"}, 2, "", "softlist2dat: option '--per-list' needs a directory\nUsage:", false},
        {{"--xml"}, 2, "", "softlist2dat: option '--xml' is for the list DATs: give it with --per-list OUT\nUsage:", false},
        {{"--per-list="}, 2, "", "softlist2dat: option '--per-list' needs a directory\nUsage:", false},
        {{"lists", "--per-list", ""}, 2, "", "softlist2dat: option '--per-list' needs a directory\nUsage:", false},
        {{"lists", "--dat-version"}, 2, "", "softlist2dat: option '--dat-version' needs a version\nUsage:", false},
        {{"--dat-version=", "lists"}, 2, "", "softlist2dat: option '--dat-version' needs a version\nUsage:", false},
        {{"--dat-version=" + std::string(65, 'v')}, 2, "", "softlist2dat: version '" + std::string(65, 'v') +
         "' is not 1 to 64 bytes without control characters\nUsage:", false},
        {{"--dat-version", "0.2\x7f"}, 2, "", "softlist2dat: version '0.2\\x7F' is not 1 to 64 bytes without "
         "control characters\nUsage:", false},
        {{"--", "-h"}, 2, "", "softlist2dat: cannot read '-h': No such file or directory\n", false},
        {{"missing"}, 2, "", "softlist2dat: cannot read 'missing': No such file or directory\n", false},
        // The temporary file a killed run left, named as a list: the copy would replace it.
        {{"./" + tempName}, 2, "", "softlist2dat: './" + tempName + "' is the run's temporary file\n", false},
    };
    for (const auto& c : cases) {
        if (toolIsWindowsBuild() && c.arguments == std::vector<std::string>{deep})
            continue;   // a Windows path holds at most 260 characters
        TempDir dir;
        writeFile(dir.file(datName), old);
        writeFile(dir.file("here.xml"), oneList);
        mkdir(dir.file("lists").c_str(), 0755);
        writeFile(dir.file("lists/demo.xml"), oneList);
        mkdir(dir.file(deep.substr(0, 206)).c_str(), 0755);
        mkdir(dir.file(deep).c_str(), 0755);
        writeFile(dir.file(deep + "/demo.xml"), oneList);
        const bool namesTemporaryFile = c.arguments == std::vector<std::string>{"./" + tempName};
        if (namesTemporaryFile)
            writeFile(dir.file(tempName), oneList);
        RunOptions options;
        options.arguments = c.arguments;
        ProcessResult r = runTool(dir.path(), options);
        std::string where = "arguments:";
        for (const std::string& word : c.arguments)
            where += " '" + word + "'";
        EXPECT_EQ(r.status, c.status) << where;
        // "Usage:" at the end stands for the usage text after what precedes it.
        auto expectText = [&](const std::string& got, const std::string& want) {
            if (want.ends_with("Usage:")) {
                const std::string first = want.substr(0, want.size() - 6);
                EXPECT_TRUE(got.starts_with(first + "Usage: softlist2dat [--per-list OUT [--xml]] [--disks] [--dat-version TEXT] [--]\n") &&
                            got.find("Exit status") != std::string::npos)
                    << where << ": " << got;
            } else {
                EXPECT_EQ(got, want) << where;
            }
        };
        expectText(r.out, c.out);
        expectText(r.err, c.err);
        EXPECT_EQ(listDirectory(dir.file("lists")), (std::vector<std::string>{std::string(200, 'd'), "demo.xml"}))
            << where;
        if (c.converted) {
            std::string dat = datHeader();
            for (int i = 0; i < c.converted; i++)
                dat += oneListDat.substr(datHeader().size());
            EXPECT_EQ(listDirectory(dir.path()), untouched) << where;
            EXPECT_EQ(readFile(dir.file(datName)), dat) << where;
        } else {
            std::vector<std::string> left = untouched;
            if (namesTemporaryFile)
                left.push_back(tempName);
            EXPECT_EQ(listDirectory(dir.path()), left) << where;
            EXPECT_EQ(readFile(dir.file(datName)), old) << where;
        }
        if (namesTemporaryFile) {
            EXPECT_EQ(readFile(dir.file(tempName)), oneList) << where;
        }
    }
}

// One DAT per list: names that cannot be a DAT, a duplicate and what comes
// before the first list are skipped and named on stderr; the others are
// written with their header, titles and parent/clone links.
TEST(Run, PerListDats)
{
    const std::string block = "\t<software name=\"s\">\n\t\t<description>S</description>\n"
                              "\t\t<rom name=\"s.bin\" crc=\"5\" />\n\t</software>\n";
    const std::string lists =
        "<?xml version=\"1.0\"?>\n" + block +
        "<softwarelist name=\"alpha\" description=\"A &amp; B&apos;s\">\n"
        "\t<software name=\"p\">\n\t\t<description>Parent \"One\"</description>\n"
        "\t\t<rom name=\"p.bin\" size=\"0x10\" crc=\"1\" />\n\t</software>\n"
        "\t<software name=\"c\" cloneof=\"p\" supported=\"no\">\n\t\t<description>Clone</description>\n\t</software>\n"
        "\t<software name=\"x\" supported=\"no\"> <!-- cloneof=\"p\"> -->\n\t\t<description>X</description>\n"
        "\t</software>\n</softwarelist>\n"
        "<softwarelist name=\"beta\">\n" + block + "</softwarelist>\n" +
        "<softwarelist name=\"\">\n" + block + "<softwarelist name=\"a b\">\n" + block +
        "<softwarelist name=\".hidden\">\n" + block + "<softwarelist name=\"CON.txt\">\n" + block +
        "<softwarelist name=\"lpt9\">\n" + block + "<softwarelist name=\"com0\">\n" +
        "<softwarelist name=\"" + std::string(201, 'n') + "\">\n" + block + "<softwarelist name=\"aLPHA\">\n" +
        block + "<softwarelist name=\"c\x01\">\n" + block;
    const std::string skipped = "softlist2dat: line 1: list '' skipped: written before the first list\n"
                                "softlist2dat: line 24: list '' skipped: empty name\n"
                                "softlist2dat: line 29: list 'a b' skipped: name holds a byte other than A-Z a-z 0-9 _ - .\n"
                                "softlist2dat: line 34: list '.hidden' skipped: name starts with a dot\n"
                                "softlist2dat: line 39: list 'CON.txt' skipped: name is a Windows device name\n"
                                "softlist2dat: line 44: list 'lpt9' skipped: name is a Windows device name\n"
                                "softlist2dat: line 50: list '" + std::string(201, 'n') +
                                "' skipped: name longer than 200 bytes\n"
                                "softlist2dat: line 55: list 'aLPHA' skipped: name met before in this run\n"
                                "softlist2dat: line 60: list 'c\\x01' skipped: name holds a byte other than A-Z a-z 0-9 _ - .\n";
    const std::string header = "clrmamepro (\n\tname \"%\"\n\tdescription \"%\"\n\tcategory \"MESS\"\n"
                               "\tauthor \"Tobrek's Grotwick V0.01\"\n)\n\n";
    auto headerOf = [&](const std::string& name, const std::string& description) {
        std::string text = header;
        text.replace(text.find('%'), 1, name);
        text.replace(text.find('%'), 1, description);
        return crlf(text);
    };
    const std::string alpha = headerOf("alpha", "A & B's") +
                              crlf("\ngame (\n  name \"p\"\n  description \"Parent ''One''\"\n"
                                   "  rom ( name \"p.bin\" size 16 crc 1 )\n)\n"
                                   "\ngame (\n  name \"c\"\n  description \"Clone\"\n  cloneof \"p\"\n  romof \"p\"\n)\n"
                                   "\ngame (\n  name \"x\"\n  description \"X\"\n)\n");
    const std::string beta =
        headerOf("beta", "beta") + crlf("\ngame (\n  name \"s\"\n  description \"S\"\n  rom ( name \"s.bin\" crc 5 )\n)\n");
    TempDir dir;
    writeFile(dir.file("lists.xml"), lists);
    mkdir(dir.file("out").c_str(), 0755);
    writeFile(dir.file("out/alpha.dat"), previousDat);
    writeFile(dir.file("out/other.dat"), previousDat);
    RunOptions options;
    options.arguments = {"--per-list", "out"};
    ProcessResult r = runTool(dir.path(), options);
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, banner + "lists.xml\n1 file(s) copied.\n\nConverted 64 XML lines into 3 DAT files in out\n");
    EXPECT_EQ(r.err, skipped);
    EXPECT_EQ(listDirectory(dir.path()), (std::vector<std::string>{"lists.xml", "out"}));
    EXPECT_EQ(listDirectory(dir.file("out")),
              (std::vector<std::string>{"alpha.dat", "beta.dat", "com0.dat", "other.dat"}));
    EXPECT_EQ(readFile(dir.file("out/alpha.dat")), alpha);
    EXPECT_EQ(readFile(dir.file("out/beta.dat")), beta);
    EXPECT_EQ(readFile(dir.file("out/com0.dat")), headerOf("com0", "com0"));
    EXPECT_EQ(readFile(dir.file("out/other.dat")), previousDat);
}

// Merges whose parent the DAT wrote long before: a clone before its parent
// and one after it, each further from it than the output holds back.
TEST(Run, MergesReadTheirParentBackFromTheDat)
{
    std::string lists = "<softwarelist name=\"big\">\n";
    std::string dat = "clrmamepro (\n\tname \"big\"\n\tdescription \"big\"\n\tcategory \"MESS\"\n"
                      "\tauthor \"Tobrek's Grotwick V0.01\"\n)\n\n";
    auto add = [&](const std::string& name, const std::string& parent, const char* crc) {
        const std::string clone = parent.empty() ? "" : " cloneof=\"" + parent + "\"";
        lists += "\t<software name=\"" + name + "\"" + clone + ">\n\t\t<description>D</description>\n\t\t<rom name=\"" +
                 name + ".bin\" size=\"4\" crc=\"" + crc + "\" sha1=\"aa\"/>\n\t</software>\n";
        const std::string merge = parent.empty() ? "" : "merge \"p.bin\" ";
        dat += "\ngame (\n  name \"" + name + "\"\n  description \"D\"\n" +
               (parent.empty() ? "" : "  cloneof \"p\"\n  romof \"p\"\n") + "  rom ( name \"" + name + ".bin\" " +
               merge + "size 4 crc " + crc + " sha1 aa )\n)\n";
    };
    add("early", "p", "00000001");
    for (int i = 0; i < 8000; i++) {
        if (i == 4000)
            add("p", "", "00000001");
        else
            add("f" + std::to_string(i), "", "00000002");
    }
    add("late", "p", "00000001");
    lists += "</softwarelist>\n";
    TempDir dir;
    writeFile(dir.file("big.xml"), lists);
    RunOptions options;
    options.arguments = {"--per-list", "out"};
    ProcessResult r = runTool(dir.path(), options);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(dir.file("out/big.dat")), crlf(dat));
}

// A run of one DAT per list that cannot write them leaves the directory as
// it was: one it would create, one that is a file, a DAT that cannot be
// opened (a directory under its temporary name), a DAT that cannot be put
// in place (a directory at its name) at the second and the last swap, the
// DATs swapped before it put back.
TEST(Run, PerListFailuresLeaveTheDirectory)
{
    const std::string threeLists = "<softwarelist name=\"a\">\n</softwarelist>\n<softwarelist name=\"b\">\n"
                                   "</softwarelist>\n<softwarelist name=\"c\">\n";
    const std::string copied = "lists.xml\n1 file(s) copied.\n";
    const struct {
        const char* out;
        std::vector<std::string> before;   // in the working directory; "out/x/" a directory
        std::string message;
        std::vector<std::string> after;
    } cases[] = {
        {"missing/out", {}, "\nFailed to read from 'missing/out'. Please check filename.\n\n", {"lists.xml"}},
        {"file", {"file"}, "\nFailed to read from 'file'. Please check filename.\n\n", {"file", "lists.xml"}},
        {"out", {"out/", "out/a.dat", "out/b.dat.part/"},
         copied + "\nFailed to read from 'out/b.dat'. Please check filename.\n\n",
         {"lists.xml", "out", "out/a.dat", "out/b.dat.part"}},
        {"out", {"out/", "out/a.dat", "out/b.dat/"},
         copied + "\nFailed to replace 'out/b.dat': every DAT in 'out' is as it was.\n\n",
         {"lists.xml", "out", "out/a.dat", "out/b.dat"}},
        {"out", {"out/", "out/a.dat", "out/c.dat/"},
         copied + "\nFailed to replace 'out/c.dat': every DAT in 'out' is as it was.\n\n",
         {"lists.xml", "out", "out/a.dat", "out/c.dat"}},
    };
    for (const auto& c : cases) {
        TempDir dir;
        writeFile(dir.file("lists.xml"), threeLists);
        for (const std::string& name : c.before) {
            if (name.ends_with("/"))
                mkdir(dir.file(name).c_str(), 0755);
            else
                writeFile(dir.file(name), previousDat);
        }
        RunOptions options;
        options.arguments = {"--per-list", c.out};
        ProcessResult r = runTool(dir.path(), options);
        const std::string where = c.out + (c.before.empty() ? "" : " with " + c.before.back());
        EXPECT_EQ(r.status, 3) << where;
        EXPECT_TRUE(r.out.ends_with(c.message)) << where << ": " << r.out;
        std::vector<std::string> after = listDirectory(dir.path());
        if (exists(dir.file("out")))
            for (const std::string& name : listDirectory(dir.file("out")))
                after.push_back("out/" + name);
        EXPECT_EQ(after, c.after) << where;
        if (exists(dir.file("out/a.dat"))) {
            EXPECT_EQ(readFile(dir.file("out/a.dat")), previousDat) << where;
        }
    }
}

// Many titles without ROMs: the DAT comes out larger than its input, so a
// limit between the two sizes lets the copy through and stops the DAT.
std::string titlesOnly(int count)
{
    std::string list = "<softwarelist name=\"l\">\n";
    for (int i = 0; i < count; i++)
        list += "<software name=\"t" + std::to_string(i) + "\">\n<description>T</description>\n</software>\n";
    return list;
}

// Four runs at once, a few times over: in one working directory, with the
// combined DAT and with one DAT per list, and from four working directories
// into one OUT (missing at every other time). They take turns: each ends as
// a lone run does, saying on stderr at most that it waited, and nothing but
// the lists and the DATs is left.
TEST(Run, RunsAtOnceTakeTurns)
{
    const std::string lists = titlesOnly(5000);
    const struct {
        std::vector<std::string> arguments;
        bool apart;                      // each run in a working directory of its own
        std::vector<std::string> left;   // in each working directory afterwards
    } cases[] = {
        {{}, false, {datName, "l.xml"}},
        {{"--per-list", "out"}, false, {"l.xml", "out"}},
        {{"--per-list", "../out"}, true, {"l.xml"}},
    };
    int waits = 0;
    for (const auto& c : cases) {
        TempDir dir;
        const bool perList = !c.arguments.empty();
        std::vector<std::string> places;
        for (int i = 0; i < 4; i++) {
            places.push_back(c.apart ? dir.file("w" + std::to_string(i)) : dir.path());
            mkdir(places.back().c_str(), 0755);
            writeFile(places.back() + "/l.xml", lists);
        }
        const std::string dat = perList ? dir.file("out/l.dat") : dir.file(datName);
        RunOptions options;
        options.arguments = c.arguments;
        const ProcessResult lone = runTool(places[0], options);
        const std::string want = readFile(dat);
        const std::string waiting = "softlist2dat: waiting for another run in '";
        const std::string waitLines[] = {waiting + ".'", waiting + (perList ? c.arguments[1] : ".") + "'"};
        for (int time = 0; time < 3; time++) {
            if (c.apart && time % 2 == 0) {
                unlink(dat.c_str());
                rmdir(dir.file("out").c_str());
            }
            const std::string where = "arguments: " + (perList ? c.arguments[1] : "none") + ", time " +
                                      std::to_string(time);
            for (const ProcessResult& r : runToolsAtOnce(places, options)) {
                EXPECT_EQ(r.status, 0) << where;
                EXPECT_EQ(r.out, lone.out) << where;
                std::istringstream err(r.err);
                for (std::string line; std::getline(err, line); waits++)
                    EXPECT_TRUE(line == waitLines[0] || line == waitLines[1]) << where << ": " << r.err;
            }
            EXPECT_EQ(readFile(dat), want) << where;
            for (const std::string& place : places)
                EXPECT_EQ(listDirectory(place), c.left) << where;
            if (perList) {
                EXPECT_EQ(listDirectory(dir.file("out")), (std::vector<std::string>{"l.dat"})) << where;
            }
        }
    }
    std::printf("%d waits in 36 runs\n", waits);
}

// Waits (up to a minute) until `ready` holds; false when it never did.
template <typename Ready>
bool waitUntil(Ready ready)
{
    for (int ms = 0; ms < 60000; ms++) {
        if (ready())
            return true;
        usleep(1000);
    }
    return false;
}

// Whether the process has ended; it is left for waitForTool to collect.
bool hasEnded(pid_t pid)
{
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid;
}

// A run waiting for its turn at OUT while the run that made OUT fails and
// removes it (the first scene), and a run interrupted while it waits for
// its turn in its working directory beside a run that is writing into the
// OUT both name (the second): ten times each, the other run ends as a lone
// run does, with its DAT.
TEST(Run, TurnsOutliveTheDirectoryOfTheDats)
{
    if (toolIsWindowsBuild())
        GTEST_SKIP() << "signals reach a Windows program differently";
    TempDir dir;
    const std::string lists = titlesOnly(200000);
    mkdir(dir.file("w1").c_str(), 0755);
    mkdir(dir.file("w2").c_str(), 0755);
    writeFile(dir.file("w1/l.xml"), lists);
    // B's list begins late: a long comment comes first.
    std::string comment = "<!--\n";
    for (int i = 0; i < 200000; i++)
        comment += "a comment line\n";
    writeFile(dir.file("w2/l.xml"), comment + "-->\n" + lists);
    RunOptions perList, combined;
    perList.arguments = {"--per-list", "../out"};
    ASSERT_EQ(runTool(dir.file("w1"), perList).status, 0);
    const std::string lone = readFile(dir.file("out/l.dat"));
    const std::string waiting = "softlist2dat: waiting for another run in ";
    int late = 0;   // scenes staged again: A was done before it was stopped
    for (int time = 0; time < 20; time++) {
        const bool first = time < 10;
        const std::string where = (first ? "the first scene, time " : "the second scene, time ") + std::to_string(time);
        unlink(dir.file("out/l.dat").c_str());
        rmdir(dir.file("out").c_str());
        // The first scene: A makes OUT and is stopped while writing there.
        // The second: A holds w1's turn, stopped, and C waits for it.
        StartedTool a = startTool(dir.file("w1"), first ? perList : combined);
        const std::string aBegun = first ? dir.file("out/l.dat.part") : dir.file("w1/" + tempName);
        ASSERT_TRUE(waitUntil([&] { return exists(aBegun); })) << where;
        kill(a.pid, SIGSTOP);
        if (hasEnded(a.pid) && ++late <= 10) {   // A was done before it was stopped: again
            waitForTool(a);
            time--;
            continue;
        }
        StartedTool c;
        if (!first) {
            c = startTool(dir.file("w1"), perList);
            ASSERT_TRUE(waitUntil([&] { return stderrSoFar(c).starts_with(waiting); })) << where;
        }
        StartedTool b = startTool(dir.file("w2"), perList);
        if (first)
            ASSERT_TRUE(waitUntil([&] { return stderrSoFar(b).starts_with(waiting); })) << where;
        else
            ASSERT_TRUE(waitUntil([&] { return exists(dir.file("w2/" + tempName)); })) << where;
        // B holds its turn at OUT now; in the second scene, stopped, it may
        // not have begun a DAT there yet.
        if (!first)
            kill(b.pid, SIGSTOP);
        StartedTool& interrupted = first ? a : c;
        kill(interrupted.pid, SIGINT);
        kill(a.pid, SIGCONT);
        EXPECT_EQ(waitForTool(interrupted).status, 128 + SIGINT) << where;
        kill(b.pid, SIGCONT);
        const ProcessResult r = waitForTool(b);
        EXPECT_EQ(r.status, 0) << where << ": " << r.err;
        EXPECT_EQ(readFile(dir.file("out/l.dat")), lone) << where;
        if (!first) {
            EXPECT_EQ(waitForTool(a).status, 0) << where;
        }
        EXPECT_EQ(listDirectory(dir.file("out")), std::vector<std::string>{"l.dat"}) << where;
    }
}

// Runs in X writing into Y beside runs in Y writing into X: each takes the
// turn of its working directory and the other's; forty pairs, each done
// within a minute.
TEST(Run, CrossedRunsFinish)
{
    TempDir dir;
    for (const char* place : {"x", "y"}) {
        mkdir(dir.file(place).c_str(), 0755);
        writeFile(dir.file(place) + "/l.xml", titlesOnly(2000));
    }
    RunOptions intoX, intoY;
    intoX.arguments = {"--per-list", "../x"};
    intoY.arguments = {"--per-list", "../y"};
    for (int pair = 0; pair < 40; pair++) {
        StartedTool inX = startTool(dir.file("x"), intoY);
        StartedTool inY = startTool(dir.file("y"), intoX);
        EXPECT_EQ(waitForTool(inX, 60000).status, 0) << "pair " << pair;
        EXPECT_EQ(waitForTool(inY, 60000).status, 0) << "pair " << pair;
    }
    EXPECT_EQ(readFile(dir.file("x/l.dat")), readFile(dir.file("y/l.dat")));
}

TEST(Run, CountsEveryLineOfEveryFile)
{
    TempDir dir;
    // The first file's last line has no LF and joins the second file's first.
    writeFile(dir.file("a.xml"), "<!--\ncomment\n-->\n\n  \nno newline");
    writeFile(dir.file("b.xml"), std::string(5000, 'x') + "\n" + oneList);
    ProcessResult r = runTool(dir.path());
    EXPECT_EQ(r.status, 0);
    // 5 lines, a joined line cut into 3 pieces, then the list's 7 lines.
    EXPECT_EQ(r.out, banner + "a.xml\nb.xml\n2 file(s) copied.\n" + summary(5 + 3 + 7));
}

TEST(Run, OnlyEmptyFilesGiveAHeaderOnlyDat)
{
    TempDir dir;
    writeFile(dir.file("a.xml"), "");
    writeFile(dir.file("b.xml"), "");
    ProcessResult r = runTool(dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, banner + "a.xml\nb.xml\n2 file(s) copied.\n" +
                         "\nFound no .xmls in current directory to parse, aborting.\n");
    EXPECT_EQ(readFile(dir.file(datName)), datHeader());
    EXPECT_EQ(listDirectory(dir.path()), (std::vector<std::string>{"a.xml", datName, "b.xml"}));
}

TEST(Run, NoInputAbortsAndLeavesNoOutput)
{
    for (bool previous : {false, true}) {
        TempDir dir;
        if (previous)
            writeFile(dir.file(datName), previousDat);
        mkdir(dir.file("x.xml").c_str(), 0755);
        ProcessResult r = runTool(dir.path());
        EXPECT_EQ(r.status, 3);
        EXPECT_EQ(r.out, banner + copyFailed + tempAbort);
        EXPECT_EQ(r.err, "copy: no *.xml file found\n");
        expectOnlyListsAndPreviousDat(dir, {"x.xml"}, previous);
    }
}

// A directory at the DAT's name, or at the name the DAT is written under:
// the DAT cannot be put in place, and nothing the run made is left.
TEST(Run, DatThatCannotBeOpenedOrReplaced)
{
    const std::string cannotOpen = banner + "demo.xml\n1 file(s) copied.\n" + "\nFailed to read from '" + datName +
                                   "'. Please check filename.\n\n";
    for (const std::string& blocked : {datName, datName + ".part"}) {
        TempDir dir;
        writeFile(dir.file("demo.xml"), oneList);
        mkdir(dir.file(blocked).c_str(), 0755);
        ProcessResult r = runTool(dir.path());
        EXPECT_EQ(r.status, 3) << blocked;
        EXPECT_EQ(r.out, cannotOpen) << blocked;
        EXPECT_EQ(r.err, blocked == datName ? "" : "del: cannot remove '" + blocked + "': Is a directory\n");
        EXPECT_EQ(listDirectory(dir.path()), (std::vector<std::string>{blocked, "demo.xml"})) << blocked;
    }
    TempDir dir;
    writeFile(dir.file("demo.xml"), oneList);
    writeFile(dir.file(datName), previousDat);
    mkdir(dir.file(datName + ".part").c_str(), 0755);
    EXPECT_EQ(runTool(dir.path()).out, cannotOpen);
    EXPECT_EQ(readFile(dir.file(datName)), previousDat);
}

TEST(Run, StaleTemporaryLinkLeavesItsTargetAlone)
{
    if (toolIsWindowsBuild())
        GTEST_SKIP() << "a Unix symbolic link has no Windows equivalent under the wrapper";
    TempDir dir;
    writeFile(dir.file("demo.xml"), oneList);
    writeFile(dir.file("precious"), "untouched\n");
    symlink("precious", dir.file(tempName).c_str());
    ProcessResult r = runTool(dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(readFile(dir.file("precious")), "untouched\n");
    EXPECT_EQ(readFile(dir.file(datName)), oneListDat);
    EXPECT_EQ(listDirectory(dir.path()), (std::vector<std::string>{datName, "demo.xml", "precious"}));
}

// Permission failures need an unprivileged process: as root the tool runs as
// nobody, otherwise as the test's own user.
TEST(Run, ReadOnlyDirectoryAbortsAtTheCopy)
{
    if (toolIsWindowsBuild())
        GTEST_SKIP() << "needs the tool to run as an unprivileged user";
    for (bool previous : {false, true}) {
        TempDir dir;
        writeFile(dir.file("demo.xml"), oneList);
        if (previous)
            writeFile(dir.file(datName), previousDat);
        chmod(dir.path().c_str(), 0555);
        ProcessResult r = runTool(dir.path(), {.fileSizeLimit = -1, .asNobody = true, .closedStdout = false, .arguments = {}});
        chmod(dir.path().c_str(), 0755);
        EXPECT_EQ(r.status, 3);
        EXPECT_EQ(r.out, banner + copyFailed + tempAbort);
        EXPECT_EQ(r.err, "copy: cannot create '" + tempName + "': Permission denied\n");
        expectOnlyListsAndPreviousDat(dir, {"demo.xml"}, previous);
    }
}

TEST(Run, UnreadableInputAbortsAtTheCopy)
{
    if (toolIsWindowsBuild())
        GTEST_SKIP() << "needs the tool to run as an unprivileged user";
    for (bool previous : {false, true}) {
        TempDir dir;
        writeFile(dir.file("a.xml"), oneList);
        writeFile(dir.file("b.xml"), oneList);
        if (previous)
            writeFile(dir.file(datName), previousDat);
        chmod(dir.file("b.xml").c_str(), 0);
        ProcessResult r = runTool(dir.path(), {.fileSizeLimit = -1, .asNobody = true, .closedStdout = false, .arguments = {}});
        EXPECT_EQ(r.status, 3);
        EXPECT_EQ(r.out, banner + "a.xml\nb.xml\n" + copyFailed + tempAbort);
        EXPECT_EQ(r.err, "copy: cannot read 'b.xml': Permission denied\n");
        expectOnlyListsAndPreviousDat(dir, {"a.xml", "b.xml"}, previous);
    }
}

// A directory whose files may hold at most `bytes`: a small tmpfs where this
// process may mount one; otherwise the tool runs under a file-size limit.
class SmallDisk {
public:
    SmallDisk(const TempDir& dir, long bytes) : dir_(dir)
    {
        std::string options = "size=" + std::to_string(bytes);
        mounted_ = geteuid() == 0 && mount("tmpfs", dir.path().c_str(), "tmpfs", 0, options.c_str()) == 0;
        options_.fileSizeLimit = mounted_ ? -1 : bytes / 2;
    }
    ~SmallDisk()
    {
        if (mounted_)
            umount(dir_.path().c_str());
    }
    const RunOptions& options() const { return options_; }

private:
    const TempDir& dir_;
    bool mounted_ = false;
    RunOptions options_;
};

// A full disk, on a small tmpfs of several sizes (the list itself takes its
// room first): the copy fails where the temporary file does not fit beside
// the list, the DAT where it does not fit after the temporary file, and the
// run succeeds where both fit. Every outcome is the one a copy that ends
// before the scan starts would give, also where the scan runs beside the
// copy (the larger list is copied in more than one step).
TEST(Run, FullDiskStopsTheCopyOrTheDat)
{
    enum Outcome { CopyFails, DatFails, BothFit };
    const struct {
        int titles;   // 1000 titles: about 57 KB in, 90 KB out
        long diskKib;
        Outcome outcome;
    } cases[] = {
        {1000, 64, CopyFails}, {1000, 96, CopyFails},   {1000, 128, DatFails},
        {1000, 160, DatFails}, {1000, 256, BothFit},    {20000, 3072, DatFails},
    };
    for (const auto& c : cases) {
      for (bool previous : {false, true}) {
        TempDir dir;
        const std::string input = titlesOnly(c.titles);
        // A previous DAT takes one page of its own.
        SmallDisk disk(dir, (c.diskKib + (previous ? 4 : 0)) * 1024);
        writeFile(dir.file("list.xml"), input);
        if (previous)
            writeFile(dir.file(datName), previousDat);
        ProcessResult r = runTool(dir.path(), disk.options());
        const std::string where = std::to_string(c.diskKib) + " KiB for " + std::to_string(c.titles) + " titles";
        if (c.outcome == CopyFails) {
            EXPECT_EQ(r.status, 3) << where;
            EXPECT_EQ(r.out, banner + "list.xml\n" + copyFailed + tempAbort) << where;
            // The reason is the platform's: a full tmpfs, or the file-size limit.
            EXPECT_EQ(r.err.rfind("copy: cannot write '" + tempName + "': ", 0), 0u) << where << ": " << r.err;
            if (!toolIsWindowsBuild()) {
                EXPECT_TRUE(r.err.ends_with(": No space left on device\n") || r.err.ends_with(": File too large\n"))
                    << r.err;
            }
            expectOnlyListsAndPreviousDat(dir, {"list.xml"}, previous, where);
        } else if (c.outcome == DatFails) {
            EXPECT_EQ(r.status, 3) << where;
            EXPECT_EQ(r.out, banner + "list.xml\n1 file(s) copied.\n" + "\nFailed to write '" + datName + "'.\n\n")
                << where;
            EXPECT_EQ(r.err, "") << where;
            expectOnlyListsAndPreviousDat(dir, {"list.xml"}, previous, where);
        } else {
            EXPECT_EQ(r.status, 0) << where;
            EXPECT_EQ(r.out, banner + "list.xml\n1 file(s) copied.\n" + summary(3 * c.titles + 1)) << where;
            EXPECT_EQ(listDirectory(dir.path()), (std::vector<std::string>{datName, "list.xml"})) << where;
            EXPECT_EQ(readFile(dir.file(datName)), convertInMemory(input)) << where;
        }
      }
    }
}

// An interrupt removes the names given to it, but not one handed back to
// the run's keeping (a file committed, or never made), wherever it stands
// in the list.
TEST(Interrupts, LeaveANameKept)
{
    TempDir dir;
    const std::string kept = dir.file("kept"), doomed = dir.file("doomed");
    writeFile(kept, "k");
    writeFile(doomed, "d");
    EXPECT_EXIT(
        {
            const char* keptName = removeOnInterrupt(kept.c_str());
            removeOnInterrupt(doomed.c_str());
            keepOnInterrupt(keptName);
            catchInterrupts();
            std::raise(SIGINT);
        },
        ::testing::KilledBySignal(SIGINT), "Interrupted");
    EXPECT_EQ(listDirectory(dir.path()), std::vector<std::string>{"kept"});
}

// The list DATs put in place by one-step swaps and by their twin, with an
// interrupt held back from the first swap on or none: interrupted, every
// swap is undone (the previous DAT back, the new one gone); else every DAT
// is new and no previous one is left beside it.
TEST(Interrupts, WhileDatsArePutInPlaceLeaveThemAsTheyWere)
{
    for (const bool general : {false, true}) {
        for (const bool interrupted : {true, false}) {
            TempDir dir;
            writeFile(dir.file("lists.xml"), "<softwarelist name=\"a\">\n</softwarelist>\n<softwarelist name=\"b\">\n");
            mkdir(dir.file("out").c_str(), 0755);
            writeFile(dir.file("out/a.dat"), previousDat);
            EXPECT_EXIT(
                {
                    useGeneralPathsOnly(general);
                    if (chdir(dir.path().c_str()) != 0)
                        std::_Exit(120);
                    sigset_t interrupt;
                    sigemptyset(&interrupt);
                    sigaddset(&interrupt, SIGINT);
                    pthread_sigmask(SIG_BLOCK, &interrupt, nullptr);
                    if (interrupted)
                        std::raise(SIGINT);   // waits, blocked, until the run puts its DATs in place
                    const int status = runConversion({}, false, DatForm::ListText, "out");
                    pthread_sigmask(SIG_UNBLOCK, &interrupt, nullptr);
                    std::_Exit(status);
                },
                [interrupted](int status) {
                    return interrupted ? WIFSIGNALED(status) && WTERMSIG(status) == SIGINT
                                       : WIFEXITED(status) && WEXITSTATUS(status) == 0;
                },
                interrupted ? "Interrupted" : "");
            const std::string where = std::string(general ? "two renames" : "one step") +
                                      (interrupted ? ", interrupted" : "");
            EXPECT_EQ(listDirectory(dir.path()), (std::vector<std::string>{"lists.xml", "out"})) << where;
            const std::vector<std::string> dats = {"a.dat", "b.dat"};
            EXPECT_EQ(listDirectory(dir.file("out")), std::vector<std::string>(dats.begin(), dats.end() - interrupted))
                << where;
            EXPECT_EQ(readFile(dir.file("out/a.dat")) == previousDat, interrupted) << where;
        }
    }
}

// SIGINT at several moments of a long run (the copy and the scan go on side
// by side): the run leaves the lists' directory as it was and the previous
// DAT untouched, and ends as the signal ends a process. A run that was over
// before its signal came is said so, and must have converted. A run killed
// by SIGKILL may leave what it began (its DAT the previous one or the whole
// new one): the next run is not held up by it and leaves nothing of it.
// Under Wine the signal reaches the Windows build as Ctrl-C, after Wine's
// own start (about half a second): its moments are later, a Ctrl-C that
// comes before the run's handler is in place is Wine's to handle (the run
// is then as one killed), and Wine ends an interrupted process with
// status 0.
TEST(Run, InterruptLeavesThePreviousDat)
{
    const bool windows = toolIsWindowsBuild();
    TempDir lists;
    const std::string input = titlesOnly(windows ? 3000000 : 600000);
    writeFile(lists.file("big.xml"), input);
    // The combined DAT, and (every other moment) the list's own DAT in a
    // directory of DATs: "out/l.dat".
    TempDir whole;
    runTool(whole.path(), {.fileSizeLimit = -1, .asNobody = false, .closedStdout = false,
                           .arguments = {"--per-list", "out", lists.path()}});
    const std::size_t newSizes[2] = {convertInMemory(input).size(), readFile(whole.file("out/l.dat")).size()};
    const int unixMoments[] = {5, 20, 50, 90, 50, 5, 20, 50, 90, 50};
    const int wineMoments[] = {550, 650, 800, 1000, 700, 550, 650, 800, 1000, 700};
    int landed = 0;
    int moment = 0;
    for (int afterMs : windows ? wineMoments : unixMoments) {
        const bool perList = moment >= 5;
        // The last moment of each kind kills the run: no chance to clean up.
        const bool killed = moment++ % 5 == 4;
        TempDir dir;
        const std::string previous = perList ? "out/l.dat" : datName;
        if (perList)
            mkdir(dir.file("out").c_str(), 0755);
        writeFile(dir.file(previous), previousDat);
        RunOptions options;
        options.arguments = {lists.path()};
        if (perList)
            options.arguments = {"--per-list", "out", lists.path()};
        options.interruptAfterMs = afterMs;
        options.interruptSignal = killed ? SIGKILL : SIGINT;
        ProcessResult r = runTool(dir.path(), options);
        const std::string where = (killed ? "SIGKILL after " : "SIGINT after ") + std::to_string(afterMs) + " ms" +
                                  (perList ? ", --per-list" : "");
        // Killed, or under Wine ended before the run's handler was in place
        // (it says nothing) or leaving its temporary file: the DAT is the
        // previous one or the whole new one, and what the run began may be
        // left; the next run takes its turn all the same, removes it and converts.
        const bool leftItsCopy = windows && !killed && exists(dir.file(tempName));
        if (leftItsCopy)
            std::printf("%s: the run left its temporary file\n", where.c_str());
        const bool uncaught = killed ? r.status == 128 + SIGKILL
                                     : windows && (leftItsCopy || (!r.err.ends_with("Interrupted.\n") &&
                                                                   readFile(dir.file(previous)) == previousDat));
        if (uncaught) {
            const std::string left = readFile(dir.file(previous));
            EXPECT_TRUE(left == previousDat || left.size() == newSizes[perList]) << where;
            if (!killed && r.out.empty())
                std::printf("%s: Wine had not started the run yet\n", where.c_str());
            else
                landed++;
            options.interruptAfterMs = -1;
            r = runTool(dir.path(), options);
            EXPECT_EQ(r.status, 0) << where;
        }
        const std::string dat = readFile(dir.file(previous));
        EXPECT_EQ(listDirectory(dir.path()), (std::vector<std::string>{perList ? "out" : datName})) << where;
        if (perList) {
            EXPECT_EQ(listDirectory(dir.file("out")), (std::vector<std::string>{"l.dat"})) << where;
        }
        EXPECT_EQ(listDirectory(lists.path()), (std::vector<std::string>{"big.xml"})) << where;
        const bool interrupted = r.err.ends_with("Interrupted.\n");
        if ((r.status == 0 && !interrupted) || dat.size() == newSizes[perList]) {
            // Over, or as good as over: the new DAT was in place.
            if (!uncaught)
                std::printf("%s: the DAT was complete before the signal came\n", where.c_str());
            EXPECT_EQ(dat.size(), newSizes[perList]) << where;
            continue;
        }
        landed++;
        if (!windows) {
            EXPECT_EQ(r.status, 128 + SIGINT) << where;
        }
        // Before the run has begun there is nothing to remove and nothing said.
        EXPECT_TRUE(r.err.empty() || interrupted) << where << ": " << r.err;
        EXPECT_TRUE(dat == previousDat) << where;
    }
    std::printf("%d of 10 signals came while the run went on\n", landed);
}

// A symbolic link at the DAT's name is replaced by the new DAT, its target
// keeps its bytes; one at the name the DAT is written under is removed
// first, and the DAT is never written through a link.
TEST(Run, LinkUnderTheDatNameIsNotFollowed)
{
    if (toolIsWindowsBuild())
        GTEST_SKIP() << "a Unix symbolic link has no Windows equivalent under the wrapper";
    for (const std::string& link : {datName, datName + ".part"}) {
        TempDir dir;
        writeFile(dir.file("demo.xml"), oneList);
        writeFile(dir.file("precious"), "untouched\n");
        symlink("precious", dir.file(link).c_str());
        EXPECT_EQ(runTool(dir.path()).status, 0) << link;
        EXPECT_EQ(readFile(dir.file("precious")), "untouched\n") << link;
        EXPECT_EQ(readFile(dir.file(datName)), oneListDat) << link;
        EXPECT_EQ(listDirectory(dir.path()), (std::vector<std::string>{datName, "demo.xml", "precious"})) << link;
    }
    TempDir dir;
    writeFile(dir.file("precious"), "untouched\n");
    symlink("precious", dir.file("link").c_str());
    auto out = std::make_unique<TextOutput>();
    EXPECT_FALSE(openTextOutput(*out, dir.file("link").c_str()));
    EXPECT_EQ(errno, EEXIST);
}

}  // namespace

namespace {

long long piecesIn(const std::string& bytes)
{
    return static_cast<long long>(piecesOneLineAtATime(bytes).size());
}

TEST(Hostile, BinaryGarbageIsReadToTheEnd)
{
    TempDir dir;
    std::string garbage;
    unsigned state = 12345;
    for (int i = 0; i < 1 << 20; i++) {
        state = state * 1103515245u + 12345u;
        unsigned pick = (state >> 16) % 16;
        // Lean on the bytes that matter: NUL, Ctrl-Z, CR, LF, '<' and quotes.
        const char special[] = {'\0', '\x1a', '\r', '\n', '<', '"', '-', '&'};
        garbage += pick < 8 ? special[pick] : static_cast<char>(state >> 8);
    }
    writeFile(dir.file("garbage.xml"), garbage);
    writeFile(dir.file("z.xml"), oneList);
    ProcessResult r = runTool(dir.path());
    EXPECT_EQ(r.status, 0);
    long long lines = piecesIn(garbage + oneList);
    EXPECT_EQ(r.out, banner + "garbage.xml\nz.xml\n2 file(s) copied.\n" + summary(lines));
    std::string dat = readFile(dir.file(datName));
    EXPECT_EQ(datShapeProblem(dat), "");
    EXPECT_EQ(dat.substr(0, datHeader().size()), datHeader());
}

TEST(Hostile, GigabyteLineWithoutLineEnd)
{
    TempDir dir;
    const long long gigabyte = 1LL << 30;
    writeFile(dir.file("a.xml"), oneList);
    // A sparse file: a gigabyte of NUL bytes without a single LF.
    writeFile(dir.file("b.xml"), "");
    ASSERT_EQ(truncate(dir.file("b.xml").c_str(), gigabyte), 0);
    ProcessResult r = runTool(dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, banner + "a.xml\nb.xml\n2 file(s) copied.\n" + summary(7 + (gigabyte + 2046) / 2047));
    EXPECT_EQ(readFile(dir.file(datName)), oneListDat);
    EXPECT_EQ(listDirectory(dir.path()), (std::vector<std::string>{"a.xml", datName, "b.xml"}));
#ifndef SOFTLIST2DAT_SANITIZED
    // An emulator the tool runs under (Wine, qemu) counts its own memory too.
    EXPECT_LT(r.maxRssKb, (toolIsWrapped() ? 64 : 16) * 1024) << "peak resident memory in KiB";
#endif
}

}  // namespace
