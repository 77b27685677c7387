#!/usr/bin/env python3
"""Writes the help pages of install/AJUDA/, the text pages F1 shows.

A page is a file of fixed-length records, one per line, each as long as the
console is wide (80 characters), code page 850, without line ends. Inside a
line three style characters switch the look of what follows: 30 highlighted,
31 underlined, 16 reverse; they take no cell on the screen. Below, "{h}",
"{u}" and "{r}" stand for them; a line shows at most 76 characters.

Run it after changing a page (the texts below are the source; the .HLP files
are what ships):  python3 tools/help/make_help.py
With --check it only tells whether the shipped pages are those of the texts.
"""
import os
import sys

WIDTH = 80
SHOWN = 76
STYLES = {"{h}": "\x1e", "{u}": "\x1f", "{r}": "\x10"}

PAGES = {}

PAGES["QQLAUNCH"] = """
{h}AJUDA GENERAL DELS PROGRAMES DE L'OFICINA{h}

Cada programa de l'oficina es fa servir amb {u}formularis{u}: una finestra amb
camps que s'omplen l'un darrere l'altre. El cursor és al camp que s'escriu.

{h}MOURE'S PELS CAMPS{h}
  {r}Enter{r}          accepta el camp i passa al següent; al darrer camp accepta
                 tot el formulari.
  {r}Fletxa avall{r}   passa al camp següent.  {r}Fletxa amunt{r}  torna a l'anterior.
  {r}Re Pàg{r}         va al primer camp.      {r}Av Pàg{r}        va al darrer camp.
  {r}Esc{r}            torna al primer camp; al primer camp, surt del formulari
                 sense fer res.

{h}ESCRIURE EN UN CAMP{h}
  {r}Fletxes{r} esquerra i dreta, {r}Inici{r} i {r}Fi{r} mouen el cursor dins del camp.
  {r}Retrocés{r} i {r}Supr{r} esborren un caràcter; {r}Ctrl+Y{r} buida tot el camp.
  {r}Insert{r} canvia entre inserir i sobreescriure.
  {r}Ctrl+C{r} copia el camp i {r}Ctrl+V{r} hi enganxa el que s'ha copiat.
  En els camps d'opcions, marcats amb una fletxa a cada costat, trieu amb
  les fletxes, la barra d'espai o la primera lletra de l'opció.

{h}TECLES QUE FUNCIONEN A TOT ARREU{h}
  {r}F1{r}     l'ajuda del programa; dins d'aquella ajuda, aquesta. A la finestra
         d'ajuda les fletxes, Re Pàg, Av Pàg, Inici i Fi la fan córrer;
         {r}Esc{r} la tanca i torna al camp tal com era.
  {r}F4{r}     la llista dels valors possibles del camp, quan en té: trieu-ne un
         amb les fletxes i {r}Enter{r}; {r}Esc{r} la tanca sense triar.
  {r}Alt+X{r}  la {u}calculadora{u}, amb el seu rotlle de paper.
  {r}Alt+C{r}  el {u}calendari{u}.

{h}LA CALCULADORA (Alt+X){h}
  Escriviu les xifres i el punt decimal; {r}+{r} {r}-{r} {r}*{r} {r}/{r} operen, {r}={r} o {r}Enter{r}
  donen el total. {r}%{r} calcula un tant per cent de la suma en curs, {r}R{r}
  arrodoneix als cèntims, {r}T{r} canvia el signe. {r}C{r} esborra la xifra
  escrita; una segona {r}C{r} posa el total a zero; una tercera esborra el
  rotlle. Les fletxes esquerra i dreta desplacen la calculadora.
  {r}F{r} escriu el resultat al camp, {u}en cèntims{u} (12,50 s'escriu 1250); {r}Esc{r}
  surt sense escriure res. El rotlle i el total es guarden per a la
  propera vegada, també després de sortir del programa.

{h}EL CALENDARI (Alt+C){h}
  Mostra tres mesos, començant pel dia de treball. Les fletxes mouen el
  dia (un dia o una setmana), {r}Av Pàg{r} i {r}Re Pàg{r} avancen o reculen tres
  mesos, {r}Inici{r} i {r}Fi{r} van al gener i al desembre. {r}F{r} escriu la data al
  camp; {r}Esc{r} surt sense escriure res. {r}Enter{r} no tria la data.

{h}ESPERES{h}
  Quan una dada la fa servir un altre terminal, el programa avisa a la
  part de baix i espera. {r}Esc{r} deixa d'esperar.
"""

