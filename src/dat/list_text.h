// The list DATs in the ClrMamePro text form: a header naming the list and
// giving its description; per set a game block titled by the software's
// description alone, a clone linked to its parent (cloneof, romof), its year
// and manufacturer, and no rebuildto line; rom and disk lines as the combined
// DAT writes them, with "flags baddump" for a bad dump, and a clone's "merge"
// after the name. Every line is written where the list has it. Each double
// quote of a value is written as ''.
#pragma once

#include <string_view>

#include "dat/list_form.h"

struct ListText {
    static constexpr bool keepsLineBreaks = false;
    static constexpr bool keepsToSets = false;
    static constexpr bool disksAfterRoms = false;
    static void header(TextOutput& out, std::string_view list, std::string_view description,
                       std::string_view version);
    static void openSet(TextOutput& out, const SetLines& set);
    static NamePlace rom(TextOutput& out, std::string_view name, std::string_view merge, const RomValues& values,
                         bool badDump);
    static NamePlace disk(TextOutput& out, std::string_view name, std::string_view merge, std::string_view sha1,
                          bool badDump);
    static void closeSet(TextOutput& out);
    static void closeDat(TextOutput& out);
    // `merge "NAME" `, after the line's name.
    static void merge(std::string& into, std::string_view writtenName);
};
static_assert(ListForm<ListText>);
