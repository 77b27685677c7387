#!/usr/bin/env python3
"""Writes the data of a demo installation of qdebconv.

    make_demo.py ROOT WORKDIR [--receipts N] [--seed S]

    make_demo.py ROOT WORKDIR --backup-set DIR   also a CSB 19 remittance
                                                 as a backup set in DIR

ROOT gets "Vela.ini" (the office's installation data), in ROOT/seq/, the
sequential load files of TRemeses and TrasBanc for kitdb, and in ROOT/REMESES/
remittance files to browse (Cuaderno 19.14 files, SEPA XML direct-debit
messages of three versions, and a few files that are neither); WORKDIR gets
"Sessio.ini" and "VelaTerm.ini". Texts are code page 850, as the program
keeps them. Accounts, IBANs and tax numbers carry correct check digits,
computed here from their definitions.
"""
import argparse
import datetime
import os
import random
import struct

ENC = "cp850"
# The installation data's texts are fixed fields of 35 characters.
INSTALLATION_TEXT = 35

SURNAMES = ["GARCIA", "MARTÍNEZ", "LÓPEZ", "SÁNCHEZ", "PÉREZ", "GÓMEZ", "FERNÁNDEZ",
            "PUJOL", "FERRÉ", "SOLÀ", "BOSCH", "CASTELLÓ", "NÚÑEZ", "MUÑOZ", "IBÁÑEZ",
            "ROVIRA I COMAS", "VILÀ", "ÇANADELL", "O'NEILL", "D'ARGENÇOLA"]
FORENAMES = ["JOSEP", "MARIA", "JOAN", "NÚRIA", "MONTSERRAT", "JORDI", "ÀNGELS",
             "FRANCESC", "MÍRIA", "ÒSCAR", "IÑAKI", "BEGOÑA", "", "ANNA", "LLUÍS"]
CONCEPTS = ["QUOTA DE SOCI - FEBRER; Nº {n}", "REBUT [MANTENIMENT] {n} ~ CÀNON",
            "SERVEIS D'ASSESSORIA {n} (IVA INCLÒS) 21% & ALTRES",
            "LLOGUER LOCAL C/ MAJOR, {n} - ÚS COMÚ / SEGONA PLANTA",
            "QUOTA ANUAL AMPA {n}: ACTIVITATS EXTRAESCOLARS ÑANDÚ"]
# Entity and office of a few Spanish banks' branches (made up offices).
BANKS = ["2100", "0049", "0182", "0081", "2080", "0128"]


def ccc_digit(digits):
    weights = [1, 2, 4, 8, 5, 10, 9, 7, 3, 6]
    d = 11 - sum(int(c) * w for c, w in zip(digits, weights)) % 11
    return {11: 0, 10: 1}.get(d, d)


def spanish_account(rng):
    entity = rng.choice(BANKS)
    office = "%04d" % rng.randrange(1, 9999)
    number = "%010d" % rng.randrange(0, 10 ** 10)
    check = "%d%d" % (ccc_digit("00" + entity + office), ccc_digit(number))
    return entity + office + check + number


def iban(country, bban):
    moved = bban + country + "00"
    numeric = "".join(str(int(c, 36)) for c in moved)
    return country + "%02d" % (98 - int(numeric) % 97) + bban


def cif(rng, letter="B"):
    body = "%07d" % rng.randrange(0, 10 ** 7)
    total = 0
    for i, c in enumerate(body):
        v = int(c)
        if i % 2 == 0:
            v *= 2
            v = v // 10 + v % 10
        total += v
    return letter + body + str((10 - total % 10) % 10)


def packed(digits):
    return bytes(128 + int(digits[i:i + 2]) for i in range(0, len(digits), 2))


def fits(value, width, what):
    """The demo's data stays within its fields: a text the program would cut
    is a mistake here, not something to show the operator."""
    if len(value.encode(ENC)) > width:
        raise ValueError("%s %r is longer than its %d characters" % (what, value, width))
    return value


def text(value, width):
    data = fits(value, width, "the field").encode(ENC)
    return data + b" " * (width - len(data))


def remittance(low, account, suffix, name, nif, high=0):
    record = bytearray(b" " * 76)
    record[0:1] = packed("%02d" % low)
    record[1:11] = packed(account)
    record[11:13] = packed(account[4:8])
    record[13:16] = text("%3d" % suffix, 3)
    record[16:46] = text(name, 30)
    record[55:58] = text("000", 3)
    record[58:75] = text("ES" + nif, 17)
    record[75:76] = packed("%02d" % high)
    return bytes(record)


