#!/usr/bin/env python3
"""Turns software-list files into one file in the layout MAME (0.251)
prints with -listsoftware (or -getsoftlist NAME): the XML declaration and
the DTD (both left out with --nodtd), then <softwarelists> holding each
list, its software indented one tab deeper than in the list files. As MAME writes them: each ROM with its
true size (the continue and ignore rows after it added, those rows left
out), hashes in lower case (crc, then sha1, then status="baddump"),
status="nodump" instead of a ROM's hashes, reload and fill rows nameless;
disks with writeable, none never dumped; values with ", &, < and >
escaped.

Also prints, one per line on stdout, LIST<TAB>SOFTWARE<TAB>ROM for each ROM
the dump gives no hash although the list file does (a nodump ROM with a
crc, a ROM with an md5 only): their lines are in the list DATs of the files
only.

Usage: mame_dump.py [--nodtd] [--shuffle SEED] OUT LIST.xml...
"""
import argparse
import random
import sys
import xml.etree.ElementTree as ElementTree

DTD = """<!DOCTYPE softwarelists [
<!ELEMENT softwarelists (softwarelist*)>
\t<!ELEMENT softwarelist (software+)>
\t\t<!ATTLIST softwarelist name CDATA #REQUIRED>
\t\t<!ATTLIST softwarelist description CDATA #IMPLIED>
\t\t<!ELEMENT software (description, year, publisher, info*, sharedfeat*, part*)>
\t\t\t<!ATTLIST software name CDATA #REQUIRED>
\t\t\t<!ATTLIST software cloneof CDATA #IMPLIED>
\t\t\t<!ATTLIST software supported (yes|partial|no) "yes">
\t\t\t<!ELEMENT description (#PCDATA)>
\t\t\t<!ELEMENT year (#PCDATA)>
\t\t\t<!ELEMENT publisher (#PCDATA)>
\t\t\t<!ELEMENT info EMPTY>
\t\t\t\t<!ATTLIST info name CDATA #REQUIRED>
\t\t\t\t<!ATTLIST info value CDATA #IMPLIED>
\t\t\t<!ELEMENT part (feature*, dataarea*, diskarea*)>
\t\t\t\t<!ATTLIST part name CDATA #REQUIRED>
\t\t\t\t<!ATTLIST part interface CDATA #REQUIRED>
\t\t\t\t<!ELEMENT feature EMPTY>
\t\t\t\t\t<!ATTLIST feature name CDATA #REQUIRED>
\t\t\t\t\t<!ATTLIST feature value CDATA #IMPLIED>
\t\t\t\t<!ELEMENT dataarea (rom*)>
\t\t\t\t\t<!ATTLIST dataarea name CDATA #REQUIRED>
\t\t\t\t\t<!ATTLIST dataarea size CDATA #REQUIRED>
\t\t\t\t\t<!ELEMENT rom EMPTY>
\t\t\t\t\t\t<!ATTLIST rom name CDATA #IMPLIED>
\t\t\t\t\t\t<!ATTLIST rom size CDATA #REQUIRED>
\t\t\t\t\t\t<!ATTLIST rom crc CDATA #IMPLIED>
\t\t\t\t\t\t<!ATTLIST rom sha1 CDATA #IMPLIED>
\t\t\t\t\t\t<!ATTLIST rom offset CDATA #IMPLIED>
\t\t\t\t\t\t<!ATTLIST rom value CDATA #IMPLIED>
\t\t\t\t\t\t<!ATTLIST rom status (baddump|nodump|good) "good">
\t\t\t\t\t\t<!ATTLIST rom loadflag (load16_byte|load16_word|load16_word_swap|load32_byte|load32_word|load32_word_swap|load32_dword|load64_word|load64_word_swap|reload|fill|continue|reload_plain|ignore) #IMPLIED>
\t\t\t\t<!ELEMENT diskarea (disk*)>
\t\t\t\t\t<!ATTLIST diskarea name CDATA #REQUIRED>
\t\t\t\t\t<!ELEMENT disk EMPTY>
\t\t\t\t\t\t<!ATTLIST disk name CDATA #REQUIRED>
\t\t\t\t\t\t<!ATTLIST disk sha1 CDATA #IMPLIED>
\t\t\t\t\t\t<!ATTLIST disk status (baddump|nodump|good) "good">
\t\t\t\t\t\t<!ATTLIST disk writeable (yes|no) "no">
]>

"""


def escaped(text):
    """A value as MAME writes it: ", &, < and > as references."""
    return (text or "").replace("&", "&amp;").replace("\"", "&quot;").replace("<", "&lt;").replace(">", "&gt;")


def number(text):
    return int(text, 0) if text else 0


