// The command line.
#include "run/command_line.h"

#include <cstring>
#include <string>
#include <string_view>

#include "bytes/shown_text.h"

#ifndef SOFTLIST2DAT_VERSION
#define SOFTLIST2DAT_VERSION "unknown"
#endif

static bool isHelpOption(const char* argument)
{
#ifdef _WIN32
    if (std::strcmp(argument, "/?") == 0)
        return true;
#endif
    return std::strcmp(argument, "-h") == 0 || std::strcmp(argument, "--help") == 0;
}

// What a misuse says, with the argument it is about.
static Invocation misuse(const char* format, const char* argument = "")
{
    static char message[512];
    std::snprintf(message, sizeof message, format, argument);
    Invocation wrong;
    wrong.action = Action::Misuse;
    wrong.misuse = message;
    return wrong;
}

// When `argument` is the option `name` with a value (as NAME VALUE or
// NAME=VALUE), the value ("" when none is given), taking the next argument
// when it is the value; else nullptr.
static const char* optionValue(const char* name, int argc, char** argv, int& i)
{
    const char* argument = argv[i];
    const std::size_t length = std::strlen(name);
    if (std::strncmp(argument, name, length) != 0)
        return nullptr;
    if (argument[length] == '=')
        return argument + length + 1;
    if (argument[length] != '\0')
        return nullptr;
    return i + 1 < argc ? argv[++i] : "";
}

// A version is 1 to 64 bytes, none of them a control byte.
static bool isVersionText(const char* text)
{
    const std::size_t length = std::strlen(text);
    if (length < 1 || length > 64)
        return false;
    for (std::size_t i = 0; i < length; i++)
        if (isControlByte(text[i]))
            return false;
    return true;
}

// The text as a message shows it, its first 100 bytes (so at most 400
// bytes shown).
static const char* shown(const char* text)
{
    static std::string room;
    room.clear();
    appendShown(room, std::string_view(text, strnlen(text, 100)));
    return room.c_str();
}

Invocation readCommandLine(int argc, char** argv)
{
    Invocation asked;
    bool xml = false;
    bool optionsEnded = false;
    for (int i = 1; i < argc; i++) {
        const char* argument = argv[i];
        if (!optionsEnded && (isHelpOption(argument) || std::strcmp(argument, "--version") == 0)) {
            Invocation shown;
            shown.action = isHelpOption(argument) ? Action::Help : Action::Version;
            return shown;
        }
        if (!optionsEnded && std::strcmp(argument, "--disks") == 0) {
            asked.disks = true;
            continue;
        }
        if (!optionsEnded && std::strcmp(argument, "--xml") == 0) {
            xml = true;
            continue;
        }
        if (const char* value = optionsEnded ? nullptr : optionValue("--per-list", argc, argv, i)) {
            if (*value == '\0')
                return misuse("softlist2dat: option '--per-list' needs a directory\n");
            asked.perList = value;
            continue;
        }
        if (const char* value = optionsEnded ? nullptr : optionValue("--dat-version", argc, argv, i)) {
            if (*value == '\0')
                return misuse("softlist2dat: option '--dat-version' needs a version\n");
            if (!isVersionText(value))
                return misuse("softlist2dat: version '%s' is not 1 to 64 bytes without control characters\n",
                              shown(value));
            asked.datVersion = value;
            continue;
        }
        if (!optionsEnded && std::strcmp(argument, "--") == 0) {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && argument[0] == '-' && argument[1] != '\0')
            return misuse("softlist2dat: unknown option '%s'\n", argument);
        asked.lists.push_back(argument);
    }
    if (xml && asked.perList == nullptr)
        return misuse("softlist2dat: option '--xml' is for the list DATs: give it with --per-list OUT\n");
    if (asked.perList != nullptr)
        asked.form = xml ? DatForm::ListXml : DatForm::ListText;
    return asked;
}

void printUsage(std::FILE* to)
{
    std::fputs("Usage: softlist2dat [--per-list OUT [--xml]] [--disks] [--dat-version TEXT] [--]\n"
               "                   [DIR | FILE...]\n"
               "       softlist2dat -h | --help"
#ifdef _WIN32
               " | /?"
#endif
               "\n"
               "       softlist2dat --version\n"
               "\n"
               "Turns every MESS software list (*.xml) in DIR, or in the current directory\n"
               "when no DIR is given, or the lists in the FILEs named (list files or MAME's\n"
               "own dumps: mame -listsoftware > lists.xml), into one ClrMamePro DAT. The DAT,\n"
               "all_mess_software_lists.dat, is written to the current directory, which\n"
               "must be writable (an old DAT there is replaced), together with the\n"
               "temporary file tempfileforplimsett.tmp while the tool runs.\n"
               "\n"
               "  --per-list OUT  instead, write one DAT per list, OUT/LIST.dat, with\n"
               "                  parent/clone links, for ROM managers that key sets by name\n"
               "                  (RomVault, igir, ...: point their DAT folder at OUT); OUT\n"
               "                  is created when missing\n"
               "  --xml           with --per-list, write the list DATs in Logiqx XML (for\n"
               "                  ROM managers that read the ClrMamePro form only in part)\n"
               "  --disks         also list each software's disk images (CHD files) that\n"
               "                  have a sha1, as disk entries beside its rom entries\n"
               "  --dat-version TEXT\n"
               "                  the version in every DAT's header (say, the MAME release\n"
               "                  the lists came with: --dat-version 0.251); 1 to 64 bytes\n"
               "\n"
               "Example, the list DATs of Debian's mame-data in Logiqx XML:\n"
               "  softlist2dat --per-list out --xml --dat-version 0.251 /usr/share/games/mame/hash\n"
               "\n"
               "Exit status: 0 the DAT was written (also when there was nothing to convert),\n"
               "2 the command line was wrong or DIR or a FILE cannot be read, 3 a file could\n"
               "not be opened or the DAT not written, or (--per-list) a list was skipped.\n",
               to);
}

void printVersion()
{
    std::puts("softlist2dat " SOFTLIST2DAT_VERSION);
}
