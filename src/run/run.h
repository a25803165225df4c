// One conversion run in the working directory: concatenate the *.xml files,
// scan the concatenation line by line, write the DAT, report. Returns the
// exit status: 0, or 3 when a file cannot be opened or the DAT not written.
#pragma once

int runConversion();
