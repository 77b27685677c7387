// The catalogue of one directory of 10,000 files: 4,000 remittance files
// (Cuaderno 19.14 with CR LF and with LF line ends, SEPA XML messages of
// three versions) among 6,000 others (text, binary, credit transfers).
// Target: under 1 second. Runs in the current directory (bench/run gives it
// a fresh one).
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "db/records.h"
#include "env/session.h"
#include "remit/test_helpers/recording_operator.h"
#include "remit/c19_records.h"
#include "remit/catalogue.h"

namespace {

void Write(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string C19(int i, const std::string& line_end) {
  const std::string date = "2024" + std::string(i % 12 < 9 ? "0" : "") + std::to_string(i % 12 + 1) + "15";
  std::string file = remit::Record01({"ES12000B12345678", "OFICINA", "20240110", "12345678901", '4', "2100", "0418"}) +
                     line_end;
  file += remit::Record02({"ES12000B12345678", date, "OFICINA", "ES9121000418450200051332"}) + line_end;
  const int debits = 1 + i % 20;
  for (int d = 0; d < debits; ++d) {
    remit::Debit debit;
    debit.reference = std::to_string(d);
    debit.amount = 1000 + d;
    file += remit::Record03(debit) + line_end;
  }
  return file + remit::Record99(debits * 1000, debits, debits + 3) + line_end;
}

std::string Sepa(int i) {
  static const char* versions[] = {"pain.008.001.02", "pain.008.003.02", "pain.008.001.08"};
  const bool v08 = i % 3 == 2;
  std::string date = "2025-0" + std::to_string(1 + i % 9) + "-1" + std::to_string(i % 10);
  std::string xml = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Document xmlns=\"urn:iso:std:iso:20022:tech:xsd:") +
                    versions[i % 3] + "\">\n <CstmrDrctDbtInitn>\n  <GrpHdr><MsgId>M" + std::to_string(i) +
                    "</MsgId><NbOfTxs>10</NbOfTxs><CtrlSum>105.00</CtrlSum></GrpHdr>\n  <PmtInf><PmtInfId>B</PmtInfId>" +
                    (v08 ? "<ReqdColltnDt><Dt>" + date + "</Dt></ReqdColltnDt>" : "<ReqdColltnDt>" + date + "</ReqdColltnDt>") +
                    "\n";
  for (int t = 0; t < 10; ++t) {
    xml += "   <DrctDbtTxInf><PmtId><EndToEndId>R" + std::to_string(t) +
           "</EndToEndId></PmtId><InstdAmt Ccy=\"EUR\">10.50</InstdAmt><Dbtr><Nm>DEUTOR</Nm></Dbtr></DrctDbtTxInf>\n";
  }
  return xml + "  </PmtInf>\n </CstmrDrctDbtInitn>\n</Document>\n";
}

}  // namespace

int main() {
  namespace fsys = std::filesystem;
  const std::string here = fsys::current_path().string();
  fsys::create_directories(here + "/root/ddf");
  fsys::create_directories(here + "/work");
  fsys::create_directories(here + "/files");
  fsys::copy_file(std::string(QDEB_SOURCE_DIR) + "/install/ddf/USort.xdf", here + "/root/ddf/USort.xdf",
                  fsys::copy_options::overwrite_existing);
  env::session.RootDir = here + "/root/";
  env::session.WorkDir = here + "/work/";
  int remittances = 0;
  for (int i = 0; i < 10000; ++i) {
    const std::string name = here + "/files/F" + std::to_string(100000 + i);
    switch (i % 10) {
      case 0:
      case 1:
        Write(name + ".Q19", C19(i, "\r\n"));
        ++remittances;
        break;
      case 2:
        Write(name + ".Q19", C19(i, "\n"));
        ++remittances;
        break;
      case 3:
        Write(name + ".XML", Sepa(i));
        ++remittances;
        break;
      case 4:
        Write(name + ".XML", "<?xml version=\"1.0\"?><Document><CstmrCdtTrfInitn/></Document>\n");
        break;
      case 5:
        Write(name + ".BIN", std::string(4096, static_cast<char>(i)));
        break;
      default:
        Write(name + ".TXT", std::string(700 + i % 300, 'x'));
    }
  }
  std::string record;
  int16_t status = -1;
  db::OpenRecordFile(remit::kCatalogueFile, env::session.WorkDir + "USort", &record, status);
  if (status != 0) {
    std::printf("USort cannot be opened: status %d\n", status);
    return 1;
  }
  remit::testing::RecordingOperator op;
  const auto start = std::chrono::steady_clock::now();
  const remit::CatalogueReport report = remit::CatalogueRemittanceFiles({.directory = here + "/files/"}, op);
  const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
  std::printf("Catalogue of a directory of 10,000 files (%d remittance files, %d listed): %.3f s (target < 1 s)%s\n",
              remittances, report.added, spent.count(), report.added == remittances ? "" : " WRONG COUNT");
  db::CloseAllRecordFiles(status);
  return report.added == remittances ? 0 : 1;
}
