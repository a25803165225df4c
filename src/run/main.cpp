// softlist2dat: turns every MESS software list in the working directory into
// one ClrMamePro DAT, "all_mess_software_lists.dat". It takes no arguments.
#include "platform/process.h"
#include "run/run.h"

int main()
{
    prepareProcess();
    return runConversion();
}
