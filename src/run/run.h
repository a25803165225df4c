// One conversion run: concatenate the *.xml files of the lists' directory,
// scan the concatenation line by line, write the DAT in the working
// directory, report. Returns the exit status: 0; 2 when the lists' directory
// cannot be read (nothing is touched then); 3 when a file cannot be opened or
// the DAT not written.
#pragma once

// `listDirectory`: where the lists are; nullptr or "." for the working one.
// `disks`: disk images with a sha1 become disk entries of the DAT.
int runConversion(const char* listDirectory, bool disks);