def hashes(element):
    """The hash attributes MAME writes: crc and sha1 in lower case, then a
    bad dump's status; a nodump's status instead of them."""
    if element.get("status") == "nodump":
        return ' status="nodump"'
    text = "".join(f' {key}="{element.get(key).lower()}"' for key in ("crc", "sha1") if element.get(key))
    return text + (' status="baddump"' if element.get("status") == "baddump" else "")


def rom_rows(area, list_name, software, dropped):
    """The rows of a data area: each ROM with its true size, reload and fill
    rows as they are; continue and ignore rows folded into their ROM."""
    rows = []
    roms = list(area.findall("rom"))
    for i, rom in enumerate(roms):
        flag = rom.get("loadflag", "")
        offset = f' offset="0x{number(rom.get("offset")):x}"'
        if rom.get("name") is None:
            if flag in ("reload", "fill", "reload_plain"):
                rows.append(f'\t\t\t\t\t<rom size="{number(rom.get("size"))}"{offset} loadflag="{flag}" />\n')
            continue
        size = number(rom.get("size"))
        for chunk in roms[i + 1:]:
            if chunk.get("name") is not None or chunk.get("loadflag") not in ("continue", "ignore"):
                break
            size += number(chunk.get("size"))
        found = hashes(rom)
        if not any(key in found for key in ("crc=", "sha1=")) and any(rom.get(key) for key in ("crc", "sha1", "md5")):
            dropped.append(f"{list_name}\t{software}\t{rom.get('name')}")
        load = f' loadflag="{flag}"' if flag and flag not in ("continue", "ignore") else ""
        rows.append(f'\t\t\t\t\t<rom name="{escaped(rom.get("name"))}" size="{size}"{found}{load}/>\n')
    return rows


def dump_list(root, out, dropped):
    name = root.get("name")
    out.append(f'\t<softwarelist name="{escaped(name)}" description="{escaped(root.get("description"))}">\n')
    for software in root.findall("software"):
        attributes = f' name="{escaped(software.get("name"))}"'
        if software.get("cloneof"):
            attributes += f' cloneof="{escaped(software.get("cloneof"))}"'
        if software.get("supported") in ("partial", "no"):
            attributes += f' supported="{software.get("supported")}"'
        out.append(f"\t\t<software{attributes}>\n")
        for tag in ("description", "year", "publisher"):
            out.append(f"\t\t\t<{tag}>{escaped(software.findtext(tag))}</{tag}>\n")
        for tag in ("info", "sharedfeat"):
            for info in software.findall(tag):
                out.append(f'\t\t\t<{tag} name="{escaped(info.get("name"))}" value="{escaped(info.get("value"))}"/>\n')
        for part in software.findall("part"):
            interface = f' interface="{escaped(part.get("interface"))}"' if part.get("interface") else ""
            out.append(f'\t\t\t<part name="{escaped(part.get("name"))}"{interface}>\n')
            # MAME gives each part the software's shared features first.
            for feature in software.findall("sharedfeat") + part.findall("feature"):
                out.append(f'\t\t\t\t<feature name="{escaped(feature.get("name"))}" '
                           f'value="{escaped(feature.get("value"))}" />\n')
            for area in part.findall("dataarea"):
                out.append(f'\t\t\t\t<dataarea name="{escaped(area.get("name"))}" size="{number(area.get("size"))}">\n')
                out.extend(rom_rows(area, name, software.get("name"), dropped))
                out.append("\t\t\t\t</dataarea>\n")
            for area in part.findall("diskarea"):
                out.append(f'\t\t\t\t<diskarea name="{escaped(area.get("name"))}">\n')
                for disk in area.findall("disk"):
                    if disk.get("status") == "nodump":
                        continue   # MAME lists no disk that was never dumped
                    writeable = "yes" if disk.get("writeable") == "yes" else "no"
                    out.append(f'\t\t\t\t\t<disk name="{escaped(disk.get("name"))}"{hashes(disk)} '
                               f'writeable="{writeable}"/>\n')
                out.append("\t\t\t\t</diskarea>\n")
            out.append("\t\t\t</part>\n")
        out.append("\t\t</software>\n")
    out.append("\t</softwarelist>\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--nodtd", action="store_true")
    parser.add_argument("--shuffle", type=int, default=None, help="the lists in an order drawn from this seed")
    parser.add_argument("out")
    parser.add_argument("lists", nargs="+")
    args = parser.parse_args()
    lists = list(args.lists)
    if args.shuffle is not None:
        random.Random(args.shuffle).shuffle(lists)
    out = [] if args.nodtd else ['<?xml version="1.0"?>\n', DTD]
    out.append("<softwarelists>\n")
    dropped = []
    for path in lists:
        dump_list(ElementTree.parse(path).getroot(), out, dropped)
    out.append("</softwarelists>\n")
    with open(args.out, "w", encoding="utf-8", newline="\n") as f:
        f.write("".join(out))
    sys.stdout.write("".join(line + "\n" for line in dropped))


if __name__ == "__main__":
    main()
