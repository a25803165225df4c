// The combined DAT: one file for every list, "all_mess_software_lists.dat",
// written as its .part and put in place when complete. Each game is titled
// "LIST\NAME  [ DESCRIPTION ]" and rebuilt to its list.
#pragma once

#include <string>

#include "dat/dat_text.h"
#include "dat/dat_writer.h"
#include "dat/held_text.h"
#include "platform/pending_file.h"

// The combined DAT's name, in the working directory.
inline constexpr char combinedDatName[] = "all_mess_software_lists.dat";

class CombinedDat : public DatOutcome {
public:
    static constexpr bool readsAllValues = false;

    // Writes through `out`: into its file, or with `memory` into that
    // string, and no file is touched. `version`: the header's (none when
    // empty).
    CombinedDat(TextOutput& out, std::string_view version, std::string* memory = nullptr);

    void listBegins(const ListFound& list) { listName_.keep(list.name); }
    void gameOpens(const GameFound& game) { openGame(*output, listName_.view(), game.name, game.title); }
    void detailFound(Detail, std::string_view) {}
    // A ROM with a hash after its name; the rest of what the scan reports
    // is for the list DATs.
    void romFound(const RomFound& rom)
    {
        const RomValues& v = rom.afterName;
        if (!v.crc.empty() || !v.md5.empty() || !v.sha1.empty())
            writeRom(*output, rom.name, v);
    }
    void diskFound(const DiskFound& disk) { writeDisk(*output, disk.name, disk.sha1); }
    void gameCloses() { closeGame(*output, listName_.view()); }
    void inputEnds() {}

    // The combined DAT goes to the working directory, which is always there.
    bool prepare(bool) { return true; }
    // A DAT begun by a killed run goes, as the interpreter's "del" removes
    // it (saying so when it cannot); the previous DAT stays until this one
    // is done.
    void removeLeftovers();
    // Creates the DAT (or opens the memory) and writes its header.
    bool open();
    bool close();
    bool commit();
    void abandon();
    int report(std::int64_t lines);

private:
    TextOutput* out_;
    std::string_view version_;
    std::string* memory_;
    PendingFile file_;
    HeldText<longestValue> listName_;   // the last list line's name
};
static_assert(DatWriter<CombinedDat>);
