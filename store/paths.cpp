#include "store/paths.h"

#include "store/number_fields.h"

namespace sigmat::store {

std::string join_path(std::string_view dir, std::string_view name) {
    std::string path(dir);
    const bool ends_with_separator =
        !path.empty() && (path.back() == path_separator || path.back() == '/');
    if (!path.empty() && !ends_with_separator)
        path += path_separator;
    path += name;
    return path;
}

bool is_absolute_path(std::string_view path) {
#ifdef _WIN32
    if (path.size() >= 2 && path[1] == ':' &&
        ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')))
        return path.size() >= 3 && (path[2] == '\\' || path[2] == '/');
    return !path.empty() && (path[0] == '\\' || path[0] == '/');
#else
    return !path.empty() && path[0] == '/';
#endif
}

std::string resolve_path(std::string_view base, std::string_view path) {
    if (is_absolute_path(path) || base.empty())
        return std::string(path);
    return join_path(base, path);
}

const FolderEntry* find_entry(const std::vector<FolderEntry>& entries, std::string_view name) {
    const FolderEntry* match = nullptr;
    for (const FolderEntry& entry : entries) {
        if (entry.name == name && entry.kind != PathKind::missing)
            return &entry;
        if (equal_ignoring_case(entry.name, name) && (match == nullptr || entry.name < match->name))
            match = &entry;
    }
    return match;
}

std::string find_in_tree(FileSystem& files, std::string_view base,
                         std::initializer_list<std::string_view> components) {
    std::string path(base);
    bool found_so_far = true;
    std::vector<FolderEntry> entries;
    for (std::string_view component : components) {
        std::string next = join_path(path, component);
        // Where names are found whatever their case, a name that opens is not yet spelt as
        // on disk: the folder's listing is asked first. A folder that cannot be listed but
        // can be passed through keeps the name as given.
        const bool list_first = files.names_ignore_case();
        if (found_so_far && (list_first || files.stat(next).kind == PathKind::missing)) {
            const FolderEntry* entry = nullptr;
            const bool listed = files.list(path.empty() ? std::string(".") : path, entries);
            if (listed)
                entry = find_entry(entries, component);
            if (entry != nullptr)
                next = join_path(path, entry->name);
            else if (listed || !list_first || files.stat(next).kind == PathKind::missing)
                found_so_far = false;
        }
        path = std::move(next);
    }
    return path;
}

std::string state_file_path(FileSystem& files, std::string_view db, std::string_view process_code,
                            std::string_view molecule, std::int32_t v, std::int32_t j) {
    const std::string vv = format_i(v, 2, 2);
    const std::string pc(process_code);
    return find_in_tree(files, db,
                        {molecule, pc, "nu" + vv, pc + vv + "J" + format_i(j, 2, 2) + ".dat"});
}

std::string aed_state_file_path(FileSystem& files, std::string_view db, std::string_view molecule,
                                std::int32_t j) {
    return find_in_tree(files, db, {molecule, "AD", "adJ" + format_i(j, 2, 2) + ".dat"});
}

std::string aed_total_file_path(FileSystem& files, std::string_view db, std::string_view molecule) {
    return find_in_tree(files, db, {molecule, "AD", "adTot.dat"});
}

std::string dea_level_folder_path(FileSystem& files, std::string_view db, std::string_view molecule,
                                  std::int32_t v) {
    return find_in_tree(files, db, {molecule, "da", "nu" + format_i(v, 2, 2)});
}

std::string dea_state_file_name(std::int32_t v, std::int32_t j) {
    return "da" + format_i(v, 2, 2) + "j" + format_i(j, 2, 2) + ".dat";
}

} // namespace sigmat::store
