// Turns at the directories a run writes.
//
// Invariants:
// - A turn is a lock the system ties to the process: on POSIX systems an
//   exclusive flock on a descriptor of the directory, on Windows a named
//   mutex whose name is the directory's identity (volume and file index).
//   Either goes when the process ends, however it ends; neither is a file.
// - The run never waits while it holds a turn: it takes each turn without
//   waiting, and when one is taken elsewhere it gives back all it holds,
//   waits for that one alone, then takes the rest again. A circle of waits
//   needs a run that waits while holding what another waits for: there is
//   none, so runs in any arrangement of working directories and OUTs (a run
//   in X writing into Y beside one in Y writing into X) all finish.
// - A turn is only ever at a directory that is there: a missing DATs'
//   directory is made once every other turn is held, and its turn is taken
//   in the same hold of interrupts, without waiting. Only a run that made it
//   and holds its turn names it for removal (rmdir: only while empty), so a
//   run never removes a directory another run holds or waits for. A run
//   that finds its turn's directory gone when it gets the turn (another run
//   made and removed it) asks again, and makes it anew.
// - When takeTurns returns, each turn held is at the directory its name
//   leads to then: a directory removed and made anew while the run waited
//   is asked for again.
// - Only the thread that carries out the run takes and gives back turns (a
//   Windows mutex belongs to the thread that took it).
#include "platform/turns.h"

#include <cerrno>
#include <cstdio>

#include "platform/interrupts.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

enum class Lock { Taken, Busy, Unavailable };

#ifdef _WIN32

// Opens the mutex that stands for the directory's turn, named after its
// identity in the namespace every session shares.
bool openTurn(Turn& turn)
{
    if (!identifyNamed(turn.name, turn.identity))
        return false;
    char name[64] = {};   // every byte read below: those after the NUL too
    std::snprintf(name, sizeof name, "Global\\softlist2dat-turn-%016llX-%016llX",
                  static_cast<unsigned long long>(turn.identity.device),
                  static_cast<unsigned long long>(turn.identity.index));
    wchar_t wideName[sizeof name];
    for (std::size_t i = 0; i < sizeof name; i++)
        wideName[i] = static_cast<wchar_t>(name[i]);   // the name is ASCII
    turn.mutex = CreateMutexW(nullptr, FALSE, wideName);
    return turn.mutex != nullptr;
}

void closeTurn(Turn& turn)
{
    CloseHandle(static_cast<HANDLE>(turn.mutex));
    turn.mutex = nullptr;
}

Lock lockTurn(Turn& turn, bool wait)
{
    switch (WaitForSingleObject(static_cast<HANDLE>(turn.mutex), wait ? INFINITE : 0)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:   // the run that held it ended without giving it back
        return Lock::Taken;
    case WAIT_TIMEOUT:
        return Lock::Busy;
    default:
        return Lock::Unavailable;
    }
}

void unlockTurn(Turn& turn)
{
    ReleaseMutex(static_cast<HANDLE>(turn.mutex));
}

#else

