#pragma once

#include <QTreeView>

class QFileSystemModel;

// Dir1: the folders of one volume, hidden ones left out. A single click
// selects a folder (clickedFolder); opening one (double click or Enter)
// makes it the tree's path (changed).
class FolderTree : public QTreeView
{
    Q_OBJECT

public:
    explicit FolderTree(QWidget *parent = nullptr);

    QString path() const { return m_path; }
    // Shows an existing, readable folder; false, and nothing changes, for
    // anything else. Runs changed() when the path really changes.
    bool setPath(const QString &path);
    // Whether the shown folder is still there to be read.
    bool refresh();

Q_SIGNALS:
    void changed();
    void clickedFolder();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    void openIndex(const QModelIndex &index);

    QFileSystemModel *m_model;
    QString m_path;
    bool m_keepInView = true;
    bool m_scrollQueued = false;
};
