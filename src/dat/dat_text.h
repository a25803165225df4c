// The DAT text: every line of the ClrMamePro DATs, the combined one and the
// list DATs. It writes fixed texts and the values it is handed, in the order
// it is called; values are written as they stand, except for the two every
// reader of the format must be able to take: a double quote in a title
// becomes two apostrophes, and a size written as 0x... becomes its decimal
// value.
#pragma once

#include <string_view>

#include "platform/text_output.h"

// The header's author line, the same in every DAT this tool has written.
inline constexpr char datAuthor[] = "Tobrek's Grotwick V0.01";

// The header block describing the whole collection, then an empty line.
void writeHeader(TextOutput& out);

// Opens a game block: name line and the "LIST\NAME  [ DESCRIPTION ]" title,
// each double quote of the description written as ''.
void openGame(TextOutput& out, std::string_view list, std::string_view software, std::string_view description);

// One rom line; size, crc, md5 and sha1 appear only when not empty. A size of
// "0x" and 1 to 16 significant hex digits is written in decimal.
void writeRom(TextOutput& out, std::string_view name, std::string_view size, std::string_view crc,
              std::string_view md5, std::string_view sha1);

// One disk line: "  disk ( name "NAME" sha1 SHA1 )".
void writeDisk(TextOutput& out, std::string_view name, std::string_view sha1);

// The rebuildto line and the block's closing parenthesis.
void closeGame(TextOutput& out, std::string_view list);

// One list's DAT, for ROM managers that key sets by name: its header names
// the list and gives its description; a game block is titled by the
// software's description alone, links a clone to its parent, and has no
// rebuildto line.

// The header of one list's DAT, the description's double quotes written as ''.
void writeListHeader(TextOutput& out, std::string_view list, std::string_view description);

// A set as the list DATs write it: its values decoded.
struct SetLines {
    std::string_view name;
    std::string_view title;
    std::string_view parent;
    std::string_view year;
    std::string_view manufacturer;
};

// Opens a game block of a list's DAT: name line, the title alone, then,
// when `parent` is not empty, the cloneof and romof lines naming it, then
// the year and manufacturer lines of those not empty. Every double quote of
// a value is written as ''.
void openListGame(TextOutput& out, const SetLines& set);

// A rom or disk line of a list's DAT: as in the combined DAT, each double
// quote of the name written as '', and "flags baddump" for a bad dump.
void writeListRom(TextOutput& out, std::string_view name, std::string_view size, std::string_view crc,
                  std::string_view md5, std::string_view sha1, bool badDump);
void writeListDisk(TextOutput& out, std::string_view name, std::string_view sha1, bool badDump);

// The closing parenthesis of a list's game block.
void closeListGame(TextOutput& out);
