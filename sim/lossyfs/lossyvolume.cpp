#include "lossyvolume.h"

#include <algorithm>
#include <cerrno>
#include <random>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr size_t kPathMax = 4096;
constexpr blksize_t kBlockSize = 4096;
constexpr blkcnt_t kSectorBytes = 512;

timespec now()
{
    timespec time {};
    clock_gettime(CLOCK_REALTIME, &time);
    return time;
}

std::vector<std::string> components(const std::string &path)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start < path.size()) {
        const size_t end = path.find('/', start);
        const size_t stop = end == std::string::npos ? path.size() : end;
        if (stop > start)
            parts.push_back(path.substr(start, stop - start));
        start = stop + 1;
    }
    return parts;
}

void applyWrite(std::string *content, const LossyVolume::DataWrite &write, size_t length)
{
    if (write.truncate) {
        content->resize(write.offset, '\0');
        return;
    }
    if (content->size() < write.offset + length)
        content->resize(write.offset + length, '\0');
    content->replace(write.offset, length, write.bytes, 0, length);
}

bool readAll(int fd, std::string *content)
{
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        content->append(buffer, static_cast<size_t>(got));
    }
}

bool writeAll(int fd, const std::string &content)
{
    size_t done = 0;
    while (done < content.size()) {
        const ssize_t put = ::write(fd, content.data() + done, content.size() - done);
        if (put < 0)
            return false;
        done += static_cast<size_t>(put);
    }
    return true;
}

