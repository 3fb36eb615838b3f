#include "app/FolderTree.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFutureWatcher>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QPromise>
#include <QSet>
#include <QStorageInfo>
#include <QStyle>

#include <algorithm>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace {

struct Node {
    QString name;
    QString path;
    Node *parent = nullptr;
    int row = 0;
    std::vector<std::unique_ptr<Node>> children;
    // A folder is read when first opened; one that was closed when the
    // others were read again is stale and read again when it is opened.
    bool listed = false;
    bool stale = false;
    bool listing = false;
};

// The order of the file listing: letter case aside, ties by the exact name.
bool nameLess(const QString &a, const QString &b)
{
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c < 0 || (c == 0 && a < b);
}

QString childPath(const QString &parent, const QString &name)
{
    return parent.endsWith(QLatin1Char('/')) ? parent + name : parent + QLatin1Char('/') + name;
}

// Runs on a worker: the window never waits for a slow or hung disk.
QStringList readFolders(const QString &path)
{
    QStringList names = QDir(path).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::NoSort);
    std::sort(names.begin(), names.end(), nameLess);
    return names;
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
            if (isOpen(indexOf(n)))
                read(n);
            else if (n->listed)
                n->stale = true;
            for (const auto &child : n->children)
                visit(child.get());
        };
        for (const auto &top : m_top.children)
            visit(top.get());
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
        return n != &m_top && (!n->listed || n->stale) && !n->listing;
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
        auto promise = std::make_shared<QPromise<QStringList>>();
        auto *watcher = new QFutureWatcher<QStringList>(this);
        QObject::connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, path, generation] {
            watcher->deleteLater();
            if (watcher->future().resultCount() > 0)
                apply(path, watcher->future().result(), generation);
        });
        watcher->setFuture(promise->future());
        // Detached: leaving the program never waits on a folder stuck on a
        // share that stopped answering.
        std::thread([promise, path] {
            promise->start();
            promise->addResult(readFolders(path));
            promise->finish();
        }).detach();
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
        n->stale = false;
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
    connect(this, &QTreeView::expanded, m_model, &FolderModel::fetchMore);
    // Folders are read in the background, so rows keep arriving above the
    // shown folder: it is brought back into view until the user takes the
    // tree in hand.
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &FolderTree::followPath);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &FolderTree::followPath);
    m_path = QDir::cleanPath(QDir::currentPath());
    setPath(m_path);
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
            if (currentIndex() != index)
                setCurrentIndex(index);
            scrollTo(index);
        },
        Qt::QueuedConnection);
}

bool FolderTree::setPath(const QString &path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isAbsolute() || !info.isDir() || !info.isReadable() || !info.isExecutable())
        return false;
    const QString clean = QDir::cleanPath(info.absoluteFilePath());
    QString root = QStorageInfo(clean).rootPath();
    if (root.isEmpty() || !clean.startsWith(root))
        root = QStringLiteral("/");
    if (m_model->rootPath() != root)
        m_model->setRoot(root);
    m_model->setWatched(clean);
    const QModelIndex index = m_model->indexFor(clean);
    for (QModelIndex p = index.parent(); p.isValid(); p = p.parent())
        expand(p);
    setCurrentIndex(index);
    scrollTo(index);
    if (clean == m_path)
        return true;
    m_path = clean;
    m_keepInView = true;
    Q_EMIT changed();
    return true;
}

bool FolderTree::refresh()
{
    m_model->refresh([this](const QModelIndex &index) { return isExpanded(index); });
    const QFileInfo info(m_path);
    return info.isDir() && info.isReadable();
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

void FolderTree::wheelEvent(QWheelEvent *event)
{
    m_keepInView = false;
    QTreeView::wheelEvent(event);
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
    if (index.isValid())
        setPath(m_model->path(index));
}
