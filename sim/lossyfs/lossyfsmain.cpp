// vemla8-lossyfs: the simulated instrument's flash volume, a FUSE file system over a folder
// that loses at a power cut what a real one loses (LossyVolume).
//
//   vemla8-lossyfs mount DIR REPORT [READY_FD]   serve DIR over itself until unmounted
//   vemla8-lossyfs sync DIR...                    a whole-system sync of the volumes among DIRs
//   vemla8-lossyfs cut DIR SEED|all               a power cut (or an orderly stop: all kept)
//   vemla8-lossyfs slow DIR MS                    every fsync and sync takes MS first
//   vemla8-lossyfs check                          exit 0 when FUSE can be mounted here
//
// The commands other than mount reach the volume through extended attributes of its root,
// which the file system answers itself (lossycontrol.h).
#define FUSE_USE_VERSION 35

#include "lossycontrol.h"
#include "lossyvolume.h"

#include <fuse.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

struct Served
{
    LossyVolume volume;
    std::mutex lock;
    int backingFd = -1;
    std::string reportPath;
    std::string folder;
    bool finished = false; // cut or stopped: the medium is written, nothing more reaches it
    int slowMs = 0;
    std::map<uint64_t, LossyVolume::NodePtr> handles;
    uint64_t nextHandle = 1;
};

Served *served = nullptr;

using Guard = std::unique_lock<std::mutex>;

