#include "TestSupport.h"

#include "ScriptedDialogs.h"
#include "app/frmMain.h"
#include "filelist/FileListModel.h"
#include "filelist/FileListView.h"
#include "filelist/RowText.h"
#include "platform/Twips.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QHeaderView>
#include <QHelpEvent>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>

#include <unistd.h>

namespace {

// A file of the given length (sparse where it is long) and, when given, mtime.
bool makeFile(const QString &path, qint64 size, const QDateTime &mtime = {})
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || !f.resize(size))
        return false;
    return !mtime.isValid() || f.setFileTime(mtime, QFileDevice::FileModificationTime);
}

QStringList column(const FileListModel *model, int col)
{
    QStringList texts;
    for (int r = 0; r < model->rowCount(); ++r)
        texts << model->text(r, col);
    return texts;
}

QStringList selectedNames(const FileListView *view)
{
    QStringList names;
    for (const QModelIndex &i : view->currentView()->selectionModel()->selectedRows())
        names << view->model()->text(i.row(), FileListModel::NameColumn);
    names.sort();
    return names;
}

void selectRow(FileListView *view, int row)
{
    view->selectionModel()->select(view->model()->index(row, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

QSettings stored()
{
    return QSettings(TestSupport::settingsFile(), QSettings::IniFormat);
}

// A main window watching a temporary folder of its own.
struct Watched {
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    frmMain win {dialogs};

    QString path(const QString &name) const { return dir.filePath(name); }
    FileListModel *model() const { return win.listModel(); }
    FileListView *view() const { return win.listView(); }
    QWidget *viewport() const { return view()->reportView()->viewport(); }

    // Small files of these names, then the window loaded and, if asked, shown.
    bool start(const QStringList &names = {}, bool visible = true)
    {
        for (const QString &name : names)
            if (!makeFile(path(name), 10))
                return false;
        stored().setValue(QStringLiteral("Setting/Path"), dir.path());
        win.Form_Load();
        TestSupport::settle(win.watch());
        win.move(20, 20);
        win.setVisible(visible);
        return !visible || QTest::qWaitForWindowExposed(&win);
    }
    // How many of the open/copy/delete items, in the menu bar and pop-up, are enabled.
    int itemsEnabled() const
    {
        int enabled = 0;
        for (const char *name : {"mnuOpen", "mnuCopy", "mnuDelete", "mPopOpen", "mPopCopy", "mPopDel"}) {
            const auto *a = win.findChild<QAction *>(QLatin1String(name));
            enabled += a && a->isEnabled() ? 1 : 0;
        }
        return enabled;
    }
    QPoint rowPoint(int row) const { return view()->reportView()->visualRect(model()->index(row, 0)).center(); }
    QPoint emptyPoint() const { return {10, viewport()->height() - 5}; }
    void clickHeader(int section) const
    {
        QHeaderView *h = view()->header();
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, {h->sectionViewportPosition(section) + 5, 5});
    }
};

} // namespace

class TestFileList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QFile::remove(TestSupport::settingsFile()); }

    void rowShowsFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<qint64>("kB");
        QTest::addColumn<QString>("status");

        QTest::newRow("999 bytes") << "b.log" << qint64(999) << qint64(0) << "New";
        QTest::newRow("1000 bytes") << "c.exe" << qint64(1000) << qint64(1) << "New";
        QTest::newRow("1999 bytes") << "d.zip" << qint64(1999) << qint64(1) << "";
        QTest::newRow("1234567 bytes") << "README" << qint64(1234567) << qint64(1234) << "";
        QTest::newRow("3 GB, sparse") << "big.avi" << qint64(3'000'000'000) << qint64(3'000'000) << "New";
    }
    void rowShowsFile()
    {
        QFETCH(QString, name);
        QFETCH(qint64, bytes);
        QFETCH(qint64, kB);
        QFETCH(QString, status);

        Watched w;
        const QDate day(2023, 3, 14);
        if (!makeFile(w.path(name), bytes, QDateTime(day, QTime(12, 34, 56))))
            QSKIP("the file system refuses a file of this length");
        w.win.AddListItem(name, w.dir.path(), status);

        QCOMPARE(column(w.model(), FileListModel::NameColumn), QStringList {name});
        QCOMPARE(w.model()->text(0, FileListModel::StatusColumn), status);
        QCOMPARE(w.model()->text(0, FileListModel::SizeColumn), QString::number(kB));
        const QString modified = w.model()->text(0, FileListModel::ModifiedColumn);
        QVERIFY2(modified.startsWith(QLocale::system().toString(day, QLocale::ShortFormat) + QLatin1Char(' ')),
                 qPrintable(modified));
        QVERIFY(!w.model()->data(w.model()->index(0, 0), Qt::DecorationRole).value<QIcon>().isNull());
        QVERIFY(w.dialogs.asked.isEmpty());
    }

    void timeText_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QTime>("time");

        // Their long time formats put the zone after a comma or in brackets.
        for (const char *name : {"C", "en_US", "ca_ES", "zh_TW", "be_BY", "sq_AL"})
            QTest::newRow(name) << QString::fromLatin1(name) << QTime(12, 34, 56);
        QTest::newRow("midnight") << "C" << QTime(0, 0);
        QTest::newRow("one second past midnight") << "C" << QTime(0, 0, 1);
    }
    void timeText()
    {
        QFETCH(QString, locale);
        QFETCH(QTime, time);

        const QLocale loc(locale);
        const QDateTime when(QDate(2023, 3, 14), time, Qt::LocalTime);
        const QString text = RowText::TimeFormatter(loc).text(when.toSecsSinceEpoch());
        const QString date = loc.toString(when.date(), QLocale::ShortFormat);
        if (time == QTime(0, 0))
            QCOMPARE(text, date);
        else
            QVERIFY2(text.startsWith(date + QLatin1Char(' ')), qPrintable(text));
        // A time of day, with its minutes and seconds, and no time zone.
        const QString shown = text.mid(date.size() + 1);
        QVERIFY2(time == QTime(0, 0)
                     || (shown.contains(time.toString(QStringLiteral("mm")))
                         && shown.contains(time.toString(QStringLiteral("ss")))),
                 qPrintable(text));
        QVERIFY2(!shown.contains(QRegularExpression(QStringLiteral("[(\\[]|,$|^\\s|\\s$")))
                     && (shown.isEmpty() || !shown.contains(when.timeZoneAbbreviation())),
                 qPrintable(text));
    }

    void awkwardNames()
    {
        Watched w;
        QVERIFY(makeFile(w.path(QStringLiteral("twin.doc")), 1));
        // A link to itself exists but its attributes cannot be read, for any user.
        QCOMPARE(::symlink("f.txt", QFile::encodeName(w.path(QStringLiteral("f.txt"))).constData()), 0);
        w.win.AddListItem(QStringLiteral("gone.txt"), w.dir.path(), QStringLiteral("New"));
        QVERIFY(w.dialogs.asked.isEmpty());
        w.win.AddListItem(QStringLiteral("twin.doc"), w.dir.path());
        // The folder may come with a slash at its end.
        w.win.AddListItem(QStringLiteral("twin.doc"), w.dir.path() + QLatin1Char('/'), QStringLiteral("New"));
        w.win.AddListItem(QStringLiteral("f.txt"), w.dir.path(), QStringLiteral("New"));

        // A vanished file gets no row, a name added twice two; the unreadable
        // one stays, with what could not be read left empty, after one box.
        QCOMPARE(column(w.model(), FileListModel::NameColumn), (QStringList {"twin.doc", "twin.doc", "f.txt"}));
        QCOMPARE(column(w.model(), FileListModel::StatusColumn), (QStringList {"", "New", "New"}));
        QCOMPARE(w.model()->text(2, FileListModel::SizeColumn), QStringLiteral("0"));
        QCOMPARE(w.model()->text(2, FileListModel::TypeColumn), QStringLiteral("Text Document"));
        QCOMPARE(w.model()->text(2, FileListModel::ModifiedColumn), QString());
        QCOMPARE(w.dialogs.messages().size(), 1);
        const Dialogs::Box box = w.dialogs.messages().first().box;
        QVERIFY2(QRegularExpression(QStringLiteral("^Error #[1-9][0-9]*: \\S")).match(box.text).hasMatch(),
                 qPrintable(box.text));
        QCOMPARE(box.title, QStringLiteral("Vardel"));
        QVERIFY(box.buttons == Dialogs::Buttons::Ok && box.icon == Dialogs::Icon::NoIcon);
    }

    void viewModes()
    {
        Watched w;
        const QString longName = QStringLiteral("d, a name far longer than the list is wide.txt");
        QVERIFY(w.start({"a.txt", "b-yearly.doc", "c.exe", longName}));
        FileListView *view = w.view();
        const int longWidth = view->fontMetrics().horizontalAdvance(QStringLiteral("b-yearly.doc"));
        selectRow(view, 0);
        selectRow(view, 2);

        auto *button = w.win.findChild<QPushButton *>(QStringLiteral("cmdView"));
        QVERIFY(button);
        const QList<QPair<int, int>> steps {{FileListView::List, 13},
                                            {FileListView::LargeIcons, 32},
                                            {FileListView::SmallIcons, 13},
                                            {FileListView::Report, 13}};
        for (const auto &[mode, icon] : steps) {
            button->click();
            QCOMPARE(view->viewMode(), mode);
            QAbstractItemView *shown = view->currentView();
            QVERIFY(shown->isVisible());
            QCOMPARE(shown->iconSize(), QSize(icon, icon));
            QCOMPARE(selectedNames(view), (QStringList {"a.txt", "c.exe"}));
            // A name longer than the others is not cut to their width; one
            // longer than the view gets the view's width and, cut, shows in
            // full as a tooltip.
            const QRect cell = shown->visualRect(w.model()->index(3, 0));
            if (mode == FileListView::List || mode == FileListView::SmallIcons) {
                QVERIFY(shown->visualRect(w.model()->index(1, 0)).width() > longWidth);
                QVERIFY(cell.width() > 150 && cell.width() <= shown->viewport()->width());
            }
            if (mode != FileListView::Report) {
                QHelpEvent tip(QEvent::ToolTip, cell.center(), shown->viewport()->mapToGlobal(cell.center()));
                QApplication::sendEvent(shown->viewport(), &tip);
                QTRY_COMPARE(QToolTip::text(), longName);
                QToolTip::hideText();
            }
            QCOMPARE(button->text(), QStringLiteral("View"));
        }
        for (int bad : {7, -1}) {
            view->setViewMode(bad);
            QCOMPARE(view->viewMode(), int(FileListView::Report));
        }

        // A click in the list view selects there what the report then shows.
        view->setViewMode(FileListView::List);
        QListView *list = view->iconView();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(w.model()->index(1, 0)).center());
        view->setViewMode(FileListView::Report);
        QCOMPARE(selectedNames(view), QStringList {"b-yearly.doc"});
    }

    void sorting()
    {
        Watched w;
        // name -> kB: the size texts sort as text, not as numbers.
        const QList<QPair<QString, int>> files {{"b.txt", 10}, {"A.txt", 9},    {"c.txt", 100}, {"B.txt", 2},
                                                {"a.txt", 9},  {"Zeta.txt", 1}, {"d.txt", 50}};
        for (const auto &[name, kb] : files)
            QVERIFY(makeFile(w.path(name), qint64(kb) * 1000));
        QVERIFY(w.start());
        FileListModel *model = w.model();
        const auto sizes = [&] { return column(model, FileListModel::SizeColumn); };
        const auto names = [&] { return column(model, FileListModel::NameColumn); };
        const QStringList bySize {"1", "10", "100", "2", "50", "9", "9"};

        // Rebuilds keep the order; rows added later land in their place.
        w.clickHeader(FileListModel::SizeColumn);
        QCOMPARE(sizes(), bySize);
        w.win.ReadFile();
        TestSupport::settle(w.win.watch());
        QCOMPARE(sizes(), bySize);
        QVERIFY(makeFile(w.path(QStringLiteral("e.txt")), 3000));
        w.win.CompareFile();
        TestSupport::settle(w.win.watch());
        QCOMPARE(sizes(), (QStringList {"1", "10", "100", "2", "3", "50", "9", "9"}));
        QCOMPARE(model->text(4, FileListModel::StatusColumn), QStringLiteral("New"));

        // By name: letter case aside, ties by the exact text; a second click
        // keeps the order. The selection stays with its file.
        selectRow(w.view(), int(names().indexOf(QStringLiteral("c.txt"))));
        const QStringList byName {"A.txt", "a.txt", "B.txt", "b.txt", "c.txt", "d.txt", "e.txt", "Zeta.txt"};
        w.clickHeader(FileListModel::NameColumn);
        QCOMPARE(names(), byName);
        QCOMPARE(selectedNames(w.view()), QStringList {"c.txt"});
        w.clickHeader(FileListModel::NameColumn);
        QCOMPARE(names(), byName);

        QVERIFY(makeFile(w.path(QStringLiteral("aa.txt")), 1));
        w.win.AddListItem(QStringLiteral("aa.txt"), w.dir.path());
        QCOMPARE(names().mid(0, 3), (QStringList {"A.txt", "a.txt", "aa.txt"}));
        QVERIFY(w.view()->header()->sortIndicatorSection() == FileListModel::NameColumn
                && w.view()->header()->sortIndicatorOrder() == Qt::AscendingOrder);
    }

    void menuItemsFollowClicks()
    {
        Watched w;
        QVERIFY(w.start({"a.txt", "b.txt", "c.txt"}));
        QCOMPARE(w.itemsEnabled(), 0);

        QTest::mouseClick(w.viewport(), Qt::LeftButton, {}, w.rowPoint(1));
        QTRY_COMPARE(w.itemsEnabled(), 6);
        // A rebuild keeps the selection of files still there, and the items with it.
        w.win.CompareFile();
        QVERIFY(TestSupport::settle(w.win.watch()));
        QVERIFY(w.view()->selectionModel()->isRowSelected(1, {}));
        QCOMPARE(w.itemsEnabled(), 6);

        QTest::mouseClick(w.viewport(), Qt::LeftButton, {}, w.emptyPoint());
        QTRY_COMPARE(w.itemsEnabled(), 0);

        QTest::mouseClick(w.viewport(), Qt::LeftButton, {}, w.rowPoint(2));
        QTRY_COMPARE(w.itemsEnabled(), 6);
        // Ctrl-clicking the one selected row leaves none selected.
        QTest::mouseClick(w.viewport(), Qt::LeftButton, Qt::ControlModifier, w.rowPoint(2));
        QTRY_COMPARE(w.itemsEnabled(), 0);
        QVERIFY(!w.view()->selectionModel()->hasSelection());
        w.win.ReadFile();
        TestSupport::settle(w.win.watch());
        QCOMPARE(w.itemsEnabled(), 0);
    }

    void rightButtonShowsPopup_data()
    {
        QTest::addColumn<bool>("overRow");
        QTest::newRow("over a row") << true;
        QTest::newRow("over empty space") << false;
    }
    void rightButtonShowsPopup()
    {
        QFETCH(bool, overRow);

        Watched w;
        QVERIFY(w.start({"a.txt"}));
        const QPoint at = overRow ? w.rowPoint(0) : w.emptyPoint();
        QPointer<QWidget> popup;
        QPoint shownAt;
        bool rowSelected = false;
        QTest::mousePress(w.viewport(), Qt::RightButton, {}, at);
        QTest::mouseRelease(w.viewport(), Qt::RightButton, {}, at);
        // The menu waits in its own loop; look at it from there and close it.
        QTimer::singleShot(0, &w.win, [&] {
            popup = QApplication::activePopupWidget();
            rowSelected = w.view()->selectionModel()->isRowSelected(0, {});
            if (popup) {
                shownAt = popup->pos();
                popup->close();
            }
        });
        QCoreApplication::processEvents();
        // A right click on a row selects it before the menu can act on it.
        QCOMPARE(rowSelected, overRow);
        QCOMPARE(popup.data(), static_cast<QWidget *>(w.win.popupMenu()));
        QCOMPARE(shownAt, w.viewport()->mapToGlobal(at));
    }

    // Stored widths are used as stored, however wide, and an undragged one is
    // saved back unchanged; unset or unusable ones give the column's default.
    void storedColumns_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("width");
        QTest::newRow("unset") << QString() << QString();
        for (const char *text : {"wide", "-40", "nan", "inf"})
            QTest::newRow(text) << QString::fromLatin1(text) << QString();
        QTest::newRow("wider than the screen") << "30000"
                                               << "30000";
        QTest::newRow("not whole pixels") << "1001"
                                          << "1001";
    }
    void storedColumns()
    {
        QFETCH(QString, stored);
        QFETCH(QString, width);

        for (int c = 1; c <= 5 && !stored.isNull(); ++c)
            ::stored().setValue(QStringLiteral("FileList/ColumnSize%1").arg(c), stored);
        Watched w;
        QVERIFY(w.start({"a.txt"}, false));
        const QStringList defaults {"1100", "420", "320", "320", "520"};
        const QStringList headers {"Name", "Status", "Size", "Type", "Modified"};
        const FileListModel *model = w.model();
        QCOMPARE(model->columnCount(), 5);
        w.win.SaveColSize();
        for (int c = 0; c < 5; ++c) {
            const QString expected = width.isEmpty() ? defaults[c] : width;
            QCOMPARE(model->headerData(c, Qt::Horizontal).toString(), headers[c]);
            QCOMPARE(w.view()->header()->sectionSize(c), Twips::toPixels(expected.toDouble(), w.win.dpi()));
            QCOMPARE(::stored().value(QStringLiteral("FileList/ColumnSize%1").arg(c + 1)).toString(), expected);
            // The header and the cells read the alignment as a number.
            const bool right = c == FileListModel::SizeColumn;
            QCOMPARE(bool(model->headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).toInt() & Qt::AlignRight), right);
            QCOMPARE(bool(model->data(model->index(0, c), Qt::TextAlignmentRole).toInt() & Qt::AlignRight), right);
        }
    }

    void widthsSurviveRebuildAndRestart()
    {
        Watched w;
        QVERIFY(w.start({"a.txt"}, false));
        QHeaderView *header = w.view()->header();
        // The user drags two borders.
        header->resizeSection(0, 200);
        header->resizeSection(2, 77);
        w.win.SaveColSize();
        QCOMPARE(stored().value(QStringLiteral("FileList/ColumnSize1")).toDouble(),
                 Twips::fromPixels(200, w.win.dpi()));

        // A drag that no save follows is lost on the next rebuild.
        header->resizeSection(0, 120);
        w.win.InitViewList();
        QCOMPARE(header->sectionSize(0), 200);
        QCOMPARE(header->sectionSize(1), Twips::toPixels(420, w.win.dpi()));
        w.win.ReadFile();
        TestSupport::settle(w.win.watch());
        QCOMPARE(header->sectionSize(0), 200);
        QCOMPARE(header->sectionSize(2), 77);

        ScriptedDialogs dialogs;
        frmMain next(dialogs);
        next.Form_Load();
        TestSupport::settle(next.watch());
        QCOMPARE(next.listView()->header()->sectionSize(0), 200);
        QCOMPARE(next.listView()->header()->sectionSize(2), 77);
    }

    void hundredThousandRows()
    {
        Watched w;
        QVERIFY(w.start({}, false));
        FileListModel *model = w.model();
        std::vector<FileRow> rows;
        for (int i = 0; i < 100'000; ++i)
            rows.push_back(FileRow::make(QStringLiteral("f%1.txt").arg(i), {}, qint64(i % 977) * 1000, 0));
        // Rows set while sorted arrive in order.
        w.win.lvwFile_ColumnClick(FileListModel::SizeColumn);
        model->setRows(rows);
        const QStringList sizes = column(model, FileListModel::SizeColumn);
        QCOMPARE(sizes.size(), 100'000);
        QVERIFY(std::is_sorted(sizes.begin(), sizes.end(), [](const QString &a, const QString &b) {
            return a.compare(b, Qt::CaseInsensitive) < 0;
        }));

        // Rows past any 16-bit count still count for the menu items.
        selectRow(w.view(), 99'999);
        w.win.lvwFile_Click();
        QCOMPARE(w.itemsEnabled(), 6);
    }
};

QTEST_MAIN(TestFileList)
#include "tst_filelist.moc"
