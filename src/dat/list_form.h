// The form of the list DATs: what a form writes of each list, set, ROM and
// disk, and how it holds to the sets. Each form is a type of its own file
// (list_text.h, list_xml.h); the list DATs' writer is made for one.
#pragma once

#include <concepts>
#include <string>
#include <string_view>

#include "dat/dat_writer.h"
#include "dat/merges.h"
#include "platform/text_output.h"

// A set as the list DATs write it: its values decoded.
struct SetLines {
    std::string_view name;
    std::string_view title;
    std::string_view parent;
    std::string_view year;
    std::string_view manufacturer;
};

// A list DAT form. `keepsLineBreaks`: a value's references to LF and CR are
// decoded (else they stay as written). `keepsToSets`: a ROM or disk is
// written only inside a set, whose end the form writes when the software
// ends, the next set begins or the DAT ends (else every line is written
// where the list has it, a set's end at each software's end).
// `disksAfterRoms`: a set's disks are written after its ROMs (each kind in
// the list's order; else all in the list's order). The DAT is `header` (the
// list's name and description, and a version where one is given), then per
// set `openSet` (its name, title, parent, year and manufacturer), `rom` and
// `disk` lines (each with `merge`, put in as it stands after the name, and
// saying where its name stands, as written) and `closeSet`, then
// `closeDat`. `merge` appends to `into` what gives a line a merge name (the
// parent line's name as written): it goes in at the line's mergeAt.
template <typename F>
concept ListForm = requires(TextOutput& out, std::string_view text, const SetLines& set, const RomValues& values,
                            bool badDump, std::string& into) {
    { F::keepsLineBreaks } -> std::convertible_to<bool>;
    { F::keepsToSets } -> std::convertible_to<bool>;
    { F::disksAfterRoms } -> std::convertible_to<bool>;
    { F::header(out, text, text, text) } -> std::same_as<void>;
    { F::openSet(out, set) } -> std::same_as<void>;
    { F::rom(out, text, text, values, badDump) } -> std::same_as<NamePlace>;
    { F::disk(out, text, text, text, badDump) } -> std::same_as<NamePlace>;
    { F::closeSet(out) } -> std::same_as<void>;
    { F::closeDat(out) } -> std::same_as<void>;
    { F::merge(into, text) } -> std::same_as<void>;
};