def receipt(rng, series, low, number, debtor, amount, concept, with_identifier):
    record = bytearray(b" " * 773)
    record[0:1] = b"R"
    record[1:7] = packed("%012d" % debtor)
    record[7:11] = packed("%08d" % number)
    record[11:12] = series.encode(ENC)
    record[12:13] = packed("%02d" % low)
    surname = rng.choice(SURNAMES) + " " + rng.choice(SURNAMES)
    record[23:63] = text(surname + "*" + rng.choice(FORENAMES), 40)
    record[63:67] = struct.pack("<i", amount)
    record[71:105] = text(iban("ES", spanish_account(rng)), 34)
    identifier = ("ES" + cif(rng, "A")) if with_identifier else ""
    record[116:133] = text(identifier, 17)
    record[133:773] = text(concept, 640)
    return bytes(record)


def sequential(records):
    return b"".join(str(len(r)).encode() + b"," + r + b"\r\n" for r in records)


def write_ini(path, sections):
    """Sets the keys in the settings file, keeping what else it holds."""
    merged = {}
    current = None
    if os.path.exists(path):
        for line in open(path, "rb").read().decode(ENC).splitlines():
            line = line.strip()
            if line.startswith("[") and line.endswith("]"):
                current = merged.setdefault(line[1:-1], {})
            elif "=" in line and current is not None and not line.startswith(";"):
                key, value = line.split("=", 1)
                current[key.strip()] = value
    for section, keys in sections.items():
        merged.setdefault(section, {}).update(keys)
    lines = []
    for section, keys in merged.items():
        lines.append("[%s]" % section)
        lines.extend("%s=%s" % (k, v) for k, v in keys.items())
        lines.append("")
    with open(path, "wb") as f:
        f.write("\r\n".join(lines).encode(ENC))


def c19_record(fields):
    """A 600-character record: (1-based position, text) pairs over blanks."""
    record = bytearray(b" " * 600)
    for position, value in fields:
        data = value.encode(ENC)
        record[position - 1:position - 1 + len(data)] = data
    return bytes(record)


def c19_file(identifier, presenter, creditor, iban_text, collection, debits, line_end):
    """A Cuaderno 19.14 file: 01, one creditor's 02, its 03s, 04, 05 and 99."""
    today = datetime.date.today().strftime("%Y%m%d")
    records = [c19_record([(1, "0119143001"), (11, identifier), (46, presenter[:70]), (116, today),
                           (124, "PRE" + today + "12000000000" + "X" * 13), (146, "4")])]
    records.append(c19_record([(1, "0219143002"), (11, identifier), (46, collection),
                               (54, creditor[:70]), (266, iban_text)]))
    total = 0
    for n, (name, account, amount) in enumerate(debits):
        total += amount
        records.append(c19_record([(1, "0319143003"), (11, "%012d" % (n + 1)), (46, "%06d" % (n + 1)),
                                   (81, "RCUR"), (85, "TRAD"), (89, "%011d" % amount), (100, "20091031"),
                                   (119, name[:70]), (403, "A"), (404, account)]))
    count = len(debits)
    records.append(c19_record([(1, "04"), (3, identifier), (38, collection), (46, "%017d" % total),
                               (63, "%08d" % count), (71, "%010d" % (count + 2))]))
    records.append(c19_record([(1, "05"), (3, identifier), (38, "%017d" % total),
                               (55, "%08d" % count), (63, "%010d" % (count + 3))]))
    records.append(c19_record([(1, "99"), (3, "%017d" % total), (20, "%08d" % count),
                               (28, "%010d" % (len(records) + 1))]))
    return b"".join(r + line_end for r in records)


