// The DAT writer's exact bytes.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dat/dat_text.h"
#include "dat/list_xml.h"
#include "test_support.h"

namespace {

template <typename Write>
std::string written(Write write)
{
    std::string sink;
    auto out = std::make_unique<TextOutput>();
    openTextOutputToMemory(*out, sink);
    write(*out);
    closeTextOutput(*out);
    return sink;
}

TEST(DatWriter, HeaderIsFixed)
{
    EXPECT_EQ(written([](TextOutput& out) { writeHeader(out, ""); }),
              "clrmamepro (\r\n\tname \"MESS Software Lists\"\r\n\tdescription \"All MESS Software Lists Combined\"\r\n"
              "\tcategory \"MESS\"\r\n\tauthor \"Tobrek's Grotwick V0.01\"\r\n)\r\n\r\n");
}

TEST(DatWriter, GameBlockLinesWithQuotesAsApostrophes)
{
    const struct {
        const char* description;
        const char* title;
    } cases[] = {
        {"Super Mario \\Bros.", "Super Mario \\Bros."},
        {"3.5\" disk", "3.5'' disk"},
        {"\"Going Home\"", "''Going Home''"},
        {"\"\"\"", "''" "''" "''"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(written([&](TextOutput& out) {
                      openGame(out, "nes", "smb", c.description);
                      closeGame(out, "nes");
                  }),
                  std::string("\r\ngame (\r\n  name \"smb\"\r\n  description \"nes\\smb  [ ") + c.title +
                      " ]\"\r\n  rebuildto \"nes\"\r\n)\r\n");
}

// A byte the form writes otherwise at every position of titles of every
// length around the bounds a short value is copied and looked over in (4,
// 8, 16 and 64 bytes), and none: a quote and an LF in the text form; '&', a
// control and a byte that is no UTF-8 in XML.
TEST(DatWriter, SpecialByteAtEveryPositionOfATitle)
{
    const struct {
        char mark;
        bool xml;
        const char* written;
    } marks[] = {{'"', false, "''"}, {'\n', false, "\r\n"}, {'&', true, "&amp;"}, {'\x01', true, ""},
                 {'\x80', true, "\xEF\xBF\xBD"}};
    for (std::size_t size = 0; size <= 66; size++) {
        for (std::size_t at = 0; at <= size; at++) {
            for (const auto& m : marks) {
                std::string title(size, 't');
                if (at < size)
                    title[at] = m.mark;
                const std::string want = at < size ? title.substr(0, at) + m.written + title.substr(at + 1) : title;
                const std::string dat = written([&](TextOutput& out) {
                    if (m.xml)
                        ListXml::openSet(out, SetLines{"s", title, "", "", ""});
                    else
                        openGame(out, "l", "s", title);
                });
                EXPECT_EQ(dat, m.xml ? "\t<game name=\"s\">\r\n\t\t<description>" + want + "</description>\r\n"
                                     : "\r\ngame (\r\n  name \"s\"\r\n  description \"l\\s  [ " + want + " ]\"\r\n")
                    << "size " << size << ", byte " << static_cast<int>(m.mark) << " at " << at;
            }
        }
    }
}

// A ROM's values as the scan reports them, its size read as the scan reads
// it (no chunks).
RomValues values(std::string_view size, std::string_view crc, std::string_view md5, std::string_view sha1)
{
    return RomValues{romSize(size, false, true, 0), crc, md5, sha1};
}

struct RomCase {
    const char* size;
    const char* crc;
    const char* md5;
    const char* sha1;
    const char* line;
};

TEST(DatWriter, RomLineFieldsInFixedOrder)
{
    const RomCase cases[] = {
        {"16", "0badf00d", "0123", "abcd", "  rom ( name \"x.bin\" size 16 crc 0badf00d md5 0123 sha1 abcd )\r\n"},
        {"", "0badf00d", "", "", "  rom ( name \"x.bin\" crc 0badf00d )\r\n"},
        {"16", "", "", "abcd", "  rom ( name \"x.bin\" size 16 sha1 abcd )\r\n"},
        {"", "", "0123", "", "  rom ( name \"x.bin\" md5 0123 )\r\n"},
        {"", "", "", "", "  rom ( name \"x.bin\" )\r\n"},
    };
    for (const RomCase& c : cases)
        EXPECT_EQ(written([&](TextOutput& out) { writeRom(out, "x.bin", values(c.size, c.crc, c.md5, c.sha1)); }),
                  c.line);
}

TEST(DatWriter, HexSizesInDecimalOthersAsStored)
{
    const std::string longHex = "0x" + std::string(253, 'f');
    const struct {
        std::string stored;
        std::string written;
    } cases[] = {
        {"0x1000", "4096"}, {"0X1F", "31"}, {"0x0", "0"}, {"0xaBc", "2748"},
        {"0x00000000000000000001", "1"}, {"0xffffffffffffffff", "18446744073709551615"},
        {"0x", "0x"}, {"0x1g", "0x1g"}, {" 0x10", " 0x10"}, {"0x10 ", "0x10 "}, {"-0x10", "-0x10"},
        {"0x0x10", "0x0x10"}, {"00x10", "00x10"}, {"0x10000000000000000", "0x10000000000000000"},
        {"0016", "0016"}, {std::string("0x10\0zz", 7), "16"}, {std::string("0x\0" "10", 5), "0x"},
        {longHex, longHex},
    };
    for (const auto& c : cases)
        EXPECT_EQ(written([&](TextOutput& out) { writeRom(out, "x", values(c.stored.c_str(), "1", "", "")); }),
                  "  rom ( name \"x\" size " + c.written + " crc 1 )\r\n")
            << c.stored;
}

TEST(DatWriter, ValueEndsAtItsFirstNul)
{
    const char name[] = {'a', '\0', 'b', '\0'};
    EXPECT_EQ(written([&](TextOutput& out) { writeRom(out, name, values("", "1", "", "")); }),
              "  rom ( name \"a\" crc 1 )\r\n");
}

}  // namespace
