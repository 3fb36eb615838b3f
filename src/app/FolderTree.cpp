// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "app/FolderTree.h"

#include "platform/Background.h"
#include "platform/FileNames.h"
#include "platform/Volumes.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QFont>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QScrollBar>
#include <QSet>
#include <QStyle>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Node {
    QString name;
    QString path;
    Node *parent = nullptr;
    int row = 0;
    std::vector<std::unique_ptr<Node>> children;
    // A folder is read when it is opened, and again while it is open on
    // every refresh.
    bool listed = false;
    bool listing = false;
};

using FileNames::nameLess;

QString childPath(const QString &parent, const QString &name)
{
    return FileNames::joinPath(parent, name);
}

// Runs beside the window: the window never waits for a slow or hung disk.
// Names are read as the kernel holds them, so that one that is no valid
// UTF-8 shows and names the same folder again.
QStringList readFolders(const QString &path)
{
    QStringList names;
    DIR *dir = ::opendir(FileNames::encode(path).constData());
    if (!dir)
        return names;
    while (const dirent *entry = ::readdir(dir)) {
        const char *name = entry->d_name;
        // Hidden folders are left out, "." and ".." with them.
        if (name[0] == '.')
            continue;
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat info;
            isFolder = ::fstatat(::dirfd(dir), name, &info, 0) == 0 && S_ISDIR(info.st_mode);
        }
        if (isFolder)
            names.append(FileNames::decode(name, qsizetype(std::strlen(name))));
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end(), nameLess);
    return names;
}

// A folder the tree may show, and the root of its volume; no path when it
// is refused.
struct Checked {
    QString path;
    QString root;
};

// Runs beside the window.
Checked checkFolder(const QString &path, const Volumes::Source &source)
{
    if (!path.startsWith(QLatin1Char('/')))
        return {};
    const QString clean = QDir::cleanPath(path);
    const QByteArray bytes = FileNames::encode(clean);
    struct stat info;
    if (::stat(bytes.constData(), &info) != 0 || !S_ISDIR(info.st_mode)
        || ::access(bytes.constData(), R_OK | X_OK) != 0)
        return {};
    const QString root = Volumes::rootOf(clean, Volumes::mounts(source.mountTable()));
    return {clean, root.isEmpty() ? QStringLiteral("/") : root};
}

} // namespace

// The folders under one volume root. No watching and no icon per folder: a
// folder is read when it is first opened and again on refresh(), so that
// nothing is done while nothing is due.
class FolderModel : public QAbstractItemModel
{
public:
    explicit FolderModel(QObject *parent)
        : QAbstractItemModel(parent)
    { }

    void setFolderIcon(const QIcon &icon) { m_icon = icon; }

    QString rootPath() const { return m_top.children.empty() ? QString() : m_top.children.front()->path; }

    void setRoot(const QString &root)
    {
        beginResetModel();
        ++m_generation;
        m_top.children.clear();
        auto node = std::make_unique<Node>();
        node->name = root;
        node->path = root;
        node->parent = &m_top;
        m_top.children.push_back(std::move(node));
        endResetModel();
    }

    QModelIndex indexOf(const QString &path) const { return indexOf(find(path)); }

