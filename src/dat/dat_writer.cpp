// The DAT writer.
#include "dat/dat_writer.h"

void writeHeader(TextOutput& out)
{
    writeString(out, "clrmamepro (\n");
    writeString(out, "\tname \"MESS Software Lists\"\n");
    writeString(out, "\tdescription \"All MESS Software Lists Combined\"\n");
    writeString(out, "\tcategory \"MESS\"\n");
    writeString(out, "\tauthor \"Tobrek's Grotwick V0.01\"\n)\n\n");
}

void openGame(TextOutput& out, const char* list, const char* software, const char* description)
{
    writeString(out, "\ngame (\n  name \"");
    writeString(out, software);
    writeString(out, "\"\n  description \"");
    writeString(out, list);
    writeString(out, "\\");
    writeString(out, software);
    writeString(out, "  [ ");
    writeString(out, description);
    writeString(out, " ]\"\n");
}

// "LABEL VALUE " when the value is not empty.
static void writeRomField(TextOutput& out, const char* label, const char* value)
{
    if (value[0] == '\0')
        return;
    writeString(out, label);
    writeString(out, value);
    writeString(out, " ");
}

void writeRom(TextOutput& out, const char* name, const char* size, const char* crc, const char* md5,
              const char* sha1)
{
    writeString(out, "  rom ( name \"");
    writeString(out, name);
    writeString(out, "\" ");
    writeRomField(out, "size ", size);
    writeRomField(out, "crc ", crc);
    writeRomField(out, "md5 ", md5);
    writeRomField(out, "sha1 ", sha1);
    writeString(out, ")\n");
}

void closeGame(TextOutput& out, const char* list)
{
    writeString(out, "  rebuildto \"");
    writeString(out, list);
    writeString(out, "\"\n)\n");
}
