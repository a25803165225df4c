// Turns at the directories a run writes: two runs that would write the same
// files (the temporary file and the combined DAT in the working directory,
// the list DATs in OUT) never run at once. A run takes the turn of each of
// its directories before it touches a file there and keeps it until it
// ends; a run that finds one taken waits, saying so on stderr, and then
// goes on as usual. A turn goes with the process that held it, however it
// ends (a killed run never blocks the next one), and leaves no file behind.
// While a run holds its turns, whatever it finds under its files' names was
// left by a run that no longer lives. The DATs' own directory is made when
// missing, once the run holds its other turn, and its turn taken at once:
// a turn never waits for a directory that another run may remove.
#pragma once

#include "platform/file_names.h"

// The most directories one run writes: the working directory and OUT.
constexpr int mostTurns = 2;

struct Turn {
    const char* name = nullptr;   // the directory, as the user gave it
    FileIdentity identity;        // what the name led to when the turn was asked for
    bool asked = false;           // the directory could be opened, and is not another turn's
    bool held = false;
    bool announced = false;       // the waiting line was printed
    bool makes = false;           // the directory is made when missing
    bool missing = false;         // it was not there when its turn was asked for
    bool made = false;            // this run made it, and holds its turn
#ifdef _WIN32
    void* mutex = nullptr;        // the named mutex standing for the turn
#else
    int fd = -1;                  // the directory, locked while the turn is held
#endif
};

struct Turns {
    Turn turn[mostTurns];
    int count = 0;
};

// Takes the turns at the working directory and at the DATs' directory
// (nullptr for none, the same directory once), waiting while another run
// holds one. The DATs' directory is made (one level) when missing, and an
// interrupt removes it again while it is empty. A directory whose turn
// cannot be had for another reason (it cannot be opened or made, its file
// system keeps no locks) is passed over: the run then goes on as it would
// without turns.
void takeTurns(Turns& turns, const char* workingDirectory, const char* datDirectory);

// True when takeTurns made the DATs' directory: this run may remove it
// again, while it holds its turn there and the directory is empty.
bool madeDatDirectory(const Turns& turns);

// Gives every turn back (the end of the process does it too).
void giveTurnsBack(Turns& turns);