    // The row of a folder under the root, made (not yet read) where it is
    // not known yet.
    QModelIndex indexFor(const QString &path)
    {
        if (m_top.children.empty())
            return {};
        Node *n = m_top.children.front().get();
        if (path != n->path && !path.startsWith(childPath(n->path, QString())))
            return {};
        const QStringList parts = path.mid(n->path.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
        for (const QString &name : parts) {
            auto &kids = n->children;
            const auto at = std::lower_bound(kids.begin(), kids.end(), name,
                                             [](const auto &k, const QString &v) { return nameLess(k->name, v); });
            if (at != kids.end() && (*at)->name == name) {
                n = at->get();
                continue;
            }
            const int row = int(at - kids.begin());
            beginInsertRows(indexOf(n), row, row);
            auto child = std::make_unique<Node>();
            child->name = name;
            child->path = childPath(n->path, name);
            child->parent = n;
            Node *made = child.get();
            kids.insert(kids.begin() + row, std::move(child));
            renumber(n);
            endInsertRows();
            n = made;
        }
        return indexOf(n);
    }

    void setWatched(const QString &path)
    {
        if (path == m_watched)
            return;
        const QString old = m_watched;
        m_watched = path;
        for (const QString &p : {old, path}) {
            if (Node *n = find(p)) {
                const QModelIndex i = indexOf(n);
                Q_EMIT dataChanged(i, i, {Qt::FontRole});
            }
        }
    }

    // Reads the open folders again; the closed ones are read when opened.
    void refresh(const std::function<bool(const QModelIndex &)> &isOpen)
    {
        std::function<void(Node *)> visit = [&](Node *n) {
            if (!isOpen(indexOf(n)))
                return;
            read(n);
            for (const auto &child : n->children)
                visit(child.get());
        };
        for (const auto &top : m_top.children)
            visit(top.get());
    }

    // A folder opened (again) is read again.
    void reread(const QModelIndex &index)
    {
        if (index.isValid())
            read(node(index));
    }

    QString path(const QModelIndex &index) const { return index.isValid() ? node(index)->path : QString(); }

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override
    {
        const Node *p = node(parent);
        if (column != 0 || row < 0 || row >= int(p->children.size()))
            return {};
        return createIndex(row, 0, p->children[std::size_t(row)].get());
    }
    QModelIndex parent(const QModelIndex &index) const override
    {
        if (!index.isValid())
            return {};
        return indexOf(node(index)->parent);
    }
    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.column() > 0 ? 0 : int(node(parent)->children.size());
    }
    int columnCount(const QModelIndex & = {}) const override { return 1; }
    bool hasChildren(const QModelIndex &parent = {}) const override
    {
        const Node *n = node(parent);
        return !n->children.empty() || (n != &m_top && !n->listed);
    }
    bool canFetchMore(const QModelIndex &parent) const override
    {
        const Node *n = node(parent);
        return n != &m_top && !n->listed && !n->listing;
    }
    void fetchMore(const QModelIndex &parent) override
    {
        if (canFetchMore(parent))
            read(node(parent));
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid())
            return {};
        const Node *n = node(index);
        switch (role) {
        case Qt::DisplayRole:
            return n->name;
        case Qt::ToolTipRole:
            return n->path;
        case Qt::DecorationRole:
            return m_icon;
        case Qt::FontRole:
            if (n->path == m_watched) {
                QFont bold;
                bold.setBold(true);
                return bold;
            }
            return {};
        default:
            return {};
        }
    }

private:
    Node *node(const QModelIndex &index) const
    {
        return index.isValid() ? static_cast<Node *>(index.internalPointer()) : const_cast<Node *>(&m_top);
    }
    QModelIndex indexOf(const Node *n) const
    {
        if (!n || n == &m_top)
            return {};
        return createIndex(n->row, 0, const_cast<Node *>(n));
    }
    static void renumber(Node *n)
    {
        for (std::size_t i = 0; i < n->children.size(); ++i)
            n->children[i]->row = int(i);
    }
    Node *find(const QString &path) const
    {
        if (path.isEmpty() || m_top.children.empty())
            return nullptr;
        Node *n = m_top.children.front().get();
        if (path != n->path && !path.startsWith(childPath(n->path, QString())))
            return nullptr;
        for (const QString &name : path.mid(n->path.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
            const auto at
                = std::find_if(n->children.begin(), n->children.end(), [&](const auto &k) { return k->name == name; });
            if (at == n->children.end())
                return nullptr;
            n = at->get();
        }
        return n;
    }
    bool onWatchedPath(const Node *n) const
    {
        return m_watched == n->path || m_watched.startsWith(childPath(n->path, QString()));
    }

    void read(Node *n)
    {
        if (n->listing)
            return;
        n->listing = true;
        const QString path = n->path;
        const quint64 generation = m_generation;
        Background::run(
            path, this, [path] { return readFolders(path); },
            [this, path, generation](const QStringList &names) { apply(path, names, generation); });
    }

    // Puts a reading in place, keeping the rows that stay (and so what is
    // open below them) and the way to the watched folder, even once gone.
    void apply(const QString &path, const QStringList &names, quint64 generation)
    {
        if (generation != m_generation)
            return;
        Node *n = find(path);
        if (!n)
            return;
        n->listing = false;
        n->listed = true;
        QStringList wanted = names;
        for (const auto &child : n->children) {
            if (onWatchedPath(child.get()) && !names.contains(child->name))
                wanted.insert(std::lower_bound(wanted.begin(), wanted.end(), child->name, nameLess), child->name);
        }
        const QSet<QString> keep(wanted.begin(), wanted.end());
        const QModelIndex parent = indexOf(n);
        auto &kids = n->children;
        // Rows gone, in runs from the end.
        for (int last = int(kids.size()) - 1; last >= 0;) {
            if (keep.contains(kids[std::size_t(last)]->name)) {
                --last;
                continue;
            }
            int first = last;
            while (first > 0 && !keep.contains(kids[std::size_t(first - 1)]->name))
                --first;
            beginRemoveRows(parent, first, last);
            kids.erase(kids.begin() + first, kids.begin() + last + 1);
            renumber(n);
            endRemoveRows();
            last = first - 1;
        }
        // Rows new, in runs; what is left is in the wanted order already.
        for (int i = 0; i < int(wanted.size());) {
            if (i < int(kids.size()) && kids[std::size_t(i)]->name == wanted[i]) {
                ++i;
                continue;
            }
            const QString next = i < int(kids.size()) ? kids[std::size_t(i)]->name : QString();
            int end = i;
            while (end < int(wanted.size()) && wanted[end] != next)
                ++end;
            beginInsertRows(parent, i, end - 1);
            std::vector<std::unique_ptr<Node>> made;
            for (int k = i; k < end; ++k) {
                auto child = std::make_unique<Node>();
                child->name = wanted[k];
                child->path = childPath(n->path, wanted[k]);
                child->parent = n;
                made.push_back(std::move(child));
            }
            kids.insert(kids.begin() + i, std::make_move_iterator(made.begin()), std::make_move_iterator(made.end()));
            renumber(n);
            endInsertRows();
            i = end;
        }
        if (kids.empty()) {
            // The expander goes once the folder is known to be empty.
            Q_EMIT dataChanged(parent, parent);
        }
    }

    Node m_top;
    QString m_watched;
    QIcon m_icon;
    quint64 m_generation = 0;
};