def sepa_xml(version, identifier, creditor, iban_text, collection, debits):
    """A SEPA direct-debit initiation (pain.008) of the given version."""
    from xml.sax.saxutils import escape
    total = sum(amount for _, _, amount in debits)
    euros = lambda cents: "%d.%02d" % divmod(cents, 100)
    iso = "%s-%s-%s" % (collection[:4], collection[4:6], collection[6:])
    date = ("<ReqdColltnDt><Dt>%s</Dt></ReqdColltnDt>" if version >= "pain.008.001.08"
            else "<ReqdColltnDt>%s</ReqdColltnDt>") % iso
    lines = ['<?xml version="1.0" encoding="UTF-8"?>',
             '<Document xmlns="urn:iso:std:iso:20022:tech:xsd:%s">' % version,
             "  <CstmrDrctDbtInitn>",
             "    <GrpHdr>",
             "      <MsgId>DEMO-%s-%s</MsgId>" % (collection, version[-6:]),
             "      <CreDtTm>%s</CreDtTm>" % datetime.datetime.now().strftime("%Y-%m-%dT%H:%M:%S"),
             "      <NbOfTxs>%d</NbOfTxs>" % len(debits),
             "      <CtrlSum>%s</CtrlSum>" % euros(total),
             "      <InitgPty><Nm>%s</Nm></InitgPty>" % escape(creditor),
             "    </GrpHdr>",
             "    <PmtInf>",
             "      <PmtInfId>%s-%s</PmtInfId>" % (identifier, collection),
             "      <PmtMtd>DD</PmtMtd>",
             "      <NbOfTxs>%d</NbOfTxs>" % len(debits),
             "      <CtrlSum>%s</CtrlSum>" % euros(total),
             "      <PmtTpInf><SvcLvl><Cd>SEPA</Cd></SvcLvl><LclInstrm><Cd>CORE</Cd></LclInstrm>"
             "<SeqTp>RCUR</SeqTp></PmtTpInf>",
             "      " + date,
             "      <Cdtr><Nm>%s</Nm></Cdtr>" % escape(creditor),
             "      <CdtrAcct><Id><IBAN>%s</IBAN></Id></CdtrAcct>" % iban_text,
             "      <CdtrSchmeId><Id><PrvtId><Othr><Id>%s</Id></Othr></PrvtId></Id></CdtrSchmeId>" % identifier]
    for n, (name, account, amount) in enumerate(debits):
        lines += ["      <DrctDbtTxInf>",
                  "        <PmtId><EndToEndId>%012d</EndToEndId></PmtId>" % (n + 1),
                  '        <InstdAmt Ccy="EUR">%s</InstdAmt>' % euros(amount),
                  "        <DrctDbtTx><MndtRltdInf><MndtId>%06d</MndtId><DtOfSgntr>2009-10-31</DtOfSgntr>"
                  "</MndtRltdInf></DrctDbtTx>" % (n + 1),
                  "        <Dbtr><Nm>%s</Nm></Dbtr>" % escape(name),
                  "        <DbtrAcct><Id><IBAN>%s</IBAN></Id></DbtrAcct>" % account,
                  "      </DrctDbtTxInf>"]
    lines += ["    </PmtInf>", "  </CstmrDrctDbtInitn>", "</Document>", ""]
    return "\n".join(lines).encode("utf-8")


def write_remittance_files(rng, directory, presenter):
    """Remittance files to browse with F4, newest first in the list."""
    os.makedirs(directory, exist_ok=True)
    checked = iban("ES", presenter)  # the creditor identifier's digits, as an IBAN's
    identifier = checked[:4] + "000" + checked[4:]
    creditor = "GESTORIA LLOBREGAT SL"
    creditor_iban = iban("ES", spanish_account(rng))
    first = datetime.date.today().replace(day=1)

    def debits(count):
        return [(rng.choice(FORENAMES + ["JOAN"]) + " " + rng.choice(SURNAMES), iban("ES", spanish_account(rng)),
                 rng.choice([1500, 2500, 3000, 4590, 12000, 6075, 99])) for _ in range(count)]

    def month(offset):
        year, month0 = divmod(first.year * 12 + first.month - 1 + offset, 12)
        return datetime.date(year, month0 + 1, 1).strftime("%Y%m%d")

    files = [("REMESA_%s.Q19" % month(-2), c19_file(identifier, creditor, creditor, creditor_iban,
                                                    month(-2), debits(12), b"\r\n")),
             ("REMESA_%s.Q19" % month(-1), c19_file(identifier, creditor, creditor, creditor_iban,
                                                    month(-1), debits(20), b"\r\n")),
             ("REMESA UNIX %s.TXT" % month(0), c19_file(identifier, creditor, creditor, creditor_iban,
                                                        month(0), debits(7), b"\n")),
             ("SEPA_%s_V02.XML" % month(1), sepa_xml("pain.008.001.02", identifier, creditor, creditor_iban,
                                                     month(1), debits(9))),
             ("SEPA_%s_V03.XML" % month(-3), sepa_xml("pain.008.003.02", identifier, creditor, creditor_iban,
                                                      month(-3), debits(5))),
             ("SEPA_%s_QUOTES_ANUALS_V08.XML" % month(2), sepa_xml("pain.008.001.08", identifier, creditor,
                                                                   creditor_iban, month(2), debits(15))),
             ("REMESA_ANUAL_%s.Q19" % month(0), c19_file(identifier, creditor, creditor, creditor_iban,
                                                         month(0), debits(5000), b"\r\n")),
             ("LLEGEIX-ME.TXT", "Fitxers de remeses de demostració.\r\n".encode(ENC)),
             ("TRANSFERENCIA.XML", b'<?xml version="1.0"?><Document><CstmrCdtTrfInitn/></Document>\n')]
    for name, data in files:
        with open(os.path.join(directory, name), "wb") as f:
            f.write(data)


