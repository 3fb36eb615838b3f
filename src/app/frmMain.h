// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include "audit/Watch.h"
#include "filelist/ImageList.h"
#include "settings/SettingsStore.h"

#include <QMainWindow>
#include <QPointer>
#include <QSet>
#include <QSystemTrayIcon>
#include <QTimer>

#include <array>
#include <functional>

class Banner;
class Dialogs;
class FileActions;
class FileCopier;
class DriveSelector;
class FileListModel;
class FileListView;
class FolderTree;
class Notifier;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QStatusBar;
class StatusPanel;
class frmAbout;

// The main window: the watched folder's list, the audit and the file actions.
// Handlers carry the names of the events they answer; tests reach them, and
// the window's parts, through its Probe.
class frmMain : public QMainWindow
{
    Q_OBJECT

public:
    explicit frmMain(Dialogs &dialogs, QWidget *parent = nullptr);
    ~frmMain() override;

    // Start-up: restores the window and the watch and takes the first catalogue.
    void Form_Load();
    // A folder that start-up watches instead of the stored one; empty for the stored one.
    void setStartFolder(const QString &folder) { m_startFolder = folder; }
    // Writes what leaving keeps: place, size and state, folder and drive,
    // period, columns and tray. Exit > Yes and the session's end share it.
    void saveSettings();
    // The session ends (a signal, logout): the settings are written and the
    // window closes without asking.
    void endSession();
    // A later start asked for the window: it comes to the front and watches
    // the folder, if one is given, as a folder named at start is watched.
    void startRequested(const QString &folder, const QString &token);

    struct Probe;

private:
    void Form_Resize();
    // Asks whether to exit; on Yes writes the settings. Returns false to keep the window open.
    bool Form_Unload();

    // Option menu and tray.
    void mnuTrayIcon_Click();
    void mnuStartAtLogin_Click();
    void mTrayShow_Click();
    void trayIcon_Activated(QSystemTrayIcon::ActivationReason reason);

    // Catalogue and audit.
    void ReadFile();
    void CompareFile();
    void RefreshFileLists();
    void Timer1_Timer();
    void mnuSetAuditTime_Click();
    void mnuInitList_Click();
    void mnuScanNet_Click();
    void mnuExit_Click();

    // The list.
    void InitViewList();
    void SaveColSize();
    // The widths the list had at the last exit ("List View").
    void applyLastWidths();
    void cmdView_Click();
    void lvwFile_ColumnClick(int column);
    void lvwFile_Click();
    void lvwFile_MouseDown(Qt::MouseButton button, const QPoint &globalPos);

    // File actions.
    void lvwFile_DblClick();
    void mPopOpen_Click();
    void mnuOpen_Click();
    void mPopCopy_Click();
    void mnuCopy_Click();
    void mPopDel_Click();
    void mnuDelete_Click();
    void ShowShellError(int code, const QString &path);

    // Folder navigation.
    void Drive1_Change();
    void Dir1_Change();
    void Dir1_Click();

    void mnuAbout_Click();

    // The audit period in milliseconds, as the stored setting or the
    // dialog's reply gives it; 0 stops the audit.
    void setAuditInterval(int ms);
    void setStatusText(const QString &text);
    double columnWidthTwips(int column) const;
    void setColumnWidthTwips(int column, double twips);

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void createControls();
    void createMenus();
    void setWindowIconFile(const QString &fileName);
    void readIconFiles();
    // The eye: from "Eye.ico" once read, else the built-in copy.
    QIcon quietIcon() const;
    // The window's size with the desktop's frame, as last told.
    QSize outerSize() const;
    void checkOuterSize();
    // What the watch tells the window.
    void showRows(Watch::Kind kind, qsizetype newCount);
    void showAlert(qsizetype newCount);
    void setQuiet();
    // The notification's action: the window, or the box open in it, comes up.
    void showNewFiles(const QString &token);
    // The window (shown, restored if minimized), or the box open in it,
    // comes to the front, with the desktop's token when there is one.
    void bringToFront(const QString &token);
    // Stops the timer, the copies, the watch and the notification: the
    // window is about to close.
    void leave();
    static bool trayAvailable();
    void showTrayIcon(bool shown);
    // Watches a folder a later start asked for, once no box is open.
    void watchRequested(const QString &folder);
    // Reads beside the window whether the autostart entry is there.
    void readStartAtLogin();
    void showBusy(bool busy);
    // The width a column's header text needs in the desktop's font.
    double headerTextTwips(int column) const;
    int twipsToPixels(double twips) const;
    double pixelsToTwips(double pixels) const;
    // The selected rows' names; those still being written also in arriving.
    QStringList selectedNames(QStringList *arriving = nullptr) const;
    void noticeArrivals(qsizetype newCount);
    void arrivalEnded(const QString &name);
    bool isRowSelected(int row) const;
    // Another folder is chosen: the old rows' selection goes at once, so that
    // no command acts on them while the new folder is checked.
    void forgetSelection();
    // The one place where copies hold the watch.
    void holdForCopies(bool copying);
    void copyProgress(qint64 done, qint64 total);
    void copiesFinished();
    // The one box that tells of files whose attributes could not be read.
    void reportRowError(int error);

    Dialogs &m_dialogs;
    SettingsStore m_settings;
    double m_dpi = 96;