// Opens the directory, whose descriptor holds the turn's lock.
bool openTurn(Turn& turn)
{
    turn.fd = open(turn.name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (turn.fd < 0)
        return false;
    struct stat info;
    if (fstat(turn.fd, &info) != 0) {
        close(turn.fd);
        turn.fd = -1;
        return false;
    }
    turn.identity.device = static_cast<std::uint64_t>(info.st_dev);
    turn.identity.index = static_cast<std::uint64_t>(info.st_ino);
    return true;
}

void closeTurn(Turn& turn)
{
    close(turn.fd);
    turn.fd = -1;
}

Lock lockTurn(Turn& turn, bool wait)
{
    for (;;) {
        if (flock(turn.fd, LOCK_EX | (wait ? 0 : LOCK_NB)) == 0)
            return Lock::Taken;
        if (errno != EINTR)
            return errno == EWOULDBLOCK ? Lock::Busy : Lock::Unavailable;
    }
}

void unlockTurn(Turn& turn)
{
    flock(turn.fd, LOCK_UN);
}

#endif

// Opens what stands for each turn; a directory that cannot be opened, or is
// the same as an earlier one, is passed over.
void askForTurns(Turns& turns)
{
    for (int i = 0; i < turns.count; i++) {
        Turn& turn = turns.turn[i];
        turn.asked = openTurn(turn);
        turn.missing = !turn.asked && turn.makes && errno == ENOENT;
        for (int j = 0; turn.asked && j < i; j++) {
            if (turns.turn[j].asked && turns.turn[j].identity == turn.identity) {
                closeTurn(turn);
                turn.asked = false;
            }
        }
    }
}

void passOver(Turn& turn)
{
    closeTurn(turn);
    turn.asked = false;
}

void giveBack(Turns& turns)
{
    for (int i = 0; i < turns.count; i++) {
        if (turns.turn[i].held)
            unlockTurn(turns.turn[i]);
        turns.turn[i].held = false;
    }
}

// Takes every turn asked for that is free; returns the index of the first
// that another run holds, or -1 when none is held elsewhere.
int takeFreeTurns(Turns& turns)
{
    for (int i = 0; i < turns.count; i++) {
        Turn& turn = turns.turn[i];
        if (!turn.asked || turn.held)
            continue;
        switch (lockTurn(turn, false)) {
        case Lock::Taken:
            turn.held = true;
            break;
        case Lock::Busy:
            return i;
        case Lock::Unavailable:
            passOver(turn);
            break;
        }
    }
    return -1;
}

void waitForTurn(Turn& turn)
{
    if (!turn.announced) {
        std::fflush(stdout);
        std::fprintf(stderr, "softlist2dat: waiting for another run in '%s'\n", turn.name);
        turn.announced = true;
    }
    if (lockTurn(turn, true) == Lock::Taken)
        turn.held = true;
    else
        passOver(turn);
}

// True when each turn held is at the directory its name leads to now.
bool turnsInPlace(const Turns& turns)
{
    for (int i = 0; i < turns.count; i++) {
        const Turn& turn = turns.turn[i];
        FileIdentity now;
        if (turn.held && !(identifyNamed(turn.name, now) && now == turn.identity))
            return false;
    }
    return true;
}

// Makes the missing directory of a turn, every other turn held, and takes
// its turn at once. Returns -1, or the turn's index when another run that
// made it too took it first (this run then waits for it: the directory is
// that run's).
int makeMissingDirectories(Turns& turns)
{
    for (int i = 0; i < turns.count; i++) {
        Turn& turn = turns.turn[i];
        if (!turn.missing)
            continue;
        turn.missing = false;
        const char* doomed = removeOnInterrupt(turn.name);
        bool made = false;
        Lock lock = Lock::Unavailable;
        // An interrupt comes before the directory is made or once its turn
        // is held, never in between.
        if (holdInterrupts()) {
            made = makeDirectoryNamed(turn.name) == 0;
            turn.asked = (made || errno == EEXIST) && openTurn(turn);
            if (turn.asked)
                lock = lockTurn(turn, false);
        }
        turn.held = lock == Lock::Taken;
        turn.made = made && turn.held;
        if (!turn.made)
            keepOnInterrupt(doomed);
        releaseInterrupts();
        if (lock == Lock::Busy)
            return i;
        if (turn.asked && lock == Lock::Unavailable)
            passOver(turn);
    }
    return -1;
}

void closeTurns(Turns& turns)
{
    for (int i = 0; i < turns.count; i++)
        if (turns.turn[i].asked)
            passOver(turns.turn[i]);
}

}  // namespace

void takeTurns(Turns& turns, const char* workingDirectory, const char* datDirectory)
{
    turns.count = 0;
    for (const char* name : {workingDirectory, datDirectory}) {
        if (name != nullptr) {
            Turn& turn = turns.turn[turns.count++];
            turn = Turn{};
            turn.name = name;
            turn.makes = name == datDirectory;
        }
    }
    askForTurns(turns);
    for (;;) {
        int busy = takeFreeTurns(turns);
        if (busy < 0 && !turnsInPlace(turns)) {
            giveBack(turns);
            closeTurns(turns);
            askForTurns(turns);
            continue;
        }
        if (busy < 0)
            busy = makeMissingDirectories(turns);
        if (busy < 0)
            return;
        giveBack(turns);
        waitForTurn(turns.turn[busy]);
    }
}

bool madeDatDirectory(const Turns& turns)
{
    for (int i = 0; i < turns.count; i++)
        if (turns.turn[i].made)
            return true;
    return false;
}

void giveTurnsBack(Turns& turns)
{
    giveBack(turns);
    closeTurns(turns);
    turns.count = 0;
}
