// Process-wide set-up: how the process meets the platform's signals and
// console streams.
#pragma once

// A write past the file-size limit, or to a console pipe nobody reads, fails
// with an error instead of ending the process, and the console streams pass
// bytes unchanged (LF stays LF on every platform).
void prepareProcess();
