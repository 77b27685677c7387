#!/usr/bin/env python3
"""Writes install/LOCALE/QDEBCONV.LNG, the program's language file.

Each record holds four comma-separated fields: the Catalan text the program
is written with (the key, matched exactly), then its Spanish, Galician and
Aranese translations; the file is code page 850 with CR LF line ends. Every
field is quoted, so that blanks at either end and commas are kept.

Run it after changing a text of the program (the table below is the source;
the .LNG is what ships):  python3 tools/lng/make_lng.py
"""
import os

# Labels of the forms keep their Catalan length, so that the values after
# them stay aligned: translations marked LABEL are padded or cut to it.
LABEL = "label"

TEXTS = [
    # The main form.
    ("OPERACIÓ: ", "OPERACIÓN: ", "OPERACIÓN: ", "OPERACION: "),
    ("|G,G - GENERAR ELS FITXERS DEL QUADERN 19.14|T,T - COPIAR UN FITXER DE REMESES A UNA UNITAT"
     "|I,I - INFORME DE VERIFICACIÓ D'UNA REMESA CSB 19",
     "|G,G - GENERAR LOS FICHEROS DEL CUADERNO 19.14|T,T - COPIAR UN FICHERO DE REMESAS A UNA UNIDAD"
     "|I,I - INFORME DE VERIFICACIÓN DE UNA REMESA CSB 19",
     "|G,G - XERAR OS FICHEIROS DO CADERNO 19.14|T,T - COPIAR UN FICHEIRO DE REMESAS A UNHA UNIDADE"
     "|I,I - INFORME DE VERIFICACIÓN DUNHA REMESA CSB 19",
     "|G,G - GENERAR ES FICHÈRS DETH QUADERN 19.14|T,T - COPIAR UN FICHÈR DE REMESES A UNA UNITAT"
     "|I,I - INFORME DE VERIFICACION D'UNA REMESA CSB 19"),
    ("Trieu amb les fletxes o la lletra i premeu Enter. Esc: sortir.",
     "Elija con las flechas o la letra y pulse Intro. Esc: salir.",
     "Escolla coas frechas ou a letra e prema Intro. Esc: saír.",
     "Chausitz damb es flèches o era letra e premetz Enter. Esc: gésser."),
    # The generation form.
    (LABEL, "DATA DE COBRAMENT ....: ", "FECHA DE COBRO .......: ", "DATA DE COBRO ........: ",
     "DATA DE COBRAMENT ....: "),
    ("DATA EN QUÈ EL BANC COBRARÀ ELS REBUTS (EN BLANC, LA DATA DE TREBALL)",
     "FECHA EN QUE EL BANCO COBRARÁ LOS RECIBOS (EN BLANCO, LA FECHA DE TRABAJO)",
     "DATA NA QUE O BANCO COBRARÁ OS RECIBOS (EN BRANCO, A DATA DE TRABALLO)",
     "DATA QUE ERA BANCA COBRARÀ ES REBUTS (EN BLANC, ERA DATA DE TRABALH)"),
    (LABEL, "DE LA REMESA .........: ", "DE LA REMESA .........: ", "DA REMESA ............: ",
     "DERA REMESA ..........: "),
    ("PRIMERA REMESA A GENERAR (F4: LLISTA DE REMESES)",
     "PRIMERA REMESA A GENERAR (F4: LISTA DE REMESAS)",
     "PRIMEIRA REMESA A XERAR (F4: LISTA DE REMESAS)",
     "PRUMÈRA REMESA DE GENERAR (F4: LISTA DE REMESES)"),
    (LABEL, "FINS A LA REMESA .....: ", "HASTA LA REMESA ......: ", "ATA A REMESA .........: ",
     "ENTÔ ERA REMESA ......: "),
    ("DARRERA REMESA A GENERAR (F4: LLISTA DE REMESES)",
     "ÚLTIMA REMESA A GENERAR (F4: LISTA DE REMESAS)",
     "ÚLTIMA REMESA A XERAR (F4: LISTA DE REMESAS)",
     "DARRÈRA REMESA DE GENERAR (F4: LISTA DE REMESES)"),
    (LABEL, "DIRECTORI DE SORTIDA .: ", "DIRECTORIO DE SALIDA .: ", "DIRECTORIO DE SAÍDA ..: ",
     "DIRECTORI DE GESSUDA .: "),
    # The copy form.
    (LABEL, "UNITAT D'ORIGEN ......: ", "UNIDAD DE ORIGEN .....: ", "UNIDADE DE ORIXE .....: ",
     "UNITAT D'ORIGINA .....: "),
    ("UNITAT ON ÉS EL FITXER (F4: LLISTA D'UNITATS)",
     "UNIDAD DONDE ESTÁ EL FICHERO (F4: LISTA DE UNIDADES)",
     "UNIDADE ONDE ESTÁ O FICHEIRO (F4: LISTA DE UNIDADES)",
     "UNITAT A ON ÈI EH FICHÈR (F4: LISTA D'UNITATS)"),
    (LABEL, "DIRECTORI ............: ", "DIRECTORIO ...........: ", "DIRECTORIO ...........: ",
     "DIRECTORI ............: "),
    ("DIRECTORI DEL FITXER (F4: LLISTA DE DIRECTORIS)",
     "DIRECTORIO DEL FICHERO (F4: LISTA DE DIRECTORIOS)",
     "DIRECTORIO DO FICHEIRO (F4: LISTA DE DIRECTORIOS)",
     "DIRECTORI DETH FICHÈR (F4: LISTA DE DIRECTORIS)"),
    (LABEL, "FITXER ...............: ", "FICHERO ..............: ", "FICHEIRO .............: ",
     "FICHÈR ...............: "),
    ("FITXER DE REMESES A COPIAR (F4: LLISTA DE FITXERS)",
     "FICHERO DE REMESAS A COPIAR (F4: LISTA DE FICHEROS)",
     "FICHEIRO DE REMESAS A COPIAR (F4: LISTA DE FICHEIROS)",
     "FICHÈR DE REMESES DE COPIAR (F4: LISTA DE FICHÈRS)"),
    (LABEL, "UNITAT DE DESTÍ ......: ", "UNIDAD DE DESTINO ....: ", "UNIDADE DE DESTINO ...: ",
     "UNITAT DE DESTINACION : "),
    # The report form.
    (LABEL, "SORTIDA DE L'INFORME .: ", "SALIDA DEL INFORME ...: ", "SAÍDA DO INFORME .....: ",
     "GESSUDA DER INFORME ..: "),
    ("|P,PANTALLA|I,IMPRESSORA", "|P,PANTALLA|I,IMPRESORA", "|P,PANTALLA|I,IMPRESORA",
     "|P,ECRAN|I,IMPRIMIDORA"),
    (LABEL, "UNITAT DE LA REMESA ..: ", "UNIDAD DE LA REMESA ..: ", "UNIDADE DA REMESA ....: ",
     "UNITAT DERA REMESA ...: "),
    # The confirmation form.
    (LABEL, "CONFIRMEU (S/N) ....: ", "CONFIRME (S/N) .....: ", "CONFIRME (S/N) .....: ",
     "CONFIRMATZ (S/N) ...: "),
    # The lists.
    ("_REMESES_", "_REMESAS_", "_REMESAS_", "_REMESES_"),
    ("_UNITATS_", "_UNIDADES_", "_UNIDADES_", "_UNITATS_"),
    ("_DIRECTORIS_", "_DIRECTORIOS_", "_DIRECTORIOS_", "_DIRECTORIS_"),
    ("_FITXERS_DE_REMESES_", "_FICHEROS_DE_REMESAS_", "_FICHEIROS_DE_REMESAS_",
     "_FICHÈRS_DE_REMESES_"),
    # Messages of the program.
    ("NO EXISTEIX EL FITXER ", "NO EXISTE EL FICHERO ", "NON EXISTE O FICHEIRO ",
     "NON EXISTÍS EH FICHÈR "),
    ("EL PROGRAMA JA S'ESTÀ EXECUTANT AMB AQUEST DIRECTORI DE TREBALL: ",
     "EL PROGRAMA YA SE ESTÁ EJECUTANDO CON ESTE DIRECTORIO DE TRABAJO: ",
     "O PROGRAMA XA SE ESTÁ EXECUTANDO CON ESTE DIRECTORIO DE TRABALLO: ",
     "ETH PROGRAMA JA S'EI EXECUTANT DAMB AGUEST DIRECTORI DE TRABALH: "),
    ("PREMEU UNA TECLA PER CONTINUAR", "PULSE UNA TECLA PARA CONTINUAR",
     "PREMA UNHA TECLA PARA CONTINUAR", "PREMETZ UNA TÈCLA ENTÀ CONTINUAR"),
    ("LA PRIMERA REMESA NO POT SER MÉS GRAN QUE L'ÚLTIMA: ",
     "LA PRIMERA REMESA NO PUEDE SER MAYOR QUE LA ÚLTIMA: ",
     "A PRIMEIRA REMESA NON PODE SER MAIOR CA ÚLTIMA: ",
     "ERA PRUMÈRA REMESA NON PÒT ÈSTER MÈS GRAN QU'ERA DARRÈRA: "),
    ("CÒPIA ACABADA. VOLUMS ESCRITS: ", "COPIA TERMINADA. VOLÚMENES ESCRITOS: ",
     "COPIA REMATADA. VOLUMES ESCRITOS: ", "CÒPIA ACABADA. VOLUMS ESCRITS: "),
    ("CÒPIA ABANDONADA: EL JOC ÉS INCOMPLET, LI FALTA EL VOLUM ",
     "COPIA ABANDONADA: EL JUEGO ESTÁ INCOMPLETO, LE FALTA EL VOLUMEN ",
     "COPIA ABANDONADA: O XOGO ESTÁ INCOMPLETO, FÁLTALLE O VOLUME ",
     "CÒPIA ABANDONADA: ETH JÒC EI INCOMPLET, LI MANCA ETH VOLUM "),
    # The verification of a remittance on a backup set, and its report.
    (" VERIFICANT ", " VERIFICANDO ", " VERIFICANDO ", " VERIFICANT "),
    ("INSERIU CÒPIA DE SEGURETAT NÚMERO ", "INSERTE COPIA DE SEGURIDAD NÚMERO ",
     "INSIRA COPIA DE SEGURIDADE NÚMERO ", "ENSERITZ CÒPIA DE SEGURETAT NUMÈRO "),
    (" A ", " EN ", " EN ", " A "),
    ("conté caràcters estranys", "contiene caracteres extraños", "contén caracteres estraños",
     "contien caractèrs estranhs"),
    ("el registre 5180 no pot ser aquest registre", "el registro 5180 no puede ser este registro",
     "o rexistro 5180 non pode ser este rexistro", "eth registre 5180 non pòt èster aguest registre"),
    ("el registre 5180 ha de ser el primer registre",
     "el registro 5180 debe ser el primer registro",
     "o rexistro 5180 debe ser o primeiro rexistro",
     "eth registre 5180 a d'èster eth prumèr registre"),
    ("el registre ", "el registro ", "o rexistro ", "eth registre "),
    (" no està en seqüència", " no está en secuencia", " non está en secuencia",
     " non ei en seqüéncia"),
    ("*** error *** ", "*** error *** ", "*** erro *** ", "*** error *** "),
    ("                         *** error ***", "                         *** error ***",
     "                          *** erro ***", "                         *** error ***"),
    ("PÀGINA ", "PÁGINA ", "PÁXINA ", "PAGINA "),
    ("JA HI HA ", "YA HAY ", "XA HAI ", "JA I A "),
    (" ERRORS EN AQUEST VOLUM. CONTINUAR? (Esc: ATURAR)",
     " ERRORES EN ESTE VOLUMEN. ¿CONTINUAR? (Esc: PARAR)",
     " ERROS NESTE VOLUME. CONTINUAR? (Esc: DETER)",
     " ERRORS EN AGUEST VOLUM. CONTUNHAR? (Esc: AESTAR)"),
    ("*** verificació aturada: ", "*** verificación detenida: ", "*** verificación detida: ",
     "*** verificacion aturada: "),
    (" registres d'aquest volum sense comprovar", " registros de este volumen sin comprobar",
     " rexistros deste volume sen comprobar", " registres d'aguest volum sense verificar"),
    (", ni els volums següents", ", ni los volúmenes siguientes", ", nin os volumes seguintes",
     ", ni es volums següents"),
    ("VERIFICACIÓ DISKETTE DE TRASPÀS DE REBUTS", "VERIFICACIÓN DISQUETE DE TRASPASO DE RECIBOS",
     "VERIFICACIÓN DISQUETE DE TRASPASO DE RECIBOS", "VERIFICACION DISQUETA DE TRASPÀS DE REBUTS"),
    ("       IMPORT", "      IMPORTE", "      IMPORTE", "       IMPÒRT"),
    ("       REBUTS", "      RECIBOS", "      RECIBOS", "       REBUTS"),
    ("    REGISTRES", "    REGISTROS", "    REXISTROS", "    REGISTRES"),
    ("ORDENANT ", "ORDENANTE ", "ORDENANTE ", "ORDENANT "),
    ("PRESENTADOR ", "PRESENTADOR ", "PRESENTADOR ", "PRESENTADOR "),
    ("LES UNITATS ORIGEN I DESTÍ NO PODEN SER LA MATEIXA",
     "LAS UNIDADES ORIGEN Y DESTINO NO PUEDEN SER LA MISMA",
     "AS UNIDADES ORIXE E DESTINO NON PODEN SER A MESMA",
     "ES UNITATS ORIGINA E DESTINACION NON PÒDEN ÈSSER ERA MATEIXA"),
    (" CERCANT ", " BUSCANDO ", " BUSCANDO ", " CERCANT "),
    ("FITXERS AMB UN NOM MASSA LLARG PER A LA LLISTA: ",
     "FICHEROS CON UN NOMBRE DEMASIADO LARGO PARA LA LISTA: ",
     "FICHEIROS CUN NOME DEMASIADO LONGO PARA A LISTA: ",
     "FICHÈRS DAMB UN NOM MASSA LONG ENTA ERA LISTA: "),
    (" PROCESSANT ", " PROCESANDO ", " PROCESANDO ", " PROCESSANT "),
    ("GENERAT FITXER ", "GENERADO FICHERO ", "XERADO FICHEIRO ", "GENERAT FICHÈR "),
    ("DETALL A", "DETALLE EN", "DETALLE EN", "DETALH EN"),
    ("FITXER NO GENERAT. ", "FICHERO NO GENERADO. ", "FICHEIRO NON XERADO. ",
     "FICHÈR NON GENERAT. "),
    ("REBUTS D'IMPORT ZERO O NEGATIU NO GENERATS: ",
     "RECIBOS DE IMPORTE CERO O NEGATIVO NO GENERADOS: ",
     "RECIBOS DE IMPORTE CERO OU NEGATIVO NON XERADOS: ",
     "REBUTS D'IMPORT ZÈRO O NEGATIU NON GENERATS: "),
    ("REBUTS EN ÚS EN UN ALTRE TERMINAL NO GENERATS: ",
     "RECIBOS EN USO EN OTRO TERMINAL NO GENERADOS: ",
     "RECIBOS EN USO NOUTRO TERMINAL NON XERADOS: ",
     "REBUTS EN ÚS EN UN AUTE TERMINAU NON GENERATS: "),
    ("REBUTS AMB L'IBAN DEL DEUTOR EN BLANC O ERRONI NO GENERATS: ",
     "RECIBOS CON EL IBAN DEL DEUDOR EN BLANCO O ERRÓNEO NO GENERADOS: ",
     "RECIBOS CO IBAN DO DEBEDOR EN BRANCO OU ERRÓNEO NON XERADOS: ",
     "REBUTS DAMB ER IBAN DETH DEBITOR EN BLANC O ERRONÈU NON GENERATS: "),
    ("REMESA ", "REMESA ", "REMESA ", "REMESA "),
    ("CAP REBUT PENDENT A LES REMESES ", "NINGÚN RECIBO PENDIENTE EN LAS REMESAS ",
     "NINGÚN RECIBO PENDENTE NAS REMESAS ", "CAP REBUT PENDENT EN ES REMESES "),
    # What the recovery of an interrupted generation found.
    ("FITXER APARTAT, NO S'ENVIA AL BANC: ", "FICHERO APARTADO, NO SE ENVÍA AL BANCO: ",
     "FICHEIRO APARTADO, NON SE ENVÍA AO BANCO: ", "FICHÈR APARTAT, NON S'ENVIE AR BANC: "),
    ("NO ES TROBA EL FITXER GENERAT: ", "NO SE ENCUENTRA EL FICHERO GENERADO: ",
     "NON SE ATOPA O FICHEIRO XERADO: ", "NON SE TROBE ER FICHÈR GENERAT: "),
    ("EL FITXER GENERAT HA CANVIAT, NO ES CONVERTEIX: ",
     "EL FICHERO GENERADO HA CAMBIADO, NO SE CONVIERTE: ",
     "O FICHEIRO XERADO CAMBIOU, NON SE CONVERTE: ",
     "ER FICHÈR GENERAT A CAMBIAT, NON SE CONVERTÍS: "),
    # A failed file operation.
    ("NO ES POT OBRIR", "NO SE PUEDE ABRIR", "NON SE PODE ABRIR", "NON SE POT DUBRIR"),
    ("NO ES POT CREAR", "NO SE PUEDE CREAR", "NON SE PODE CREAR", "NON SE POT CREAR"),
    ("NO ES POT LLEGIR", "NO SE PUEDE LEER", "NON SE PODE LER", "NON SE POT LEGIR"),
    ("NO ES POT ESCRIURE", "NO SE PUEDE ESCRIBIR", "NON SE PODE ESCRIBIR", "NON SE POT ESCRIUER"),
    ("NO ES POT DESAR AL DISC", "NO SE PUEDE GUARDAR EN EL DISCO", "NON SE PODE GARDAR NO DISCO",
     "NON SE POT SALVAR EN DISC"),
    ("NO ES POT CANVIAR LA MIDA DE", "NO SE PUEDE CAMBIAR EL TAMAÑO DE",
     "NON SE PODE CAMBIAR O TAMAÑO DE", "NON SE POT CAMBIAR ERA MIDA DE"),
    ("NO ES POT REEMPLAÇAR", "NO SE PUEDE REEMPLAZAR", "NON SE PODE SUBSTITUÍR",
     "NON SE POT REMPLAÇAR"),
    ("NO ES POT ESBORRAR", "NO SE PUEDE BORRAR", "NON SE PODE BORRAR", "NON SE POT ESBORRAR"),
    ("NO ES POT CREAR LA CARPETA", "NO SE PUEDE CREAR LA CARPETA", "NON SE PODE CREAR O CARTAFOL",
     "NON SE POT CREAR ERA CARPETA"),
    ("NO ES POT LLEGIR LA CARPETA", "NO SE PUEDE LEER LA CARPETA", "NON SE PODE LER O CARTAFOL",
     "NON SE POT LEGIR ERA CARPETA"),
    ("NO EXISTEIX", "NO EXISTE", "NON EXISTE", "NON EXISTÍS"),
    ("ACCÉS DENEGAT", "ACCESO DENEGADO", "ACCESO DENEGADO", "ACCÈS DENEGAT"),
    ("UNITAT PROTEGIDA CONTRA ESCRIPTURA", "UNIDAD PROTEGIDA CONTRA ESCRITURA",
     "UNIDADE PROTEXIDA CONTRA ESCRITURA", "UNITAT PROTEGIDA CONTRA ESCRIPTURA"),
    ("DISC PLE", "DISCO LLENO", "DISCO CHEO", "DISC PLEN"),
    ("FITXER MASSA GRAN", "FICHERO DEMASIADO GRANDE", "FICHEIRO DEMASIADO GRANDE",
     "FICHÈR MASSA GRAN"),
    ("ÉS UNA CARPETA", "ES UNA CARPETA", "É UN CARTAFOL", "ÈI UNA CARPETA"),
    ("NO ÉS UN FITXER", "NO ES UN FICHERO", "NON É UN FICHEIRO", "NON ÈI UN FICHÈR"),
    ("NO ÉS UNA CARPETA", "NO ES UNA CARPETA", "NON É UN CARTAFOL", "NON ÈI UNA CARPETA"),
    ("ÉS UN ENLLAÇ A UN ALTRE LLOC", "ES UN ENLACE A OTRO LUGAR", "É UNHA LIGAZÓN A OUTRO LUGAR",
     "ÈI UN LIGAM A UN AUTE LÒC"),
    ("JA EXISTEIX", "YA EXISTE", "XA EXISTE", "JA EXISTÍS"),
    ("EN ÚS PER UN ALTRE PROGRAMA", "EN USO POR OTRO PROGRAMA", "EN USO POR OUTRO PROGRAMA",
     "EN ÚS PER UN AUTE PROGRAMA"),
    ("NOM NO VÀLID", "NOMBRE NO VÁLIDO", "NOME NON VÁLIDO", "NOM NON VALID"),
    ("ERROR DEL SUPORT", "ERROR DEL SOPORTE", "ERRO DO SOPORTE", "ERROR DETH SUPÒRT"),
    # The terminal too small for the screen.
    ("La finestra del terminal és massa petita: el programa necessita",
     "La ventana del terminal es demasiado pequeña: el programa necesita",
     "A xanela do terminal é demasiado pequena: o programa necesita",
     "Era finèstra deth terminau ei massa petita: eth programa a besonh de"),
    ("caràcters i ara en té", "caracteres y ahora tiene", "caracteres e agora ten",
     "caractèrs e ara n'a"),
    ("Feu-la més gran.", "Hágala más grande.", "Faga que sexa máis grande.", "Hètz-la mès gran."),
    # The backup to volumes.
    ("EL FITXER HA CANVIAT MENTRE ES COPIAVA: ", "EL FICHERO HA CAMBIADO MIENTRAS SE COPIABA: ",
     "O FICHEIRO CAMBIOU MENTRES SE COPIABA: ", "ETH FICHÈR A CAMBIAT MENTRE ES COPIAVA: "),
    ("NO HI HA CAP FITXER PER COPIAR A ", "NO HAY NINGÚN FICHERO PARA COPIAR EN ",
     "NON HAI NINGÚN FICHEIRO PARA COPIAR EN ", "NO I A CAP FICHÈR ENTÀ COPIAR EN "),
    # The report's viewer (KITSCR) and print program (KITPRINT); "#" stands for a number.
    ("PÀGINA # DE #", "PÁGINA # DE #", "PÁXINA # DE #", "PAGINA # DE #"),
    ("LÍNIA #", "LÍNEA #", "LIÑA #", "LINHA #"),
    ("COLUMNA #", "COLUMNA #", "COLUMNA #", "COLOMNA #"),
    ("RePàg AvPàg Inici Fi", "RePág AvPág Inicio Fin", "RePáx AvPáx Inicio Fin",
     "RePàg AvPàg Inici Fin"),
    ("Esc: SORTIR", "Esc: SALIR", "Esc: SAÍR", "Esc: GÉSSER"),
    ("PREMEU UNA TECLA PER SORTIR", "PULSE UNA TECLA PARA SALIR", "PREMA UNHA TECLA PARA SAÍR",
     "PREMETZ UNA TÈCLA ENTÀ GÉSSER"),
    ("L'INFORME ÉS BUIT", "EL INFORME ESTÁ VACÍO", "O INFORME ESTÁ BALEIRO", "ER INFORME ÈI VUEIT"),
    ("L'INFORME S'HA ENVIAT A LA IMPRESSORA", "EL INFORME SE HA ENVIADO A LA IMPRESORA",
     "O INFORME ENVIOUSE Á IMPRESORA", "ER INFORME S'A ENVIAT ARA IMPRIMIDORA"),
    ("NO HI HA CAP IMPRESSORA: L'INFORME S'HA DESAT A",
     "NO HAY NINGUNA IMPRESORA: EL INFORME SE HA GUARDADO EN",
     "NON HAI NINGUNHA IMPRESORA: O INFORME GARDOUSE EN",
     "NO I A CAP IMPRIMIDORA: ER INFORME S'A GUARDAT EN"),
    ("LA IMPRESSORA NO HA ACCEPTAT L'INFORME", "LA IMPRESORA NO HA ACEPTADO EL INFORME",
     "A IMPRESORA NON ACEPTOU O INFORME", "ERA IMPRIMIDORA NON A ACCEPTAT ER INFORME"),
    ("L'INFORME ÉS A", "EL INFORME ESTÁ EN", "O INFORME ESTÁ EN", "ER INFORME ÈI EN"),
    ("NO ES POT FER EL PDF DE L'INFORME", "NO SE PUEDE HACER EL PDF DEL INFORME",
     "NON SE PODE FACER O PDF DO INFORME", "NON SE POT HÈR ER PDF DETH INFORME"),
]


def fields(entry):
    if entry[0] == LABEL:
        catalan = entry[1]
        rest = [t[:len(catalan)].ljust(len(catalan)) for t in entry[2:]]
        return [catalan] + rest
    return list(entry)


def quoted(text):
    return '"' + text.replace('"', '""') + '"'


def main():
    repo = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    lines = [",".join(quoted(f) for f in fields(e)) for e in TEXTS]
    path = os.path.join(repo, "install", "LOCALE", "QDEBCONV.LNG")
    with open(path, "wb") as out:
        out.write(("\r\n".join(lines) + "\r\n").encode("cp850"))


if __name__ == "__main__":
    main()
