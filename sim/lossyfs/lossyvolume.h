#pragma once

#include <cstdint>
#include <ctime>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <sys/stat.h>

// A volume as a journaling file system on flash keeps it across a loss of power. What the
// program sees is always its latest state; what the medium holds lags behind:
// - a file's data reaches the medium at its fsync (or a whole-system sync); until then a cut
//   keeps the writes since the last one only up to some point, the last kept one perhaps torn;
// - a name created, renamed or removed reaches the medium when its directory is fsynced (every
//   directory a rename touches) or at a sync; until then a cut may leave the old name state.
//   A later change of the same name that survives takes the earlier ones with it: the journal
//   keeps a name's changes in order.
// The whole volume lives in memory; load() reads it from a folder and store() writes the
// medium's state back into one.
class LossyVolume
{
public:
    struct Node;
    using NodePtr = std::shared_ptr<Node>;

    struct DataWrite
    {
        bool truncate = false;
        uint64_t offset = 0; // the new size for a truncation
        std::string bytes;
    };

    struct Node
    {
        mode_t mode = 0; // file type and permission bits
        uint64_t id = 0;
        timespec mtime {};
        std::string data; // a file's contents or a link's target, as the program sees them
        std::string durableData; // the file's contents on the medium
        std::vector<DataWrite> pending; // written since the last fsync, in order
        std::map<std::string, NodePtr> entries; // a directory as the program sees it
        std::map<std::string, NodePtr> durableEntries; // the directory on the medium

        bool isDir() const { return S_ISDIR(mode); }
        bool isFile() const { return S_ISREG(mode); }
    };

    struct CutReport
    {
        int writesLost = 0; // data writes dropped whole or torn
        int writesTorn = 0; // of those, kept in part
        int namesReverted = 0; // creations, renames and removals undone
    };

    LossyVolume();

    // Reads a folder's tree as the volume's synced state. False with errno set on failure.
    bool load(int directoryFd);
    // Writes the medium's state into a folder, leaving alone what already matches.
    bool store(int directoryFd) const;

    // The node at `path` ("/", "/a/b"); null when there is none.
    NodePtr find(const std::string &path) const;
    void stat(const NodePtr &node, struct stat *out) const;

    // Name operations; 0 or a negative errno, as the kernel expects them.
    int create(const std::string &path, mode_t mode, NodePtr *created);
    int makeDirectory(const std::string &path, mode_t mode);
    int makeSymlink(const std::string &target, const std::string &path);
    int makeLink(const std::string &from, const std::string &to);
    int unlink(const std::string &path);
    int removeDirectory(const std::string &path);
    int rename(const std::string &from, const std::string &to, bool noReplace);

    // Data operations on an open file.
    int write(const NodePtr &file, uint64_t offset, const std::string &bytes);
    int truncate(const NodePtr &file, uint64_t size);
    std::string read(const NodePtr &file, uint64_t offset, size_t size) const;
    void touch(const NodePtr &node, const timespec &mtime);

    // What reaches the medium.
    void fsyncFile(const NodePtr &file);
    void fsyncDirectory(const NodePtr &directory);
    void syncAll();

    // A loss of power: the medium keeps what was synced and, chosen by `seed`, some of the
    // rest; seed 0 keeps nothing unsynced. Afterwards the volume shows the medium's state.
    CutReport cut(uint32_t seed);

private:
    using NameKey = std::pair<const Node *, std::string>;
    struct Change
    {
        NodePtr directory;
        std::string name;
        NodePtr target; // null for a removal
    };
    struct NameOperation
    {
        std::vector<Change> changes;
        std::set<const Node *> unsyncedDirectories;
    };

    NodePtr newNode(mode_t mode);
    // The directory holding `path` and the last component; null for a bad path.
    NodePtr parentOf(const std::string &path, std::string *name) const;
    void record(std::vector<Change> changes);
    void applyToMedium(const NameOperation &operation);
    // Operations at `index` and the earlier ones that changed one of the same names.
    std::vector<size_t> withPredecessors(size_t index) const;
    void commitNames(const std::vector<size_t> &indexes);
    void resetToMedium(const NodePtr &directory, std::set<const Node *> *seen);

    NodePtr rootNode;
    uint64_t nextId = 1;
    std::vector<NameOperation> pendingNames;
    std::map<uint64_t, NodePtr> dirtyFiles; // by node number: a cut's choices replay
};
