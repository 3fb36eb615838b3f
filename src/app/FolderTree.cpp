#include "app/FolderTree.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QStorageInfo>

FolderTree::FolderTree(QWidget *parent)
    : QTreeView(parent)
    , m_model(new QFileSystemModel(this))
{
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    m_model->setReadOnly(true);
    setModel(m_model);
    for (int c = 1; c < m_model->columnCount(); ++c)
        hideColumn(c);
    header()->hide();
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(this, &QTreeView::doubleClicked, this, &FolderTree::openIndex);
    connect(this, &QTreeView::clicked, this, [this] { Q_EMIT clickedFolder(); });
    // The model reads folders in the background and sorts them later, so
    // rows keep arriving above the shown folder: it is brought back into
    // view until the user takes the tree in hand.
    const auto follow = [this] {
        if (!m_keepInView || m_scrollQueued)
            return;
        m_scrollQueued = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_scrollQueued = false;
                const QModelIndex index = m_model->index(m_path);
                if (!m_keepInView || !index.isValid())
                    return;
                if (currentIndex() != index)
                    setCurrentIndex(index);
                scrollTo(index);
            },
            Qt::QueuedConnection);
    };
    connect(m_model, &QFileSystemModel::directoryLoaded, this, follow);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, follow);
    connect(m_model, &QAbstractItemModel::layoutChanged, this, follow);
    m_path = QDir::currentPath();
    setRootIndex(m_model->setRootPath(QStorageInfo(m_path).rootPath()));
    setCurrentIndex(m_model->index(m_path));
}

bool FolderTree::setPath(const QString &path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isAbsolute() || !info.isDir() || !info.isReadable() || !info.isExecutable())
        return false;
    const QString clean = QDir::cleanPath(info.absoluteFilePath());
    const QString root = QStorageInfo(clean).rootPath();
    if (!root.isEmpty() && m_model->rootPath() != root)
        setRootIndex(m_model->setRootPath(root));
    const QModelIndex index = m_model->index(clean);
    if (index.isValid()) {
        setCurrentIndex(index);
        scrollTo(index);
    }
    if (clean == m_path)
        return true;
    m_path = clean;
    m_keepInView = true;
    Q_EMIT changed();
    return true;
}

bool FolderTree::refresh()
{
    const QFileInfo info(m_path);
    return info.isDir() && info.isReadable();
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
        setPath(m_model->filePath(index));
}
