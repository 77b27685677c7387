"""Verdicts of python-stdnum on the identifiers the bank tests generate.

Reads the file named on the command line, one request a line: a kind and
the text in hexadecimal (the text may hold any byte; it is read as
Latin-1). Prints one answer line per request, fields separated by tabs:

  layouts -           one line: CC=classes for every IBAN country stdnum
                      knows, classes being the BBAN as n, a and c letters
  iban    TEXT        compact form, layout matches (0/1), mod 97-10 holds
                      (0/1), calculated check digits, valid without the
                      country module (0/1), valid with it (0/1)
  ccc     TEXT        control digits, valid (0/1)
  ci      TEXT        creditor identifier: check digits, valid (0/1)
  be      TEXT        Belgian check digits of the first ten digits
"""

import re
import sys

from stdnum import iban
from stdnum.be import iban as be_iban
from stdnum.es import ccc
from stdnum.es import iban as es_iban
from stdnum.eu import at_02
from stdnum.iso7064 import mod_97_10

_STRUCT = re.compile(r'([1-9][0-9]*)!([nac])')


def classes(structure):
    return ''.join(kind * int(count) for count, kind in _STRUCT.findall(structure))


def layout_line():
    entries = []
    for code in (chr(a) + chr(b) for a in range(65, 91) for b in range(65, 91)):
        info = iban._ibandb.info(code)
        if info and info[0][1] and 'bban' in info[0][1]:
            entries.append('%s=%s' % (code, classes(info[0][1]['bban'])))
    return ' '.join(entries)


def flag(value):
    return '1' if value else '0'


def answer_iban(text):
    number = iban.compact(text)
    info = iban._ibandb.info(number)
    structure = info[0][1].get('bban', '') if info and info[0][1] else ''
    matches = bool(structure) and bool(iban._struct_to_re(structure).match(number[4:]))
    try:
        mod = mod_97_10.is_valid(number[4:] + number[:4])
    except Exception:  # noqa: B902 - odd characters
        mod = False
    try:
        digits = iban.calc_check_digits(number)
    except Exception:  # noqa: B902
        digits = '--'
    full = es_iban.is_valid(number) if number[:2] == 'ES' else iban.is_valid(number)
    return '\t'.join([number or '-', flag(matches), flag(mod), digits,
                      flag(iban.is_valid(number, check_country=False)), flag(full)])


def answer_ccc(text):
    return '\t'.join([ccc.calc_check_digits(text), flag(ccc.is_valid(text))])


def answer_ci(text):
    return '\t'.join([at_02.calc_check_digits(text), flag(at_02.is_valid(text))])


def answer_be(text):
    return be_iban._calc_check_digits(text[:10])


def main():
    out = []
    with open(sys.argv[1], encoding='ascii') as requests:
        for line in requests:
            kind, _, hexed = line.rstrip('\n').partition(' ')
            text = bytes.fromhex(hexed).decode('latin-1')
            if kind == 'layouts':
                out.append(layout_line())
            elif kind == 'iban':
                out.append(answer_iban(text))
            elif kind == 'ccc':
                out.append(answer_ccc(text))
            elif kind == 'ci':
                out.append(answer_ci(text))
            elif kind == 'be':
                out.append(answer_be(text))
            else:
                out.append('?')
    sys.stdout.write('\n'.join(out) + '\n')


if __name__ == '__main__':
    main()