def csb19_record(code, fields):
    """A 162-character CSB 19 record and CR LF: (1-based position, text) pairs over blanks."""
    record = bytearray(code.encode(ENC) + b" " * (162 - len(code)))
    for position, value in fields:
        data = value.encode(ENC)
        record[position - 1:position - 1 + len(data)] = data
    return bytes(record) + b"\r\n"


def csb19_remittance(rng, presenter, parties, receipts_per_party):
    """A CSB 19 remittance in euros: 5180, per ordering party 5380, its 5680s
    (every tenth with an optional 5681) and 5880, then 5980. One defect is
    planted: an optional record 5683 where 5682 should follow 5681."""
    created = datetime.date.today().strftime("%d%m%y")
    records = [csb19_record("5180", [(5, presenter + "000"), (17, created),
                                     (29, "GESTORIA LLOBREGAT SL")])]
    total = total_receipts = 0
    planted = False
    for p in range(parties):
        party = cif(rng, "G") + "%03d" % p
        records.append(csb19_record("5380", [(5, party), (17, created), (29, "ORDENANT %d" % (p + 1))]))
        amount = count = 0
        party_records = 1
        for n in range(receipts_per_party):
            cents = rng.choice([1500, 2500, 3000, 4590, 12000, 6075, 99])
            account = spanish_account(rng)
            name = rng.choice(FORENAMES + ["JOAN"]) + " " + rng.choice(SURNAMES)
            records.append(csb19_record("5680", [(5, party), (17, "%012d" % (n + 1)), (29, name[:40]),
                                                 (69, account), (89, "%010d" % cents),
                                                 (99, "%06d" % (n + 1)), (115, "QUOTA %d" % (n + 1))]))
            amount += cents
            count += 1
            party_records += 1
            if n % 10 == 3:
                optional = "5683" if (p == 1 and not planted) else "5681"
                planted = planted or optional == "5683"
                records.append(csb19_record(optional, [(5, party), (17, "%012d" % (n + 1)),
                                                       (29, "CONCEPTE ADDICIONAL")]))
                party_records += 1
        party_records += 1
        records.append(csb19_record("5880", [(5, party), (89, "%010d" % amount),
                                             (105, "%010d" % count), (115, "%010d" % party_records)]))
        total += amount
        total_receipts += count
    records.append(csb19_record("5980", [(5, presenter + "000"), (69, "%04d" % parties),
                                         (89, "%010d" % total), (105, "%010d" % total_receipts),
                                         (115, "%010d" % (len(records) + 1))]))
    return b"".join(records)


def dos_time(moment):
    date = (moment.year - 1980) * 512 + moment.month * 32 + moment.day
    time = moment.hour * 2048 + moment.minute * 32 + moment.second // 2
    return time & 0xFFFF, date & 0xFFFF


