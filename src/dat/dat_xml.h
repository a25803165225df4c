// The list DATs in Logiqx XML: every byte of such a datafile. Values are
// written as text XML reads back exactly: "&", "<", ">" and '"' escaped, a
// byte that is not part of valid UTF-8 as U+FFFD, and a character XML does
// not allow (a control other than tab, U+FFFE, U+FFFF) left out. An
// attribute other than a name is written only when its value is not empty.
#pragma once

#include <string_view>

#include "dat/dat_text.h"
#include "platform/text_output.h"

// The declaration, the Logiqx DOCTYPE, <datafile> and the header naming the
// list and giving its description.
void writeXmlHeader(TextOutput& out, std::string_view list, std::string_view description);

// <game name=".." [cloneof=".." romof=".."]> with its description, and its
// year and manufacturer where not empty.
void openXmlGame(TextOutput& out, const SetLines& set);

// A rom or disk element; status="baddump" for a bad dump.
void writeXmlRom(TextOutput& out, std::string_view name, std::string_view size, std::string_view crc,
                 std::string_view md5, std::string_view sha1, bool badDump);
void writeXmlDisk(TextOutput& out, std::string_view name, std::string_view sha1, bool badDump);

// </game>, and </datafile>.
void closeXmlGame(TextOutput& out);
void closeXmlDatafile(TextOutput& out);
