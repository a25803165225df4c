// The scan's working record: the current piece of input, the scan position in
// it, the line count and the fixed-capacity text fields the handlers fill.
// Every field lives for the whole run. A text field holds a NUL-terminated
// text; the texts that outlive their line keep their length beside them.
#pragma once

#include <cstdint>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SOFTLIST2DAT_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define SOFTLIST2DAT_ASAN 1
#endif
#ifdef SOFTLIST2DAT_ASAN
#include <sanitizer/asan_interface.h>
#endif

#include "dat/dat_writer.h"
#include "platform/text_input.h"

constexpr int lineCapacity = 2100;         // room for the longest piece and then some
constexpr int nameCapacity = 256;          // names and ROM values, NUL included
constexpr int descriptionCapacity = 1024;  // the description text, NUL included
static_assert(nameCapacity - 1 == longestValue && descriptionCapacity - 1 == longestText,
              "the DAT writers take the values the fields hold");

// What one line holds, judged by the characters at its first non-blank position.
enum class LineKind {
    Blank,
    CommentStart,
    SoftwareListOpen,
    SoftwareOpen,
    Description,
    Rom,
    SoftwareClose,
    Disk,
    Year,
    Publisher,
    Other,
};

struct ScanState {
    const char* line;                     // the current piece: line[0, lineLength)
    std::int32_t lineLength;
    std::int32_t pos;                     // the scan position in line
    std::int64_t lineCount;               // lines read so far
    char listName[nameCapacity];
    char softwareName[nameCapacity];
    char descriptionText[descriptionCapacity];
    std::int32_t listNameLength;          // the three texts' lengths, NUL not counted
    std::int32_t softwareNameLength;
    std::int32_t descriptionLength;
    char romName[nameCapacity];
    char romSize[nameCapacity];
    char romCrc[nameCapacity];
    char romSha1[nameCapacity];
    char romMd5[nameCapacity];
    std::int32_t attrStart;               // where the ROM attribute searches start
    std::int32_t romNameLength;           // the five ROM texts' lengths
    std::int32_t romSizeLength;
    std::int32_t romCrcLength;
    std::int32_t romSha1Length;
    std::int32_t romMd5Length;
    char romNameRaw[nameCapacity];        // the ROM name as the line writes it
    std::int32_t romNameRawLength;        // -1: the same as romName
    // For the list DATs: each ROM value that is empty after the name, as
    // found between "<rom" and the name; and whether the status (after the
    // name, or else before it) is baddump.
    char romSizeBefore[nameCapacity];
    char romCrcBefore[nameCapacity];
    char romSha1Before[nameCapacity];
    char romMd5Before[nameCapacity];
    std::int32_t romSizeBeforeLength;
    std::int32_t romCrcBeforeLength;
    std::int32_t romSha1BeforeLength;
    std::int32_t romMd5BeforeLength;
    bool romBadDump;
    // A ROM with a hash is reported once the next line has been seen: the
    // chunk rows right after it (nameless rows that MAME loads from the same
    // file) add their sizes to its own.
    bool romHeld;
    std::int32_t romChunks;               // chunk rows joined to the held ROM
    bool romChunksValid;                  // every chunk's size a number, their sum below 2^64
    std::uint64_t romChunkSum;
    char diskName[nameCapacity];
    char diskSha1[nameCapacity];
    bool disks;                           // disk lines are turned into disk entries
    char listDescription[descriptionCapacity];   // the list line's description attribute
    std::int32_t listDescriptionLength;
    char cloneOf[nameCapacity];           // the software line's parent
    std::int32_t cloneOfLength;
    TextInput* input;                     // where readLine takes the next piece
    DatWriter* writer;                    // where the handlers report what they find
    std::size_t poisonedSize;             // sanitizer builds: bytes poisoned behind the piece
    char lineCopy[lineCapacity];          // a line that ended in CR LF, without its CR
};

// Empties every field and ties the record to its input and writer.
void initScanState(ScanState& state, TextInput& input, DatWriter& writer);

// Ends the scan's hold on the input's memory: in sanitizer builds, lifts the
// poisoning behind the current piece.
inline void releaseLine(ScanState& state)
{
#ifdef SOFTLIST2DAT_ASAN
    ASAN_UNPOISON_MEMORY_REGION(state.line + state.lineLength, state.poisonedSize);
#endif
    state.poisonedSize = 0;
}

// Makes the next piece the current line. False at the end of the input. In
// sanitizer builds the bytes behind the piece, wherever it lives (up to the
// line capacity), are poisoned, so that any look past the bytes actually read
// stops the program.
inline bool readLine(ScanState& state)
{
    releaseLine(state);
    Piece piece = readPiece(*state.input, state.lineCopy);
    state.line = piece.bytes;
    state.lineLength = piece.size;
#ifdef SOFTLIST2DAT_ASAN
    // The sanitizer poisons whole 8-byte granules or their ends, so the
    // region runs on to a granule's end where the storage allows.
    std::size_t tail = static_cast<std::size_t>(lineCapacity - piece.size);
    std::uintptr_t from = reinterpret_cast<std::uintptr_t>(state.line + state.lineLength);
    tail += (8 - (from + tail) % 8) % 8;
    state.poisonedSize = piece.roomAfter < tail ? piece.roomAfter : tail;
    ASAN_POISON_MEMORY_REGION(state.line + state.lineLength, state.poisonedSize);
#endif
    return piece.size > 0;
}

// The index just past the piece's text: at its LF, or its end when it has none.
inline std::int32_t contentEnd(const ScanState& state)
{
    std::int32_t length = state.lineLength;
    return length > 0 && state.line[length - 1] == '\n' ? length - 1 : length;
}
