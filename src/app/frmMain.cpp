// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "app/frmMain.h"

#include "about/frmAbout.h"
#include "actions/FileActions.h"
#include "actions/FileCopier.h"
#include "app/AppPath.h"
#include "app/Banner.h"
#include "app/DriveSelector.h"
#include "app/FolderTree.h"
#include "app/Layout.h"
#include "app/StatusPanel.h"
#include "audit/AuditPeriod.h"
#include "audit/AuditTexts.h"
#include "filelist/FileIcons.h"
#include "filelist/FileListModel.h"
#include "filelist/FileListView.h"
#include "filelist/ReportView.h"
#include "platform/Background.h"
#include "platform/Desktop.h"
#include "platform/Dialogs.h"
#include "platform/Notifier.h"
#include "platform/Twips.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QTreeView>
#include <QWindow>

namespace {

// The client area's design size, menu bar not counted, in twips.
constexpr double kDesignClientWidth = 6615;
constexpr double kDesignClientHeight = 3960;
constexpr double kDatePanelWidth = 1100;
// The least of a stored window, each way, that is applied: an inch.
constexpr double kUsableTwips = 1440;

// The outer rectangle moved, and shrunk where it must, as little as it
// takes to lie wholly on the free area of the screen that it covers most
// (the primary screen when it covers none): whatever the settings say, the
// whole window can be seen and reached.
QRect withinScreens(QRect outer)
{
    const QScreen *best = QGuiApplication::primaryScreen();
    qint64 bestArea = 0;
    for (const QScreen *s : QGuiApplication::screens()) {
        const QRect common = s->availableGeometry() & outer;
        const qint64 area = qint64(common.width()) * common.height();
        if (area > bestArea) {
            best = s;
            bestArea = area;
        }
    }
    if (!best || best->availableGeometry().isEmpty())
        return outer;
    const QRect free = best->availableGeometry();
    outer.setSize(outer.size().boundedTo(free.size()));
    outer.moveTo(std::clamp(outer.left(), free.left(), free.right() - outer.width() + 1),
                 std::clamp(outer.top(), free.top(), free.bottom() - outer.height() + 1));
    return outer;
}

// Whether a window this large, with at least this much of it on one
// screen each way, can be used.
bool isUsable(const QRect &outer, int minimum)
{
    if (outer.width() < minimum || outer.height() < minimum)
        return false;
    const QList<QScreen *> screens = QGuiApplication::screens();
    return screens.isEmpty() || std::any_of(screens.cbegin(), screens.cend(), [&](const QScreen *s) {
               const QRect common = s->availableGeometry() & outer;
               return common.width() >= minimum && common.height() >= minimum;
           });
}

// Gives a window the outer width and height it was asked for once the
// desktop's frame around it is known, unless it was resized meanwhile (a
// side not asked for keeps its client size), and the one coordinate asked
// for (the other stays where the desktop put the window), and keeps it,
// frame and all, on the screen. Then goes away.
class OuterSizeKeeper : public QObject
{
public:
    OuterSizeKeeper(QWidget *window, std::optional<int> outerWidth, std::optional<int> outerHeight,
                    std::optional<int> left, std::optional<int> top)
        : QObject(window)
        , m_window(window)
        , m_outerWidth(outerWidth)
        , m_outerHeight(outerHeight)
        , m_left(left)
        , m_top(top)
        , m_client(window->size())
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Expose:
        case QEvent::WindowStateChange:
            break;
        default:
            return QObject::eventFilter(watched, event);
        }
        if (m_window->windowState() != Qt::WindowNoState || !m_window->isVisible())
            return false;
        if (m_window->size() != m_client) {
            deleteLater();
            return false;
        }
        const QSize extra = m_window->frameGeometry().size() - m_window->size();
        if (!extra.isNull()) {
            m_window->removeEventFilter(this);
            // With its frame the window may no longer fit where it was put.
            const QSize outer(m_outerWidth.value_or(m_client.width() + extra.width()),
                              m_outerHeight.value_or(m_client.height() + extra.height()));
            const QPoint placed = m_window->frameGeometry().topLeft();
            const QRect fitted
                = withinScreens(QRect(QPoint(m_left.value_or(placed.x()), m_top.value_or(placed.y())), outer));
            if (fitted.topLeft() != m_window->frameGeometry().topLeft())
                m_window->move(fitted.topLeft());
            m_window->resize(std::max(1, fitted.width() - extra.width()),
                             std::max(1, fitted.height() - extra.height()));
            deleteLater();
        }
        return false;
    }

