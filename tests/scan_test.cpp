// Field extraction and the element handlers, seen through whole conversions:
// input lines in, DAT text out.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <memory>
#include <string>

#include "bytes/fast_paths.h"
#include "dat/combined_dat.h"
#include "scan/extract.h"
#include "test_support.h"

namespace {

struct LocateCase {
    std::string line;
    const char* keyword;
    int from;
    int found;
};

TEST(LocateAttribute, EqualsSignWindow)
{
    const LocateCase cases[] = {
        {"crc=\"1\"\n", "crc", 0, 0},
        {"crc =\"1\"\n", "crc", 0, 0},
        {"crc   =\"1\"\n", "crc", 0, 0},
        {"crc    =\"1\"\n", "crc", 0, 0},
        {"crc     =\"1\"\n", "crc", 0, -1},
        {"name    =\"1\"\n", "name", 0, 0},
        {"name     =\"1\"\n", "name", 0, -1},
        {"sha1=\"1\"\n", "sha", 0, 0},
        {"filesize=\"1\"\n", "size", 0, 4},
        {"crc x = 1\n", "crc", 0, 0},
        {"crc=1 crc=2\n", "crc", 1, 6},
        {"crc\n", "crc", 0, -1},
        {"crc", "crc", 0, -1},
        {"cr", "crc", 0, -1},
        {"x crc", "crc", 5, -1},
        {"crc  ", "crc", 0, -1},
        {"md5 md5=", "md5", 0, 0},
        {"md5=", "md5", 1, -1},
        {"  x    sha1=\"1\" crc=\"2\" size =\"3\"\n", "sha", 0, 7},
        {"  x    sha1=\"1\" crc=\"2\" size =\"3\"\n", "crc", 0, 16},
        {"  x    sha1=\"1\" crc=\"2\" size =\"3\"\n", "size", 0, 24},
        {"ashah crc1234=x sha=\n", "sha", 0, 16},
        {"ashah crc1234=x sha=\n", "crc", 0, 6},
        {"ashah crc1234=x sha=\n", "sha", 3, 16},
        {"size     =1 size=2\n", "size", 0, 12},
    };
    // The ROM handler's one pass over the equals signs must find what the
    // keyword search finds, for each of its four keywords.
    const char* romKeywords[romKeywordCount] = {"size", "crc", "sha", "md5"};
    for (const LocateCase& c : cases) {
        auto state = std::make_unique<ScanState>();
        state->lineLength = static_cast<std::int32_t>(c.line.size());
        state->line = c.line.data();
        EXPECT_EQ(locateAttribute(*state, c.keyword, c.from), c.found) << c.keyword << " in " << c.line;
        std::int32_t found[romKeywordCount];
        locateRomAttributes(*state, c.from, found);
        for (int k = 0; k < romKeywordCount; k++)
            EXPECT_EQ(found[k], locateAttribute(*state, romKeywords[k], c.from))
                << "one pass, " << romKeywords[k] << " in " << c.line;
    }
}

struct ConversionCase {
    const char* what;
    std::string input;
    std::string dat;            // after the header, LF line ends; per list, every list's DAT
    std::string skipped = "";   // per list: the skipped lists' lines
};

// Each case both ways: with the shortcuts, and with their general twins alone.
void expectConversions(const ConversionCase* begin, const ConversionCase* end, bool disks = false,
                       DatForm form = DatForm::Combined)
{
    for (bool general : {false, true}) {
        useGeneralPathsOnly(general);
        for (const ConversionCase* c = begin; c != end; c++)
            EXPECT_EQ(convertInMemory(c->input, nullptr, disks, form),
                      (form != DatForm::Combined ? "" : datHeader()) + crlf(c->dat) + c->skipped)
                << c->what << (general ? " (general paths)" : "");
    }
    useGeneralPathsOnly(false);
}

std::string game(const std::string& list, const std::string& name, const std::string& description)
{
    return "\ngame (\n  name \"" + name + "\"\n  description \"" + list + "\\" + name + "  [ " + description + " ]\"\n";
}

std::string closing(const std::string& list) { return "  rebuildto \"" + list + "\"\n)\n"; }

const std::string listLine = "<softwarelist name=\"l\" description=\"List\">\n";
const std::string softwareLine = "\t<software name=\"s\">\n";

TEST(Values, KeywordsQuotesAndEntities)
{
    const std::string lead = listLine + softwareLine + "<description>D</description>\n";
    const std::string open = game("l", "s", "D");
    const ConversionCase cases[] = {
        {"equals sign at offsets 3, 4 and 6",
         lead + "<rom name=\"a\" crc=\"c1\" />\n<rom name=\"b\" crc =\"c1\" />\n<rom name=\"c\" crc   =   \"c1\" />\n",
         open + "  rom ( name \"a\" crc c1 )\n  rom ( name \"b\" crc c1 )\n  rom ( name \"c\" crc c1 )\n"},
        {"equals sign at offset 8 is too far",
         lead + "<rom name=\"a\" crc     =\"c1\" sha1=\"s1\" />\n", open + "  rom ( name \"a\" sha1 s1 )\n"},
        {"empty values count as absent",
         lead + "<rom name=\"a\" size=\"\" crc=\"\" sha1=\"\" md5=\"\" />\n<rom name=\"\" crc=\"c\" />\n",
         open + "  rom ( name \"\" crc c )\n"},
        {"all four values, written size crc md5 sha1",
         lead + "<rom sha1=\"x\" name=\"a\" md5=\"m\" sha1=\"s\" crc=\"c\" size=\"9\" />\n",
         open + "  rom ( name \"a\" size 9 crc c md5 m sha1 s )\n"},
        {"attributes before the name are not seen", lead + "<rom crc=\"c\" name=\"a\" sha1=\"s\" />\n",
         open + "  rom ( name \"a\" sha1 s )\n"},
        {"size first after two spaces", lead + "<rom  size=\"4\" name=\"a\" crc=\"c\" />\n",
         open + "  rom ( name \"a\" crc c )\n"},
        {"size first after one space is ignored", lead + "<rom size=\"4\" name=\"a\" crc=\"c\" />\n", open},
        {"a keyword ending a longer word", lead + "<rom name=\"a\" filesize=\"7\" crc=\"c\" />\n",
         open + "  rom ( name \"a\" size 7 crc c )\n"},
        {"size alone writes nothing", lead + "<rom name=\"a\" size=\"4\" />\n<rom name=\"b\" />\n<rom\n", open},
        {"a start tag over two and three lines: the values still empty, up to the first '>'",
         lead + "<rom name=\"a\" size=\"4\"\r\n crc=\"c1\" sha1=\"s1\"/>\n<rom name=\"b\"\n\tcrc=\"c2\"\n size=\"4\" crc=\"x\" "
                "/> md5=\"m\"\n",
         open + "  rom ( name \"a\" size 4 crc c1 sha1 s1 )\n  rom ( name \"b\" size 4 crc c2 )\n"},
        {"a name on a continued line, decoded, and the first line's name kept over a later one",
         lead + "<rom\n  name=\"p&amp;.bin\" size=\"4\"\n crc=\"c1\" />\n<rom name=\"q\"\n name=\"z\" crc=\"c2\"/>\n",
         open + "  rom ( name \"p&.bin\" size 4 crc c1 )\n  rom ( name \"q\" crc c2 )\n"},
        {"a '/>' alone; a next line opening with '<' continues nothing",
         lead + "<rom name=\"a\" crc=\"c1\"\n  />\n<rom name=\"b\" size=\"1\"\n<rom name=\"c\" crc=\"c2\"/>\n",
         open + "  rom ( name \"a\" crc c1 )\n  rom ( name \"c\" crc c2 )\n"},
        {"16 lines continue a start tag, not 17",
         lead + "<rom name=\"a\"" + std::string(16, '\n') + "crc=\"c1\"/>\n<rom name=\"b\"" + std::string(17, '\n') +
             "crc=\"c2\"/>\n",
         open + "  rom ( name \"a\" crc c1 )\n"},
        {"ROM names are decoded",
         lead + "<rom name=\"Tom &amp; Jerry&apos;s &quot;x&quot; &amp;apos; &#38;\" crc=\"c\" />\n",
         open + "  rom ( name \"Tom & Jerry's &quot;x&quot; &apos; &#38;\" crc c )\n"},
        {"hashes are copied plainly", lead + "<rom name=\"a\" crc=\"&amp;\" />\n",
         open + "  rom ( name \"a\" crc &amp; )\n"},
        {"missing closing quote stops at the LF", lead + "<rom name=\"a\" crc=\"c1\n",
         open + "  rom ( name \"a\" crc c1 )\n"},
        {"unquoted value takes the next quoted one", lead + "<rom name=\"a\" crc=c1 sha1=\"s\" />\n",
         open + "  rom ( name \"a\" crc s sha1 s )\n"},
        {"no opening quote left gives an empty value", lead + "<rom name=\"a\" sha1=\"s\" crc=c1 />\n",
         open + "  rom ( name \"a\" sha1 s )\n"},
        {"a quote inside a ROM name ends it", lead + "<rom name=\"a crc=\"c\" sha1=\"s\" />\n",
         open + "  rom ( name \"a crc=\" sha1 s )\n"},
        {"ROM without a name writes nothing", lead + "<rom crc=\"c\" sha1=\"s\" />\n", open},
        {"ROM on an unlisted element writes nothing", lead + "<disk name=\"d\" sha1=\"s\" />\n", open},
        {"NUL ends a value", lead + std::string("<rom name=\"a\0b\" crc=\"c\" />\n<rom name=\"z\" crc=\"\0c\" />\n", 52),
         open + "  rom ( name \"a\" crc c )\n"},
        // The usual layout, name size crc sha1, read off at once where it holds.
        {"usual layout with an entity in the name", lead + "<rom name=\"a&amp;b\" size=\"1\" crc=\"c\" sha1=\"s\" />\n",
         open + "  rom ( name \"a&b\" size 1 crc c sha1 s )\n"},
        {"usual layout with md5 last", lead + "<rom name=\"a\" size=\"1\" crc=\"c\" sha1=\"s\" md5=\"m\" />\n",
         open + "  rom ( name \"a\" size 1 crc c md5 m sha1 s )\n"},
        {"usual layout, a keyword inside a value", lead + "<rom name=\"a\" size=\"1\" crc=\"sha1=\" sha1=\"s\" />\n",
         open + "  rom ( name \"a\" size 1 crc sha1= sha1  sha1= )\n"},
        {"usual layout, NUL in a hash", lead + std::string("<rom name=\"a\" size=\"1\" crc=\"c\0d\" sha1=\"s\" />\n", 45),
         open + "  rom ( name \"a\" size 1 crc c sha1 s )\n"},
        {"usual layout, input ends in the sha1", lead + "<rom name=\"a\" size=\"1\" crc=\"c\" sha1=\"s",
         open + "  rom ( name \"a\" size 1 crc c sha1 s )\n"},
        {"usual layout, input ends at a field's edge",
         lead + "<rom name=\"a\" size=\"1\" crc=\"c\" sha1=\n<rom name=\"b\" size=\"1\" crc=\"c\"",
         open + "  rom ( name \"a\" size 1 crc c )\n  rom ( name \"b\" size 1 crc c )\n"},
        // A keyword inside a value is found there by the general search: each
        // stop letter sends such a line the general way.
        {"usual layout, crc inside the size", lead + "<rom name=\"a\" size=\"crc=\" crc=\"c\" sha1=\"s\" />\n",
         open + "  rom ( name \"a\" size crc= crc  crc= sha1 s )\n"},
        {"usual layout, md5 inside the crc", lead + "<rom name=\"a\" size=\"1\" crc=\"md5=x\" sha1=\"s\" />\n",
         open + "  rom ( name \"a\" size 1 crc md5=x md5  sha1= sha1 s )\n"},
        {"usual layout, sha inside the crc", lead + "<rom name=\"a\" size=\"1\" crc=\"sha=x\" sha1=\"s\" />\n",
         open + "  rom ( name \"a\" size 1 crc sha=x sha1  sha1= )\n"},
        {"usual layout, stop letters alone", lead + "<rom name=\"a\" size=\"1\" crc=\"ih\" sha1=\"rm\" />\n",
         open + "  rom ( name \"a\" size 1 crc ih sha1 rm )\n"},
    };
    expectConversions(std::begin(cases), std::end(cases));
}

TEST(Values, OverlongValuesAreCut)
{
    const std::string lead = listLine + softwareLine + "<description>D</description>\n";
    const std::string longName(300, 'n');
    const std::string longText(1100, 't');
    const ConversionCase cases[] = {
        {"ROM name keeps 255 bytes and the search goes on after it",
         lead + "<rom name=\"" + longName + "\" crc=\"c\" />\n",
         game("l", "s", "D") + "  rom ( name \"" + longName.substr(0, 255) + "\" crc c )\n"},
        {"usual layout: names of 255, 256 and 300 bytes and a sha1 of 300 keep 255",
         lead + "<rom name=\"" + longName.substr(0, 255) + "\" size=\"1\" crc=\"c\" sha1=\"" + longText.substr(0, 300) +
             "\" />\n<rom name=\"" + longName.substr(0, 256) + "\" size=\"1\" crc=\"c\" sha1=\"s\" />\n<rom name=\"" +
             longName + "\" size=\"1\" crc=\"c\" sha1=\"s\" />\n",
         game("l", "s", "D") + "  rom ( name \"" + longName.substr(0, 255) + "\" size 1 crc c sha1 " +
             longText.substr(0, 255) + " )\n" + "  rom ( name \"" + longName.substr(0, 255) + "\" size 1 crc c sha1 s )\n" +
             "  rom ( name \"" + longName.substr(0, 255) + "\" size 1 crc c sha1 s )\n"},
        {"software name keeps 255 bytes", listLine + "<software name=\"" + longName + "\">\n<description>D</description>\n",
         game("l", longName.substr(0, 255), "D")},
        {"description keeps 1023 bytes", listLine + softwareLine + "<description>" + longText + "</description>\n",
         game("l", "s", longText.substr(0, 1023))},
        {"a hex size cut to 253 digits is written as it stands",
         lead + "<rom name=\"h\" size=\"0x" + std::string(300, 'f') + "\" crc=\"c\" />\n",
         game("l", "s", "D") + "  rom ( name \"h\" size 0x" + std::string(253, 'f') + " crc c )\n"},
    };
    expectConversions(std::begin(cases), std::end(cases));
}

TEST(Descriptions, TextUpToTheFirstClosingTag)
{
    const std::string lead = listLine + softwareLine;
    const ConversionCase cases[] = {
        {"entities decoded once", lead + "<description>A &amp;apos; B &apos; C &amp;</description>\n",
         game("l", "s", "A &apos; B ' C &")},
        {"other references and tags stay", lead + "<description>&quot;Q&quot; &lt;i&gt; <b>x</description>\n",
         game("l", "s", "&quot;Q&quot; &lt;i&gt; <b>x")},
        {"double quotes become two apostrophes, backslashes pass",
         lead + "<description>Say \"hi\" 3.5\" C:\\</description>\n", game("l", "s", "Say ''hi'' 3.5'' C:\\")},
        {"the first </ ends the text", lead + "<description>a</b> c</description>\n", game("l", "s", "a")},
        {"no closing tag: up to the LF", lead + "<description>open end\n", game("l", "s", "open end")},
        {"no closing tag, no LF", lead + "<description>open end", game("l", "s", "open end")},
        {"empty description", lead + "<description></description>\n", game("l", "s", "")},
        {"trailing < before the LF", lead + "<description>a <\n", game("l", "s", "a <")},
        {"entity cut by the end of input", lead + "<description>a &amp", game("l", "s", "a &amp")},
    };
    expectConversions(std::begin(cases), std::end(cases));
}

TEST(Handlers, GameBlocksFollowTheLines)
{
    const std::string rom = "<rom name=\"r\" crc=\"1\" />\n";
    const std::string romLine = "  rom ( name \"r\" crc 1 )\n";
    const ConversionCase cases[] = {
        {"usual entry",
         listLine + softwareLine + "<description>D</description>\n<part>\n" + rom + "</part>\n</software>\n</softwarelist>\n",
         game("l", "s", "D") + romLine + closing("l")},
        {"no description: no opening lines", listLine + softwareLine + rom + "</software>\n", romLine + closing("l")},
        {"second description opens a second block",
         listLine + softwareLine + "<description>A</description>\n<description>B</description>\n" + rom + "</software>\n",
         game("l", "s", "A") + game("l", "s", "B") + romLine + closing("l")},
        {"description before the software line keeps the old name",
         listLine + softwareLine + "</software>\n<description>D</description>\n<software name=\"t\">\n</software>\n",
         closing("l") + game("l", "s", "D") + closing("l")},
        {"description with attributes opens nothing",
         listLine + softwareLine + "<description lang=\"en\">D</description>\n" + rom + "</software>\n",
         romLine + closing("l")},
        {"nothing remembered yet", "<description>D</description>\n</software>\n", game("", "", "D") + closing("")},
        {"list and software names are copied plainly",
         "<softwarelist name=\"a&amp;b\">\n<software name=\"c&apos;d\">\n<description>D</description>\n",
         game("a&amp;b", "c&apos;d", "D")},
        {"name missing empties the remembered name",
         listLine + softwareLine + "<software id=\"x\">\n<description>D</description>\n", game("l", "", "D")},
        {"name without opening quote is empty",
         listLine + "<software name=s>\n<description>D</description>\n", game("l", "", "D")},
        {"two lists in a row",
         listLine + softwareLine + "<description>D</description>\n</software>\n</softwarelist>\n" +
             "<softwarelist name=\"m\">\n<software name=\"t\">\n<description>E</description>\n" + rom + "</software>\n",
         game("l", "s", "D") + closing("l") + game("m", "t", "E") + romLine + closing("m")},
        {"a file without final LF joins the next one",
         listLine + softwareLine + "<description>D</description>\n</software>" + "<softwarelist name=\"m\">\n",
         game("l", "s", "D") + closing("l")},
        {"closing line for a list is ignored", listLine + "</softwarelist>\n</software >\n", ""},
        {"CR LF line ends", "<softwarelist name=\"l\">\r\n<software name=\"s\">\r\n<description>D</description>\r\n" +
                                std::string("<rom name=\"r\" crc=\"1\"\r\n</software>\r\n"),
         game("l", "s", "D") + romLine + closing("l")},
    };
    expectConversions(std::begin(cases), std::end(cases));
}

// Nameless continue/ignore rows right after a ROM with a hash are more of
// the same file: their sizes add to the ROM's.
TEST(Handlers, ChunkRowsAddToTheRomBefore)
{
    const std::string lead = listLine + softwareLine + "<description>D</description>\n";
    const std::string open = game("l", "s", "D");
    auto rom = [](const std::string& size) { return "<rom name=\"a\" size=\"" + size + "\" crc=\"c\" />\n"; };
    auto chunk = [](const std::string& size, const std::string& flag = "continue") {
        return "\t<rom size=\"" + size + "\" offset=\"0x400000\" loadflag=\"" + flag + "\" />\n";
    };
    auto written = [](const std::string& size) { return "  rom ( name \"a\" size " + size + " crc c )\n"; };
    const ConversionCase cases[] = {
        {"hex sizes", lead + rom("0x100000") + chunk("0x100000"), open + written("2097152")},
        {"decimal sizes, ignore, several chunks, a tab after <rom",
         lead + rom("1") + chunk("2", "ignore") + chunk("0x4") + "<rom\tloadflag=\"ignore\" size=\"8\">\n",
         open + written("15")},
        {"a blank line or a comment between", lead + rom("1") + "\n" + chunk("2") + rom("3") + "<!-- -->\n" + chunk("4"),
         open + written("1") + written("3")},
        {"after a ROM without hashes", lead + "<rom name=\"n\" size=\"1\" />\n" + chunk("2"), open},
        {"before </software>, at the end of the input without LF",
         lead + rom("1") + chunk("2") + "</software>\n" + rom("4") + chunk("8").substr(0, 52),
         open + written("3") + closing("l") + written("12")},
        {"a size that is no number, in the ROM or a chunk",
         lead + rom("1") + chunk("x2") + rom("y") + chunk("2") + rom("0x") + chunk("1") + rom("1") + chunk("0x1" + std::string(17, '0')),
         open + written("1") + written("y") + written("0x") + written("1")},
    };
    // Digit counts, sums at 2^64 and the near misses (other loadflags, a
    // name, a hash, values past the start tag) come from the differential
    // generator, against its model.
    expectConversions(std::begin(cases), std::end(cases));
}

// One DAT per list: a header naming the list, games titled by their
// description alone and linked to their parents, with year, manufacturer and
// bad dumps, every value decoded; no rebuildto line. Each case in both forms.
TEST(Handlers, ListDatsOnePerList)
{
    auto header = [](const std::string& name, const std::string& description) {
        return "clrmamepro (\n\tname \"" + name + "\"\n\tdescription \"" + description +
               "\"\n\tcategory \"MESS\"\n\tauthor \"Tobrek's Grotwick V0.01\"\n)\n\n";
    };
    auto xmlHeader = [](const std::string& name, const std::string& description) {
        return "<?xml version=\"1.0\"?>\n<!DOCTYPE datafile PUBLIC \"-//Logiqx//DTD ROM Management Datafile//EN\" "
               "\"http://www.logiqx.com/Dats/datafile.dtd\">\n<datafile>\n\t<header>\n\t\t<name>" + name +
               "</name>\n\t\t<description>" + description + "</description>\n\t\t<category>MESS</category>\n"
               "\t\t<version/>\n\t\t<author>Tobrek's Grotwick V0.01</author>\n\t</header>\n";
    };
    const std::string clone = "<software name=\"c\" cloneof=\"p\">\n<description>C \"2\"</description>\n";
    const std::string chunk = "<rom size=\"16\" loadflag=\"continue\" />\n";
    const std::string rom = "<rom name=\"r\" size=\"0x10\" crc=\"1\" />\n" + chunk;
    const std::string references =
        "&lt;&gt;&quot;&apos;&amp; &#233;&#xE9; &#1; &#xD800; &#x110000; &bogus; &amp \xff\x01\"q\"";
    const std::string sets = "<softwarelist name=\"m\">\n<rom name=\"a\" crc=\"1\"/>\n<year>1980</year>\n"
                             "<description>A</description>\n<description>B</description>\n<rom name=\"b\" crc=\"2\"/>\n"
                             "</software>\n</software>\n<rom name=\"c\" crc=\"3\"/>\n";
    const std::string before = "<softwarelist name=\"n\">\n<software name=\"s\">\n<description>D</description>\n"
                               "<rom crc=\"c\" size=\"0x10\" name=\"r\" md5=\"m\" sha1=\"\"/>\n" + chunk +
                               "<rom name=\"nd\" size=\"4\" status=\"nodump\"/>\n<rom crc=\"x\" name=\"q\" status=\"good\"/>\n"
                               "<rom name=\"u\" size=\"1\" crc=\"c\" sha1=\"5\" status=\"baddump\"/>\n"
                               "<rom name=\"v\" size=\"1\" crc=\"c\" sha1=\"status=\"baddump\"/>\n";
    auto set = [](const std::string& name, const std::string& parent, const std::string& lines) {
        return "<software name=\"" + name + "\"" + (parent.empty() ? "" : " cloneof=\"" + parent + "\"") +
               ">\n<description>" + name + "</description>\n" + lines + "</software>\n";
    };
    const std::string romA = "<rom name=\"a.bin\" size=\"16\" crc=\"1\" sha1=\"a\"/>\n";
    const std::string family = "<softwarelist name=\"m\">\n" +
        set("c1", "p", "<rom name=\"x.bin\" size=\"0x10\" crc=\"1\" sha1=\"a\"/>\n<rom name=\"b.bin\" size=\"2\" crc=\"2\" "
                       "sha1=\"b\"/>\n<rom name=\"a.bin\" size=\"16\" crc=\"9\" sha1=\"a\"/>\n<disk name=\"e\" sha1=\"d\"/>\n") +
        set("p", "", romA + "<rom name=\"b.bin\" size=\"2\" crc=\"2\" sha1=\"b\"/>\n<disk name=\"d1\" sha1=\"d\"/>\n") +
        set("p", "", "<rom name=\"z.bin\" size=\"16\" crc=\"9\" sha1=\"a\"/>\n") + set("c2", "q", romA);
    auto block = [](const std::string& name, const std::string& parent, const std::string& lines) {
        return "\ngame (\n  name \"" + name + "\"\n  description \"" + name + "\"\n" +
               (parent.empty() ? "" : "  cloneof \"" + parent + "\"\n  romof \"" + parent + "\"\n") + lines + ")\n";
    };
    auto game = [](const std::string& name, const std::string& parent, const std::string& lines) {
        return "\t<game name=\"" + name + "\"" + (parent.empty() ? "" : " cloneof=\"" + parent + "\" romof=\"" + parent + "\"") +
               ">\n\t\t<description>" + name + "</description>\n" + lines + "\t</game>\n";
    };
    const std::string textA = "  rom ( name \"a.bin\" size 16 crc 1 sha1 a )\n";
    const std::string xmlA = "\t\t<rom name=\"a.bin\" size=\"16\" crc=\"1\" sha1=\"a\"/>\n";
    const std::string names(254, 'n');
    const struct {
        ConversionCase text;
        std::string xml;
    } cases[] = {
        {{"merges by hash, not by name, in the first set of the parent's name, which may follow; none without one",
          family, header("m", "m") +
              block("c1", "p", "  rom ( name \"x.bin\" merge \"a.bin\" size 16 crc 1 sha1 a )\n  rom ( name \"b.bin\" "
                               "merge \"b.bin\" size 2 crc 2 sha1 b )\n  rom ( name \"a.bin\" size 16 crc 9 sha1 a )\n"
                               "  disk ( name \"e\" merge \"d1\" sha1 d )\n") +
              block("p", "", textA + "  rom ( name \"b.bin\" size 2 crc 2 sha1 b )\n  disk ( name \"d1\" sha1 d )\n") +
              block("p", "", "  rom ( name \"z.bin\" size 16 crc 9 sha1 a )\n") + block("c2", "q", textA)},
         xmlHeader("m", "m") +
             game("c1", "p", "\t\t<rom name=\"x.bin\" merge=\"a.bin\" size=\"16\" crc=\"1\" sha1=\"a\"/>\n\t\t<rom "
                             "name=\"b.bin\" merge=\"b.bin\" size=\"2\" crc=\"2\" sha1=\"b\"/>\n\t\t<rom name=\"a.bin\" "
                             "size=\"16\" crc=\"9\" sha1=\"a\"/>\n\t\t<disk name=\"e\" merge=\"d1\" sha1=\"d\"/>\n") +
             game("p", "", xmlA + "\t\t<rom name=\"b.bin\" size=\"2\" crc=\"2\" sha1=\"b\"/>\n\t\t<disk name=\"d1\" "
                           "sha1=\"d\"/>\n") +
             game("p", "", "\t\t<rom name=\"z.bin\" size=\"16\" crc=\"9\" sha1=\"a\"/>\n") + game("c2", "q", xmlA) +
             "</datafile>\n"},
        {{"a disk before a rom; a value decoded, then cut; a tab and a line break",
          "<softwarelist name=\"n\">\n<software name=\"s\">\n<description>T&#9;&#10;\t</description>\n<disk name=\"d\" "
          "sha1=\"h\"/>\n<rom name=\"" + names + "&apos;&#233;\" crc=\"1\"/>\n</software>\n",
          header("n", "n") + "\ngame (\n  name \"s\"\n  description \"T\t&#10;\t\"\n  disk ( name \"d\" sha1 h )\n  rom ( name \"" +
              names + "'\" crc 1 )\n)\n"},
         xmlHeader("n", "n") + "\t<game name=\"s\">\n\t\t<description>T&#9;&#10;&#9;</description>\n\t\t<rom name=\"" + names +
             "'\" crc=\"1\"/>\n\t\t<disk name=\"d\" sha1=\"h\"/>\n\t</game>\n</datafile>\n"},
        {{"the list's name without a description; a list that cannot be a file, and what comes before the first",
          rom + "<softwarelist name=\"m\">\n<softwarelist name=\"a b\">\n" + clone + "<softwarelist name=\"m\">\n",
          header("m", "m"),
          "softlist2dat: line 1: list '' skipped: written before the first list\n"
          "softlist2dat: line 4: list 'a b' skipped: name holds a byte other than A-Z a-z 0-9 _ - .\n"
          "softlist2dat: line 7: list 'm' skipped: name met before in this run\n"},
         xmlHeader("m", "m") + "</datafile>\n"},
        {{"references decoded, year and publisher once, between the description and the first rom; bad dumps",
          "<softwarelist name=\"l\" description=\"&quot;A&quot;\">\n<software name=\"s&amp;t\" cloneof=\"p&apos;\">\n"
          "<description>" + references + "</description>\n<year>1990</year>\n<publisher>P &amp; Q</publisher>\n"
          "<year>1991</year>\n<rom crc=\"c\" name=\"r&#x22;\" size=\"0x10\" sha1=\"s\" status=\"baddump\"/>\n"
          "<publisher>late</publisher>\n<disk name=\"d\" sha1=\"h\" status=\"baddump\"/>\n</software>\n",
          header("l", "''A''") + "\ngame (\n  name \"s&t\"\n  description \"<>'''& \xc3\xa9\xc3\xa9 &#1; &#xD800; " +
              "&#x110000; &bogus; &amp \xff\x01''q''\"\n  cloneof \"p'\"\n  romof \"p'\"\n  year \"1990\"\n" +
              "  manufacturer \"P & Q\"\n  rom ( name \"r''\" size 16 crc c sha1 s flags baddump )\n" +
              "  disk ( name \"d\" sha1 h flags baddump )\n)\n"},
         xmlHeader("l", "&quot;A&quot;") + "\t<game name=\"s&amp;t\" cloneof=\"p'\" romof=\"p'\">\n\t\t<description>" +
             "&lt;&gt;&quot;'&amp; \xc3\xa9\xc3\xa9 &amp;#1; &amp;#xD800; &amp;#x110000; &amp;bogus; &amp;amp " +
             "\xef\xbf\xbd&quot;q&quot;</description>\n\t\t<year>1990</year>\n\t\t<manufacturer>P &amp; Q" +
             "</manufacturer>\n\t\t<rom name=\"r&quot;\" size=\"16\" crc=\"c\" sha1=\"s\" status=\"baddump\"/>\n" +
             "\t\t<disk name=\"d\" sha1=\"h\" status=\"baddump\"/>\n\t</game>\n</datafile>\n"},
        {{"XML keeps to game elements: a rom outside one is left out, a second description closes the first",
          sets, header("m", "m") + "  rom ( name \"a\" crc 1 )\n\ngame (\n  name \"\"\n  description \"A\"\n" +
                    "\ngame (\n  name \"\"\n  description \"B\"\n  rom ( name \"b\" crc 2 )\n)\n)\n  rom ( name \"c\" crc 3 )\n"},
         xmlHeader("m", "m") + "\t<game name=\"\">\n\t\t<description>A</description>\n\t</game>\n\t<game name=\"\">\n" +
             "\t\t<description>B</description>\n\t\t<rom name=\"b\" crc=\"2\"/>\n\t</game>\n</datafile>\n"},
        {{"ROM values before the name, with their chunks; no hash, no rom; the usual layout's status, and one in its sha1",
          before, header("n", "n") + "\ngame (\n  name \"s\"\n  description \"D\"\n" +
                      "  rom ( name \"r\" size 32 crc c md5 m )\n  rom ( name \"q\" crc x )\n" +
                      "  rom ( name \"u\" size 1 crc c sha1 5 flags baddump )\n" +
                      "  rom ( name \"v\" size 1 crc c sha1 status= flags baddump )\n"},
         xmlHeader("n", "n") + "\t<game name=\"s\">\n\t\t<description>D</description>\n" +
             "\t\t<rom name=\"r\" size=\"32\" crc=\"c\" md5=\"m\"/>\n\t\t<rom name=\"q\" crc=\"x\"/>\n" +
             "\t\t<rom name=\"u\" size=\"1\" crc=\"c\" sha1=\"5\" status=\"baddump\"/>\n" +
             "\t\t<rom name=\"v\" size=\"1\" crc=\"c\" sha1=\"status=\" status=\"baddump\"/>\n\t</game>\n</datafile>\n"},
    };
    for (const auto& c : cases) {
        expectConversions(&c.text, &c.text + 1, true, DatForm::ListText);
        const ConversionCase xml{c.text.what, c.text.input, c.xml, c.text.skipped};
        expectConversions(&xml, &xml + 1, true, DatForm::ListXml);
    }
}

// Merges at the bounds of the tables that find them: parents of 31, 32, 33
// and 100 rom lines and a disk (searched line by line up to 32 lines, by
// hash beyond), in lists of 2, 129 and 300 sets (the names' table grows
// past 128), the parent before and after its clone. A clone's line merges
// from the parent's line of equal size, crc and sha1, the hashes' letters
// in either case, but not from one without a name.
TEST(Handlers, MergesAtTheBoundsOfTheirTables)
{
    auto hex = [](int value) {
        char text[9];
        std::snprintf(text, sizeof text, "%08X", value);
        return std::string(text);
    };
    auto lower = [](std::string text) {
        for (char& c : text)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    auto software = [](const std::string& name, const std::string& parent, const std::string& lines) {
        return "<software name=\"" + name + "\"" + (parent.empty() ? "" : " cloneof=\"" + parent + "\"") +
               ">\n<description>" + name + "</description>\n" + lines + "</software>\n";
    };
    for (int roms : {31, 32, 33, 100}) {
        std::string parent = "<rom name=\"\" size=\"4\" crc=\"0000EEEE\" sha1=\"EE\"/>\n";
        for (int i = 0; i < roms - 1; i++)
            parent += "<rom name=\"r" + std::to_string(i) + ".bin\" size=\"4\" crc=\"" + hex(i) + "\" sha1=\"A" + hex(i) + "\"/>\n";
        parent += "<disk name=\"d\" sha1=\"DD\"/>\n";
        const std::string last = hex(roms - 2);
        const std::string clone = software(
            "c", "p", "<rom name=\"x.bin\" size=\"0x4\" crc=\"" + lower(last) + "\" sha1=\"a" + lower(last) + "\"/>\n" +
            "<rom name=\"y.bin\" size=\"4\" crc=\"0000eeee\" sha1=\"ee\"/>\n<disk name=\"e\" sha1=\"dd\"/>\n");
        const std::string cloneBlock = "\ngame (\n  name \"c\"\n  description \"c\"\n  cloneof \"p\"\n  romof \"p\"\n"
                                       "  rom ( name \"x.bin\" merge \"r" + std::to_string(roms - 2) + ".bin\" size 4 crc " +
                                       lower(last) + " sha1 a" + lower(last) + " )\n  rom ( name \"y.bin\" size 4 crc "
                                       "0000eeee sha1 ee )\n  disk ( name \"e\" merge \"d\" sha1 dd )\n)\n";
        for (int sets : {2, 129, 300}) {
            std::string others;
            for (int i = 0; i < sets - 2; i++)
                others += software("f" + std::to_string(i), "", "<rom name=\"f\" size=\"4\" crc=\"1\" sha1=\"1\"/>\n");
            for (const bool parentFirst : {true, false}) {
                const std::string input = "<softwarelist name=\"m\">\n" +
                                          (parentFirst ? software("p", "", parent) + others + clone
                                                       : clone + others + software("p", "", parent));
                const std::string dat = convertInMemory(input, nullptr, true, DatForm::ListText);
                const std::size_t at = dat.find("\r\ngame (\r\n  name \"c\"");
                ASSERT_NE(at, std::string::npos);
                EXPECT_EQ(dat.substr(at, crlf(cloneBlock).size()), crlf(cloneBlock))
                    << roms << " rom lines, " << sets << " sets, the parent " << (parentFirst ? "first" : "last");
            }
        }
    }
}

// Disk lines, with disks asked for: like a ROM line's name and sha1, each
// search bounded as the ROM handler's.
TEST(Handlers, DiskLinesWithDisksAskedFor)
{
    const std::string lead = listLine + softwareLine + "<description>D</description>\n";
    const std::string open = game("l", "s", "D");
    const std::string sha = "533f8ed17f684b2798c9fae5d7e834a7d4d81147";
    const std::string disk = "<disk name=\"imsa racing\" sha1=\"" + sha + "\" />\n";
    const std::string diskLine = "  disk ( name \"imsa racing\" sha1 " + sha + " )\n";
    const std::string longName(300, 'n');
    const ConversionCase cases[] = {
        {"a disk with a sha1", lead + "\t\t\t" + disk + "</software>\n", open + diskLine + closing("l")},
        {"a tab after <disk, in input order with the roms",
         lead + "<rom name=\"r\" crc=\"1\" />\n<disk\tname=\"d\" sha1=\"s\" />\n<rom name=\"q\" crc=\"2\" />\n",
         open + "  rom ( name \"r\" crc 1 )\n  disk ( name \"d\" sha1 s )\n  rom ( name \"q\" crc 2 )\n"},
        {"no sha1: nothing", lead + "<disk name=\"d\" status=\"nodump\" />\n", open},
        {"sha1 before the name: nothing", lead + "<disk sha1=\"s\" name=\"d\" />\n", open},
        {"no name: nothing", lead + "<disk sha1=\"s\" />\n", open},
        {"name decoded, sha1 plain", lead + "<disk name=\"Tom &amp; Jerry&apos;s\" sha1=\"a&amp;b\" />\n",
         open + "  disk ( name \"Tom & Jerry's\" sha1 a&amp;b )\n"},
        {"a disk before any game, where it stands", disk, diskLine},
        {"lookalikes and a commented-out disk write nothing",
         lead + "<diskarea name=\"cdrom\">\n<disk>\n<DISK name=\"d\" sha1=\"s\" />\n<!--\n" + disk + "-->\n", open},
        {"values cut at 255 bytes", lead + "<disk name=\"" + longName + "\" sha1=\"" + longName + "\" />\n",
         open + "  disk ( name \"" + longName.substr(0, 255) + "\" sha1 " + longName.substr(0, 255) + " )\n"},
        {"a missing closing quote stops at the LF", lead + "<disk name=\"d\" sha1=\"abc\n", open + "  disk ( name \"d\" sha1 abc )\n"},
        {"a NUL ends a value", lead + "<disk name=\"d\" sha1=\"" + '\0' + "s\" />\n<disk name=\"e" + '\0' + "x\" sha1=\"t\" />\n",
         open + "  disk ( name \"e\" sha1 t )\n"},
        {"a disk tag over three lines, its name on the second", lead + "<disk\n name=\"d&amp;\"\n sha1=\"s\" />\n",
         open + "  disk ( name \"d&\" sha1 s )\n"},
    };
    expectConversions(std::begin(cases), std::end(cases), true);
    // Without the option a disk line is like any line the table does not list.
    EXPECT_EQ(convertInMemory(lead + disk), datHeader() + crlf(open));
}

TEST(LongLines, EachPieceStandsAlone)
{
    const std::string lead = listLine + softwareLine + "<description>D</description>\n";
    const std::string open = game("l", "s", "D");
    // The opening of a ROM line lands at the start of the second piece.
    const std::string padded = std::string(2047, 'x') + "<rom name=\"p\" crc=\"1\" />\n";
    // A crc value cut by the end of the first piece keeps what that piece held.
    std::string split = "<rom name=\"q\" sha1=\"s\"";
    split += std::string(2047 - split.size() - 8, ' ') + " crc=\"12" + "34\" />\n";
    const ConversionCase cases[] = {
        {"element opening a later piece", lead + padded, open + "  rom ( name \"p\" crc 1 )\n"},
        {"value cut at the piece's end", lead + split, open + "  rom ( name \"q\" crc 12 sha1 s )\n"},
    };
    expectConversions(std::begin(cases), std::end(cases));
    long long lines = 0;
    convertInMemory(lead + padded, &lines);
    EXPECT_EQ(lines, 3 + 2);
}

}  // namespace

#if defined(__SANITIZE_ADDRESS__)
namespace {

// In sanitizer builds a look at the first byte past the piece must trap,
// wherever the piece lives: in place in the caller's memory (an exact-size
// buffer, as the fuzzer's), in place in the file's chunk buffer, or copied
// for its CR LF.
TEST(LineBuffer, TailPastThePieceIsPoisoned)
{
    const struct {
        const char* where;
        std::string text;
        bool fromFile;
    } cases[] = {
        {"in memory", "ab\ncd", false},
        {"in the file buffer", "ab\ncd", true},
        {"copied for CR LF", "ab\r\ncd", false},
    };
    for (const auto& c : cases) {
        TempDir dir;
        auto input = std::make_unique<char[]>(c.text.size());
        c.text.copy(input.get(), c.text.size());
        auto in = std::make_unique<TextInput>();
        auto out = std::make_unique<TextOutput>();
        auto state = std::make_unique<ScanState>();
        std::string sink;
        if (c.fromFile) {
            writeFile(dir.file("in"), c.text);
            ASSERT_TRUE(openTextInput(*in, dir.file("in").c_str()));
        } else {
            openTextInputFromMemory(*in, input.get(), c.text.size());
        }
        initScanState(*state, *in);
        ASSERT_TRUE(readLine(*state));
        ASSERT_EQ(state->lineLength, 3);
        EXPECT_DEATH(
            {
                volatile char past = state->line[state->lineLength];
                (void)past;
            },
            "use-after-poison|heap-buffer-overflow")
            << c.where;
        releaseLine(*state);
        closeTextInput(*in);
    }
}

}  // namespace
#endif
