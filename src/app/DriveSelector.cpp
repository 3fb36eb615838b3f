#include "app/DriveSelector.h"

#include "platform/Volumes.h"

#include <QDir>
#include <QSignalBlocker>
#include <QStorageInfo>

DriveSelector::DriveSelector(QWidget *parent)
    : QComboBox(parent)
{
    addItems(Volumes::roots());
    // Until told otherwise it shows the volume of the working directory.
    const int current = findText(QStorageInfo(QDir::currentPath()).rootPath());
    if (current >= 0)
        setCurrentIndex(current);
    // Only a real change of drive counts: choosing the drive already shown
    // must not move the watch to that drive's root.
    connect(this, &QComboBox::currentIndexChanged, this, [this] { Q_EMIT changed(); });
}

bool DriveSelector::setDrive(const QString &root)
{
    if (!Volumes::isReadyRoot(root))
        return false;
    int index = findText(root);
    if (index < 0) {
        addItem(root);
        index = count() - 1;
    }
    if (index == currentIndex())
        return true;
    {
        const QSignalBlocker blocker(this);
        setCurrentIndex(index);
    }
    Q_EMIT changed();
    return true;
}

void DriveSelector::refresh()
{
    const QStringList roots = Volumes::roots();
    QStringList shown;
    for (int i = 0; i < count(); ++i)
        shown.append(itemText(i));
    if (roots == shown)
        return;
    const QString current = currentText();
    const QSignalBlocker blocker(this);
    clear();
    addItems(roots);
    // The chosen drive stays shown even while its volume is away.
    int index = findText(current);
    if (index < 0 && !current.isEmpty()) {
        addItem(current);
        index = count() - 1;
    }
    setCurrentIndex(index);
}
