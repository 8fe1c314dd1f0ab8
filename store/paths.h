// Paths: joining, resolving relative directory texts, and where each file of the database
// lies.
//
// The database tree:
//   {db}/{mol}/DA/nu{vv}/DA{vv}J{jj}.dat   DEA from (v, J)
//   {db}/{mol}/VE/nu{vv}/VE{vv}J{jj}.dat   VE from (v, J), one column per final v'
//   {db}/{mol}/AD/adJ{jj}.dat              AED into J, one column per final v
//   {db}/{mol}/AD/adTot.dat                total AED
// with {vv} and {jj} two digits ("**" when a number does not fit). The temperature average
// spells the DEA folders and files in lower case ("da", "j"), and different databases spell
// "adTot" and "adtot": names are therefore matched without regard to letter case. A path
// handed back is spelt as it is on disk, so that the plotter, which opens the file itself,
// finds it on a case-sensitive file system too.
#pragma once

#include "store/file_system.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace sigmat::store {

// The platform's own path separator and line end for the text files Sigmat writes.
#ifdef _WIN32
inline constexpr char path_separator = '\\';
inline constexpr std::string_view line_end = "\r\n";
#else
inline constexpr char path_separator = '/';
inline constexpr std::string_view line_end = "\n";
#endif

// `name` appended to `dir` with the platform's separator; none is added when `dir` is empty
// or already ends with a separator ('/' is one everywhere).
std::string join_path(std::string_view dir, std::string_view name);

// True for a path that does not depend on the current directory: "/..." here; "X:\...",
// "\\server\..." or "\..." on Windows.
bool is_absolute_path(std::string_view path);

// `path` taken relative to `base` unless it is absolute.
std::string resolve_path(std::string_view base, std::string_view path);

// The entry of a listed folder that stands for `name`: the entry of exactly that name when
// it leads somewhere, otherwise the first entry in byte order whose name equals `name`
// ignoring the letter case of A-Z. Null when there is none.
const FolderEntry* find_entry(const std::vector<FolderEntry>& entries, std::string_view name);

// Looks `components` up one after the other under `base`, each as find_entry would (the
// exact name when something of that name exists, else its case-insensitive match). Returns
// the joined path as spelt on disk; from the first component that is not found on, the rest
// are appended as given. `base` itself is used as given ("" is the current directory).
std::string find_in_tree(FileSystem& files, std::string_view base,
                         std::initializer_list<std::string_view> components);

// The database files, found with find_in_tree; `db` is the database directory and
// `molecule` the code without trailing blanks.
// "DA" (DEA) or "VE": {db}/{mol}/{pc}/nu{vv}/{pc}{vv}J{jj}.dat
std::string state_file_path(FileSystem& files, std::string_view db, std::string_view process_code,
                            std::string_view molecule, std::int32_t v, std::int32_t j);
std::string aed_state_file_path(FileSystem& files, std::string_view db, std::string_view molecule,
                                std::int32_t j);
std::string aed_total_file_path(FileSystem& files, std::string_view db, std::string_view molecule);
// {db}/{mol}/da/nu{vv}: the DEA folder of level v as the temperature average names it.
std::string dea_level_folder_path(FileSystem& files, std::string_view db, std::string_view molecule,
                                  std::int32_t v);
// da{vv}j{jj}.dat: a DEA file's name as the temperature average spells it.
std::string dea_state_file_name(std::int32_t v, std::int32_t j);

} // namespace sigmat::store
