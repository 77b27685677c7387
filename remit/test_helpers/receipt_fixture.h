// Receipts and remittances as the tests, the generation driver and the
// benchmark write them: the fields by name, laid out in the record files'
// bytes, and installations of any size made of them.
#pragma once

#include <cstdint>
#include <string>

namespace remit::testing {

// A TrasBanc record.
struct ReceiptFields {
  char kind = 'R';
  int64_t debtor = 1;         // 12 digits
  int64_t number = 1;         // 8 digits
  char series = 'B';
  int remittance_low = 1;     // the remittance's low two digits
  std::string name = "GARCIA*JOAN";
  int32_t amount = 100;
  std::string iban;           // 34, blank-padded
  std::string identifier;     // 17, blank-padded
  std::string concept_text;   // 640, blank-padded
  std::string Record() const;
};

// A TRemeses record.
struct RemittanceFields {
  int number = 1;                       // 0..9999
  std::string account;                  // 20 digits; empty: no account
  std::string office = "0418";          // 4 digits
  std::string suffix_number = "000";    // 3 characters
  std::string creditor_name = "CREDITOR";
  std::string creditor_suffix = "000";
  std::string creditor_identifier;      // 17: "ES" + tax number from the third
  std::string Record() const;
};

// A Spanish account of entity 2100, office 0418, with its control digits,
// and its IBAN.
std::string FixtureAccount(int64_t account_number);
std::string FixtureIban(int64_t account_number);

// A bulk installation: receipt j (0 .. receipts-1) belongs to remittance
// j % remittances + 1, whose suffix is its number % suffixes.
struct Shape {
  int receipts = 0;
  int remittances = 1;
  int suffixes = 1;
};
RemittanceFields BulkRemittance(const Shape& shape, int i);
ReceiptFields BulkReceipt(const Shape& shape, int j);
// Key 0 of bulk receipt j.
std::string BulkReceiptKey(int j);

// Opens TrasBanc and TRemeses of session.RootDir + "DADES\" under the generation's
// file numbers (creating them from session.RootDir + "ddf\"), with these buffers,
// and TGenerat with a buffer of its own.
int16_t OpenGenerationFiles(std::string* trasbanc, std::string* remeses);
// Inserts the shape's records into the open files in one transaction.
int16_t InsertBulk(const Shape& shape);
// Inserts one record into an open file; the status.
int16_t Insert(int16_t file_number, const std::string& record);

}  // namespace remit::testing
