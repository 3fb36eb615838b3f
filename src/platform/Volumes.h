#pragma once

#include <QStringList>

// The drives of the drive selector: mounted volumes that are valid and
// ready, pseudo file systems left out, named by their root paths.
namespace Volumes {

QStringList roots();

// Whether the path is the root of a volume that roots() would list.
bool isReadyRoot(const QString &root);

} // namespace Volumes
