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
//   scanning thread, while the copy goes on.
// - The scanning thread prints nothing from start to finish: the copy's
//   console text (each name before its bytes, then the count or the error)
//   keeps the order it has when copy and scan run one after the other.
#include "run/copy_ahead.h"

#include <unistd.h>
#ifdef _WIN32
#include <io.h>
#endif

#include "platform/interrupts.h"

void CopyAhead::announce()
{
    news_.fetch_add(1, std::memory_order_release);
#ifndef _WIN32
    news_.notify_all();
#endif
}

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

// Waits until `news_` moves on from `seen`.
void CopyAhead::waitForNews(std::uint32_t seen)
{
#ifndef _WIN32
    news_.wait(seen, std::memory_order_acquire);
#else
    (void)seen;
#endif
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
#ifndef _WIN32
    helper_ = std::thread(&CopyAhead::run, this);
#else
    run();   // no overlap on Windows: the copy ends before the scan
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
#ifndef _WIN32
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
