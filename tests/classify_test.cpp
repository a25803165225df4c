// The line classifier: which kind each line opening is, and how comments are
// skipped and counted.
#include <gtest/gtest.h>

#include <string>

#include "scan/classify.h"
#include "test_support.h"

namespace {

struct KindCase {
    std::string line;
    LineKind kind;
};

TEST(LineKind, ByTheFirstCharacters)
{
    const KindCase cases[] = {
        {"\n", LineKind::Blank},
        {"", LineKind::Other},
        {"<!--\n", LineKind::CommentStart},
        {"<!-- x -->\n", LineKind::CommentStart},
        {"<!-\n", LineKind::Other},
        {"<softwarelist name=\"a\">\n", LineKind::SoftwareListOpen},
        {"<softwarelistX\n", LineKind::SoftwareListOpen},
        {"<softwarelists>\n", LineKind::Other},
        {"<softwarelists\tx\n", LineKind::Other},
        {"<softwarelists\n", LineKind::Other},
        {"<softwarelists", LineKind::Other},
        {"<softwarelistsX>\n", LineKind::SoftwareListOpen},
        {"<software name=\"a\">\n", LineKind::SoftwareOpen},
        {"<softwares>\n", LineKind::SoftwareOpen},
        {"<software", LineKind::SoftwareOpen},
        {"<description>x</description>\n", LineKind::Description},
        {"<description lang=\"en\">x</description>\n", LineKind::Other},
        {"<descriptio", LineKind::Other},
        {"<rom name=\"a\" />\n", LineKind::Rom},
        {"<rom size=\"1\" name=\"a\" />\n", LineKind::Other},
        {"<rom value=\"1\" />\n", LineKind::Other},
        {"<rom  size=\"1\" name=\"a\" />\n", LineKind::Rom},
        {"<rom xsize=\"1\" />\n", LineKind::Rom},
        {"<rom\n", LineKind::Rom},
        {"<rom", LineKind::Rom},
        {"<rom si\n", LineKind::Rom},
        {"<romx siz", LineKind::Rom},
        {"<rom siz", LineKind::Other},
        {"</software>\n", LineKind::SoftwareClose},
        {"</software>", LineKind::SoftwareClose},
        {"</softwarelist>\n", LineKind::Other},
        {"</software\n", LineKind::Other},
        {"<ROM name=\"a\" crc=\"1\" />\n", LineKind::Other},
        {"<Software name=\"a\">\n", LineKind::Other},
        {"<?xml version=\"1.0\"?>\n", LineKind::Other},
        {"<!DOCTYPE softwarelist>\n", LineKind::Other},
        {"\r\n", LineKind::Other},
        {"x<rom name=\"a\" />\n", LineKind::Other},
        {"<disk name=\"a\" sha1=\"1\" />\n", LineKind::Disk},
        {"<disk\tname=\"a\"\n", LineKind::Disk},
        {"<disk \n", LineKind::Disk},
        {"<diskarea name=\"cdrom\">\n", LineKind::Other},
        {"<disk>\n", LineKind::Other},
        {"<DISK name=\"a\" sha1=\"1\" />\n", LineKind::Other},
        {"<disk\n", LineKind::Disk},
        {"<disk", LineKind::Other},
    };
    for (const KindCase& c : cases)
        EXPECT_EQ(lineKindAt(c.line.data(), static_cast<int>(c.line.size()), 0), c.kind) << c.line;
}

TEST(LineKind, AfterBlanks)
{
    // Leading spaces and tabs, in any mix, are skipped; other blanks are not.
    const std::string rom = "<rom name=\"a\" crc=\"1\" />\n";
    for (const char* indent : {"", " ", "\t", "\t \t  ", "        \t\t"})
        EXPECT_EQ(convertInMemory(std::string(indent) + rom), datHeader() + crlf("  rom ( name \"a\" crc 1 )\n")) << indent;
    for (const char* indent : {"\v", "\f", "\r"})
        EXPECT_EQ(convertInMemory(std::string(indent) + rom), datHeader()) << int(indent[0]);
}

struct CommentCase {
    const char* what;
    std::string input;
    std::string dat;   // after the header, LF line ends
    long long lines;
};

TEST(Comments, AreSkippedAndCounted)
{
    const std::string rom = "<rom name=\"r\" crc=\"1\" />\n";
    const std::string romLine = "  rom ( name \"r\" crc 1 )\n";
    const CommentCase cases[] = {
        {"opener and closer back to back", "<!---->\n" + rom, romLine, 2},
        {"closer on the same line", "<!-- a --> ignored <rom name=\"x\" crc=\"2\" />\n" + rom, romLine, 2},
        {"opener then > does not close", "<!-->\n" + rom + "-->\n" + rom, romLine, 4},
        {"comment over several lines", "<!--\n" + rom + rom + "\n  -->\n" + rom, romLine, 6},
        {"closer opening a line", "<!--\n-->" + rom, "", 2},
        {"closer split over two lines is not seen", "<!-- -\n->\n" + rom + "-->\n" + rom, romLine, 5},
        {"closer after the LF is not seen", "<!-- --\n>\n-->\n" + rom, romLine, 4},
        {"opener after other text is no comment", "x <!--\n" + rom, romLine, 2},
        {"indented opener", " \t<!--\n" + rom + "-->\n", "", 3},
        {"unclosed at the end of input", "<!--\n" + rom + rom, "", 3},
        {"unclosed, last line without LF", "<!--\n" + rom + "tail", "", 3},
        {"closer in a piece without LF", "<!--\n-->", "", 2},
        {"two dashes at the end of a piece", "<!--\n--", "", 2},
        {"closer across a piece boundary is not seen",
         "<!--" + std::string(2041, ' ') + "-->\n" + rom + "-->\n" + rom, romLine, 5},
    };
    for (const CommentCase& c : cases) {
        long long lines = 0;
        EXPECT_EQ(convertInMemory(c.input, &lines), datHeader() + crlf(c.dat)) << c.what;
        EXPECT_EQ(lines, c.lines) << c.what;
    }
}

}  // namespace