private:
    QWidget *m_window;
    std::optional<int> m_outerWidth;
    std::optional<int> m_outerHeight;
    std::optional<int> m_left;
    std::optional<int> m_top;
    QSize m_client;
};

} // namespace

frmMain::frmMain(Dialogs &dialogs, QWidget *parent)
    : QMainWindow(parent)
    , m_dialogs(dialogs)
    , m_dpi(Twips::screenDpi())
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(AuditTexts::quietCaption());
    setWindowIcon(FileIcons::windowIcon());

    for (const QString &key : FileIcons::largeKeys())
        imlIcons.add(key, FileIcons::icon(key));
    for (const QString &key : FileIcons::smallKeys())
        imlSmallIcons.add(key, FileIcons::icon(key.mid(3)));

    createControls();
    createMenus();

    // Ticks from Form_Load on, at the period it sets.
    Timer1.setObjectName(QStringLiteral("Timer1"));
    connect(&Timer1, &QTimer::timeout, this, &frmMain::Timer1_Timer);
    // No listing is applied beneath an open box: a pass would rebuild the
    // list under a question and pile alert on alert. What falls due
    // meanwhile runs once the box has closed.
    m_watch = new Watch(this);
    connect(&m_dialogs, &Dialogs::boxOpened, m_watch, &Watch::hold);
    connect(&m_dialogs, &Dialogs::boxesClosed, m_watch, &Watch::release);
    connect(m_watch, &Watch::rowsReady, this, &frmMain::showRows);
    connect(m_watch, &Watch::alert, this, &frmMain::showAlert);
    connect(m_watch, &Watch::quiet, this, &frmMain::setQuiet);
    connect(m_watch, &Watch::statusChanged, this, &frmMain::setStatusText);
    connect(m_watch, &Watch::rowError, this, &frmMain::reportRowError);
    connect(m_watch, &Watch::busyChanged, this, &frmMain::showBusy);
    connect(m_watch, &Watch::arrivalEnded, this, &frmMain::arrivalEnded);
    m_notifier = new Notifier(QDBusConnection::sessionBus(), this);
    m_notifier->setPicture(FileIcons::lightOnPicture(48));
    connect(Dir1, &FolderTree::pathAsked, this, &frmMain::forgetSelection);
    connect(m_notifier, &Notifier::activated, this, &frmMain::showNewFiles);
    // A folder a later start asked for under an open box is watched once
    // the box has its answer.
    connect(&m_dialogs, &Dialogs::boxesClosed, this, [this] { watchRequested(std::exchange(m_requestedFolder, {})); });
    // The tray icon is the window's icon, its tooltip the caption.
    connect(this, &QWidget::windowIconChanged, this, [this](const QIcon &icon) {
        if (m_tray)
            m_tray->setIcon(icon);
    });
    connect(this, &QWidget::windowTitleChanged, this, [this](const QString &title) {
        if (m_tray)
            m_tray->setToolTip(title);
    });

    // The desktop's frame becomes known, or changes (a window manager may
    // drop the borders on maximize), after the size it goes round, and no
    // event tells of it: the rules read the outer size, so they are checked
    // again a moment after each change of size, place or state.
    m_frameCheck.setSingleShot(true);
    m_frameCheck.setInterval(250);
    connect(&m_frameCheck, &QTimer::timeout, this, &frmMain::checkOuterSize);

    const int menuHeight = menuBar()->sizeHint().height();
    resize(twipsToPixels(kDesignClientWidth), menuHeight + twipsToPixels(kDesignClientHeight));
}

frmMain::~frmMain() = default;

int frmMain::twipsToPixels(double twips) const
{
    return Twips::toPixels(twips, m_dpi);
}

double frmMain::pixelsToTwips(double pixels) const
{
    return Twips::fromPixels(pixels, m_dpi);
}

