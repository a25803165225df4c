// The command interpreter's two commands, carried out in-process:
//   "del NAME"            removes a file or symbolic link, never a directory
//   "copy /B *.xml NAME"  concatenates the directory's *.xml files into NAME
// Messages go to the console as the interpreter would print them; the return
// value is the interpreter's status (0 success, 1 failure).
#pragma once

int runShell(const char* commandLine);
