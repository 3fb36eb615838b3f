#pragma once

#include <QTreeView>

class FolderModel;

// Dir1: the folders of one volume, hidden ones left out, under the volume's
// root as the one top row. A single click selects a folder (clickedFolder);
// opening one (double click or Enter) makes it the tree's path (changed).
// The watched folder stays marked whatever is selected, even once it is
// gone. Folders are read off the window's thread, when first opened and on
// refresh(); nothing watches the disk in between.
class FolderTree : public QTreeView
{
    Q_OBJECT

public:
    explicit FolderTree(QWidget *parent = nullptr);
    ~FolderTree() override;

    QString path() const { return m_path; }
    // Shows an existing, readable folder; false, and nothing changes, for
    // anything else. Runs changed() when the path really changes.
    bool setPath(const QString &path);
    // Reads the folders shown open again; whether the shown folder is still
    // there to be read.
    bool refresh();
    // The folder a row stands for.
    QString folderPath(const QModelIndex &index) const;

Q_SIGNALS:
    void changed();
    void clickedFolder();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    void openIndex(const QModelIndex &index);
    void followPath();

    FolderModel *m_model;
    QString m_path;
    bool m_keepInView = true;
    bool m_scrollQueued = false;
};
