// The scan's working record: the current piece of input, the scan position in
// it, the line count and the fixed-capacity text fields the handlers fill.
// Every field lives for the whole run; each text is held with its length.
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
#include "dat/held_text.h"
#include "platform/text_input.h"

constexpr int lineCapacity = 2100;         // room for the longest piece and then some
constexpr int nameCapacity = 256;          // names and ROM values, NUL included
constexpr int maxTagPieces = 16;           // the pieces after a line that may continue its start tag
constexpr int descriptionCapacity = 1024;  // the description text, NUL included
static_assert(nameCapacity - 1 == longestValue && descriptionCapacity - 1 == longestText &&
                  pieceLimit == longestRawValue,
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

// A value of a line as the scan keeps it: a name or a ROM value, or a text
// (a description); the room holds the NUL that ends a copy too.
using ValueText = HeldText<nameCapacity>;
using LongText = HeldText<descriptionCapacity>;
// A value as the line writes it, whole, for the list DATs, which decode it
// first and cut it then.
using RawText = HeldText<longestRawValue + 1>;

// A ROM line's size, crc, sha1 and md5.
struct RomTexts {
    ValueText size;
    ValueText crc;
    ValueText sha1;
    ValueText md5;
};

struct ScanState {
    // What every line reads or tests first, together.
    const char* line;                     // the current piece: line[0, lineLength)
    std::int32_t lineLength;
    std::int32_t pos;                     // the scan position in line
    std::int64_t lineCount;               // lines read so far
    TextInput* input;                     // where readLine takes the next piece
    // The line before waits for this one: its start tag is open, or its ROM
    // is held (the one test every line makes for either).
    bool waits;
    // A ROM with a hash is reported once the next line has been seen: the
    // chunk rows right after it (nameless rows that MAME loads from the same
    // file) add their sizes to its own.
    bool romHeld;
    bool romChunksValid;                  // every chunk's size a number, their sum below 2^64
    bool disks;                           // disk lines are turned into disk entries
    std::int32_t romChunks;               // chunk rows joined to the held ROM
    std::uint64_t romChunkSum;
    // A ROM or disk line whose start tag has no '>' in its piece: the pieces
    // after it that do not open with '<' continue the tag, up to the one
    // with a '>', at most maxTagPieces of them; the values still empty are
    // searched there. The ROM is held, or the disk reported, when it ends.
    LineKind openTag;                     // Rom or Disk while a tag is open
    std::int32_t tagPiecesLeft;           // continuation pieces still allowed; 0: no tag open
    std::int32_t attrStart;               // where the ROM attribute searches start
    bool romNameRawIsName;
    bool romHasStatus;                    // a status was found
    bool romBadDump;
    bool diskHasStatus;
    bool diskBadDump;
    std::size_t poisonedSize;             // sanitizer builds: bytes poisoned behind the piece
    // The values, the short ones first.
    ValueText listName;
    ValueText softwareName;
    ValueText romName;
    RomTexts rom;                         // the values found after the ROM's name
    // For the list DATs: each ROM value that is empty after the name as
    // found between "<rom" and the name (the status likewise, in the flags
    // above).
    RomTexts romBefore;
    ValueText diskName;
    ValueText diskSha1;
    LongText descriptionText;
    // For the list DATs: the ROM name as the line writes it, unless it is
    // the name (holding no reference: romNameRawIsName).
    RawText romNameRaw;
    RawText softwareNameRaw;              // for the list DATs, whole
    RawText diskNameRaw;                  // for the list DATs, as the line writes it
    RawText listDescription;              // the list line's description attribute
    RawText cloneOf;                      // the software line's parent
    char lineCopy[lineCapacity];          // a line that ended in CR LF, without its CR
};

// Empties every field and ties the record to its input.
void initScanState(ScanState& state, TextInput& input);

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
