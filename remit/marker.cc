#include "remit/marker.h"

#include <utility>

#include "db/records.h"
#include "env/session.h"
#include "remit/generation.h"
#include "util/basics.h"

namespace remit {

namespace {

namespace rm = platform::recman;
namespace f = marker_record;

constexpr char kCommitted[] = "C";

std::string* Buffer() { return db::RecordBuffer(kMarkerFile); }

std::string KeyOf(const std::string& name) {
  std::string key = util::BlankRecord(f::kLayout);
  util::PutField(key, f::kFileName, name);
  return std::string(util::FieldOf(key, f::kFileName));
}

Marker MarkerOf(const std::string& record) {
  Marker m;
  m.name = std::string(util::TrimRight(util::FieldOf(record, f::kFileName)));
  m.digest = std::string(util::FieldOf(record, f::kDigest));
  return m;
}

}  // namespace

bool MarkersOpen() { return Buffer() != nullptr; }

std::string MarkerFilePath() { return env::session.RootDir + "DADES\\TGenerat"; }

int16_t WriteMarker(const Marker& marker) {
  std::string* buffer = Buffer();
  if (buffer == nullptr) return db::kNotInTable;
  std::string record = util::BlankRecord(f::kLayout);
  util::PutField(record, f::kFileName, marker.name);
  util::PutField(record, f::kDigest, marker.digest);
  util::PutField(record, f::kState, kCommitted);
  *buffer = std::move(record);
  int16_t status = 0;
  db::InsertRecord(kMarkerFile, status);
  return status;
}

bool FindMarker(const std::string& name, Marker* marker, int16_t* status) {
  *status = Buffer() == nullptr ? db::kNotInTable : 0;
  if (*status != 0) return false;
  db::GetByKey(kMarkerFile, 0, KeyOf(name), 0, *status);
  if (*status == rm::kKeyNotFound) {
    *status = 0;
    return false;
  }
  if (*status != 0) return false;
  *marker = MarkerOf(*Buffer());
  return true;
}

bool ReadMarkers(std::vector<Marker>* markers) {
  markers->clear();
  if (Buffer() == nullptr) return false;
  int16_t status = 0;
  db::GetByKey(kMarkerFile, 0, std::string(), 1, status);
  while (status == 0) {
    markers->push_back(MarkerOf(*Buffer()));
    db::MoveRecords(kMarkerFile, 1, status);
  }
  return status == rm::kEndOfFile;
}

int16_t RemoveMarker(const std::string& name) {
  if (Buffer() == nullptr) return db::kNotInTable;
  int16_t status = 0;
  db::GetByKey(kMarkerFile, 0, KeyOf(name), 0, status);
  if (status == rm::kKeyNotFound) return 0;
  if (status != 0) return status;
  db::DeleteCurrent(kMarkerFile, status);
  return status;
}

}  // namespace remit