PAGES["REMESES"] = """
{h}GESTIÓ DE REMESES DE REBUTS DOMICILIATS{h}

Aquest programa prepara els fitxers de rebuts domiciliats (adeudos directes
SEPA) que l'oficina envia als bancs, en fa còpies de seguretat en disquet i
comprova les remeses guardades. Al formulari principal trieu l'operació
amb les fletxes o la lletra i premeu {r}Enter{r}; {r}Esc{r} surt del programa.

{h}G - GENERAR ELS FITXERS DEL QUADERN 19.14{h}
  Agafa els rebuts pendents de les remeses triades i n'escriu els fitxers
  del quadern 19.14 per al banc: {u}un fitxer per cada sufix d'ordenant{u}. Cada
  rebut escrit surt dels rebuts pendents: no s'envia mai dues vegades.
  Els fitxers queden al directori CSB de l'oficina i es passen al
  convertidor, que en fa els missatges XML per al banc.
  {h}DATA DE COBRAMENT{h}  el dia que el banc ha de cobrar els rebuts, com
        16/03/2026. En blanc, la data de treball. {r}Alt+C{r}: el calendari.
  {h}DE LA REMESA{h}       la primera remesa que s'ha de generar.
  {h}FINS A LA REMESA{h}   la darrera. {r}F4{r} mostra la llista de remeses, amb el
        nom de l'ordenant; totes dues poden ser la mateixa.
  {h}DIRECTORI DE SORTIDA{h} on quedaran els fitxers (no s'escriu).
  Després cal confirmar amb {r}S{r}. Cada fitxer escrit es mostra en un
  avís; els rebuts d'import zero o negatiu no s'envien i queden pendents.

{h}T - COPIAR UN FITXER DE REMESES A UNA UNITAT{h}
  Copia un fitxer de remeses a disquets, com a {u}còpia de seguretat{u}
  numerada: si no hi cap en un disquet, demana el següent.
  {h}UNITAT D'ORIGEN{h}    la unitat on és el fitxer. {r}F4{r}: les unitats.
  {h}DIRECTORI{h}          el directori del fitxer. {r}F4{r}: els directoris de la
        unitat on hi ha fitxers de remeses.
  {h}FITXER{h}             el fitxer que es copia. {r}F4{r}: els fitxers de remeses
        del directori, els més nous primer, amb la data, el total i el
        nombre de rebuts.
  {h}UNITAT DE DESTÍ{h}    la unitat del disquet (A o B), que no pot ser la
        mateixa que la d'origen.

{h}I - INFORME DE VERIFICACIÓ D'UNA REMESA CSB 19{h}
  Llegeix una remesa CSB 19 d'una còpia de seguretat en disquet, la
  comprova registre per registre (comptes, imports, totals) i n'escriu
  un informe amb els errors que hi troba.
  {h}SORTIDA DE L'INFORME{h} {r}P{r} per veure'l a la pantalla, {r}I{r} per imprimir-lo.
  {h}UNITAT DE LA REMESA{h}  la unitat del disquet on és la còpia.

{h}TECLES{h}
  {r}Enter{r} i les fletxes passen d'un camp a l'altre, {r}Esc{r} torna al primer
  camp i, des del primer, surt. {r}F4{r} dóna la llista del camp, {r}F1{r} aquesta
  ajuda (i, dins l'ajuda, {r}F1{r} l'ajuda general). {r}Alt+X{r} obre la
  calculadora i {r}Alt+C{r} el calendari: el que hi trieu amb {r}F{r} s'escriu
  al camp on sou.
"""


def records(text):
    out = bytearray()
    lines = text.split("\n")
    # The page starts at its first line and ends at its last: the blank
    # lines around the triple quotes are not part of it.
    while lines and not lines[0].strip():
        lines.pop(0)
    while lines and not lines[-1].strip():
        lines.pop()
    for number, line in enumerate(lines, 1):
        shown = line
        for mark, char in STYLES.items():
            shown = shown.replace(mark, "")
            line = line.replace(mark, char)
        if len(shown) > SHOWN:
            sys.exit(f"line {number} shows {len(shown)} characters, more than {SHOWN}: {shown}")
        data = line.encode("cp850")
        if len(data) > WIDTH:
            sys.exit(f"line {number} is {len(data)} bytes with its styles, more than {WIDTH}")
        out += data.ljust(WIDTH, b" ")
    return bytes(out)


def main():
    check = "--check" in sys.argv[1:]
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    folder = os.path.join(root, "install", "AJUDA")
    os.makedirs(folder, exist_ok=True)
    stale = []
    for topic, text in PAGES.items():
        path = os.path.join(folder, topic + ".HLP")
        data = records(text)
        if check:
            try:
                with open(path, "rb") as f:
                    if f.read() != data:
                        stale.append(path)
            except OSError:
                stale.append(path)
        else:
            with open(path, "wb") as f:
                f.write(data)
    if stale:
        sys.exit("help pages not made from tools/help/make_help.py: " + ", ".join(stale))


if __name__ == "__main__":
    main()
