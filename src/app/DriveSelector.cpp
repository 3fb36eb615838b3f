// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "app/DriveSelector.h"

#include "platform/Background.h"
#include "platform/Volumes.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QDir>
#include <QSignalBlocker>

#include <mutex>

namespace {

const QString kMountTableLane = QStringLiteral("/proc/self/mountinfo");

// Qt names a combo box after its current text on Linux (the drive, "/"),
// leaving the name to a label that this one does not have: here the name
// is its own and the drive shown is its value. The list of drives is its
// one child, as with Qt's own.
class DriveSelectorAccessible : public QAccessibleWidget
{
public:
    explicit DriveSelectorAccessible(QWidget *selector)
        : QAccessibleWidget(selector, QAccessible::ComboBox)
    { }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Value)
            return combo()->currentText();
        return QAccessibleWidget::text(kind);
    }
    int childCount() const override { return 1; }
    QAccessibleInterface *child(int index) const override
    {
        return index == 0 ? QAccessible::queryAccessibleInterface(combo()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child && child->object() == combo()->view() ? 0 : -1;
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = combo()->view()->isVisible();
        return s;
    }
    QStringList actionNames() const override
    {
        return QStringList {showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString &action) override
    {
        if (action == showMenuAction() || action == pressAction()) {
            if (combo()->view()->isVisible())
                combo()->hidePopup();
            else
                combo()->showPopup();
            return;
        }
        QAccessibleWidget::doAction(action);
    }

private:
    QComboBox *combo() const { return static_cast<QComboBox *>(widget()); }
};

QAccessibleInterface *driveSelectorFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("DriveSelector") && object && object->isWidgetType())
        return new DriveSelectorAccessible(static_cast<QWidget *>(object));
    return nullptr;
}

struct Table {
    QStringList roots;
    QString home;
};

} // namespace

DriveSelector::DriveSelector(QWidget *parent)
    : QComboBox(parent)
{
    static std::once_flag named;
    std::call_once(named, [] { QAccessible::installFactory(driveSelectorFactory); });
    // Only the user's choice counts: the lists rebuilt by finished work
    // change the index with signals blocked.
    connect(this, &QComboBox::currentIndexChanged, this, [this] {
        m_asked.clear();
        Q_EMIT changed();
    });
    refresh();
}

void DriveSelector::setDrive(const QString &root)
{
    m_asked = root;
    whenReady(root, [this, root](bool ready) {
        if (m_asked != root)
            return;
        m_asked.clear();
        if (!ready || root == currentText())
            return;
        const QSignalBlocker blocker(this);
        int index = findText(root);
        if (index < 0) {
            addItem(root);
            index = count() - 1;
        }
        setCurrentIndex(index);
    });
}

void DriveSelector::whenReady(const QString &root, std::function<void(bool)> answer)
{
    auto waiting = m_checking.find(root);
    if (waiting != m_checking.end()) {
        if (answer)
            waiting->append(std::move(answer));
        return;
    }
    m_checking.insert(root, answer ? QList {std::move(answer)} : QList<std::function<void(bool)>> {});
    // The empty folder a volume was mounted on is no drive. A volume the list
    // does not offer (a stored one, or the one of a folder named at start) is
    // still shown while it is the one chosen.
    Background::run(
        root, this,
        [root, source = Volumes::source()] {
            return Volumes::isMounted(root, Volumes::mounts(source.mountTable())) && source.isReady(root);
        },
        [this, root](bool ready) {
            m_ready.insert(root, ready);
            const QList<std::function<void(bool)>> answers = m_checking.take(root);
            showReady();
            for (const auto &told : answers)
                told(ready);
        });
}

void DriveSelector::refresh()
{
    if (m_reading)
        return;
    m_reading = true;
    Background::run(
        kMountTableLane, this,
        [source = Volumes::source()] {
            const QList<Volumes::Mount> mounts = Volumes::mounts(source.mountTable());
            return Table {Volumes::driveRoots(mounts), Volumes::rootOf(QDir::currentPath(), mounts)};
        },
        [this](const Table &table) {
            m_reading = false;
            m_roots = table.roots;
            m_home = table.home;
            for (auto it = m_ready.begin(); it != m_ready.end();)
                it = m_roots.contains(it.key()) || it.key() == m_home ? std::next(it) : m_ready.erase(it);
            // A volume whose last check has not answered keeps what it told before.
            for (const QString &root : m_roots)
                whenReady(root, {});
            if (!m_home.isEmpty() && !m_roots.contains(m_home))
                whenReady(m_home, {});
        });
}

void DriveSelector::showReady()
{
    QStringList ready;
    for (const QString &root : m_roots) {
        if (m_ready.value(root))
            ready.append(root);
    }
    // The chosen drive stays shown even while its volume is away; until one
    // is chosen it is the volume of the working directory.
    QString current = currentText();
    if (current.isEmpty() && m_ready.value(m_home))
        current = m_home;
    if (!current.isEmpty() && !ready.contains(current))
        ready.append(current);
    QStringList shown;
    for (int i = 0; i < count(); ++i)
        shown.append(itemText(i));
    if (ready == shown && current == currentText())
        return;
    const QSignalBlocker blocker(this);
    if (ready != shown) {
        clear();
        addItems(ready);
    }
    setCurrentIndex(findText(current));
}
