// Host file access of the settings and language files: the one place in
// env/ where program paths become host paths and files are read, created,
// flushed to disk and swapped in.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/fs/files.h"

namespace env {

enum class FileRead { kOk, kMissing, kFailed };

// The whole file named by a program path. kMissing when there is no such
// file (content empty); kFailed when it exists but cannot be read (a
// directory, an unreadable file, an unmappable path).
FileRead ReadWholeFile(const std::string& program_path, std::string* content);

// Creates the file empty when it does not exist; an existing file is left
// as it is. Quietly does nothing when that is impossible.
void TouchFile(const std::string& program_path);

// Writes content into a new file named name_prefix + eight digits + ".tmp",
// the digits drawn from next_digit (0..9 each). A name already taken is
// drawn again, a bounded number of times. The file is flushed to disk
// before this returns its program path; empty when no file could be made
// (nothing is left behind then). With held, the file stays open there with
// the lock of an open with no sharing, which tells RemoveStaleTempFiles
// that its writer is alive.
std::string WriteTempFile(const std::string& name_prefix, const std::string& content,
                          const std::function<int()>& next_digit,
                          platform::fs::File* held = nullptr);

// The writer's turn on the file: writers of one file, in any process, take
// turns while readers never wait. Held while the returned file is open, as
// an exclusive lock on the file's name + ".lck" beside it (the kernel drops
// it when its process dies); not open when that side file cannot be opened.
platform::fs::File TakeWriterTurn(const std::string& program_path);

// Removes the temporary files of the file (its name + "." + eight digits +
// ".tmp", whatever their case) that no live writer holds: those left by a
// writer killed before it put its copy in place.
void RemoveStaleTempFiles(const std::string& program_path);

// Puts the file from in place of the file to in one step (readers see the
// old or the new file, never none), with the permissions of the file it
// replaces. False, with both left as they were, when that fails.
bool ReplaceFile(const std::string& from, const std::string& to);

void RemoveFile(const std::string& program_path);

// Splits text into lines at CR LF, LF or a lone CR: takes the first line
// off rest into *line. False when rest is empty. A last line without a line
// end is a line; an empty remainder after the last line end is none.
bool NextLine(std::string_view* rest, std::string_view* line);

}  // namespace env
