// The DAT writer.
#include "dat/dat_writer.h"

void writeHeader(TextOutput& out)
{
    writeLiteral(out, "clrmamepro (\n");
    writeLiteral(out, "\tname \"MESS Software Lists\"\n");
    writeLiteral(out, "\tdescription \"All MESS Software Lists Combined\"\n");
    writeLiteral(out, "\tcategory \"MESS\"\n");
    writeLiteral(out, "\tauthor \"Tobrek's Grotwick V0.01\"\n)\n\n");
}

void openGame(TextOutput& out, const char* list, const char* software, const char* description)
{
    writeLiteral(out, "\ngame (\n  name \"");
    writeString(out, software);
    writeLiteral(out, "\"\n  description \"");
    writeString(out, list);
    writeLiteral(out, "\\");
    writeString(out, software);
    writeLiteral(out, "  [ ");
    writeString(out, description);
    writeLiteral(out, " ]\"\n");
}

// "LABEL VALUE " when the value is not empty.
static void writeRomField(TextOutput& out, const char* label, const char* value)
{
    if (value[0] == '\0')
        return;
    writeString(out, label);
    writeString(out, value);
    writeLiteral(out, " ");
}

void writeRom(TextOutput& out, const char* name, const char* size, const char* crc, const char* md5,
              const char* sha1)
{
    writeLiteral(out, "  rom ( name \"");
    writeString(out, name);
    writeLiteral(out, "\" ");
    writeRomField(out, "size ", size);
    writeRomField(out, "crc ", crc);
    writeRomField(out, "md5 ", md5);
    writeRomField(out, "sha1 ", sha1);
    writeLiteral(out, ")\n");
}

void closeGame(TextOutput& out, const char* list)
{
    writeLiteral(out, "  rebuildto \"");
    writeString(out, list);
    writeLiteral(out, "\"\n)\n");
}
