// Process-wide set-up.
#include "platform/process.h"

#include <csignal>

void ignoreFileSizeSignal()
{
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}
