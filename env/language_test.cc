#include "env/language.h"

#include <gtest/gtest.h>

#include <string>

#include "env/session.h"
#include "env/test_dir.h"
#include "tests/support/reset.h"
#include "util/cp850.h"
#include "util/dates.h"

namespace env {
namespace {

using testing::TestDir;

class LanguageTest : public qdeb::testing::FreshStateTest {
 protected:
  LanguageTest() {
    session.RootDir = dir_.Dir();
    dir_.MakeDir("LOCALE");
    SetProgramId("QDEBCONV");
  }
  void Records(const std::string& text) { dir_.Put("LOCALE/QDEBCONV.LNG", text); }
  std::string In(const std::string& code, const std::string& text) {
    session.LanguageCode = code;
    return TranslateText(text);
  }
  TestDir dir_;
};

TEST_F(LanguageTest, EachLanguageHasItsField) {
  Records("\"ACCEPTAR\",\"ACEPTAR\",\"ACEPTAR\",\"ACCEPTAR\"\r\n"
          "SORTIR, SALIR ,SAIR,SORTIR\r\n"
          "\"DATA, HORA\",\"FECHA, HORA\",\"DATA, HORA\",\"DATA, ORA\"\r\n"
          "BUIT,,,\r\n" +
          util::Cp850("PÀGINA,PÁGINA,PÁXINA,PAGINA\r\n"));
  EXPECT_EQ(In("SPA", "ACCEPTAR"), "ACEPTAR");
  EXPECT_EQ(In("SPA", "SORTIR"), "SALIR");  // blanks around unquoted fields go
  EXPECT_EQ(In("GLG", "SORTIR"), "SAIR");
  EXPECT_EQ(In("OCI", "DATA, HORA"), "DATA, ORA");
  EXPECT_EQ(In("SPA", "DATA, HORA"), "FECHA, HORA");
  EXPECT_EQ(In("GLG", util::Cp850("PÀGINA")), util::Cp850("PÁXINA"));
  EXPECT_EQ(In("SPA", "BUIT"), "");  // an empty translation is empty
  EXPECT_EQ(In("FRA", "SORTIR"), "SORTIR");
  EXPECT_EQ(In("SPA", "NO HI ES"), "NO HI ES");
  // Exact match only: case and blanks count.
  EXPECT_EQ(In("SPA", "Sortir"), "Sortir");
  EXPECT_EQ(In("SPA", "SORTIR "), "SORTIR ");
}

TEST_F(LanguageTest, CatalanNeverOpensTheFileAndAMissingFileIsCreatedEmpty) {
  EXPECT_EQ(In("CAT", "SORTIR"), "SORTIR");
  EXPECT_FALSE(dir_.Exists("LOCALE/QDEBCONV.LNG"));
  EXPECT_EQ(In("SPA", "SORTIR"), "SORTIR");
  EXPECT_TRUE(dir_.Exists("LOCALE/QDEBCONV.LNG"));
  EXPECT_EQ(dir_.Get("LOCALE/QDEBCONV.LNG"), "");
  EXPECT_EQ(session.LanguageFileId, "QDEBCONV");
  // An identifier set beforehand names the file.
  session.LanguageFileId = "ALTRE";
  dir_.Put("LOCALE/ALTRE.LNG", "SORTIR,SALIDA,,\r\n");
  EXPECT_EQ(In("SPA", "SORTIR"), "SALIDA");
}

TEST_F(LanguageTest, OddFilesNeitherCrashNorHang) {
  Records("A,a1,a2,a3\nB,b1,b2,b3\rC,c1,c2,c3");
  EXPECT_EQ(In("SPA", "B"), "b1");
  EXPECT_EQ(In("OCI", "C"), "c3");
  Records("\"OPEN,x,y,z\r\nNEXT,n1,n2,n3\r\n");
  EXPECT_EQ(In("SPA", "OPEN,x,y,z"), "");  // the open quote ends with its line
  EXPECT_EQ(In("SPA", "NEXT"), "n1");
  Records("SHORT,s1\r\n\r\n   \r\nAFTER,f1\r\n");
  EXPECT_EQ(In("GLG", "SHORT"), "");
  EXPECT_EQ(In("SPA", "AFTER"), "f1");
  Records("\"Q\"\"D\",\"amb \"\"cometes\"\"\"  tail,c,o\r\n");
  EXPECT_EQ(In("SPA", "Q\"D"), "amb \"cometes\"");
  Records(std::string("N\0L,n\0l,,\r\n", 11) + std::string(1 << 20, 'x') + "\r\nZ,z,,\r\n");
  EXPECT_EQ(In("SPA", std::string("N\0L", 3)), std::string("n\0l", 3));
  EXPECT_EQ(In("SPA", "Z"), "z");
  dir_.Remove("LOCALE/QDEBCONV.LNG");
  dir_.MakeDir("LOCALE/QDEBCONV.LNG");
  EXPECT_EQ(In("SPA", "Z"), "Z");
  session.RootDir = dir_.File("missing/");
  EXPECT_EQ(In("SPA", "Z"), "Z");
}

class FormatDateTest : public qdeb::testing::FreshStateTest {
 protected:
  FormatDateTest() {
    session.RootDir = dir_.Dir();
    session.DateOrder = "DMA";
    session.DateSeparator = "/";
    session.LanguageCode = "CAT";
  }
  std::string Format(int year, int month, int day, int16_t style, const std::string& parts) {
    return FormatDate(util::PackDate(year, month, day), style, parts);
  }
  TestDir dir_;
};

TEST_F(FormatDateTest, NumericFormsHaveAFixedWidth) {
  EXPECT_EQ(Format(2024, 1, 5, 0, "DMA"), "5/1/2024  ");
  EXPECT_EQ(Format(2024, 1, 5, 0, "DM"), "5/1  ");
  EXPECT_EQ(Format(2024, 12, 25, 0, "dma"), "25/12/2024");
  EXPECT_EQ(Format(2024, 1, 5, 0, "A"), "2024");
  session.LanguageCode = "SPA";
  EXPECT_EQ(Format(2024, 1, 5, 1, "DMA"), "5/ene/2024 ");
  EXPECT_EQ(Format(2024, 9, 5, 1, "MA"), "sep/2024");
  session.DateOrder = "AMD";
  session.DateSeparator = "-";
  EXPECT_EQ(Format(2024, 1, 5, 0, "DMA"), "2024-1-5  ");
}

TEST_F(FormatDateTest, LongFormsSpellTheMonthWithTheLanguagesJoiningWords) {
  EXPECT_EQ(Format(2024, 4, 5, 2, "DMA"), "5 d'abril del 2024");
  EXPECT_EQ(Format(2024, 1, 5, 2, "DMA"), "5 de gener del 2024");
  EXPECT_EQ(Format(2024, 3, 5, 2, "DMA"), util::Cp850("5 de març del 2024"));
  session.LanguageCode = "SPA";
  EXPECT_EQ(Format(2024, 4, 5, 2, "DMA"), "5 de abril de 2024");
  EXPECT_EQ(Format(2024, 9, 5, 3, "DMA"), "5 de septiembre de 2024");
  session.LanguageCode = "GLG";
  EXPECT_EQ(Format(2024, 4, 5, 2, "DMA"), "5 de abril do 2024");
  session.LanguageCode = "OCI";
  EXPECT_EQ(Format(2024, 4, 5, 2, "DMA"), "5 d'abriu deth 2024");
  EXPECT_EQ(Format(2024, 1, 5, 2, "DMA"), util::Cp850("5 de gèr deth 2024"));
  session.LanguageCode = "XXX";
  EXPECT_EQ(Format(2024, 10, 5, 2, "DM"), "5 d'octubre");
  session.LanguageCode = "CAT";
  session.DateOrder = "AMD";
  EXPECT_EQ(Format(2024, 1, 5, 2, "DMA"), "2024 de gener del 5");
  EXPECT_EQ(Format(2024, 1, 5, 2, "MA"), "2024 de gener");
}

TEST_F(FormatDateTest, IsoFormIgnoresOrderAndParts) {
  session.DateOrder = "AMD";
  EXPECT_EQ(Format(2024, 1, 5, -1, "D"), "2024-01-05");
  EXPECT_EQ(Format(987, 11, 30, -1, ""), "0987-11-30");
}

TEST_F(FormatDateTest, NoDateGivesBlanksOrNothing) {
  EXPECT_EQ(FormatDate(util::PackDate(0, 0, 0), 0, "DMA"), std::string(10, ' '));
  EXPECT_EQ(FormatDate(util::PackDate(2024, 0, 0), 1, "DMA"), std::string(11, ' '));
  EXPECT_EQ(FormatDate("", 2, "DMA"), "");
  EXPECT_EQ(FormatDate("", 0, ""), "");
  // Garbage months have no name but do no harm.
  EXPECT_EQ(FormatDate(util::PackDigits("20244705"), 2, "DMA"), "5 de  del 2024");
  EXPECT_EQ(FormatDate(util::PackDigits("20244705"), 0, "DMA"), "5/47/2024 ");
  // A long run of bytes that were never a date still gives the fixed width.
  const std::string junk(40, '\xE3');
  EXPECT_EQ(FormatDate(junk, 0, "DMA").size(), 10u);
  EXPECT_EQ(FormatDate(junk, 1, "MA").size(), 8u);
}

TEST_F(FormatDateTest, OrderAndSeparatorAreLoadedOnceFromTheRootFile) {
  dir_.Put("Vela.ini", "[Usuari]\r\nDatCaracter=-\r\nDatOrdre=amd\r\n");
  session.DateOrder.clear();
  session.DateSeparator.clear();
  EXPECT_EQ(Format(2024, 1, 5, 0, "DMA"), "2024-1-5  ");
  EXPECT_EQ(session.DateOrder, "AMD");
  dir_.Put("Vela.ini", "[Usuari]\r\nDatCaracter=.\r\n");
  EXPECT_EQ(Format(2024, 1, 5, 0, "DMA"), "2024-1-5  ");  // not read again

  dir_.Put("Vela.ini", "[Usuari]\r\nDatCaracter=  \r\nDatOrdre=\r\n");
  session.DateOrder.clear();
  session.DateSeparator.clear();
  EXPECT_EQ(Format(2024, 1, 5, 0, "DMA"), "5/1/2024  ");
  EXPECT_EQ(session.DateSeparator, "/");
  EXPECT_EQ(session.DateOrder, "DMA");
}

}  // namespace
}  // namespace env
