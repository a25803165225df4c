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

#include "platform/shell.h"
#include "platform/text_input.h"

// How far the copy has got: Starting -> Created -> Finished, or Starting ->
// Finished when it fails before its target exists.
enum class CopyPhase { Starting, Created, Finished };

class CopyAhead {
public:
    // The copy itself: carries out `commandLine`, telling `watch` how it
    // goes, and returns the command's status (runShellWatched, or a script
    // in the tests).
    using CopyFunction = int (*)(const char* commandLine, const CopyWatch& watch);

    // Starts the copy on its helper thread.
    void start(CopyFunction copy, const char* commandLine);

    // Waits until the copy has created its target, or ended without. True
    // when the target's whole size is reserved, so that it may be read while
    // it grows.
    bool waitUntilTargetReserved();

    // A descriptor that reads the very file the copy created, once it is
    // created (-1 before, or when none could be had); the caller's to close
    // from then on. The one way to the target: never a file found again by
    // its name, which may by then be another's.
    int takeTarget();

    // Makes `input`, opened on the target, read only what the copy has
    // finished, waiting for more as the copy goes on.
    void follow(TextInput& input);

    // Waits for the copy's end and returns the command's status.
    int finish();

    // Closes the target's descriptor if nobody took it.
    ~CopyAhead();

private:
    static void targetCreated(void* context, bool reserved, int reader);
    static void bytesAppended(void* context, std::uint64_t total);
    static std::uint64_t waitForCopiedBytes(void* context, std::uint64_t have);
    void run();
    void publish(std::uint64_t copied, CopyPhase phase);
    void announce();
    void waitForNews(std::uint32_t seen);

    CopyFunction copy_ = nullptr;
    const char* commandLine_ = nullptr;
#ifdef _WIN32
    // The helper thread, and the lock and condition its news is announced
    // under (the Win32 calls: mingw-w64's default thread model has no
    // std::thread, nor atomic waits).
    void* helper_ = nullptr;
    void* newsLock_ = nullptr;       // an SRWLOCK
    void* newsChanged_ = nullptr;    // a CONDITION_VARIABLE
    static unsigned long __stdcall runOnHelper(void* self);
#else
    std::thread helper_;
#endif
    // The bytes of the target written and final, times 4, plus the phase:
    // one word, so that a reader sees the two as they were stored together.
    std::atomic<std::uint64_t> progress_{0};
    std::atomic<bool> reserved_{false};             // the target's whole size is set aside
    int target_ = -1;                               // reads the target, once Created
    std::atomic<std::uint32_t> news_{0};            // bumped at every change above
    int status_ = 0;                                // the command's status, once Finished
};
