// Copying the lists into the temporary file on a helper thread, so that the
// run can scan what is already copied while the rest is being copied. The
// run's steps stay those of a copy followed by a scan: this only lets the
// scan start early, and only where the copy cannot run out of room.
#pragma once

#include <atomic>
#include <cstdint>
#ifndef _WIN32
#include <thread>
#endif

#include "platform/text_input.h"

struct CopyAhead {
    const char* commandLine = nullptr;
#ifndef _WIN32
    std::thread helper;
#endif
    std::atomic<std::uint64_t> copied{0};   // bytes of the target written and final
    std::atomic<int> phase{0};              // see copy_ahead.cpp
    std::atomic<bool> reserved{false};      // the target's whole size is set aside
    std::atomic<std::uint32_t> news{0};     // bumped at every change above
    int status = 0;                         // the copy command's status, once finished
};

// Starts the copy command (on Windows it runs to its end right here).
void startCopy(CopyAhead& copy, const char* commandLine);

// Waits until the copy has created its target, or ended without. True when
// the target's whole size is reserved, so that it may be read while it grows.
bool waitUntilTargetReserved(CopyAhead& copy);

// Makes `input`, opened on the target, read only what the copy has finished,
// waiting for more as the copy goes on.
void followCopy(TextInput& input, CopyAhead& copy);

// Waits for the copy's end and returns the command's status.
int finishCopy(CopyAhead& copy);