// The board's eMMC takes its time for a flush; the lock is not held meanwhile, so reads of
// other threads go on, as they do from the page cache.
void flashDelay()
{
    int ms;
    {
        Guard guard(served->lock);
        ms = served->slowMs;
    }
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

LossyVolume::NodePtr handle(const fuse_file_info *info)
{
    const auto it = served->handles.find(info->fh);
    return it == served->handles.end() ? nullptr : it->second;
}

// An open file by its handle (it may have no name any more), else the node at the path.
LossyVolume::NodePtr nodeOf(const char *path, const fuse_file_info *info)
{
    if (info) {
        if (const auto node = handle(info))
            return node;
    }
    return path ? served->volume.find(path) : nullptr;
}

uint64_t open(const LossyVolume::NodePtr &node)
{
    const uint64_t id = served->nextHandle++;
    served->handles[id] = node;
    return id;
}

void report(const std::string &line)
{
    const int fd
            = ::open(served->reportPath.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    const std::string text = line + "\n";
    [[maybe_unused]] const ssize_t written = ::write(fd, text.data(), text.size());
    ::close(fd);
}

// Power cut (a seed) or orderly stop ("all"): the medium's state goes into the folder.
int finish(const std::string &how)
{
    Guard guard(served->lock);
    if (served->finished)
        return -EIO;
    if (how == lossycontrol::kKeepAll) {
        served->volume.syncAll();
    } else {
        char *end = nullptr;
        const unsigned long seed = std::strtoul(how.c_str(), &end, 10);
        if (how.empty() || *end)
            return -EINVAL;
        const LossyVolume::CutReport cut = served->volume.cut(static_cast<uint32_t>(seed));
        report("cut " + how + " " + served->folder + ": " + std::to_string(cut.writesLost)
               + " writes lost (" + std::to_string(cut.writesTorn) + " torn), "
               + std::to_string(cut.namesReverted) + " name changes reverted");
    }
    served->finished = true;
    return served->volume.store(served->backingFd) ? 0 : -EIO;
}

// The calls on one existing node: under the lock, refused once the power is gone.
template<typename Call> int onNode(const char *path, fuse_file_info *info, Call call)
{
    Guard guard(served->lock);
    const auto node = nodeOf(path, info);
    if (served->finished)
        return -EIO;
    if (!node)
        return -ENOENT;
    return call(node);
}

int onGetattr(const char *path, struct stat *out, fuse_file_info *info)
{
    return onNode(path, info, [&](const auto &node) {
        served->volume.stat(node, out);
        return 0;
    });
}

int onReadlink(const char *path, char *buffer, size_t size)
{
    Guard guard(served->lock);
    const auto node = served->volume.find(path);
    if (served->finished)
        return -EIO;
    if (!node || !S_ISLNK(node->mode))
        return -EINVAL;
    std::snprintf(buffer, size, "%s", node->data.c_str());
    return 0;
}

template<typename Call> int named(Call call)
{
    Guard guard(served->lock);
    return served->finished ? -EIO : call(served->volume);
}

int onMkdir(const char *path, mode_t mode)
{
    return named([&](LossyVolume &v) { return v.makeDirectory(path, mode); });
}
int onUnlink(const char *path)
{
    return named([&](LossyVolume &v) { return v.unlink(path); });
}
int onRmdir(const char *path)
{
    return named([&](LossyVolume &v) { return v.removeDirectory(path); });
}
int onSymlink(const char *target, const char *path)
{
    return named([&](LossyVolume &v) { return v.makeSymlink(target, path); });
}
int onLink(const char *from, const char *to)
{
    return named([&](LossyVolume &v) { return v.makeLink(from, to); });
}
int onRename(const char *from, const char *to, unsigned int flags)
{
    if (flags & ~RENAME_NOREPLACE)
        return -EINVAL;
    return named([&](LossyVolume &v) { return v.rename(from, to, flags & RENAME_NOREPLACE); });
}

int onChmod(const char *path, mode_t mode, fuse_file_info *info)
{
    return onNode(path, info, [&](const auto &node) {
        node->mode = (node->mode & S_IFMT) | (mode & 07777);
        return 0;
    });
}

int onChown(const char *, uid_t, gid_t, fuse_file_info *)
{
    return 0; // one owner: the program runs as root
}

int onTruncate(const char *path, off_t size, fuse_file_info *info)
{
    return onNode(path, info, [&](const auto &node) {
        return served->volume.truncate(node, static_cast<uint64_t>(size));
    });
}

int onUtimens(const char *path, const timespec times[2], fuse_file_info *info)
{
    return onNode(path, info, [&](const auto &node) {
        timespec mtime = times[1];
        if (mtime.tv_nsec == UTIME_NOW)
            clock_gettime(CLOCK_REALTIME, &mtime);
        if (mtime.tv_nsec != UTIME_OMIT)
            served->volume.touch(node, mtime);
        return 0;
    });
}

int onCreate(const char *path, mode_t mode, fuse_file_info *info)
{
    Guard guard(served->lock);
    if (served->finished)
        return -EIO;
    LossyVolume::NodePtr node;
    const int result = served->volume.create(path, mode, &node);
    if (result == 0)
        info->fh = open(node);
    return result;
}

int onOpen(const char *path, fuse_file_info *info)
{
    Guard guard(served->lock);
    const auto node = served->volume.find(path);
    if (served->finished)
        return -EIO;
    if (!node)
        return -ENOENT;
    if ((info->flags & O_TRUNC) && (info->flags & O_ACCMODE) != O_RDONLY)
        served->volume.truncate(node, 0);
    info->fh = open(node);
    return 0;
}

int onRead(const char *, char *buffer, size_t size, off_t offset, fuse_file_info *info)
{
    Guard guard(served->lock);
    const auto node = handle(info);
    if (served->finished)
        return -EIO;
    if (!node)
        return -EBADF;
    const std::string bytes = served->volume.read(node, static_cast<uint64_t>(offset), size);
    std::memcpy(buffer, bytes.data(), bytes.size());
    return static_cast<int>(bytes.size());
}

int onWrite(const char *, const char *buffer, size_t size, off_t offset, fuse_file_info *info)
{
    Guard guard(served->lock);
    const auto node = handle(info);
    if (served->finished)
        return -EIO;
    if (!node)
        return -EBADF;
    return served->volume.write(node, static_cast<uint64_t>(offset), std::string(buffer, size));
}

int onStatfs(const char *, struct statvfs *out)
{
    // A 4 GiB eMMC partition, mostly free.
    constexpr fsblkcnt_t kBlocks = 1u << 20;
    *out = {};
    out->f_bsize = out->f_frsize = 4096;
    out->f_blocks = kBlocks;
    out->f_bfree = out->f_bavail = kBlocks / 2;
    out->f_files = out->f_ffree = out->f_favail = kBlocks;
    out->f_namemax = 255;
    return 0;
}

int onRelease(const char *, fuse_file_info *info)
{
    Guard guard(served->lock);
    served->handles.erase(info->fh);
    return 0;
}

int onFsync(const char *, int, fuse_file_info *info)
{
    flashDelay();
    Guard guard(served->lock);
    const auto node = handle(info);
    if (served->finished)
        return -EIO;
    if (!node)
        return -EBADF;
    served->volume.fsyncFile(node);
    return 0;
}

int onOpendir(const char *path, fuse_file_info *info)
{
    Guard guard(served->lock);
    const auto node = served->volume.find(path);
    if (served->finished)
        return -EIO;
    if (!node || !node->isDir())
        return -ENOENT;
    info->fh = open(node);
    return 0;
}

int onFsyncdir(const char *path, int, fuse_file_info *info)
{
    flashDelay();
    return onNode(path, info, [&](const auto &node) {
        served->volume.fsyncDirectory(node);
        return 0;
    });
}

int onReaddir(const char *path, void *buffer, fuse_fill_dir_t fill, off_t, fuse_file_info *info,
              fuse_readdir_flags)
{
    Guard guard(served->lock);
    const auto node = nodeOf(path, info);
    if (served->finished)
        return -EIO;
    if (!node || !node->isDir())
        return -ENOENT;
    fill(buffer, ".", nullptr, 0, fuse_fill_dir_flags {});
    fill(buffer, "..", nullptr, 0, fuse_fill_dir_flags {});
    for (const auto &[name, child] : node->entries)
        fill(buffer, name.c_str(), nullptr, 0, fuse_fill_dir_flags {});
    return 0;
}

int onSetxattr(const char *path, const char *name, const char *value, size_t size, int)
{
    if (std::strcmp(path, "/") != 0)
        return -ENOTSUP;
    const std::string text(value, size);
    if (name == std::string(lossycontrol::kSync)) {
        flashDelay();
        Guard guard(served->lock);
        if (served->finished)
            return -EIO;
        served->volume.syncAll();
        return 0;
    }
    if (name == std::string(lossycontrol::kFinish))
        return finish(text);
    if (name == std::string(lossycontrol::kSlow)) {
        Guard guard(served->lock);
        served->slowMs = std::atoi(text.c_str());
        return 0;
    }
    return -ENOTSUP;
}

int onGetxattr(const char *path, const char *name, char *value, size_t size)
{
    if (std::strcmp(path, "/") != 0 || name != std::string(lossycontrol::kVolume))
        return -ENODATA;
    const std::string text = "lossy";
    if (size == 0)
        return static_cast<int>(text.size());
    if (size < text.size())
        return -ERANGE;
    std::memcpy(value, text.data(), text.size());
    return static_cast<int>(text.size());
}

void *onInit(fuse_conn_info *, fuse_config *config)
{
    config->use_ino = 1;
    // An unlinked file stays readable through its open descriptors (the handle holds the
    // node), without the library's hidden renames, which would be name changes of their own.
    config->hard_remove = 1;
    config->nullpath_ok = 1;
    return nullptr;
}

fuse_operations operations()
{
    fuse_operations ops {};
    ops.init = onInit;
    ops.getattr = onGetattr;
    ops.readlink = onReadlink;
    ops.mkdir = onMkdir;
    ops.unlink = onUnlink;
    ops.rmdir = onRmdir;
    ops.symlink = onSymlink;
    ops.rename = onRename;
    ops.link = onLink;
    ops.chmod = onChmod;
    ops.chown = onChown;
    ops.truncate = onTruncate;
    ops.utimens = onUtimens;
    ops.create = onCreate;
    ops.open = onOpen;
    ops.read = onRead;
    ops.write = onWrite;
    ops.statfs = onStatfs;
    ops.release = onRelease;
    ops.fsync = onFsync;
    ops.fsyncdir = onFsyncdir;
    ops.opendir = onOpendir;
    ops.readdir = onReaddir;
    ops.releasedir = onRelease;
    ops.setxattr = onSetxattr;
    ops.getxattr = onGetxattr;
    return ops;
}

int serve(const char *folder, const char *reportPath, int readyFd)
{
    // The simulator that started us is the board: when it goes, so do we.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    static Served state;
    served = &state;
    state.folder = folder;
    state.reportPath = reportPath;
    state.backingFd = ::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (state.backingFd < 0 || !state.volume.load(state.backingFd)) {
        std::fprintf(stderr, "vemla8-lossyfs: cannot read %s: %s\n", folder, std::strerror(errno));
        return 1;
    }
    const char *argv[] = {"vemla8-lossyfs", "-o", "fsname=vemla-lossy,subtype=lossy"};
    fuse_args args = FUSE_ARGS_INIT(3, const_cast<char **>(argv));
    const fuse_operations ops = operations();
    fuse *fs = fuse_new(&args, &ops, sizeof ops, nullptr);
    if (!fs || fuse_mount(fs, folder) != 0) {
        std::fprintf(stderr, "vemla8-lossyfs: cannot mount %s\n", folder);
        return 1;
    }
    fuse_set_signal_handlers(fuse_get_session(fs));
    if (readyFd >= 0) {
        [[maybe_unused]] const ssize_t written = ::write(readyFd, "ready\n", 6);
        ::close(readyFd);
    }
    fuse_loop_config *config = fuse_loop_cfg_create();
    const int status = fuse_loop_mt(fs, config);
    fuse_loop_cfg_destroy(config);
    fuse_remove_signal_handlers(fuse_get_session(fs));
    bool finished;
    {
        Guard guard(state.lock);
        finished = state.finished;
    }
    if (!finished) {
        // Unmounted or ended without a cut or a stop (the simulator went): the board kept
        // running, so whatever it wrote is kept.
        finish(lossycontrol::kKeepAll);
        fuse_unmount(fs);
    }
    // After a cut or a stop the simulator detached the volume itself; the folder may hold the
    // next boot's volume by now, which is not ours to unmount.
    fuse_destroy(fs);
    return status == 0 ? 0 : 1;
}

int usage()
{
    std::fprintf(stderr,
                 "usage: vemla8-lossyfs mount DIR REPORT [READY_FD] | sync DIR... | "
                 "cut DIR SEED|all | slow DIR MS | check\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "mount" && (argc == 4 || argc == 5))
        return serve(argv[2], argv[3], argc == 5 ? std::atoi(argv[4]) : -1);
    if (command == "sync") {
        for (int i = 2; i < argc; ++i)
            lossycontrol::sync(argv[i]);
        return 0;
    }
    if (command == "cut" && argc == 4)
        return lossycontrol::finish(argv[2], argv[3]) ? 0 : 1;
    if (command == "slow" && argc == 4)
        return lossycontrol::setSlow(argv[2], std::atoi(argv[3])) ? 0 : 1;
    if (command == "check") {
        std::string why;
        if (lossycontrol::usable(&why))
            return 0;
        std::fprintf(stderr, "%s\n", why.c_str());
        return 1;
    }
    return usage();
}
