// The text-mode streams: how input is cut into pieces and translated, and how
// output is translated and its write failures seen.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bytes/find_byte.h"
#include "platform/text_input.h"
#include "platform/text_output.h"
#include "run/copy_ahead.h"
#include "run/scan_loop.h"
#include "dat/combined_dat.h"
#include "scan/scan_state.h"
#include "test_support.h"

namespace {

std::vector<std::string> piecesOf(TextInput& in)
{
    std::vector<std::string> pieces;
    char spare[pieceLimit];
    for (Piece piece; (piece = readPiece(in, spare)).size > 0;)
        pieces.emplace_back(piece.bytes, static_cast<std::size_t>(piece.size));
    return pieces;
}

std::vector<std::string> piecesOfMemory(const std::string& bytes)
{
    auto in = std::make_unique<TextInput>();
    openTextInputFromMemory(*in, bytes.data(), bytes.size());
    return piecesOf(*in);
}

std::vector<std::string> piecesOfFile(const std::string& bytes)
{
    TempDir dir;
    writeFile(dir.file("in"), bytes);
    auto in = std::make_unique<TextInput>();
    EXPECT_TRUE(openTextInput(*in, dir.file("in").c_str()));
    std::vector<std::string> pieces = piecesOf(*in);
    EXPECT_FALSE(in->failed);
    closeTextInput(*in);
    return pieces;
}

std::string run(char c, std::size_t count) { return std::string(count, c); }

struct PieceCase {
    const char* what;
    std::string input;
    std::vector<std::string> pieces;
};

std::vector<PieceCase> pieceCases()
{
    using std::string;
    return {
        {"empty input", "", {}},
        {"lines end after their LF", "a\nbc\n\n", {"a\n", "bc\n", "\n"}},
        {"last line without LF", "a\nlast", {"a\n", "last"}},
        {"CR LF becomes LF", "a\r\nb\r\n", {"a\n", "b\n"}},
        {"lone CR stays", "a\rb\n\r", {"a\rb\n", "\r"}},
        {"CR CR LF keeps the first CR", "a\r\r\n", {"a\r\n"}},
        {"0x1A and NUL are ordinary bytes", string("a\x1a" "b\n", 4) + string("\0x\n", 3),
         {string("a\x1a" "b\n"), string("\0x\n", 3)}},
        {"line of 2046 bytes and LF is one piece", run('a', 2046) + "\n", {run('a', 2046) + "\n"}},
        {"line of 2047 bytes and LF is two pieces", run('a', 2047) + "\n", {run('a', 2047), "\n"}},
        {"2046 bytes and CR LF fit one piece", run('a', 2046) + "\r\n", {run('a', 2046) + "\n"}},
        {"2047 bytes and CR LF: the LF is a piece of its own", run('a', 2047) + "\r\nz",
         {run('a', 2047), "\n", "z"}},
        {"2046 bytes and a lone CR fill a piece", run('a', 2046) + "\rb\n", {run('a', 2046) + "\r", "b\n"}},
        {"long line in three pieces", run('x', 5000) + "\n", {run('x', 2047), run('x', 2047), run('x', 906) + "\n"}},
        {"long line without LF", run('x', 4094), {run('x', 2047), run('x', 2047)}},
    };
}

TEST(TextInput, CutsAndTranslatesPieces)
{
    for (const PieceCase& c : pieceCases()) {
        EXPECT_EQ(piecesOfMemory(c.input), c.pieces) << c.what << " (memory)";
        EXPECT_EQ(piecesOfFile(c.input), c.pieces) << c.what << " (file)";
    }
}

// A line of `length` bytes starting at `lead`, then short lines and a closing
// tag: around a long line, pieces cut at the length limit must leave the
// following lines whole, wherever the line lies against the 64-byte blocks
// and the file buffer's refill.
std::string longLineAt(std::size_t lead, std::size_t length, const char* lineEnd)
{
    std::string bytes;
    while (bytes.size() + 1000 < lead)
        bytes += run(' ', 999) + "\n";
    if (bytes.size() < lead)
        bytes += run(' ', lead - bytes.size() - 1) + "\n";
    return bytes + run('x', length) + lineEnd + "\n \n" + run(' ', 9) + "\n\t</software>\n";
}

TEST(TextInput, LongLinesAtEveryAlignment)
{
    for (std::size_t length : {2046u, 2047u, 2048u, 2049u, 4094u, 4095u}) {
        // Every offset from the start, the file's last refill falling at
        // every place in and around the line.
        for (std::size_t lead = 0; lead < 128; lead++) {
            const std::string bytes = longLineAt(lead, length, lead % 2 ? "\r" : "");
            const std::vector<std::string> expected = piecesOneLineAtATime(bytes);
            ASSERT_EQ(piecesOfMemory(bytes), expected) << "memory: " << length << " bytes at " << lead;
            ASSERT_EQ(piecesOfFile(bytes), expected) << "file: " << length << " bytes at " << lead;
        }
        // Across the first refill that reads new bytes: the line starting
        // there, or ending there; steps of 3 meet every place in a block.
        for (std::size_t base : {inputChunkSize - 96, inputChunkSize - length - 96}) {
            for (std::size_t lead = base; lead < base + 192; lead += 3) {
                const std::string bytes = longLineAt(lead, length, lead % 2 ? "\r" : "");
                ASSERT_EQ(piecesOfFile(bytes), piecesOneLineAtATime(bytes)) << length << " bytes at " << lead;
            }
        }
    }
}

// A copy that publishes the file's bytes as a script says: `first` bytes,
// then `step` more at each wait, up to `size`.
struct ScriptedCopy {
    std::uint64_t size;
    std::uint64_t step;
};

std::uint64_t publishNext(void* context, std::uint64_t have)
{
    const ScriptedCopy& copy = *static_cast<const ScriptedCopy*>(context);
    return have + copy.step < copy.size ? have + copy.step : copy.size;
}

// The streams and record of one scan, reused from run to run.
struct Scan {
    TextInput in;
    TextOutput out;
    ScanState state;
};

// The combined DAT of what the open input `scan.in` reads; closes it.
std::string convertOpenInput(Scan& scan)
{
    std::string dat;
    CombinedDat writer(scan.out, "", &dat);
    writer.open();
    initScanState(scan.state, scan.in);
    scanAllLines(scan.state, writer);
    writer.close();
    closeTextInput(scan.in);
    return dat;
}

// The whole scan of the file `path`, reading beside the scripted copy.
std::string convertFollowing(Scan& scan, const std::string& path, std::uint64_t first, ScriptedCopy copy,
                             long long& lines)
{
    EXPECT_TRUE(openTextInput(scan.in, path.c_str()));
    scan.in.readable = first;
    scan.in.waitForMore = publishNext;
    scan.in.waitContext = &copy;
    const std::string dat = convertOpenInput(scan);
    lines = scan.state.lineCount;
    return dat;
}

TEST(TextInput, ScanBesideACopyIsTheScanAfterIt)
{
    const std::string list = "<softwarelist name=\"l\">\n<software name=\"s\">\n<description>D</description>\n"
                             "<rom name=\"r\" size=\"1\" crc=\"c\" />\n";
    const std::string inputs[] = {
        run(' ', 26) + "\n" + run(' ', 2048) + "\n" + run(' ', 9) + "\n\t</software>\n",
        run('\n', 37) + run(' ', 2047) + "\n\n\n",
        list + run('\t', 2047) + "\r\n" + run(' ', 4095) + "\n<rom name=\"t\" crc=\"d\" />\n</software>\n",
        list + run(' ', 100) + run('\t', 2047) + "</software>\n" + run(' ', 2047),
    };
    TempDir dir;
    auto scan = std::make_unique<Scan>();
    for (const std::string& bytes : inputs) {
        writeFile(dir.file("copy"), bytes);
        long long wantLines = 0;
        const std::string want = convertInMemory(bytes, &wantLines);
        const std::uint64_t size = bytes.size();
        // Every first publication, the rest at once; then steps around the
        // block and piece sizes.
        for (std::uint64_t first = 0; first <= size; first++) {
            for (std::uint64_t step : {size, std::uint64_t{1}, std::uint64_t{64}, std::uint64_t{2047}}) {
                if (step != size && first % 61 != 0)
                    continue;
                long long lines = 0;
                ASSERT_EQ(convertFollowing(*scan, dir.file("copy"), first, ScriptedCopy{size, step}, lines), want)
                    << "first " << first << ", step " << step;
                ASSERT_EQ(lines, wantLines) << "first " << first << ", step " << step;
            }
        }
    }
}

// The copy-ahead with a scripted copy on its helper thread: the target
// written and published in steps of `step` bytes, the copy failing after
// `failAfter` bytes (or never), and ending at once after its last step.
struct CopyScript {
    std::string bytes;
    std::size_t step;
    std::size_t failAfter;
};
const CopyScript* script = nullptr;

int scriptedCopy(const char* target, const CopyWatch& watch)
{
    FILE* file = std::fopen(target, "w+b");
    watch.targetCreated(watch.context, true, dup(fileno(file)));
    for (std::size_t done = 0; done < script->bytes.size();) {
        const std::size_t size = std::min(script->step, script->bytes.size() - done);
        if (done + size > script->failAfter) {
            std::fclose(file);
            return 1;
        }
        std::fwrite(script->bytes.data() + done, 1, size, file);
        std::fflush(file);
        done += size;
        watch.bytesAppended(watch.context, done);
    }
    std::fclose(file);
    return 0;
}

TEST(CopyAhead, ScanBesideAScriptedCopy)
{
    const std::string list = longLineAt(100, 2047, "") + "<softwarelist name=\"l\">\n<software name=\"s\">\n"
                             "<description>D</description>\n<rom name=\"r\" size=\"1\" crc=\"c\" />\n</software>\n";
    long long wantLines = 0;
    const std::string want = convertInMemory(list, &wantLines);
    TempDir dir;
    const std::string target = dir.file("copy");
    auto scan = std::make_unique<Scan>();
    const std::size_t never = ~std::size_t{0};
    for (std::size_t step : {std::size_t{1}, std::size_t{64}, std::size_t{2047}, std::size_t{5000}}) {
        for (std::size_t failAfter : {never, list.size() / 2}) {
            const CopyScript plan{list, step, failAfter};
            script = &plan;
            CopyAhead copy;
            copy.start(scriptedCopy, target.c_str());
            ASSERT_TRUE(copy.waitUntilTargetReserved());
            ASSERT_TRUE(openTextInputOn(scan->in, copy.takeTarget()));
            copy.follow(scan->in);
            const std::string dat = convertOpenInput(*scan);
            const int status = copy.finish();
            const std::string where = "steps of " + std::to_string(step) + (failAfter == never ? "" : ", failing");
            if (failAfter == never) {
                EXPECT_EQ(status, 0) << where;
                EXPECT_EQ(dat, want) << where;
                EXPECT_EQ(scan->state.lineCount, wantLines) << where;
            } else {
                // The scan ends with the copy, on what was published.
                EXPECT_EQ(status, 1) << where;
                EXPECT_LE(scan->state.lineCount, wantLines) << where;
            }
            std::remove(target.c_str());
        }
    }
}

TEST(TextInput, TranslatesCrLfAcrossChunkBoundaries)
{
    // Put a CR LF pair across every possible refill boundary near the chunk size.
    for (std::size_t cut = inputChunkSize - 3; cut <= inputChunkSize + 3; cut++) {
        std::string bytes;
        while (bytes.size() + 60 < cut)
            bytes += run('q', 57) + "\r\n";
        bytes += run('r', cut - 1 - bytes.size()) + "\r\n" + "tail\r\n";
        std::string expected;
        for (const std::string& piece : piecesOfFile(bytes))
            expected += piece;
        std::string translated;
        for (std::size_t i = 0; i < bytes.size(); i++)
            if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n'))
                translated += bytes[i];
        EXPECT_EQ(expected, translated) << "CR at offset " << cut - 1;
    }
}

TEST(TextInput, RefusesWhatIsNotARegularFile)
{
    TempDir dir;
    auto in = std::make_unique<TextInput>();
    EXPECT_FALSE(openTextInput(*in, dir.path().c_str()));
    EXPECT_FALSE(openTextInput(*in, dir.file("missing").c_str()));
}

TEST(TextInput, ReportsAReadError)
{
    // Reading this process's memory at address 0 fails with EIO.
    auto in = std::make_unique<TextInput>();
    ASSERT_TRUE(openTextInput(*in, "/proc/self/mem"));
    char spare[pieceLimit];
    EXPECT_EQ(readPiece(*in, spare).size, 0);
    EXPECT_TRUE(in->failed);
    EXPECT_EQ(in->errorNumber, EIO);
    EXPECT_EQ(readPiece(*in, spare).size, 0);
    closeTextInput(*in);
}

TEST(FindByte, AgreesWithMemchrAtEveryPosition)
{
    // Around the 8- and 16-byte steps, the short tails and the hand-over to
    // memchr; in a buffer of the exact size, so that the sanitizer build
    // sees any look past it.
    for (std::size_t size : {0u, 1u, 7u, 8u, 15u, 16u, 17u, 20u, 24u, 31u, 127u, 128u, 129u, 140u, 300u}) {
        for (std::size_t at = 0; at <= size; at++) {
            auto text = std::make_unique<char[]>(size);
            std::memset(text.get(), 'a', size);
            if (at < size)
                text[at] = '\n';
            const void* expected = std::memchr(text.get(), '\n', size);
            std::size_t want = expected == nullptr ? size : static_cast<std::size_t>(static_cast<const char*>(expected) - text.get());
            EXPECT_EQ(findByte(text.get(), size, '\n'), want) << "size " << size << ", LF at " << at;
            EXPECT_EQ((findAnyByte<'\n', '\0'>(text.get(), size)), want) << "size " << size << ", LF at " << at;
            EXPECT_EQ((findAnyByte<'\0', '&', '\n'>(text.get(), size)), want) << "size " << size << ", LF at " << at;
        }
    }
}

TEST(TextOutput, TurnsEveryLfIntoCrLf)
{
    std::string sink;
    auto out = std::make_unique<TextOutput>();
    openTextOutputToMemory(*out, sink);
    writeText(*out, "a\nb\r\n\n", 6);
    writeString(*out, "no line end");
    EXPECT_TRUE(closeTextOutput(*out));
    EXPECT_EQ(sink, "a\r\nb\r\r\n\r\nno line end");
}

TEST(TextOutput, TranslatesLfAtEveryPositionOfAWord)
{
    for (std::size_t size = 0; size <= 40; size++) {
        for (std::size_t at = 0; at <= size; at++) {
            std::string text(size, 'w');
            if (at < size)
                text[at] = '\n';
            if (size > 0)
                text[size - 1] = at == size ? text[size - 1] : '\n';
            std::string sink;
            auto out = std::make_unique<TextOutput>();
            openTextOutputToMemory(*out, sink);
            writeText(*out, text.data(), text.size());
            writeString(*out, text.c_str());
            closeTextOutput(*out);
            EXPECT_EQ(sink, crlf(text) + crlf(text)) << "size " << size << ", LF at " << at;
        }
    }
}

TEST(TextOutput, WritesLargeOutputWhole)
{
    TempDir dir;
    auto out = std::make_unique<TextOutput>();
    ASSERT_TRUE(openTextOutput(*out, dir.file("out").c_str()));
    std::string line = run('z', 999) + "\n";
    std::string expected;
    for (int i = 0; i < 1000; i++) {
        writeText(*out, line.data(), line.size());
        expected += run('z', 999) + "\r\n";
    }
    EXPECT_TRUE(closeTextOutput(*out));
    EXPECT_EQ(readFile(dir.file("out")), expected);
}

TEST(TextOutput, ReportsAFullDevice)
{
    TempDir dir;
    auto out = std::make_unique<TextOutput>();
    ASSERT_TRUE(openTextOutput(*out, dir.file("out").c_str()));
    int full = open("/dev/full", O_WRONLY);
    ASSERT_GE(full, 0);
    dup2(full, out->fd);
    close(full);
    writeString(*out, "more than nothing\n");
    EXPECT_FALSE(closeTextOutput(*out));
    EXPECT_EQ(out->errorNumber, ENOSPC);
}

}  // namespace