void frmMain::createControls()
{
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    const auto place = [this](QWidget *w, double left, double top, double width, double height) {
        w->setGeometry(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height));
    };

    // Created in the design's order; the tab order is set below.
    m_model = new FileListModel(this);
    m_model->setImageLists(&imlIcons, &imlSmallIcons);
    lvwFile = new FileListView(m_model, client);
    lvwFile->setObjectName(QStringLiteral("lvwFile"));
    place(lvwFile, 2160, 720, 3015, 2535);

    cmdView = new QPushButton(QStringLiteral("View"), client);
    cmdView->setObjectName(QStringLiteral("cmdView"));
    place(cmdView, 2160, 3240, 3015, 255);

    Drive1 = new DriveSelector(client);
    Drive1->setObjectName(QStringLiteral("Drive1"));
    place(Drive1, 240, 720, 1935, 315);

    Dir1 = new FolderTree(client);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    place(Dir1, 240, 1080, 1875, 2340);

    Image1 = new QLabel(client);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(FileIcons::windowIcon().pixmap(32, 32));
    place(Image1, 240, 120, 480, 480);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Label1 = new QLabel(QStringLiteral("Vardel Tool"), client);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont title = Label1->font();
    title.setPointSizeF(27.75);
    title.setBold(true);
    Label1->setFont(title);
    place(Label1, 755, 140, 3375, 495);
    // The bold title is taller than its design box: the box takes the
    // font's height, growing upward from its design bottom so that the text
    // keeps its place on the red underline. The face is whatever bold sans
    // the desktop has; a wide one must not lose the end of the title.
    const int titleBottom = twipsToPixels(140 + 495);
    const int titleHeight = Label1->fontMetrics().height();
    const int titleTop = std::max(0, titleBottom - titleHeight);
    Label1->setGeometry(Label1->x(), titleTop, std::max(Label1->width(), Label1->sizeHint().width()), titleHeight);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignBottom);

    // The lines lie over the title.
    m_banner = new Banner(client);
    m_banner->setObjectName(QStringLiteral("Line3"));
    m_banner->setScale(m_dpi / 1440.0);
    place(m_banner, 0, 0, 6735, 720);
    m_banner->setTopLineEnd(twipsToPixels(6735));

    StatusBar1 = statusBar();
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(true);
    m_datePanel = new StatusPanel(StatusBar1);
    m_datePanel->setObjectName(QStringLiteral("datePanel"));
    // As wide as the design's panel, or as the date needs in the desktop's font.
    m_datePanel->setMinimumWidth(twipsToPixels(kDatePanelWidth));
    m_statusPanel = new StatusPanel(StatusBar1);
    m_statusPanel->setObjectName(QStringLiteral("statusPanel"));
    // In a narrow window the status text is clipped, not laid over the date.
    m_statusPanel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    StatusBar1->addWidget(m_datePanel);
    StatusBar1->addWidget(m_statusPanel, 1);
    // Shown while a copy that takes more than a moment runs.
    m_copyProgress = new QProgressBar(StatusBar1);
    m_copyProgress->setObjectName(QStringLiteral("copyProgress"));
    m_copyProgress->setTextVisible(false);
    m_copyProgress->setFixedWidth(twipsToPixels(1500));
    m_copyProgress->setMaximumHeight(m_statusPanel->sizeHint().height());
    m_copyProgress->setAccessibleName(QStringLiteral("Copy progress"));
    StatusBar1->addPermanentWidget(m_copyProgress);
    m_copyProgress->hide();
    m_actions = new FileActions(m_dialogs, this);
    m_actions->setParent(this);
    m_copier = new FileCopier(this);
    connect(m_copier, &FileCopier::copying, this,
            [this](const QString &name) { setStatusText(FileActions::copyingText(name)); });
    connect(m_copier, &FileCopier::progress, this, &frmMain::copyProgress);
    connect(m_copier, &FileCopier::finished, this, &frmMain::copiesFinished);
    m_progressDelay.setSingleShot(true);
    connect(&m_progressDelay, &QTimer::timeout, this, [this] {
        if (m_copier->isBusy())
            m_copyProgress->show();
    });
    // The date panel follows the calendar by itself.
    const auto showDate
        = [this] { m_datePanel->setText(QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat)); };
    showDate();
    m_dateTimer.setObjectName(QStringLiteral("dateTimer"));
    m_dateTimer.setInterval(30000);
    connect(&m_dateTimer, &QTimer::timeout, this, showDate);
    m_dateTimer.start();

    // The design's tab order, the folder tree first and focused at start.
    setTabOrder(Dir1, Drive1);
    setTabOrder(Drive1, lvwFile);
    setTabOrder(lvwFile, cmdView);
    Dir1->setFocus();

    // Access keys for the controls whose captions carry none; the menus
    // keep theirs ("&File", "&Edit", "&Option", "&Help").
    const auto accessKey = [this](QWidget *target, const char *key, const QString &name, const QString &description) {
        target->setAccessibleName(name);
        target->setAccessibleDescription(description);
        auto *shortcut = new QShortcut(QKeySequence(QLatin1String(key)), this);
        connect(shortcut, &QShortcut::activated, target, [target] { target->setFocus(Qt::ShortcutFocusReason); });
        return shortcut;
    };
    accessKey(Drive1, "Alt+R", QStringLiteral("Drive"), QStringLiteral("The volume of the watched folder (Alt+R)"));
    accessKey(Dir1, "Alt+T", QStringLiteral("Folders"),
              QStringLiteral("Open a folder with Enter or a double click to watch it (Alt+T)"));
    accessKey(lvwFile, "Alt+L", QStringLiteral("Files"), QStringLiteral("The files of the watched folder (Alt+L)"));
    // Tab reaches the view that shows the rows, not the list around it.
    for (QWidget *view : {static_cast<QWidget *>(lvwFile->reportView()), static_cast<QWidget *>(lvwFile->iconView())}) {
        view->setAccessibleName(lvwFile->accessibleName());
        view->setAccessibleDescription(lvwFile->accessibleDescription());
    }
    connect(accessKey(cmdView, "Alt+V", QStringLiteral("View"), QStringLiteral("Shows the list another way (Alt+V)")),
            &QShortcut::activated, cmdView, &QPushButton::animateClick);
    m_statusPanel->setAccessibleName(QStringLiteral("Status"));
    m_datePanel->setAccessibleName(QStringLiteral("Date"));

    connect(cmdView, &QPushButton::clicked, this, &frmMain::cmdView_Click);
    connect(lvwFile, &FileListView::headerClicked, this, &frmMain::lvwFile_ColumnClick);
    connect(lvwFile, &FileListView::mousePressed, this, &frmMain::lvwFile_MouseDown);
    connect(lvwFile, &FileListView::doubleClicked, this, &frmMain::lvwFile_DblClick);
    connect(Drive1, &DriveSelector::changed, this, &frmMain::Drive1_Change);
    connect(Dir1, &FolderTree::changed, this, &frmMain::Dir1_Change);
    connect(Dir1, &FolderTree::clickedFolder, this, &frmMain::Dir1_Click);
}