FolderTree::FolderTree(QWidget *parent)
    : QTreeView(parent)
    , m_model(new FolderModel(this))
{
    // One picture for every folder, looked up once.
    m_model->setFolderIcon(style()->standardIcon(QStyle::SP_DirIcon));
    setModel(m_model);
    header()->hide();
    // The tree is narrow and the watched folder often deep: small steps
    // leave room for the names.
    setIndentation(fontMetrics().averageCharWidth() * 3 / 2);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(this, &QTreeView::doubleClicked, this, &FolderTree::openIndex);
    connect(this, &QTreeView::clicked, this, [this] { Q_EMIT clickedFolder(); });
    connect(this, &QTreeView::expanded, m_model, &FolderModel::reread);
    // Folders are read in the background, so rows keep arriving above the
    // shown folder: it is brought back into view until the user takes the
    // tree in hand, with the keys, the mouse or the scroll bar (the wheel moves it).
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &FolderTree::followPath);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &FolderTree::followPath);
    const auto takenInHand = [this] { m_keepInView = false; };
    connect(verticalScrollBar(), &QAbstractSlider::sliderPressed, this, takenInHand);
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this, takenInHand);
}

FolderTree::~FolderTree() = default;

void FolderTree::followPath()
{
    if (!m_keepInView || m_scrollQueued)
        return;
    m_scrollQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_scrollQueued = false;
            if (!m_keepInView)
                return;
            const QModelIndex index = m_model->indexOf(m_path);
            if (!index.isValid())
                return;
            setCurrentIndex(index); // nothing happens when it is current already
            scrollTo(index);
        },
        Qt::QueuedConnection);
}

void FolderTree::setPath(const QString &path, std::function<void(bool)> answered)
{
    // Only the newest request is answered: one that is overtaken while its
    // check runs (a share that is slow to answer) changes nothing.
    const quint64 request = ++m_request;
    Q_EMIT pathAsked();
    Background::run(
        path, this, [path, source = Volumes::source()] { return checkFolder(path, source); },
        [this, request, answered = std::move(answered)](const Checked &checked) {
            if (request != m_request)
                return;
            if (!checked.path.isEmpty())
                showFolder(checked.path, checked.root);
            if (answered)
                answered(!checked.path.isEmpty());
        });
}

void FolderTree::showFolder(const QString &path, const QString &root)
{
    if (m_model->rootPath() != root)
        m_model->setRoot(root);
    m_model->setWatched(path);
    const QModelIndex index = m_model->indexFor(path);
    for (QModelIndex p = index.parent(); p.isValid(); p = p.parent())
        expand(p);
    setCurrentIndex(index);
    scrollTo(index);
    if (path == m_path)
        return;
    m_path = path;
    m_keepInView = true;
    Q_EMIT changed();
}

QString FolderTree::root() const
{
    return m_model->rootPath();
}

void FolderTree::refresh()
{
    m_model->refresh([this](const QModelIndex &index) { return isExpanded(index); });
}

QString FolderTree::folderPath(const QModelIndex &index) const
{
    return m_model->path(index);
}

void FolderTree::mousePressEvent(QMouseEvent *event)
{
    m_keepInView = false;
    QTreeView::mousePressEvent(event);
}

void FolderTree::keyPressEvent(QKeyEvent *event)
{
    m_keepInView = false;
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentIndex().isValid()) {
        openIndex(currentIndex());
        return;
    }
    QTreeView::keyPressEvent(event);
}

void FolderTree::openIndex(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    m_model->reread(index);
    setPath(m_model->path(index));
}
