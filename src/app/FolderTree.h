// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include <QTreeView>

#include <functional>

class FolderModel;

// Dir1: the folders of one volume, hidden ones left out, under the volume's
// root as the one top row. A single click selects a folder (clickedFolder);
// opening one (double click or Enter) makes it the tree's path (changed).
// The watched folder stays marked whatever is selected, even once it is
// gone. Nothing touches the disk on the window's thread: folders are read
// beside it when opened and, while open, on refresh(), and a path is
// checked beside it before it is shown; nothing watches the disk in between.
class FolderTree : public QTreeView
{
    Q_OBJECT

public:
    explicit FolderTree(QWidget *parent = nullptr);
    ~FolderTree() override;

    // The folder last accepted; empty until one is.
    QString path() const { return m_path; }
    // The root of the volume shown.
    QString root() const;
    // Shows an existing, readable and searchable folder once that is found,
    // then runs changed() if the path really changed and answered(true);
    // anything else changes nothing and answers false. A newer request
    // overtakes this one: it is never answered.
    void setPath(const QString &path, std::function<void(bool)> answered = {});
    // Reads the folders shown open again.
    void refresh();
    // The folder a row stands for.
    QString folderPath(const QModelIndex &index) const;

Q_SIGNALS:
    void changed();
    void clickedFolder();
    // setPath() was asked for another folder; changed() may follow.
    void pathAsked();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void openIndex(const QModelIndex &index);
    void showFolder(const QString &path, const QString &root);
    void followPath();

    FolderModel *m_model;
    QString m_path;
    bool m_keepInView = true;
    bool m_scrollQueued = false;
    quint64 m_request = 0;
};