void frmMain::createMenus()
{
    const auto item
        = [this](QMenu *menu, const char *name, const QString &caption, bool enabled, void (frmMain::*handler)()) {
              QAction *a = menu->addAction(caption);
              a->setObjectName(QLatin1String(name));
              a->setEnabled(enabled);
              connect(a, &QAction::triggered, this, handler);
              return a;
          };
    const auto separator
        = [](QMenu *menu, const char *name) { menu->addSeparator()->setObjectName(QLatin1String(name)); };

    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuInitList = item(mnuFile, "mnuInitList", QStringLiteral("&Init List"), true, &frmMain::mnuInitList_Click);
    mnuScanNet = item(mnuFile, "mnuScanNet", QStringLiteral("&Scan Network"), true, &frmMain::mnuScanNet_Click);
    separator(mnuFile, "mnu1");
    mnuExit = item(mnuFile, "mnuExit", QStringLiteral("E&xit"), true, &frmMain::mnuExit_Click);

    // The file commands: the list's pop-up and the Edit menu are made from
    // this one table, each with its own items, disabled until a row is
    // selected. A row without a caption is the separator.
    struct Item {
        const char *name;
        void (frmMain::*handler)();
        QAction *frmMain::*action;
    };
    struct FileCommand {
        const char *caption;
        Item popup, edit;
    };
    static constexpr FileCommand kFileCommands[] = {
        {"&Open",
         {"mPopOpen", &frmMain::mPopOpen_Click, &frmMain::mPopOpen},
         {"mnuOpen", &frmMain::mnuOpen_Click, &frmMain::mnuOpen}},
        {"&Copy",
         {"mPopCopy", &frmMain::mPopCopy_Click, &frmMain::mPopCopy},
         {"mnuCopy", &frmMain::mnuCopy_Click, &frmMain::mnuCopy}},
        {nullptr, {"mnu2", nullptr, nullptr}, {"mnu3", nullptr, nullptr}},
        {"&Delete",
         {"mPopDel", &frmMain::mPopDel_Click, &frmMain::mPopDel},
         {"mnuDelete", &frmMain::mnuDelete_Click, &frmMain::mnuDelete}},
    };
    const auto fileCommands = [&](QMenu *menu, Item FileCommand::*side) {
        for (const FileCommand &command : kFileCommands) {
            const Item &i = command.*side;
            if (command.caption)
                this->*i.action = item(menu, i.name, QString::fromLatin1(command.caption), false, i.handler);
            else
                separator(menu, i.name);
        }
    };

    // Never on the menu bar: shown only over the list.
    mPopupSys = new QMenu(QStringLiteral("&SysTray"), this);
    mPopupSys->setObjectName(QStringLiteral("mPopupSys"));
    fileCommands(mPopupSys, &FileCommand::popup);

    mnuEdit = menuBar()->addMenu(QStringLiteral("&Edit"));
    mnuEdit->setObjectName(QStringLiteral("mnuEdit"));
    fileCommands(mnuEdit, &FileCommand::edit);

    mnuOption = menuBar()->addMenu(QStringLiteral("&Option"));
    mnuOption->setObjectName(QStringLiteral("mnuOption"));
    mnuSetAuditTime
        = item(mnuOption, "mnuSetAuditTime", QStringLiteral("&Set Audit Time"), true, &frmMain::mnuSetAuditTime_Click);
    mnuTrayIcon = item(mnuOption, "mnuTrayIcon", QStringLiteral("Tray &Icon"), true, &frmMain::mnuTrayIcon_Click);
    mnuTrayIcon->setCheckable(true);
    mnuStartAtLogin
        = item(mnuOption, "mnuStartAtLogin", QStringLiteral("Start at &Login"), true, &frmMain::mnuStartAtLogin_Click);
    mnuStartAtLogin->setCheckable(true);
    // The check mark says whether the entry is there now.
    connect(mnuOption, &QMenu::aboutToShow, this, &frmMain::readStartAtLogin);

    // The tray icon's menu.
    m_trayMenu = new QMenu(this);
    m_trayMenu->setObjectName(QStringLiteral("mTraySys"));
    item(m_trayMenu, "mTrayShow", QStringLiteral("&Show"), true, &frmMain::mTrayShow_Click);
    item(m_trayMenu, "mTrayInitList", QStringLiteral("&Init List"), true, &frmMain::mnuInitList_Click);
    item(m_trayMenu, "mTrayExit", QStringLiteral("E&xit"), true, &frmMain::mnuExit_Click);

    mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuAbout = item(mnuHelp, "mnuAbout", QStringLiteral("About Me..."), true, &frmMain::mnuAbout_Click);

    // The file commands follow the selection however it changes, not only
    // on a click; the Delete key asks as Edit > Delete does.
    connect(lvwFile, &FileListView::selectionChanged, this, &frmMain::lvwFile_Click);
    // A disabled action ignores trigger(): with nothing selected nothing is asked.
    connect(lvwFile, &FileListView::deletePressed, mnuDelete, &QAction::trigger);
}

