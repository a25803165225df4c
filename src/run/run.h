// One conversion run: concatenate the *.xml files of the lists' directory
// (or the files named), scan the concatenation line by line into the DAT
// writer chosen (the combined DAT in the working directory, or one DAT per
// list in a directory of their own, in one of their forms), put the DATs in
// place when complete, report. Returns the exit status: 0; 2 when the lists' directory
// or a file named cannot be read (nothing is touched then); 3 when a file
// cannot be opened or a DAT not written.
#pragma once

#include <vector>

// The DATs a run writes.
enum class DatForm {
    Combined,   // all_mess_software_lists.dat in the working directory
    ListText,   // one DAT per list, in the ClrMamePro text form
    ListXml,    // one DAT per list, in Logiqx XML
};

// `lists`: where the lists are: none (or ".") for the working directory's
// *.xml files, one directory for its *.xml files, or files, each a list or
// several (MAME's dumps), read in that order whatever their names. A file
// that cannot be read, a directory among several, or a file named twice
// (by identity) is a misuse: named on stderr, status 2.
// `disks`: disk images with a sha1 become disk entries of the DAT.
// `perList`: for the list DATs, the directory they go to (NAME.dat, the
// directory created when missing). A list that cannot have a DAT is named
// on stderr and the run ends with 3.
// `datVersion`: the version every DAT's header gives; nullptr for none.
int runConversion(const std::vector<const char*>& lists, bool disks, DatForm form, const char* perList = nullptr,
                  const char* datVersion = nullptr);
