// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "app/StatusPanel.h"

#include <QAccessible>
#include <QAccessibleWidget>

#include <mutex>

namespace {

class StatusPanelAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit StatusPanelAccessible(QWidget *panel)
        : QAccessibleWidget(panel, QAccessible::StaticText)
    { }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Value)
            return shown();
        return QAccessibleWidget::text(kind);
    }

    // Read only, without a caret or a selection.
    QString text(int startOffset, int endOffset) const override
    {
        return shown().mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(shown().size()); }
    void selection(int, int *startOffset, int *endOffset) const override { *startOffset = *endOffset = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override { }
    void removeSelection(int) override { }
    void setSelection(int, int, int) override { }
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override { }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint &) const override { return -1; }
    void scrollToSubstring(int, int) override { }
    QString attributes(int, int *startOffset, int *endOffset) const override
    {
        *startOffset = 0;
        *endOffset = characterCount();
        return {};
    }

private:
    QString shown() const { return static_cast<const QLabel *>(widget())->text(); }
};

QAccessibleInterface *statusPanelFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("StatusPanel") && object && object->isWidgetType())
        return new StatusPanelAccessible(static_cast<QWidget *>(object));
    return nullptr;
}

} // namespace

StatusPanel::StatusPanel(QWidget *parent)
    : QLabel(parent)
{
    static std::once_flag installed;
    std::call_once(installed, [] { QAccessible::installFactory(statusPanelFactory); });
}

void StatusPanel::setText(const QString &text)
{
    const QString old = QLabel::text();
    if (old == text)
        return;
    QLabel::setText(text);
    QAccessibleTextUpdateEvent update(this, 0, old, text);
    QAccessible::updateAccessibility(&update);
}
