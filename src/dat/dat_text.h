// The ClrMamePro text: every line of the combined DAT, and the pieces of a
// line that the list DATs' text form shares with it. It writes fixed texts
// and the values it is handed, in the order it is called; values are
// written as they stand, except for the two every reader of the format must
// be able to take: a double quote in a quoted value becomes two apostrophes,
// and a size is written as RomSize says (in decimal where it is a number).
#pragma once

#include <string_view>

#include "bytes/small_copy.h"
#include "dat/dat_writer.h"
#include "platform/text_output.h"

// The header's author line, the same in every DAT this tool has written.
inline constexpr char datAuthor[] = "Tobrek's Grotwick V0.01";

// The header block describing the whole collection, then an empty line;
// with a version, its line after the description.
void writeHeader(TextOutput& out, std::string_view version);

// "\tversion "VERSION"\n" when the version is not empty, each double quote
// written as ''.
void putVersionLine(TextOutput& out, std::string_view version);

// Opens a game block: name line and the "LIST\NAME  [ DESCRIPTION ]" title,
// each double quote of the description written as ''.
void openGame(TextOutput& out, std::string_view list, std::string_view software, std::string_view description);

// One rom line; size, crc, md5 and sha1 appear only when not empty.
void writeRom(TextOutput& out, std::string_view name, const RomValues& values);

// One disk line: "  disk ( name "NAME" sha1 SHA1 )".
void writeDisk(TextOutput& out, std::string_view name, std::string_view sha1);

// The rebuildto line and the block's closing parenthesis.
void closeGame(TextOutput& out, std::string_view list);

// A value that stands between double quotes, each double quote of it
// written as '', a run between quotes at a time.
void putQuotedValueInRuns(TextComposer& c, std::string_view value);

// The same, inline: a short value is looked over for a quote, and for an LF
// to translate, as it is copied, and one with neither is written then;
// any other goes in runs.
ALWAYS_INLINE void putQuotedValue(TextComposer& c, std::string_view value)
{
    if (c.direct && value.size() <= 64 && !copySmallSeeing<'"', '\n'>(c.to, value.data(), value.size())) {
        c.to += value.size();
        return;
    }
    putQuotedValueInRuns(c, value);
}

// "LABEL VALUE " when the value is not empty. A ROM's values are read off
// one line, as they stand, or are a size's digits: none holds an LF.
template <LineText label>
inline void putRomField(TextComposer& c, std::string_view value)
{
    if (value.empty())
        return;
    putLiteral<label>(c);
    putLineFreeText(c, value.data(), value.size());
    putLiteral<" ">(c);
}

// A rom line's values after its name: "size N crc C md5 M sha1 S ", each
// only when not empty. (Inline: it is most of the rom line of either text
// form.)
inline void putRomValues(TextComposer& c, const RomValues& values)
{
    char digits[decimalRoom];
    putRomField<"size ">(c, sizeText(values.size, digits));
    putRomField<"crc ">(c, values.crc);
    putRomField<"md5 ">(c, values.md5);
    putRomField<"sha1 ">(c, values.sha1);
}

// The most bytes putRomValues writes for the values (each byte an LF
// counted twice).
inline std::size_t romValuesRoom(const RomValues& values)
{
    return 2 * (values.size.text.size() + decimalRoom + values.crc.size() + values.md5.size() + values.sha1.size()) +
           32;
}
