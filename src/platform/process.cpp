// Process-wide set-up and ending.
#include "platform/process.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <string>
#include <vector>
#include <windows.h>
#include <shellapi.h>

#include "platform/file_names.h"
#endif

#ifdef _WIN32
static UINT consoleCodePage = 0;

static bool isConsole(DWORD stream)
{
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(stream), &mode) != 0;
}

static void restoreConsoleCodePage()
{
    SetConsoleOutputCP(consoleCodePage);
}
#endif

void prepareProcess()
{
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
#ifdef SIGPIPE
    // A console that went away (a closed pipe) loses the messages, not the DAT.
    std::signal(SIGPIPE, SIG_IGN);
#endif
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    if (isConsole(STD_OUTPUT_HANDLE)) {
        consoleCodePage = GetConsoleOutputCP();
        if (SetConsoleOutputCP(CP_UTF8))
            std::atexit(restoreConsoleCodePage);
    }
#endif
}

#ifdef _WIN32
char** utf8Arguments(int& argc, char** argv)
{
    static std::vector<std::string> texts;
    static std::vector<char*> pointers;
    int count = 0;
    wchar_t** wideArguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wideArguments == nullptr)
        return argv;
    for (int i = 0; i < count; i++)
        texts.push_back(utf8(wideArguments[i]));
    LocalFree(wideArguments);
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    argc = count;
    return pointers.data();
}
#else
char** utf8Arguments(int& /*argc*/, char** argv)
{
    return argv;
}
#endif

bool keepsWindowOpen(unsigned long processesOnConsole, bool stdinIsConsole, bool stdoutIsConsole)
{
    return processesOnConsole == 1 && stdinIsConsole && stdoutIsConsole;
}

void keepWindowOpenIfOurs()
{
#ifdef _WIN32
    DWORD processes[2];
    DWORD count = GetConsoleProcessList(processes, 2);
    if (!keepsWindowOpen(count, isConsole(STD_INPUT_HANDLE), isConsole(STD_OUTPUT_HANDLE)))
        return;
    std::fputs("\nPress Enter to close this window.", stdout);
    std::fflush(stdout);
    for (int c = std::getchar(); c != '\n' && c != EOF; c = std::getchar()) {
    }
#endif
}
