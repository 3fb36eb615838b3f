// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

// The main window as a member of the desktop session: later starts, the
// session's end, the tray icon and the autostart entry.

#include "app/DriveSelector.h"
#include "app/FolderTree.h"
#include "app/frmMain.h"
#include "platform/Autostart.h"
#include "platform/Background.h"
#include "platform/Desktop.h"
#include "platform/Dialogs.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QMenu>

namespace {

std::function<bool()> &trayAvailability()
{
    static std::function<bool()> available = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    return available;
}

} // namespace

void frmMain::Probe::setTrayAvailability(std::function<bool()> available)
{
    trayAvailability() = std::move(available);
}

bool frmMain::trayAvailable()
{
    return trayAvailability()();
}

void frmMain::endSession()
{
    if (!m_left) {
        saveSettings();
        leave();
    }
    close();
}

void frmMain::startRequested(const QString &folder, const QString &token)
{
    if (m_left)
        return;
    bringToFront(token);
    watchRequested(folder);
}

void frmMain::watchRequested(const QString &folder)
{
    if (m_left || folder.isEmpty())
        return;
    // Not beneath an open question: the folder changes once it is answered.
    if (m_dialogs.isBoxOpen()) {
        m_requestedFolder = folder;
        return;
    }
    // As a folder named at start: checked beside the window, with its own
    // volume as the drive; one that cannot be watched changes nothing.
    Dir1->setPath(folder, [this](bool accepted) {
        if (accepted)
            Drive1->setDrive(Dir1->root());
    });
}

void frmMain::bringToFront(const QString &token)
{
    // An open box waits for its answer and comes up alone: a window manager
    // asked to restore its minimized window brings the box instead, and Qt
    // would then take the window for restored when it is not.
    QWidget *front = m_dialogs.isBoxOpen() ? QApplication::activeModalWidget() : nullptr;
    if (!front) {
        front = this;
        setWindowState(windowState() & ~Qt::WindowMinimized);
        // Hidden by the tray icon.
        show();
    }
    front->raise();
    if (token.isEmpty())
        front->activateWindow();
    else
        Desktop::activate(front->windowHandle(), token);
}

void frmMain::showTrayIcon(bool shown)
{
    if (!shown) {
        delete std::exchange(m_tray, nullptr);
        return;
    }
    if (m_tray)
        return;
    m_tray = new QSystemTrayIcon(windowIcon(), this);
    m_tray->setObjectName(QStringLiteral("trayIcon"));
    m_tray->setToolTip(windowTitle());
    m_tray->setContextMenu(m_trayMenu);
    connect(m_tray, &QSystemTrayIcon::activated, this, &frmMain::trayIcon_Activated);
    m_tray->show();
}

void frmMain::trayIcon_Activated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason != QSystemTrayIcon::Trigger)
        return;
    if (isVisible() && !isMinimized())
        hide();
    else
        bringToFront({});
}

void frmMain::mTrayShow_Click()
{
    bringToFront({});
}

void frmMain::mnuTrayIcon_Click()
{
    // Without the icon a hidden window could not be had back.
    if (!mnuTrayIcon->isChecked())
        bringToFront({});
    showTrayIcon(mnuTrayIcon->isChecked());
}

void frmMain::readStartAtLogin()
{
    // A change on its way tells the outcome itself; a look asked meanwhile
    // would overtake it.
    if (!mnuStartAtLogin->isEnabled())
        return;
    const QString path = Autostart::filePath();
    Background::run(
        QFileInfo(path).path(), this, [path] { return Autostart::exists(path); },
        [this, asked = ++m_autostartAsked](bool on) {
            if (asked == m_autostartAsked)
                mnuStartAtLogin->setChecked(on);
        });
}

void frmMain::mnuStartAtLogin_Click()
{
    const bool on = mnuStartAtLogin->isChecked();
    // One change at a time; the check mark then says what is on the disk,
    // whatever an earlier look says.
    mnuStartAtLogin->setEnabled(false);
    ++m_autostartAsked;
    const QString path = Autostart::filePath();
    struct Done {
        bool on;
        QString error;
    };
    Background::run(
        QFileInfo(path).path(), this,
        [path, on] {
            const QString error = Autostart::set(path, on);
            return Done {Autostart::exists(path), error};
        },
        [this](const Done &done) {
            mnuStartAtLogin->setEnabled(true);
            mnuStartAtLogin->setChecked(done.on);
            if (!done.error.isEmpty())
                m_dialogs.message(this,
                                  {QStringLiteral("Vardel cannot change its start at login: ") + done.error,
                                   QStringLiteral("Start at Login"), Dialogs::Buttons::Ok, Dialogs::Icon::Warning,
                                   Dialogs::Answer::Ok});
        });
}
