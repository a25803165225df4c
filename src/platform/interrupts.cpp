// The interrupt handlers and the list of files they remove.
//
// Invariants:
// - The list only grows, at its head, and a name is complete before the
//   head is moved to it (a release store), so a handler that loads the head
//   sees whole entries only. Nothing is freed while the process lives; an
//   entry that no longer names the run's own file is switched off instead.
//   An entry and its name are one block, the name right after the entry, so
//   that the name removeOnInterrupt hands out leads back to its entry.
// - `ending` is set before the handler looks at `holding`, and a holding
//   thread sets `holding` before it looks at `ending` (both sequentially
//   consistent): either the thread sees `ending` and creates nothing, or the
//   handler sees `holding` and waits until the file exists (or the swaps
//   are done or undone), then removes it. The handler never runs on a
//   holding thread (a POSIX thread blocks interrupts while it holds them
//   back; on Windows the handler has a thread of its own), so the wait ends.
// - On POSIX systems the handler makes only async-signal-safe calls:
//   unlink, rmdir, write, sigaction, raise, and lock-free atomics.
#include "platform/interrupts.h"

#include <atomic>
#include <cassert>
#include <cerrno>
#include <csignal>
#ifndef _WIN32
#include <pthread.h>
#endif
#include <cstring>
#include <new>

#include "platform/file_names.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

struct DoomedFile {
    char* name;   // the bytes right after the entry
    DoomedFile* next;
    std::atomic<bool> active;
};

std::atomic<DoomedFile*> doomedFiles{nullptr};
std::atomic<bool> ending{false};
std::atomic<int> holding{0};

const char interruptedMessage[] = "Interrupted.\n";

void removeDoomedFiles()
{
    ending.store(true);
    while (holding.load() != 0) {
    }
    for (DoomedFile* file = doomedFiles.load(std::memory_order_acquire); file != nullptr; file = file->next)
        if (file->active.load() && removeNamed(file->name) != 0)
            removeDirectoryNamed(file->name);
    (void)!write(2, interruptedMessage, sizeof interruptedMessage - 1);
}

#ifdef _WIN32

// Runs on a thread of its own, where any call may be made.
BOOL WINAPI onConsoleEvent(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
        return FALSE;
    removeDoomedFiles();
    return FALSE;   // the system's own handler then ends the process
}

#else

const int caughtSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void onInterrupt(int signalNumber)
{
    const int savedErrno = errno;   // whatever the interrupted code was doing keeps its errno
    removeDoomedFiles();
    // Blocked while this handler runs, the signal raised again ends the
    // process, by the default action, as soon as the handler returns.
    struct sigaction defaultAction;
    std::memset(&defaultAction, 0, sizeof defaultAction);
    defaultAction.sa_handler = SIG_DFL;
    sigaction(signalNumber, &defaultAction, nullptr);
    raise(signalNumber);
    errno = savedErrno;
}

#endif

}  // namespace

const char* removeOnInterrupt(const char* name)
{
    const std::size_t size = std::strlen(name) + 1;
    char* const block = new char[sizeof(DoomedFile) + size];
    DoomedFile* file =
        new (block) DoomedFile{block + sizeof(DoomedFile), doomedFiles.load(std::memory_order_relaxed), true};
    std::memcpy(file->name, name, size);
    doomedFiles.store(file, std::memory_order_release);
    return file->name;
}

void keepOnInterrupt(const char* name)
{
    // The entry stands right before its name: no walk through the list,
    // which holds a name for each DAT begun.
    DoomedFile* file = std::launder(reinterpret_cast<DoomedFile*>(const_cast<char*>(name) - sizeof(DoomedFile)));
    assert(file->name == name);
    file->active.store(false);
}

void catchInterrupts()
{
#ifdef _WIN32
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
#else
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : caughtSignals)
        sigaddset(&action.sa_mask, signalNumber);   // one handler at a time
    for (int signalNumber : caughtSignals)
        sigaction(signalNumber, &action, nullptr);
#endif
}

#ifndef _WIN32
namespace {

// The holding thread's signal mask from before the hold.
thread_local sigset_t maskBeforeHold;

void blockInterrupts(sigset_t* before)
{
    sigset_t interrupts;
    sigemptyset(&interrupts);
    for (int signalNumber : caughtSignals)
        sigaddset(&interrupts, signalNumber);
    pthread_sigmask(SIG_BLOCK, &interrupts, before);
}

}  // namespace
#endif

bool holdInterrupts()
{
#ifndef _WIN32
    blockInterrupts(&maskBeforeHold);
#endif
    holding.fetch_add(1);
    return !ending.load();
}

void releaseInterrupts()
{
    holding.fetch_sub(1);
#ifndef _WIN32
    pthread_sigmask(SIG_SETMASK, &maskBeforeHold, nullptr);
#endif
}

bool interruptWaiting()
{
#ifdef _WIN32
    // The handler's thread has set `ending` and waits for the release.
    return ending.load();
#else
    // Blocked on this thread and on every other, the signal waits pending.
    sigset_t pending;
    if (sigpending(&pending) != 0)
        return false;
    for (int signalNumber : caughtSignals)
        if (sigismember(&pending, signalNumber) == 1)
            return true;
    return ending.load();
#endif
}

void keepInterruptsOffThisThread()
{
#ifndef _WIN32
    blockInterrupts(nullptr);
#endif
}