def write_backup_set(directory, source_directory, name, data, volume_size):
    """The file as a DOS backup set of volumes of volume_size data bytes:
    BACKUP.nnn holds the file's bytes, CONTROL.nnn a 139-byte header, a
    70-byte directory block and a 34-byte entry for its part."""
    os.makedirs(directory, exist_ok=True)
    time, date = dos_time(datetime.datetime.now())
    parts = [data[i:i + volume_size] for i in range(0, len(data), volume_size)] or [b""]
    for v, part in enumerate(parts, 1):
        last = v == len(parts)
        header = struct.pack("<B8sH127sB", 139, b"BACKUP  ", v, b"", 0xFF if last else 0)
        block = struct.pack("<B63sHI", 70, source_directory.encode(ENC), 1, 0xFFFFFFFF)
        entry = struct.pack("<B12sBIHIIHHH", 34, name.encode(ENC), 3 if last else 2, len(data), v,
                            0, len(part), 0x20, time, date)
        with open(os.path.join(directory, "CONTROL.%03d" % v), "wb") as f:
            f.write(header + block + entry)
        with open(os.path.join(directory, "BACKUP.%03d" % v), "wb") as f:
            f.write(part)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("root")
    parser.add_argument("workdir")
    parser.add_argument("--receipts", type=int, default=300)
    parser.add_argument("--remittances", type=int, default=6)
    parser.add_argument("--suffixes", default="0,2")
    parser.add_argument("--seed", type=int, default=1914)
    parser.add_argument("--backup-set", help="folder for a CSB 19 remittance as a backup set")
    args = parser.parse_args()
    rng = random.Random(args.seed)
    os.makedirs(os.path.join(args.root, "seq"), exist_ok=True)
    os.makedirs(args.workdir, exist_ok=True)

    presenter = cif(rng, "B")
    installation = {"Dada1": "GESTORIA LLOBREGAT SL", "Dada2": "C/ DE LA INDÚSTRIA, 14",
                    "Dada3": "08980 SANT FELIU DE LLOBREGAT", "Dada4": "BARCELONA",
                    "Dada5": "936 660 000", "Dada6": "GESTORIA LLOBREGAT, COBRAMENTS",
                    "Dada7": presenter, "Dada8": ""}
    for key, value in installation.items():
        fits(value, INSTALLATION_TEXT, "the installation's " + key)
    write_ini(os.path.join(args.root, "Vela.ini"), {
        "Installacio": installation,
        # The converter checks its messages with the schemas in ROOT\XSD\.
        "ConversioXML": {"Esquemes": "XSD\\"},
    })
    today = datetime.date.today()
    write_ini(os.path.join(args.workdir, "Sessio.ini"), {
        "Menu": {"Titol": "GESTIÓ DE REMESES", "NomMenu": "REMESES", "Menu": "QQLAUNCH",
                 "Operador": "DEMO", "KitTipOper": "1"},
    })
    write_ini(os.path.join(args.workdir, "VelaTerm.ini"), {
        "Sistema": {"Data": today.strftime("%Y%m%d")},
    })

    # Whether concepts carry the e-invoice link, and the XML version each
    # bank takes: the byte at position 1 + entity of the map.
    write_ini(os.path.join(args.root, "Ftp.ini"), {"Publicar": {"Rebuts": "S"}})
    version_map = bytearray(b"4" * 10000)
    version_map[2100] = ord("3")
    version_map[49] = ord("2")
    with open(os.path.join(args.root, "VERXML.MAP"), "wb") as f:
        f.write(bytes(version_map))

    creditors = ["ASSOCIACIÓ CULTURAL L'AMISTAT", "CLUB ESPORTIU SANT FELIU",
                 "AMPA ESCOLA LA SALUT", "COMUNITAT PROPIETARIS MAJOR 12",
                 "ACADÈMIA DE MÚSICA ÇA I LLÀ", "COL·LEGI PROFESSIONAL [DEMO]"]
    suffixes = [int(s) for s in args.suffixes.split(",")]
    remittances = []
    for i in range(args.remittances):
        account = spanish_account(rng)
        remittances.append((i + 1, account, suffixes[i * len(suffixes) // args.remittances],
                            creditors[i % len(creditors)], cif(rng, "G")))
    with open(os.path.join(args.root, "seq", "TRemeses.seq"), "wb") as f:
        f.write(sequential(remittance(*r) for r in remittances))

    receipts = []
    for n in range(args.receipts):
        low = remittances[n % len(remittances)][0]
        amount = rng.choice([1500, 2500, 3000, 4590, 12000, 6075, 99, 150000])
        concept = rng.choice(CONCEPTS).format(n=n + 1)
        if n % 37 == 5:
            concept += "\tAMB TABULADOR I £"
        receipts.append(receipt(rng, "B", low, n + 1, 100000 + n, amount, concept,
                                with_identifier=(n % 3 == 0)))
    with open(os.path.join(args.root, "seq", "TrasBanc.seq"), "wb") as f:
        f.write(sequential(receipts))

    write_remittance_files(rng, os.path.join(args.root, "REMESES"), presenter)
    if args.backup_set:
        # About 4,000 records on three volumes, cut inside records.
        remittance_bytes = csb19_remittance(rng, presenter, 3, 1200)
        write_backup_set(args.backup_set, "KIT\\CSB", "REMESA.C19", remittance_bytes, 240000)


if __name__ == "__main__":
    main()
