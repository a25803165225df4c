// Process-wide set-up and ending: how the process meets the platform's
// signals and console.
#pragma once

// A write past the file-size limit, or to a console pipe nobody reads, fails
// with an error instead of ending the process, and the console streams pass
// bytes unchanged (LF stays LF on every platform). On Windows, a console
// shows the UTF-8 bytes written as text (its output code page is UTF-8
// until the process ends).
void prepareProcess();

// The program's arguments as UTF-8 (on Windows taken from the wide command
// line, whatever the ANSI code page; elsewhere as given).
char** utf8Arguments(int& argc, char** argv);

// Whether to wait for Enter before the process ends: only when the console
// is the tool's alone (it was started by a double click, so the window
// closes with it) and both stdin and stdout are that console. Started from
// a command prompt, a script or a frontend, or with a stream redirected,
// the tool never waits.
bool keepsWindowOpen(unsigned long processesOnConsole, bool stdinIsConsole, bool stdoutIsConsole);

// On Windows, when keepsWindowOpen says so, prints
// "\nPress Enter to close this window." and waits for Enter.
void keepWindowOpenIfOurs();