QString frmMain::Probe::statusText() const
{
    return w.m_statusPanel->text();
}

void frmMain::setStatusText(const QString &text)
{
    // Painted with the rest of the window: nothing runs long on its thread.
    m_statusPanel->setText(text);
}

void frmMain::setWindowIconFile(const QString &fileName)
{
    m_iconName = fileName;
    // The built-in copy stands in for a file that is missing or unreadable,
    // and until the files have been read.
    const bool alert = fileName == QLatin1String("Lighton.ico");
    const QIcon &fromFile = alert ? m_lightOnIcon : m_eyeIcon;
    if (!fromFile.isNull())
        setWindowIcon(fromFile);
    else
        setWindowIcon(alert ? FileIcons::lightOnIcon() : FileIcons::eyeIcon());
}

QIcon frmMain::quietIcon() const
{
    return m_eyeIcon.isNull() ? FileIcons::eyeIcon() : m_eyeIcon;
}

void frmMain::readIconFiles()
{
    // Read once, beside the window: an alert only swaps pictures in memory.
    const QStringList folders = iconFolders(AppPath, QCoreApplication::applicationDirPath());
    struct Pictures {
        QList<QImage> eye, lightOn;
    };
    Background::run(
        AppPath, this,
        [folders] {
            return Pictures {readIconFile(QStringLiteral("Eye.ico"), folders),
                             readIconFile(QStringLiteral("Lighton.ico"), folders)};
        },
        [this](const Pictures &read) {
            const auto icon = [](const QList<QImage> &pictures) {
                QIcon out;
                for (const QImage &picture : pictures)
                    out.addPixmap(QPixmap::fromImage(picture));
                return out;
            };
            m_eyeIcon = icon(read.eye);
            m_lightOnIcon = icon(read.lightOn);
            setWindowIconFile(m_iconName);
            if (m_about)
                m_about->setWindowIcon(quietIcon());
        });
}