std::vector<std::string> namesIn(int directoryFd)
{
    std::vector<std::string> names;
    const int fd = ::dup(directoryFd);
    DIR *dir = fd < 0 ? nullptr : ::fdopendir(fd);
    if (!dir) {
        if (fd >= 0)
            ::close(fd);
        return names;
    }
    ::rewinddir(dir);
    while (const dirent *entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    // In name order: the nodes' numbers, and so a cut's choices, do not depend on the
    // order the host's file system lists a folder in.
    std::sort(names.begin(), names.end());
    return names;
}

bool removeAt(int directoryFd, const std::string &name)
{
    struct stat info
    {
    };
    if (::fstatat(directoryFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT;
    if (!S_ISDIR(info.st_mode))
        return ::unlinkat(directoryFd, name.c_str(), 0) == 0;
    const int fd = ::openat(directoryFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = true;
    for (const std::string &child : namesIn(fd))
        ok = removeAt(fd, child) && ok;
    ::close(fd);
    return ok && ::unlinkat(directoryFd, name.c_str(), AT_REMOVEDIR) == 0;
}

bool storeDirectory(int directoryFd, const LossyVolume::Node &directory);

bool storeEntry(int directoryFd, const std::string &name, const LossyVolume::Node &node)
{
    struct stat info
    {
    };
    const bool exists = ::fstatat(directoryFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
    const char *const entry = name.c_str();
    if (exists && (info.st_mode & S_IFMT) != (node.mode & S_IFMT) && !removeAt(directoryFd, name))
        return false;
    const bool sameType = exists && (info.st_mode & S_IFMT) == (node.mode & S_IFMT);
    if (node.isDir()) {
        if (!sameType && ::mkdirat(directoryFd, entry, node.mode & 07777) != 0)
            return false;
        const int fd = ::openat(directoryFd, entry, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return false;
        const bool ok = storeDirectory(fd, node);
        ::close(fd);
        return ok;
    }
    if (S_ISLNK(node.mode)) {
        char target[kPathMax];
        const ssize_t length
                = sameType ? ::readlinkat(directoryFd, entry, target, sizeof target) : -1;
        if (length >= 0 && std::string(target, static_cast<size_t>(length)) == node.data)
            return true;
        return (!sameType || ::unlinkat(directoryFd, entry, 0) == 0)
                && ::symlinkat(node.data.c_str(), directoryFd, entry) == 0;
    }
    if (sameType) {
        std::string content;
        const int in = ::openat(directoryFd, entry, O_RDONLY | O_CLOEXEC);
        const bool same = in >= 0 && readAll(in, &content) && content == node.durableData;
        if (in >= 0)
            ::close(in);
        if (same)
            return true;
    }
    const int out = ::openat(directoryFd, entry, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                             node.mode & 07777);
    if (out < 0)
        return false;
    const timespec times[2] = {node.mtime, node.mtime};
    const bool ok = writeAll(out, node.durableData) && ::fchmod(out, node.mode & 07777) == 0
            && ::futimens(out, times) == 0;
    ::close(out);
    return ok;
}

bool storeDirectory(int directoryFd, const LossyVolume::Node &directory)
{
    bool ok = true;
    for (const std::string &name : namesIn(directoryFd)) {
        if (!directory.durableEntries.count(name))
            ok = removeAt(directoryFd, name) && ok;
    }
    for (const auto &[name, child] : directory.durableEntries)
        ok = storeEntry(directoryFd, name, *child) && ok;
    return ok;
}

} // namespace

LossyVolume::LossyVolume() : rootNode(newNode(S_IFDIR | 0755)) { }

LossyVolume::NodePtr LossyVolume::newNode(mode_t mode)
{
    auto node = std::make_shared<Node>();
    node->mode = mode;
    node->id = nextId++;
    node->mtime = now();
    return node;
}

bool LossyVolume::load(int directoryFd)
{
    struct stat info
    {
    };
    if (::fstat(directoryFd, &info) != 0)
        return false;
    rootNode = newNode(info.st_mode);
    rootNode->mtime = info.st_mtim;
    // Depth first with a stack of (open folder, its node).
    std::vector<std::pair<int, NodePtr>> open {{::dup(directoryFd), rootNode}};
    bool ok = open.back().first >= 0;
    while (ok && !open.empty()) {
        auto [fd, directory] = open.back();
        open.pop_back();
        for (const std::string &name : namesIn(fd)) {
            if (::fstatat(fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
                ok = false;
                break;
            }
            NodePtr node = newNode(info.st_mode);
            node->mtime = info.st_mtim;
            if (S_ISDIR(info.st_mode)) {
                const int child = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                ok = child >= 0;
                if (ok)
                    open.emplace_back(child, node);
            } else if (S_ISREG(info.st_mode)) {
                const int in = ::openat(fd, name.c_str(), O_RDONLY | O_CLOEXEC);
                ok = in >= 0 && readAll(in, &node->data);
                if (in >= 0)
                    ::close(in);
                node->durableData = node->data;
            } else if (S_ISLNK(info.st_mode)) {
                char target[kPathMax];
                const ssize_t length = ::readlinkat(fd, name.c_str(), target, sizeof target);
                ok = length >= 0;
                if (ok)
                    node->data.assign(target, static_cast<size_t>(length));
            } else {
                continue; // devices, pipes and sockets have no place on the data volume
            }
            if (!ok)
                break;
            directory->entries[name] = node;
            directory->durableEntries[name] = node;
        }
        ::close(fd);
    }
    for (const auto &[fd, unused] : open)
        ::close(fd);
    return ok;
}

bool LossyVolume::store(int directoryFd) const
{
    return storeDirectory(directoryFd, *rootNode);
}

LossyVolume::NodePtr LossyVolume::find(const std::string &path) const
{
    NodePtr node = rootNode;
    for (const std::string &part : components(path)) {
        if (!node->isDir())
            return nullptr;
        const auto it = node->entries.find(part);
        if (it == node->entries.end())
            return nullptr;
        node = it->second;
    }
    return node;
}

LossyVolume::NodePtr LossyVolume::parentOf(const std::string &path, std::string *name) const
{
    std::vector<std::string> parts = components(path);
    if (parts.empty())
        return nullptr;
    *name = parts.back();
    parts.pop_back();
    std::string parent;
    for (const std::string &part : parts)
        parent += "/" + part;
    NodePtr directory = find(parent);
    return directory && directory->isDir() ? directory : nullptr;
}

void LossyVolume::stat(const NodePtr &node, struct stat *out) const
{
    *out = {};
    out->st_mode = node->mode;
    out->st_ino = node->id;
    out->st_nlink = node->isDir() ? 2 : 1;
    out->st_uid = ::getuid();
    out->st_gid = ::getgid();
    out->st_size = node->isDir() ? kBlockSize : static_cast<off_t>(node->data.size());
    out->st_blksize = kBlockSize;
    out->st_blocks = (out->st_size + kSectorBytes - 1) / kSectorBytes;
    out->st_atim = out->st_mtim = out->st_ctim = node->mtime;
}

void LossyVolume::record(std::vector<Change> changes)
{
    NameOperation operation;
    for (const Change &change : changes)
        operation.unsyncedDirectories.insert(change.directory.get());
    operation.changes = std::move(changes);
    pendingNames.push_back(std::move(operation));
}

int LossyVolume::create(const std::string &path, mode_t mode, NodePtr *created)
{
    std::string name;
    const NodePtr directory = parentOf(path, &name);
    if (!directory)
        return -ENOENT;
    if (directory->entries.count(name))
        return -EEXIST;
    NodePtr node = newNode(S_IFREG | (mode & 07777));
    directory->entries[name] = node;
    directory->mtime = node->mtime;
    record({{directory, name, node}});
    if (created)
        *created = node;
    return 0;
}

int LossyVolume::makeDirectory(const std::string &path, mode_t mode)
{
    std::string name;
    const NodePtr directory = parentOf(path, &name);
    if (!directory)
        return -ENOENT;
    if (directory->entries.count(name))
        return -EEXIST;
    NodePtr node = newNode(S_IFDIR | (mode & 07777));
    directory->entries[name] = node;
    record({{directory, name, node}});
    return 0;
}

int LossyVolume::makeSymlink(const std::string &target, const std::string &path)
{
    std::string name;
    const NodePtr directory = parentOf(path, &name);
    if (!directory)
        return -ENOENT;
    if (directory->entries.count(name))
        return -EEXIST;
    NodePtr node = newNode(S_IFLNK | 0777);
    node->data = target;
    directory->entries[name] = node;
    record({{directory, name, node}});
    return 0;
}

int LossyVolume::makeLink(const std::string &from, const std::string &to)
{
    const NodePtr node = find(from);
    std::string name;
    const NodePtr directory = parentOf(to, &name);
    if (!node || !directory)
        return -ENOENT;
    if (node->isDir())
        return -EPERM;
    if (directory->entries.count(name))
        return -EEXIST;
    directory->entries[name] = node;
    record({{directory, name, node}});
    return 0;
}

int LossyVolume::unlink(const std::string &path)
{
    std::string name;
    const NodePtr directory = parentOf(path, &name);
    const NodePtr node = directory ? find(path) : nullptr;
    if (!node)
        return -ENOENT;
    if (node->isDir())
        return -EISDIR;
    directory->entries.erase(name);
    record({{directory, name, nullptr}});
    return 0;
}

int LossyVolume::removeDirectory(const std::string &path)
{
    std::string name;
    const NodePtr directory = parentOf(path, &name);
    const NodePtr node = directory ? find(path) : nullptr;
    if (!node)
        return -ENOENT;
    if (!node->isDir())
        return -ENOTDIR;
    if (!node->entries.empty())
        return -ENOTEMPTY;
    directory->entries.erase(name);
    record({{directory, name, nullptr}});
    return 0;
}

int LossyVolume::rename(const std::string &from, const std::string &to, bool noReplace)
{
    std::string fromName, toName;
    const NodePtr fromDirectory = parentOf(from, &fromName);
    const NodePtr toDirectory = parentOf(to, &toName);
    const NodePtr node = fromDirectory ? find(from) : nullptr;
    if (!node || !toDirectory)
        return -ENOENT;
    const NodePtr replaced = find(to);
    if (replaced == node)
        return 0;
    if (replaced) {
        if (noReplace)
            return -EEXIST;
        if (node->isDir() && !replaced->isDir())
            return -ENOTDIR;
        if (!node->isDir() && replaced->isDir())
            return -EISDIR;
        if (replaced->isDir() && !replaced->entries.empty())
            return -ENOTEMPTY;
    }
    if (node->isDir() && (to + "/").compare(0, from.size() + 1, from + "/") == 0)
        return -EINVAL; // into itself
    fromDirectory->entries.erase(fromName);
    toDirectory->entries[toName] = node;
    // One journal transaction: the medium has the old names or the new ones, never half.
    record({{fromDirectory, fromName, nullptr}, {toDirectory, toName, node}});
    return 0;
}

int LossyVolume::write(const NodePtr &file, uint64_t offset, const std::string &bytes)
{
    if (!file->isFile())
        return -EISDIR;
    DataWrite write {false, offset, bytes};
    applyWrite(&file->data, write, bytes.size());
    file->pending.push_back(std::move(write));
    file->mtime = now();
    dirtyFiles[file->id] = file;
    return static_cast<int>(bytes.size());
}

int LossyVolume::truncate(const NodePtr &file, uint64_t size)
{
    if (!file->isFile())
        return -EISDIR;
    DataWrite write {true, size, {}};
    applyWrite(&file->data, write, 0);
    file->pending.push_back(std::move(write));
    file->mtime = now();
    dirtyFiles[file->id] = file;
    return 0;
}

std::string LossyVolume::read(const NodePtr &file, uint64_t offset, size_t size) const
{
    if (offset >= file->data.size())
        return {};
    return file->data.substr(offset, size);
}

void LossyVolume::touch(const NodePtr &node, const timespec &mtime)
{
    node->mtime = mtime;
}

void LossyVolume::fsyncFile(const NodePtr &file)
{
    file->durableData = file->data;
    file->pending.clear();
    dirtyFiles.erase(file->id);
}

void LossyVolume::applyToMedium(const NameOperation &operation)
{
    for (const Change &change : operation.changes) {
        if (change.target)
            change.directory->durableEntries[change.name] = change.target;
        else
            change.directory->durableEntries.erase(change.name);
    }
}

std::vector<size_t> LossyVolume::withPredecessors(size_t index) const
{
    std::set<NameKey> names;
    for (const Change &change : pendingNames[index].changes)
        names.insert({change.directory.get(), change.name});
    std::vector<size_t> chosen {index};
    for (size_t i = index; i-- > 0;) {
        const auto &changes = pendingNames[i].changes;
        const bool shares = std::any_of(changes.begin(), changes.end(), [&](const Change &c) {
            return names.count({c.directory.get(), c.name}) > 0;
        });
        if (!shares)
            continue;
        chosen.push_back(i);
        for (const Change &change : changes)
            names.insert({change.directory.get(), change.name});
    }
    std::sort(chosen.begin(), chosen.end());
    return chosen;
}

void LossyVolume::commitNames(const std::vector<size_t> &indexes)
{
    for (const size_t index : indexes)
        applyToMedium(pendingNames[index]);
    for (auto it = indexes.rbegin(); it != indexes.rend(); ++it)
        pendingNames.erase(pendingNames.begin() + static_cast<std::ptrdiff_t>(*it));
}

void LossyVolume::fsyncDirectory(const NodePtr &directory)
{
    for (NameOperation &operation : pendingNames)
        operation.unsyncedDirectories.erase(directory.get());
    for (;;) {
        const auto synced = std::find_if(pendingNames.begin(), pendingNames.end(),
                                         [](const NameOperation &operation) {
                                             return operation.unsyncedDirectories.empty();
                                         });
        if (synced == pendingNames.end())
            return;
        commitNames(withPredecessors(static_cast<size_t>(synced - pendingNames.begin())));
    }
}

void LossyVolume::syncAll()
{
    for (const NameOperation &operation : pendingNames)
        applyToMedium(operation);
    pendingNames.clear();
    for (const auto &[id, file] : decltype(dirtyFiles)(dirtyFiles))
        fsyncFile(file);
}

LossyVolume::CutReport LossyVolume::cut(uint32_t seed)
{
    CutReport report;
    std::mt19937 random(seed);
    // How much of the unsynced state reaches the medium: a cut just before the page cache was
    // written back loses all of it, one just after keeps most.
    constexpr double kKeepChances[] = {0.0, 0.25, 0.5, 0.75};
    const double keepChance = seed == 0 ? 0.0 : kKeepChances[random() % 4];
    auto coin = [&] {
        return keepChance > 0 && std::bernoulli_distribution(keepChance)(random);
    };

    // From the newest name change back: one that survives takes the earlier changes of its
    // names with it.
    std::vector<bool> survives(pendingNames.size(), false);
    std::set<NameKey> kept;
    for (size_t i = pendingNames.size(); i-- > 0;) {
        const auto &changes = pendingNames[i].changes;
        const bool required = std::any_of(changes.begin(), changes.end(), [&](const Change &c) {
            return kept.count({c.directory.get(), c.name}) > 0;
        });
        survives[i] = required || coin();
        if (!survives[i]) {
            ++report.namesReverted;
            continue;
        }
        for (const Change &change : changes)
            kept.insert({change.directory.get(), change.name});
    }
    for (size_t i = 0; i < pendingNames.size(); ++i) {
        if (survives[i])
            applyToMedium(pendingNames[i]);
    }
    pendingNames.clear();

    // Each file keeps its unsynced writes up to some point, the first one lost perhaps in part.
    for (const auto &[id, file] : dirtyFiles) {
        const size_t count = file->pending.size();
        const size_t keep
                = keepChance == 0 ? 0 : std::uniform_int_distribution<size_t>(0, count)(random);
        std::string content = file->durableData;
        for (size_t i = 0; i < keep; ++i)
            applyWrite(&content, file->pending[i], file->pending[i].bytes.size());
        if (keep < count) {
            const DataWrite &first = file->pending[keep];
            if (!first.truncate && first.bytes.size() > 1 && coin()) {
                applyWrite(
                        &content, first,
                        std::uniform_int_distribution<size_t>(1, first.bytes.size() - 1)(random));
                ++report.writesTorn;
            }
        }
        report.writesLost += static_cast<int>(count - keep);
        file->durableData = std::move(content);
        file->pending.clear();
    }
    dirtyFiles.clear();

    std::set<const Node *> seen;
    resetToMedium(rootNode, &seen);
    return report;
}

void LossyVolume::resetToMedium(const NodePtr &directory, std::set<const Node *> *seen)
{
    if (!seen->insert(directory.get()).second)
        return;
    directory->entries = directory->durableEntries;
    for (const auto &[name, child] : directory->durableEntries) {
        if (child->isDir())
            resetToMedium(child, seen);
        else if (child->isFile())
            child->data = child->durableData;
    }
}
