#!/usr/bin/env python3
"""Writes a print spool as the verification report writes it, for the
end-to-end tests of the viewer and the print program.

  spool_sample.py FILE PARTIES   (PARTIES ordering parties: 60 fill page 1)
"""
import sys


def heading(lines, page):
    lines += ["PAGE 66", "*@e", " 1," + "DESPATX GARCIA".ljust(35) + ", 0", "JUS D",
              f" 85,PÀGINA {page:4d}, 2",
              " 27,VERIFICACIÓ DISKETTE DE TRASPÀS DE REBUTS, 2", "JUS D",
              " 49, ORD., 0", " 55,       IMPORT, 0", " 69,       REBUTS, 0",
              " 83,    REGISTRES, 1", " 49," + "-" * 47 + ", 1"]


def main():
    path, parties = sys.argv[1], int(sys.argv[2])
    lines = ["DEVICEP"]
    page = 1
    heading(lines, page)
    used = 6
    for n in range(parties):
        if used >= 66:
            page += 1
            heading(lines, page)
            used = 6
        lines += ["JUS N 48 \\.\\", f" 1,ORDENANT B{12345000 + n:08d}000 , 0", "JUS D",
                  f" 55,{n + 1:>13}, 0", " 69,            3, 0", " 83,            5, 1"]
        used += 1
    lines += [" 1,*** error ***              7 el registre 5683 no està en seqüència, 1"]
    with open(path, "wb") as out:
        out.write(("\r\n".join(lines) + "\r\n").encode("cp850"))


if __name__ == "__main__":
    main()