    // Controls, named as in the window's design.
    DriveSelector *Drive1 = nullptr;
    FolderTree *Dir1 = nullptr;
    FileListView *lvwFile = nullptr;
    FileListModel *m_model = nullptr;
    QPushButton *cmdView = nullptr;
    Banner *m_banner = nullptr;
    QLabel *Image1 = nullptr;
    QLabel *Label1 = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    StatusPanel *m_datePanel = nullptr;
    StatusPanel *m_statusPanel = nullptr;
    QProgressBar *m_copyProgress = nullptr;
    FileActions *m_actions = nullptr;
    FileCopier *m_copier = nullptr;
    QTimer m_progressDelay;
    QTimer Timer1;
    QTimer m_dateTimer {this};
    Watch *m_watch = nullptr;
    Notifier *m_notifier = nullptr;
    // What the notification shown tells, and which of its files were still
    // being written.
    struct Notice {
        QString summary;
        qsizetype newCount = 0;
        QSet<QString> arriving;
    };
    Notice m_notice;
    ImageList imlIcons;
    ImageList imlSmallIcons;

    QMenu *mnuFile = nullptr;
    QAction *mnuInitList = nullptr;
    QAction *mnuScanNet = nullptr;
    QAction *mnuExit = nullptr;
    QMenu *mPopupSys = nullptr;
    QAction *mPopOpen = nullptr;
    QAction *mPopCopy = nullptr;
    QAction *mPopDel = nullptr;
    QMenu *mnuEdit = nullptr;
    QAction *mnuOpen = nullptr;
    QAction *mnuCopy = nullptr;
    QAction *mnuDelete = nullptr;
    QMenu *mnuOption = nullptr;
    QAction *mnuSetAuditTime = nullptr;
    QAction *mnuTrayIcon = nullptr;
    QAction *mnuStartAtLogin = nullptr;
    QMenu *m_trayMenu = nullptr;
    QSystemTrayIcon *m_tray = nullptr;
    QMenu *mnuHelp = nullptr;
    QAction *mnuAbout = nullptr;

    // State the window keeps for the life of the program.
    QString AppPath;
    std::array<float, 5> ColumnWidths {1100, 420, 320, 320, 520};
    // Twips last given to each column, so that a width the user has not
    // dragged is stored as it was read, not as its rounded pixels.
    std::array<double, 5> m_columnTwips {1100, 420, 320, 320, 520};
    // The first catalogue's columns still take the last exit's widths.
    bool m_lastWidthsPending = false;
    int m_auditInterval = 60000;
    QString m_iconName;
    // The two icon files as read; null until read, and for a file not found.
    QIcon m_eyeIcon;
    QIcon m_lightOnIcon;
    // The outer size the layout was last worked out for.
    QSize m_laidOutFor;
    QTimer m_frameCheck;
    QPointer<frmAbout> m_about;
    QString m_startFolder;
    // A folder a later start asked for while a box was open.
    QString m_requestedFolder;
    // Only the newest look at the autostart entry is shown: a look asked at
    // start may come back after a change the user made.
    quint64 m_autostartAsked = 0;
    // The settings were written and the watch stopped: closing asks nothing.
    bool m_left = false;
};

// The window's handlers and parts as tests and the benchmark reach them; the
// program itself goes through the window's public side alone.
struct frmMain::Probe {
    frmMain &w;

    bool Form_Unload() const { return w.Form_Unload(); }
    void ReadFile() const { w.ReadFile(); }
    void CompareFile() const { w.CompareFile(); }
    void RefreshFileLists() const { w.RefreshFileLists(); }
    void Timer1_Timer() const { w.Timer1_Timer(); }
    void mnuSetAuditTime_Click() const { w.mnuSetAuditTime_Click(); }
    void mnuInitList_Click() const { w.mnuInitList_Click(); }
    void mnuScanNet_Click() const { w.mnuScanNet_Click(); }
    void SaveColSize() const { w.SaveColSize(); }
    void lvwFile_ColumnClick(int column) const { w.lvwFile_ColumnClick(column); }
    void lvwFile_Click() const { w.lvwFile_Click(); }
    void mnuOpen_Click() const { w.mnuOpen_Click(); }
    void mnuCopy_Click() const { w.mnuCopy_Click(); }
    void mnuDelete_Click() const { w.mnuDelete_Click(); }
    void Dir1_Click() const { w.Dir1_Click(); }
    void mnuAbout_Click() const { w.mnuAbout_Click(); }
    void setAuditInterval(int ms) const { w.setAuditInterval(ms); }
    void forgetLayout() const { w.m_laidOutFor = {}; }
    // The period the ticks come at; 0 when they do not come.
    int auditInterval() const { return w.Timer1.isActive() ? w.Timer1.interval() : 0; }
    void setColumnWidthTwips(int column, double twips) const { w.setColumnWidthTwips(column, twips); }
    double dpi() const { return w.m_dpi; }

    // Whether the desktop shows tray icons; tests say so themselves.
    static void setTrayAvailability(std::function<bool()> available);
    QSystemTrayIcon *trayIcon() const { return w.m_tray; }
    // Copies run beside the window from the dialog's confirmation until the
    // last file is written.
    bool isCopying() const;
    FileCopier *copier() const { return w.m_copier; }
    QString statusText() const;

    // The watched folder, its catalogue and its audit.
    Watch &watch() const { return *w.m_watch; }
    FileListModel *listModel() const { return w.m_model; }
    FileListView *listView() const { return w.lvwFile; }
    DriveSelector *driveSelector() const { return w.Drive1; }
    FolderTree *folderTree() const { return w.Dir1; }
    QMenu *popupMenu() const { return w.mPopupSys; }
    frmAbout *aboutBox() const;
    // Which icon the window shows: "Eye.ico" or "Lighton.ico".
    QString windowIconName() const { return w.m_iconName; }
};
