// Record files on the database server. With a server in the session
// (env::session.DatabaseServer), each record file under the installation
// root lives there as one table, named by its path under the root; files
// elsewhere (a terminal's work files outside the root) stay files of this
// host. The program and kitdb both name files through here, so that one file
// has one name however it is reached.
#pragma once

#include <string>
#include <string_view>

namespace db {

// Names the session's server to the record manager; files opened from now
// on under the root live there. Nothing when the session has none.
void UseSessionServer();

// A record file's name on the server: its path under env::session.RootDir
// (the current directory when that is empty), "\" between folders, upper
// case as DOS compares names, without the ".DAT" the layer gives a name that
// has no extension: "C:\KIT\DADES\TrasBanc", "/srv/kit/dades/trasbanc.dat"
// and "DADES\TRASBANC" (from the root) are all "DADES\TRASBANC". Empty when
// the path is not under the root. program_path is a program path (code page
// 850; a host path is one too, on drive C:).
std::string ServerFileName(std::string_view program_path);

// What the record manager is given to open or create the file: "pg:" and its
// server name when the session has a server and the file is under the root,
// else its host path.
std::string RecordManagerPath(std::string_view program_path);

// Whether status says the server could not be reached or was lost: the
// operator is told the server's reason with the file's name.
bool IsServerStatus(int16_t status);

}  // namespace db