void frmMain::Form_Load()
{
    // The folder is listed once, when start-up has settled on it.
    m_watch->hold();
    setAuditInterval(AuditPeriod::kDefaultMs);
    setStatusText(AuditTexts::sleeping());
    QApplication::setApplicationName(QStringLiteral("Vardel"));
    setWindowTitle(AuditTexts::quietCaption());
    AppPath = appPathFor(QDir::currentPath());
    setWindowIconFile(QStringLiteral("Eye.ico"));
    readIconFiles();

    // The stored places are the outer frame's, in twips; each one missing or
    // no number, and a size not above 0, keeps its design value, and a
    // coordinate not stored is the desktop's to choose.
    const auto storedPixels = [this](Setting setting, bool isSize) -> std::optional<int> {
        const std::optional<double> v = m_settings.readNumber(setting);
        if (!v || (isSize && *v <= 0))
            return std::nullopt;
        // Bounded first, so that the pixels of 1e300 twips are a number too.
        return twipsToPixels(std::clamp(*v, -1e6, 1e6));
    };
    // Under Wayland the compositor places the window: the stored place stays
    // for the next start elsewhere.
    const bool ownPlace = Desktop::placesWindows();
    const std::optional<int> top = ownPlace ? storedPixels(Setting::MainTop, false) : std::nullopt;
    const std::optional<int> left = ownPlace ? storedPixels(Setting::MainLeft, false) : std::nullopt;
    const std::optional<int> width = storedPixels(Setting::MainWidth, true);
    const std::optional<int> height = storedPixels(Setting::MainHeight, true);
    if (top || left || width || height) {
        // Before the first showing the frame is not known yet (no extra):
        // a side not stored keeps its design client size, and a stored
        // outer size is put right once the frame is known, or the window
        // would grow by its frame on every start.
        const QSize frameExtra = frameGeometry().size() - size();
        QRect outer(frameGeometry().topLeft(), size() + frameExtra);
        outer.setSize(QSize(width.value_or(outer.width()), height.value_or(outer.height())));
        outer.moveTo(left.value_or(outer.left()), top.value_or(outer.top()));
        // A window too small to use, or with too little of it on any
        // screen, is no place anyone left it: the design geometry stands.
        if (isUsable(outer, twipsToPixels(kUsableTwips))) {
            outer = withinScreens(outer);
            // A window's position is its frame's. Before the first showing
            // the desktop has not placed the window yet: one coordinate alone
            // waits for that place.
            const bool placed = !frameExtra.isNull();
            if ((top && left) || (placed && (top || left)))
                move(outer.topLeft());
            resize(std::max(1, outer.width() - frameExtra.width()), std::max(1, outer.height() - frameExtra.height()));
            if (!placed)
                new OuterSizeKeeper(this, width ? std::optional(outer.width()) : std::nullopt,
                                    height ? std::optional(outer.height()) : std::nullopt,
                                    top && left ? std::nullopt : left, top && left ? std::nullopt : top);
        }
    }

    if (auto v = m_settings.readNumber(Setting::MainWindow)) {
        const double state = *v;
        if (state == 0)
            setWindowState(Qt::WindowNoState);
        else if (state == 1 || state == 2)
            // A window closed maximized opens minimized.
            setWindowState(Qt::WindowMinimized);
    }

    // A folder named at start stands in for the stored one, with its own
    // volume as the drive. Both are checked beside the window, which comes
    // up at once; a stored folder that is refused leaves the tree on the
    // working directory.
    const bool given = !m_startFolder.isEmpty();
    if (!given)
        Drive1->setDrive(m_settings.read(Setting::Driver));
    Dir1->setPath(given ? m_startFolder : m_settings.read(Setting::Path), [this, given](bool accepted) {
        if (!accepted)
            Dir1->setPath(QDir::currentPath());
        else if (given)
            Drive1->setDrive(Dir1->root());
    });
    // The list starts in its report view.
    InitViewList();
    // The last exit's widths are given once more after the first catalogue.
    m_lastWidthsPending = true;
    // The first catalogue is taken once the tree has accepted a folder.
    ReadFile();
    connect(Dir1, &FolderTree::changed, m_watch, &Watch::release, Qt::SingleShotConnection);
    if (auto ms = AuditPeriod::fromStored(m_settings.read(Setting::AuditTimeout)))
        setAuditInterval(*ms);
    applyLastWidths();

    // The tray icon is on by default where the desktop has a tray.
    const bool tray = trayAvailable();
    mnuTrayIcon->setEnabled(tray);
    mnuTrayIcon->setChecked(tray && m_settings.read(Setting::Tray) != QLatin1String("0"));
    showTrayIcon(mnuTrayIcon->isChecked());
    readStartAtLogin();
}

