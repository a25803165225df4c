// The combined DAT: one file for every list, "all_mess_software_lists.dat",
// written as its .part and put in place when complete. Each game is titled
// "LIST\NAME  [ DESCRIPTION ]" and rebuilt to its list.
#pragma once

#include <string>

#include "dat/dat_writer.h"
#include "platform/pending_file.h"

// The combined DAT's name, in the working directory.
inline constexpr char combinedDatName[] = "all_mess_software_lists.dat";

struct CombinedDat : DatWriter {
    TextOutput* out;
    std::string* memory;           // instead of the file
    PendingFile file;
    char listName[longestValue + 1];   // the last list line's name
    std::int32_t listNameLength;
};

// A writer of the combined DAT through `out`: into its file, or with
// `memory` into that string, and no file is touched.
void startCombinedDat(CombinedDat& dat, TextOutput& out, std::string* memory = nullptr);
