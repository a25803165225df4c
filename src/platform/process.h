// Process-wide set-up: how the process meets the platform's signals.
#pragma once

// A write past the file-size limit must fail with an error, not end the process.
void ignoreFileSizeSignal();