void frmMain::setAuditInterval(int ms)
{
    m_auditInterval = ms;
    // A file being written that has not changed for a period and a minute is complete.
    m_watch->setSettleTime(ms + 60 * 1000);
    // A period of 0 (only ever stored, no reply gives it) stops the audit.
    if (ms == 0) {
        Timer1.stop();
    } else {
        Timer1.setInterval(ms);
        Timer1.start();
    }
}

QSize frmMain::outerSize() const
{
    // The platform window learns the frame as soon as the desktop tells of
    // it; the widget's frame geometry only with the next move.
    if (const QWindow *handle = windowHandle(); handle && isVisible())
        return size().grownBy(handle->frameMargins());
    return frameGeometry().size();
}

void frmMain::Form_Resize()
{
    const QSize frame = outerSize();
    m_laidOutFor = frame;
    const float outerHeight = float(pixelsToTwips(frame.height()));
    const MainLayout l = computeLayout(outerHeight, float(pixelsToTwips(frame.width())));
    Dir1->resize(twipsToPixels(l.dirWidth), twipsToPixels(l.dirHeight));
    Drive1->resize(twipsToPixels(l.driveWidth), Drive1->height());
    lvwFile->setGeometry(twipsToPixels(l.listLeft), lvwFile->y(), twipsToPixels(l.listWidth),
                         twipsToPixels(l.listHeight));
    // Below the height threshold the button keeps its design top; from it on
    // the button sits right under the list.
    const int viewTop
        = outerHeight < LayoutRules::kHeightThreshold ? twipsToPixels(l.viewTop) : lvwFile->y() + lvwFile->height();
    cmdView->setGeometry(lvwFile->x(), viewTop, twipsToPixels(l.viewWidth), cmdView->height());
    m_banner->resize(twipsToPixels(l.lineX1), m_banner->height());
    m_banner->setTopLineEnd(twipsToPixels(l.lineX1));
}

void frmMain::checkOuterSize()
{
    if (outerSize() != m_laidOutFor)
        Form_Resize();
}

void frmMain::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
    m_frameCheck.start();
}

