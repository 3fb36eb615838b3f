#pragma once

#include <QComboBox>

// Drive1: the mounted volumes, shown by their root paths.
class DriveSelector : public QComboBox
{
    Q_OBJECT

public:
    explicit DriveSelector(QWidget *parent = nullptr);

    QString drive() const { return currentText(); }
    // Selects a ready volume by its root; false, and nothing changes, for
    // anything else. Runs changed() when the drive really changes.
    bool setDrive(const QString &root);
    // Reads the volumes again, keeping the current drive.
    void refresh();

Q_SIGNALS:
    void changed();
};
