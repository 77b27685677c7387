#!/usr/bin/env python3
"""Writes Cuaderno 19.14 files for the converter's tests into DIR.

    c19_fixtures.py DIR

Good files: one creditor block (version character "4"), several blocks with
debits of two sequence types (version "2"), and version "3"; their names and
concepts carry accented letters and characters a SEPA message does not take,
one concept is longer than the 140 characters a message keeps, and the
amounts run from 0.01 to 999,999,999.99 euros. Bad files, named bad_*.E19:
truncated, of another format, garbage in an amount, a wrong IBAN check
digit, totals that do not add up. Texts are code page 850, as the program
writes them.
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "demo"))
from make_demo import ccc_digit, iban  # noqa: E402

ENC = "cp850"


def account(entity, office, number):
    check = "%d%d" % (ccc_digit("00" + entity + office), ccc_digit(number))
    return entity + office + check + number


def sepa_identifier(nif, suffix="000"):
    moved = nif + "ES00"
    numeric = "".join(str(int(c, 36)) for c in moved)
    return "ES%02d" % (98 - int(numeric) % 97) + suffix + nif


def record(code, *fields):
    r = bytearray(b" " * 600)
    r[0:len(code)] = code.encode(ENC)
    for position, width, value in fields:
        data = value.encode(ENC) if isinstance(value, str) else value
        data = data[:width].ljust(width, b" ")
        r[position - 1:position - 1 + width] = data
    return bytes(r)


def number(value, width):
    return "%0*d" % (width, value)


PRESENTER = sepa_identifier("B12345678")


def c19_file(version, blocks, file_id="PRE2026120815233612345"):
    """blocks: list of (nif, name, iban, date, debits); debits: list of
    (reference, mandate, sequence, cents, name, iban, concept)."""
    file_identifier = file_id + version + "X" * 12
    records = [record("0119143001", (11, 35, PRESENTER), (46, 70, "GESTORIA LLOBREGAT, SERVEIS"),
                      (116, 8, "20261208"), (124, 35, file_identifier), (159, 4, "2100"),
                      (163, 4, "0418"))]
    total = count = 0
    for nif, name, creditor_iban, date, debits in blocks:
        identifier = sepa_identifier(nif)
        start = len(records)
        records.append(record("0219143002", (11, 35, identifier), (46, 8, date), (54, 70, name),
                              (266, 34, creditor_iban)))
        block_total = 0
        for reference, mandate, sequence, cents, debtor, debtor_iban, concept in debits:
            records.append(record("0319143003", (11, 35, reference), (46, 35, mandate),
                                  (81, 4, sequence), (85, 4, "TRAD"), (89, 11, number(cents, 11)),
                                  (100, 8, "20091031"), (119, 70, debtor), (403, 1, "A"),
                                  (404, 34, debtor_iban), (442, 159, concept)))
            block_total += cents
        block_records = len(records) - start + 1
        records.append(record("04", (3, 35, identifier), (38, 8, date),
                              (46, 17, number(block_total, 17)), (63, 8, number(len(debits), 8)),
                              (71, 10, number(block_records, 10))))
        records.append(record("05", (3, 35, identifier), (38, 17, number(block_total, 17)),
                              (55, 8, number(len(debits), 8)), (63, 10, number(block_records + 1, 10))))
        total += block_total
        count += len(debits)
    records.append(record("99", (3, 17, number(total, 17)), (20, 8, number(count, 8)),
                          (28, 10, number(len(records) + 1, 10))))
    return b"".join(r + b"\r\n" for r in records)


def debtor_iban(n):
    return iban("ES", account("0049", "1500", "%010d" % (4711000 + n)))


LONG_CONCEPT = ("QUOTA ANUAL DE L'ASSOCIACIÓ CULTURAL; ACTIVITATS [EXTRAESCOLARS] & ALTRES "
                "SERVEIS D'ASSESSORIA <IVA INCLÒS> 21% - REBUT Nº 0001/2026 ~ CÀNON ÚS COMÚ "
                "FINAL DEL CONCEPTE")
CREDITOR_IBAN = iban("ES", account("2100", "0418", "0200051332"))
OTHER_IBAN = iban("ES", account("0182", "5322", "0201503733"))


def good_files():
    one = [("G08001234", "ASSOCIACIÓ CULTURAL L'AMISTAT", CREDITOR_IBAN, "20261215", [
        ("000000100001R00000001", "000000100001", "RCUR", 1, "ÀNGELS MUÑOZ I ÇANADELL",
         debtor_iban(1), LONG_CONCEPT),
        ("000000100002R00000002", "000000100002", "RCUR", 99999999999, "O'NEILL & FILLS <SL>",
         debtor_iban(2), "QUOTA \"ESPECIAL\" #2 @ 100% {MAX}"),
        ("000000100003R00000003", "000000100003", "RCUR", 1234, "NÚRIA FERRÉ PUJOL",
         debtor_iban(3), ""),
    ])]
    several = [
        ("G08001234", "CLUB ESPORTIU SANT FELIU", CREDITOR_IBAN, "20261215", [
            ("000000200001R00000011", "000000200001", "FRST", 4590, "JOAN GARCIA", debtor_iban(11),
             "PRIMERA QUOTA"),
            ("000000200002R00000012", "000000200002", "RCUR", 1500, "MARIA LÓPEZ", debtor_iban(12),
             "QUOTA MENSUAL"),
            ("000000200003R00000013", "000000200003", "FRST", 3000, "JORDI SOLÀ", debtor_iban(13),
             "PRIMERA QUOTA"),
        ]),
        ("G08005678", "AMPA ESCOLA LA SALUT", OTHER_IBAN, "20261220", [
            ("000000300001R00000021", "000000300001", "RCUR", 150000, "BEGOÑA IBÁÑEZ",
             debtor_iban(21), "MATRÍCULA 2026/27"),
        ]),
    ]
    return {"one_block.E19": c19_file("4", one),
            "several_blocks.E19": c19_file("2", several, "PRE2026120815233600002"),
            "version3.E19": c19_file("3", one, "PRE2026120815233600003")}


def replace_field(data, record_index, position, value):
    data = bytearray(data)
    at = record_index * 602 + position - 1
    data[at:at + len(value)] = value.encode(ENC)
    return bytes(data)


def bad_files(good):
    base = good["one_block.E19"]
    wrong_iban = debtor_iban(2)
    wrong_iban = wrong_iban[:2] + ("%02d" % ((int(wrong_iban[2:4]) + 1) % 100)) + wrong_iban[4:]
    return {"bad_truncated.E19": base[:602 * 3 + 100],
            "bad_format.E19": b"<?xml version=\"1.0\"?><Document/>\n" + b" " * 700,
            "bad_amount.E19": replace_field(base, 3, 89, "00000ABC000"),
            "bad_iban.E19": replace_field(base, 3, 404, wrong_iban),
            "bad_totals.E19": replace_field(base, 7, 3, number(5, 17))}


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    good = good_files()
    for name, data in list(good.items()) + list(bad_files(good).items()):
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
