// The scan's working record: the current piece of input, the scan position in
// it, the line count and the fixed-capacity text fields the handlers fill.
// Every field lives for the whole run.
#pragma once

#include <cstdint>

#include "platform/text_input.h"
#include "platform/text_output.h"

constexpr int lineCapacity = 2100;         // room for the longest piece and then some
constexpr int nameCapacity = 256;          // names and ROM values, NUL included
constexpr int descriptionCapacity = 1024;  // the description text, NUL included

// What one line holds, judged by the characters at its first non-blank position.
enum class LineKind {
    Blank,
    CommentStart,
    SoftwareListOpen,
    SoftwareOpen,
    Description,
    Rom,
    SoftwareClose,
    Other,
};

struct ScanState {
    alignas(8) char line[lineCapacity];   // the current piece: line[0, lineLength)
    std::int32_t lineLength;
    std::int32_t pos;                     // the scan position in line
    std::int64_t lineCount;               // lines read so far
    char listName[nameCapacity];
    char softwareName[nameCapacity];
    char descriptionText[descriptionCapacity];
    char romName[nameCapacity];
    char romSize[nameCapacity];
    char romCrc[nameCapacity];
    char romSha1[nameCapacity];
    char romMd5[nameCapacity];
    std::int32_t attrStart;               // where the ROM attribute searches start
    TextInput* input;                     // where readLine takes the next piece
    TextOutput* output;                   // where the handlers write the DAT
};

// Empties every field and ties the record to its input and output.
void initScanState(ScanState& state, TextInput& input, TextOutput& output);

// Reads the next piece into `line`. False at the end of the input.
bool readLine(ScanState& state);

// The index just past the piece's text: at its LF, or its end when it has none.
inline std::int32_t contentEnd(const ScanState& state)
{
    std::int32_t length = state.lineLength;
    return length > 0 && state.line[length - 1] == '\n' ? length - 1 : length;
}
