// The list DATs in Logiqx XML: every byte of such a datafile. Values are
// written as text XML reads back exactly: "&", "<", ">" and '"' escaped, a
// tab, LF and CR as references, a byte that is not part of valid UTF-8 as
// U+FFFD, and a character XML does not allow (another control, U+FFFE,
// U+FFFF) left out. An
// attribute other than a name is written only when its value is not empty.
// A rom or disk element is written only inside a game element.
#pragma once

#include <string_view>

#include "dat/list_form.h"

struct ListXml {
    static constexpr bool keepsLineBreaks = true;
    static constexpr bool keepsToSets = true;
    static constexpr bool disksAfterRoms = true;
    // The declaration, the Logiqx DOCTYPE, <datafile> and the header naming
    // the list and giving its description.
    static void header(TextOutput& out, std::string_view list, std::string_view description,
                       std::string_view version);
    // <game name=".." [cloneof=".." romof=".."]> with its description, and
    // its year and manufacturer where not empty.
    static void openSet(TextOutput& out, const SetLines& set);
    // A rom or disk element; status="baddump" for a bad dump.
    static NamePlace rom(TextOutput& out, std::string_view name, std::string_view merge, const RomValues& values,
                         bool badDump);
    static NamePlace disk(TextOutput& out, std::string_view name, std::string_view merge, std::string_view sha1,
                          bool badDump);
    // </game>, and </datafile>.
    static void closeSet(TextOutput& out);
    static void closeDat(TextOutput& out);
    // ` merge="NAME"`, after the element's name attribute.
    static void merge(std::string& into, std::string_view writtenName);
};
static_assert(ListForm<ListXml>);
