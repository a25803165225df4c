// One conversion run: concatenate the *.xml files of the lists' directory,
// scan the concatenation line by line into the DAT writer chosen (the
// combined DAT in the working directory, or one DAT per list in a directory
// of their own), put the DATs in place when complete, report. Returns the
// exit status: 0; 2 when the lists' directory cannot be read (nothing is
// touched then); 3 when a file cannot be opened or a DAT not written.
#pragma once

// `listDirectory`: where the lists are; nullptr or "." for the working one.
// `disks`: disk images with a sha1 become disk entries of the DAT.
// `perList`: one DAT per list, NAME.dat in this directory (created when
// missing), instead of the combined DAT; nullptr for the combined DAT. A
// list that cannot have a DAT is named on stderr and the run ends with 3.
// `xml`: the list DATs in Logiqx XML.
int runConversion(const char* listDirectory, bool disks, const char* perList = nullptr, bool xml = false);
