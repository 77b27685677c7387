// The markers of committed groups, in the record file TGenerat
// (DADES\TGenerat, file number kMarkerFile): one record per file the
// generation committed and has not yet put in the converter's work list,
// with the SHA-256 of the file's bytes.
//
// A group writes its marker inside its transaction, after deleting its
// receipts from TrasBanc. The record manager commits the file changed last
// first, so the marker is on the disk before the deletion: a crash between
// the two commits leaves a marker whose receipts are all still in TrasBanc
// (a stale marker, removed by the recovery with the group's temporary
// file), never receipts deleted without a marker. Recovery therefore
// adopts only files it finds a marker for, and a file dropped in the
// output directory by anybody else is never listed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "util/record_layout.h"

namespace remit {

// A record of TGenerat: the file's name (its key), the digest of its bytes
// and its state.
namespace marker_record {
inline constexpr util::Field kFileName = util::Text("file_name", 1, 12);  // "XXXXXXXX.E19"
inline constexpr util::Field kDigest = util::Text("digest", 13, 64);      // lower-case hexadecimal
inline constexpr util::Field kState = util::Text("state", 77, 1);         // "C": committed
inline constexpr util::Field kSpare = util::Free("spare", 78, 3);
inline constexpr util::Field kFields[] = {kFileName, kDigest, kState, kSpare};
inline constexpr util::RecordLayout kLayout{"TGenerat marker", 80, kFields};
}  // namespace marker_record

struct Marker {
  std::string name;    // "XXXXXXXX.E19", in the output directory
  std::string digest;  // 64 lower-case hexadecimal digits
};

// The marker file is open (the generation and the recovery need it).
bool MarkersOpen();
// Its program path, for what is told of it.
std::string MarkerFilePath();
// Writes a marker: the record manager's status.
int16_t WriteMarker(const Marker& marker);
// The marker of a file name; false when there is none (status 0) or the
// file could not be read (status the record manager's).
bool FindMarker(const std::string& name, Marker* marker, int16_t* status);
// Every marker, by name; false when the file could not be read.
bool ReadMarkers(std::vector<Marker>* markers);
// Removes the marker of a name: 0 also when there was none.
int16_t RemoveMarker(const std::string& name);

}  // namespace remit