void frmMain::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    checkOuterSize();
    m_frameCheck.start();
}

void frmMain::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        Form_Resize();
        m_frameCheck.start();
    }
}

bool frmMain::Form_Unload()
{
    const Dialogs::Answer answer = m_dialogs.message(this,
                                                     {QStringLiteral("Are you sure you want to exit program?"),
                                                      QStringLiteral("Exiting Warning..."), Dialogs::Buttons::YesNo,
                                                      Dialogs::Icon::Warning, Dialogs::Answer::Yes});
    if (answer != Dialogs::Answer::Yes)
        return false;
    saveSettings();
    leave();
    return true;
}

void frmMain::saveSettings()
{
    // All of it reaches the disk in one rewrite of the file.
    const SettingsStore::Batch batch(m_settings);
    // A window minimized from maximized keeps both flags; minimized wins.
    if (isMinimized()) {
        // Section "Main" keeps the last normal close's values.
    } else if (isMaximized()) {
        m_settings.write(Setting::MainWindow, QStringLiteral("2"));
    } else {
        const QRect frame = frameGeometry();
        // Under Wayland a window does not know its place: the stored one stays.
        if (Desktop::placesWindows()) {
            m_settings.writeNumber(Setting::MainTop, pixelsToTwips(frame.top()));
            m_settings.writeNumber(Setting::MainLeft, pixelsToTwips(frame.left()));
        }
        m_settings.writeNumber(Setting::MainWidth, pixelsToTwips(frame.width()));
        m_settings.writeNumber(Setting::MainHeight, pixelsToTwips(frame.height()));
        m_settings.write(Setting::MainWindow, QStringLiteral("0"));
    }
    // A folder or drive whose check at start has not answered stays as stored.
    if (!Dir1->path().isEmpty())
        m_settings.write(Setting::Path, Dir1->path());
    if (!Drive1->keptDrive().isEmpty())
        m_settings.write(Setting::Driver, Drive1->keptDrive());
    m_settings.write(Setting::AuditTimeout, QString::number(m_auditInterval));
    for (int c = 1; c <= 4; ++c)
        m_settings.writeNumber(SettingsStore::listViewColumn(c), columnWidthTwips(c));
    SaveColSize();
    // Kept only where there is a tray to choose it in.
    if (mnuTrayIcon->isEnabled())
        m_settings.write(Setting::Tray, mnuTrayIcon->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}

void frmMain::leave()
{
    m_left = true;
    Timer1.stop();
    // Leaving gives up the copies still running; none leaves a file behind.
    m_copier->abandon();
    // No pass and no alert after the window closed; a listing still running
    // is left to end by itself.
    m_watch->stop();
    m_notifier->withdraw();
    showTrayIcon(false);
}

void frmMain::closeEvent(QCloseEvent *event)
{
    // Once the session has ended the program, closing asks nothing.
    if (m_left || Form_Unload())
        event->accept();
    else
        event->ignore();
}

void frmMain::mnuExit_Click()
{
    close();
}

void frmMain::Drive1_Change()
{
    forgetSelection();
    // A volume that is not ready changes nothing and says nothing; the empty
    // folder it was mounted on is no drive.
    const QString drive = Drive1->drive();
    Drive1->whenReady(drive, [this, drive](bool ready) {
        if (ready && drive == Drive1->drive())
            Dir1->setPath(drive);
    });
}

void frmMain::Dir1_Change()
{
    m_watch->setFolder(Dir1->path());
    // The old folder's rows go at once: until the new folder's rows arrive
    // the list stands for no folder and no action has a file to act on.
    InitViewList();
    ReadFile();
}

void frmMain::Dir1_Click()
{
    SaveColSize();
}

void frmMain::mnuAbout_Click()
{
    if (!m_about) {
        // No owner: the box outlives the main window.
        m_about = new frmAbout(m_dialogs);
        m_about->setAttribute(Qt::WA_DeleteOnClose);
        m_about->setWindowIcon(quietIcon());
    }
    // A minimized box comes back as it was before.
    m_about->setWindowState(m_about->windowState() & ~Qt::WindowMinimized);
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

frmAbout *frmMain::Probe::aboutBox() const
{
    return w.m_about.data();
}
