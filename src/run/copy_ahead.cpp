// The copy on its helper thread, and the waits of the thread that scans.
//
// Invariants:
// - The helper thread runs the copy and is the only writer of the target,
//   `progress_`, `reserved_`, `target_` (until Created) and `status_`; the
//   scanning thread only reads them (and the target, by offset, through the
//   descriptor the copy handed over in `target_`, which it then owns).
// - `progress_` holds the count of final bytes and the phase in one word:
//   the count only grows, the phase moves as CopyPhase says, and the word is
//   stored (release) after the bytes it counts are written, `reserved_` and
//   `target_` before Created, `status_` before Finished. A reader that loads
//   it (acquire) may read that many bytes, and when it says Finished, the
//   count beside it is the last one.
// - Every change is followed by a bump of `news_` and a wake-up, and a waiter
//   reads `news_` before it looks at the rest, so no change is missed; the
//   helper reaches Finished on every path, so every wait ends.
// - Interrupts are kept off the helper thread: they are taken on the
//   scanning thread, while the copy goes on (on Windows the system's own
//   handler thread takes them).
// - On POSIX systems the waits are atomic waits on `news_`; on Windows a
//   condition variable under a lock whose every bump of `news_` and every
//   look at it before sleeping are made holding it, so a wake-up cannot fall
//   between a waiter's look and its sleep. The two are one choice, made
//   here only.
// - The scanning thread prints nothing from start to finish: the copy's
//   console text (each name before its bytes, then the count or the error)
//   keeps the order it has when copy and scan run one after the other.
#include "run/copy_ahead.h"

#include <unistd.h>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#endif

#include "platform/interrupts.h"

#ifdef _WIN32
static_assert(sizeof(void*) >= sizeof(SRWLOCK) && sizeof(void*) >= sizeof(CONDITION_VARIABLE),
              "the lock and the condition live in a pointer's room");

static SRWLOCK* lockOf(void*& room)
{
    return reinterpret_cast<SRWLOCK*>(&room);
}

static CONDITION_VARIABLE* conditionOf(void*& room)
{
    return reinterpret_cast<CONDITION_VARIABLE*>(&room);
}

void CopyAhead::announce()
{
    AcquireSRWLockExclusive(lockOf(newsLock_));
    news_.fetch_add(1, std::memory_order_release);
    ReleaseSRWLockExclusive(lockOf(newsLock_));
    WakeAllConditionVariable(conditionOf(newsChanged_));
}

// Waits until `news_` moves on from `seen`.
void CopyAhead::waitForNews(std::uint32_t seen)
{
    AcquireSRWLockExclusive(lockOf(newsLock_));
    while (news_.load(std::memory_order_acquire) == seen)
        SleepConditionVariableSRW(conditionOf(newsChanged_), lockOf(newsLock_), INFINITE, 0);
    ReleaseSRWLockExclusive(lockOf(newsLock_));
}

unsigned long __stdcall CopyAhead::runOnHelper(void* self)
{
    static_cast<CopyAhead*>(self)->run();
    return 0;
}

#else

void CopyAhead::announce()
{
    news_.fetch_add(1, std::memory_order_release);
    news_.notify_all();
}

// Waits until `news_` moves on from `seen`.
void CopyAhead::waitForNews(std::uint32_t seen)
{
    news_.wait(seen, std::memory_order_acquire);
}

#endif

static_assert(static_cast<int>(CopyPhase::Finished) < 4, "the phase fits the two low bits of the progress word");

static std::uint64_t copiedOf(std::uint64_t progress)
{
    return progress >> 2;
}

static CopyPhase phaseOf(std::uint64_t progress)
{
    return static_cast<CopyPhase>(progress & 3);
}

void CopyAhead::publish(std::uint64_t copied, CopyPhase phase)
{
    progress_.store(copied << 2 | static_cast<std::uint64_t>(phase), std::memory_order_release);
    announce();
}

void CopyAhead::targetCreated(void* context, bool reserved, int reader)
{
    CopyAhead& self = *static_cast<CopyAhead*>(context);
    self.target_ = reader;
    self.reserved_.store(reserved, std::memory_order_release);
    self.publish(copiedOf(self.progress_.load(std::memory_order_relaxed)), CopyPhase::Created);
}

void CopyAhead::bytesAppended(void* context, std::uint64_t total)
{
    CopyAhead& self = *static_cast<CopyAhead*>(context);
    self.publish(total, CopyPhase::Created);
}

void CopyAhead::run()
{
    keepInterruptsOffThisThread();
    CopyWatch watch;
    watch.targetCreated = targetCreated;
    watch.bytesAppended = bytesAppended;
    watch.context = this;
    status_ = copy_(commandLine_, watch);
    publish(copiedOf(progress_.load(std::memory_order_relaxed)), CopyPhase::Finished);
}

// The reader's wait: the count of final bytes once it exceeds `have`, or
// `have` when the copy has ended without more.
std::uint64_t CopyAhead::waitForCopiedBytes(void* context, std::uint64_t have)
{
    CopyAhead& self = *static_cast<CopyAhead*>(context);
    for (;;) {
        const std::uint32_t seen = self.news_.load(std::memory_order_acquire);
        const std::uint64_t progress = self.progress_.load(std::memory_order_acquire);
        if (copiedOf(progress) > have)
            return copiedOf(progress);
        if (phaseOf(progress) == CopyPhase::Finished)
            return have;
        self.waitForNews(seen);
    }
}

void CopyAhead::start(CopyFunction copy, const char* commandLine)
{
    copy_ = copy;
    commandLine_ = commandLine;
    progress_.store(static_cast<std::uint64_t>(CopyPhase::Starting));
    reserved_.store(false);
    target_ = -1;
#ifdef _WIN32
    InitializeSRWLock(lockOf(newsLock_));
    InitializeConditionVariable(conditionOf(newsChanged_));
    helper_ = CreateThread(nullptr, 0, runOnHelper, this, 0, nullptr);
    if (helper_ == nullptr)
        run();   // no thread to be had: the copy ends before the scan
#else
    helper_ = std::thread(&CopyAhead::run, this);
#endif
}

bool CopyAhead::waitUntilTargetReserved()
{
    for (;;) {
        const std::uint32_t seen = news_.load(std::memory_order_acquire);
        if (phaseOf(progress_.load(std::memory_order_acquire)) != CopyPhase::Starting)
            return reserved_.load(std::memory_order_acquire);
        waitForNews(seen);
    }
}

int CopyAhead::takeTarget()
{
    if (phaseOf(progress_.load(std::memory_order_acquire)) == CopyPhase::Starting)
        return -1;
    const int target = target_;
    target_ = -1;
    return target;
}

void CopyAhead::follow(TextInput& input)
{
    input.readable = copiedOf(progress_.load(std::memory_order_acquire));
    input.waitForMore = waitForCopiedBytes;
    input.waitContext = this;
}

int CopyAhead::finish()
{
#ifdef _WIN32
    if (helper_ != nullptr) {
        WaitForSingleObject(static_cast<HANDLE>(helper_), INFINITE);
        CloseHandle(static_cast<HANDLE>(helper_));
        helper_ = nullptr;
    }
#else
    if (helper_.joinable())
        helper_.join();
#endif
    return status_;
}

CopyAhead::~CopyAhead()
{
    if (target_ >= 0)
        close(target_);
}
