#include "mountedvolumes.h"

#include "platform/platform.h"

MountedVolumes::MountedVolumes(const QStringList &instrumentPaths)
{
    QStringList roots;
    for (const QString &path : instrumentPaths)
        roots << platform::path(path);
    platform::setVolumeQuery([roots] { return roots; });
}

MountedVolumes::~MountedVolumes()
{
    platform::setVolumeQuery({});
}
