// Which database server holds the record files: the libpq connection string
// of the environment variable "KITDB", else of [BaseDades] Servidor in the
// root's "Vela.ini". Empty (or absent in both): each record file is a file
// of its own on this host, as always.
//
// The password never comes from the settings file, which every user of the
// office reads: a password written there is dropped, and libpq takes it from
// PGPASSWORD or the user's .pgpass file. KITDB, like those, belongs to the
// user's own environment and may hold one.
#pragma once

#include <string>
#include <string_view>

namespace env {

// The connection string the session uses (UTF-8, as libpq takes it).
std::string DatabaseServerSetting(const std::string& root_dir);

// The connection string with every password taken out, in both of libpq's
// forms ("password=..." among key=value pairs, "user:secret@" in a URI):
// what may be shown or kept in a log.
std::string WithoutPassword(std::string_view conninfo);

}  // namespace env
