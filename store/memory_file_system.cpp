#include "store/memory_file_system.h"

namespace sigmat::store {
namespace {

std::string parent_of(const std::string& key) {
    const std::size_t cut = key.rfind('/');
    if (cut == std::string::npos)
        return {};
    return key.substr(0, cut == 0 ? 1 : cut);
}

} // namespace

std::string MemoryFileSystem::key(std::string_view path) {
    std::string k(path);
    for (char& c : k)
        if (c == '\\')
            c = '/';
    while (k.size() > 1 && k.back() == '/')
        k.pop_back();
    return k;
}

const FileFault* MemoryFileSystem::fault(FileFault::Op op, const std::string& path) const {
    for (const FileFault& f : faults)
        if (f.op == op && (f.path_part.empty() || path.find(f.path_part) != std::string::npos))
            return &f;
    return nullptr;
}

bool MemoryFileSystem::parent_is_folder(const std::string& k) const {
    const std::string parent = parent_of(k);
    return parent.empty() || folders_.count(parent) != 0;
}

PathInfo MemoryFileSystem::stat(const std::string& path) {
    calls_.push_back("stat " + path);
    PathInfo info;
    if (fault(FileFault::Op::stat, path) != nullptr)
        return info;
    const std::string k = key(path);
    if (auto it = files_.find(k); it != files_.end()) {
        info.kind = PathKind::regular;
        info.size = it->second.size();
        info.readable = fault(FileFault::Op::read, path) == nullptr;
    } else if (folders_.count(k) != 0) {
        info.kind = PathKind::directory;
    } else if (others_.count(k) != 0) {
        info.kind = PathKind::other;
    }
    return info;
}

ReadStatus MemoryFileSystem::read(const std::string& path, FileBytes& bytes) {
    calls_.push_back("read " + path);
    bytes.size = 0;
    const std::string k = key(path);
    if (const FileFault* f = fault(FileFault::Op::read, path))
        return f->read_status;
    if (folders_.count(k) != 0 || others_.count(k) != 0)
        return ReadStatus::not_regular;
    auto it = files_.find(k);
    if (it == files_.end())
        return ReadStatus::missing;
    if (it->second.size() > max_file_bytes)
        return ReadStatus::too_large;
    if (bytes.buffer.size() < it->second.size())
        bytes.buffer.resize(it->second.size());
    it->second.copy(bytes.buffer.data(), it->second.size());
    bytes.size = it->second.size();
    return ReadStatus::ok;
}

bool MemoryFileSystem::list(const std::string& folder, std::vector<FolderEntry>& entries) {
    calls_.push_back("list " + folder);
    entries.clear();
    const std::string k = key(folder);
    if (fault(FileFault::Op::list, folder) != nullptr || folders_.count(k) == 0)
        return false;
    const std::string prefix = k == "/" ? k : k + "/";
    const auto add = [&](const std::string& path, PathKind kind) {
        if (path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0 &&
            path.find('/', prefix.size()) == std::string::npos)
            entries.push_back({path.substr(prefix.size()), kind});
    };
    for (const auto& [path, content] : files_)
        add(path, PathKind::regular);
    for (const std::string& path : folders_)
        add(path, PathKind::directory);
    for (const std::string& path : others_)
        add(path, PathKind::other);
    return true;
}

bool MemoryFileSystem::make_folder(const std::string& path) {
    calls_.push_back("make " + path);
    const std::string k = key(path);
    if (fault(FileFault::Op::make_folder, path) != nullptr)
        return false;
    if (folders_.count(k) != 0)
        return true;
    if (files_.count(k) != 0 || others_.count(k) != 0 || !parent_is_folder(k))
        return false;
    folders_.insert(k);
    return true;
}

Status MemoryFileSystem::write(const std::string& path, std::string_view content) {
    calls_.push_back("write " + path);
    const std::string k = key(path);
    int e = 0;
    if (const FileFault* f = fault(FileFault::Op::write, path))
        e = f->sys_errno;
    else if (content.size() > write_limit)
        e = ENOSPC;
    else if (folders_.count(k) != 0)
        e = EISDIR;
    else if (others_.count(k) != 0)
        e = EEXIST;
    else if (!parent_is_folder(k))
        e = ENOENT;
    if (e != 0)
        return io_error(path, "cannot write " + path, e);
    files_[k] = std::string(content);
    return {};
}

bool MemoryFileSystem::remove(const std::string& path) {
    calls_.push_back("remove " + path);
    if (fault(FileFault::Op::remove, path) != nullptr)
        return false;
    return files_.erase(key(path)) != 0;
}

void MemoryFileSystem::add_folder(const std::string& path) {
    std::string k = key(path);
    while (!k.empty() && folders_.count(k) == 0) {
        folders_.insert(k);
        k = parent_of(k);
    }
}

void MemoryFileSystem::add_file(const std::string& path, std::string_view content) {
    const std::string k = key(path);
    add_folder(parent_of(k));
    files_[k] = std::string(content);
}

void MemoryFileSystem::add_other(const std::string& path) {
    const std::string k = key(path);
    add_folder(parent_of(k));
    others_.insert(k);
}

const std::string* MemoryFileSystem::file(const std::string& path) const {
    auto it = files_.find(key(path));
    return it == files_.end() ? nullptr : &it->second;
}

bool MemoryFileSystem::has_folder(const std::string& path) const {
    return folders_.count(key(path)) != 0;
}

std::vector<std::string> MemoryFileSystem::files() const {
    std::vector<std::string> out;
    for (const auto& [path, content] : files_)
        out.push_back(path);
    return out;
}

} // namespace sigmat::store
