#!/usr/bin/env python3
"""Reads a Cuaderno 19.14 file and the SEPA XML message made of it, each by
its own means (the records by position, the message with an XML parser),
and checks that they say the same: version, message id, totals, counts,
and per debit its creditor, collection date, reference, mandate, sequence
type, amount and IBANs; every IBAN and creditor identifier also by
python-stdnum. Exits 1 naming the first difference.

    check_messages.py VERSION FILE.E19 FILE.XML [VERSION FILE.E19 FILE.XML ...]
"""
import re
import sys
import xml.etree.ElementTree as ET
from collections import Counter
from decimal import Decimal

from stdnum import iban as stdnum_iban
from stdnum.eu import at_02

SEPA_TEXT = re.compile(r"^[A-Za-z0-9 '()+,\-./:?]*$")


def c19(path):
    data = open(path, "rb").read()
    records = [data[i:i + 600].decode("cp850") for i in range(0, len(data), 602)]
    file_id = records[0][123:158].strip()
    debits, creditor = [], None
    for r in records[1:]:
        if r.startswith("02"):
            creditor = (r[10:45].strip(), r[45:53], r[265:299].strip())
        elif r.startswith("03"):
            debits.append(creditor + (r[10:45].strip(), r[45:80].strip(), r[80:84],
                                      int(r[88:99]), r[403:437].strip()))
    last = records[-1]
    return file_id, int(last[2:19]), int(last[19:27]), debits


def cents(text):
    value = Decimal(text) * 100
    assert value == value.to_integral_value(), text
    return int(value)


def check(version, c19_path, xml_path):
    file_id, total, count, debits = c19(c19_path)
    root = ET.parse(xml_path).getroot()
    ns = {"p": "urn:iso:std:iso:20022:tech:xsd:" + version}
    assert root.tag == "{%s}Document" % ns["p"], (xml_path, root.tag)
    header = root.find("p:CstmrDrctDbtInitn/p:GrpHdr", ns)
    assert header.findtext("p:MsgId", namespaces=ns) == file_id, xml_path
    assert int(header.findtext("p:NbOfTxs", namespaces=ns)) == count, xml_path
    assert cents(header.findtext("p:CtrlSum", namespaces=ns)) == total, xml_path
    found = []
    for block in root.findall("p:CstmrDrctDbtInitn/p:PmtInf", ns):
        creditor = (block.findtext("p:CdtrSchmeId/p:Id/p:PrvtId/p:Othr/p:Id", namespaces=ns),
                    block.findtext("p:ReqdColltnDt", namespaces=ns).replace("-", ""),
                    block.findtext("p:CdtrAcct/p:Id/p:IBAN", namespaces=ns))
        assert stdnum_iban.is_valid(creditor[2]), creditor
        assert at_02.is_valid(creditor[0]), creditor  # the creditor identifier's check digits
        sequence = block.findtext("p:PmtTpInf/p:SeqTp", namespaces=ns)
        transactions = block.findall("p:DrctDbtTxInf", ns)
        amounts = [cents(t.findtext("p:InstdAmt", namespaces=ns)) for t in transactions]
        assert int(block.findtext("p:NbOfTxs", namespaces=ns)) == len(transactions), xml_path
        assert cents(block.findtext("p:CtrlSum", namespaces=ns)) == sum(amounts), xml_path
        for t, amount in zip(transactions, amounts):
            debtor_iban = t.findtext("p:DbtrAcct/p:Id/p:IBAN", namespaces=ns)
            assert stdnum_iban.is_valid(debtor_iban), debtor_iban
            name = t.findtext("p:Dbtr/p:Nm", namespaces=ns)
            concept = t.findtext("p:RmtInf/p:Ustrd", namespaces=ns) or ""
            assert SEPA_TEXT.match(name) and SEPA_TEXT.match(concept), (name, concept)
            assert len(concept) <= 140, concept
            found.append(creditor + (t.findtext("p:PmtId/p:EndToEndId", namespaces=ns),
                                     t.findtext("p:DrctDbtTx/p:MndtRltdInf/p:MndtId", namespaces=ns),
                                     sequence, amount, debtor_iban))
    expected = Counter(debits)
    got = Counter(found)
    assert got == expected, (xml_path, expected - got, got - expected)


def main():
    args = sys.argv[1:]
    for i in range(0, len(args), 3):
        try:
            check(*args[i:i + 3])
        except AssertionError as e:
            print("FAIL %s: %s" % (args[i + 2], e))
            return 1
    print("%d messages agree with their files" % (len(args) // 3))
    return 0


if __name__ == "__main__":
    sys.exit(main())
