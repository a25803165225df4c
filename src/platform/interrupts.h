// What an interrupt does to a run: Ctrl-C, SIGTERM and SIGHUP (on Windows
// Ctrl-C, Ctrl-Break and closing the console window) remove the files the
// run has named for that, print "Interrupted." on stderr and end the process
// as the signal would have ended it (a shell sees 130 for Ctrl-C).
#pragma once

// Names a file, or an empty directory, that an interrupt removes, whether or
// not it exists yet. Takes a copy of the name, kept for the whole process,
// and returns it; call it before the file can come to exist. Names are
// removed newest first, so a directory named before the files in it goes
// after them.
const char* removeOnInterrupt(const char* name);

// The name removeOnInterrupt returned is no longer the run's to remove (it
// was never made, or is gone or handed on): an interrupt leaves it alone.
void keepOnInterrupt(const char* name);

// From here on, interrupts end the run as described above.
void catchInterrupts();

// Interrupts held back: any thread creates a file named by removeOnInterrupt
// only between these two calls, so that an interrupt cannot remove the name
// just before the file appears, and the run puts its DATs in place between
// them, so that an interrupt finds each DAT either old or new. The handler
// waits while a thread holds interrupts back (on POSIX systems that thread
// blocks them meanwhile, so the handler never runs on it and the wait ends).
// False from the first when an interrupt has come: create nothing then
// (releaseInterrupts is still called). Not nested; nothing between them
// waits for another process.
bool holdInterrupts();
void releaseInterrupts();

// While interrupts are held back: whether one has come and waits for the
// release, so that the holder can undo what it began first.
bool interruptWaiting();

// Interrupts are taken on the other threads of the process, never this one.
void keepInterruptsOffThisThread();
