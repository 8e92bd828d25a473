#pragma once

#include <QStringList>

// Reports the given instrument paths ("/media/sda1"), resolved in the sandbox root that is
// installed when it is made, as the mounted volumes while it lives; none for an empty list.
class MountedVolumes
{
public:
    explicit MountedVolumes(const QStringList &instrumentPaths);
    ~MountedVolumes();
    MountedVolumes(const MountedVolumes &) = delete;
    MountedVolumes &operator=(const MountedVolumes &) = delete;
};
