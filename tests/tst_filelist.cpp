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
#include <QFile>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <unistd.h>

namespace {

// A file of the given length (sparse where it is long) and, when given, the
// given modification time.
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

// A main window watching a temporary folder of its own.
struct Watched {
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    frmMain win {dialogs};

    QString path(const QString &name) const { return dir.filePath(name); }
    FileListModel *model() const { return win.listModel(); }
    FileListView *view() const { return win.listView(); }
    QWidget *viewport() const { return view()->reportView()->viewport(); }

    void load()
    {
        QSettings(TestSupport::settingsFile(), QSettings::IniFormat)
            .setValue(QStringLiteral("Setting/Path"), dir.path());
        win.Form_Load();
    }
    bool show()
    {
        win.move(20, 20);
        win.show();
        return QTest::qWaitForWindowExposed(&win);
    }
    QList<QAction *> sixItems() const
    {
        QList<QAction *> items;
        for (const char *name : {"mnuOpen", "mnuCopy", "mnuDelete", "mPopOpen", "mPopCopy", "mPopDel"})
            items << win.findChild<QAction *>(QLatin1String(name));
        return items;
    }
    // Each of the six items enabled (1), disabled (0) or mixed (-1).
    int itemsEnabled() const
    {
        int enabled = 0;
        for (const QAction *a : sixItems())
            enabled += a && a->isEnabled() ? 1 : 0;
        return enabled == 6 ? 1 : enabled == 0 ? 0 : -1;
    }
    QPoint rowPoint(int row) const
    {
        return view()->reportView()->visualRect(model()->index(row, FileListModel::NameColumn)).center();
    }
    QPoint emptyPoint() const { return {10, viewport()->height() - 5}; }
    void clickHeader(int section) const
    {
        QHeaderView *header = view()->header();
        const QPoint at(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }
};

} // namespace

class TestFileList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void rowShowsFile_data();
    void rowShowsFile();
    void modifiedText_data();
    void modifiedText();
    void timeWithoutZone_data();
    void timeWithoutZone();
    void vanishedFileGetsNoRow();
    void unreadableAttributes();
    void sameNameTwice();
    void viewModes();
    void sorting();
    void menuItemsFollowClicks();
    void rightButtonShowsPopup_data();
    void rightButtonShowsPopup();
    void defaultColumns();
    void widthsSurviveRebuildAndRestart();
    void garbageWidth_data();
    void garbageWidth();
    void hundredThousandRows();
};

void TestFileList::init()
{
    QFile::remove(TestSupport::settingsFile());
}

void TestFileList::rowShowsFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("slash");
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("type");

    QTest::newRow("empty file") << "a.txt" << qint64(0) << "" << false << "0"
                                << "Text Document";
    QTest::newRow("999 bytes, folder with slash") << "b.log" << qint64(999) << "New" << true << "0"
                                                  << "LOG File";
    QTest::newRow("1000 bytes") << "c.exe" << qint64(1000) << "New" << false << "1"
                                << "Application";
    QTest::newRow("1999 bytes") << "d.zip" << qint64(1999) << "" << true << "1"
                                << "WinZip File";
    QTest::newRow("1234567 bytes") << "README" << qint64(1234567) << "" << false << "1234"
                                   << "Unknown File";
    QTest::newRow("3 GB, sparse") << "big.avi" << qint64(3'000'000'000) << "New" << false << "3000000"
                                  << "Video Clip";
}

void TestFileList::rowShowsFile()
{
    QFETCH(QString, name);
    QFETCH(qint64, bytes);
    QFETCH(QString, status);
    QFETCH(bool, slash);
    QFETCH(QString, size);
    QFETCH(QString, type);

    Watched w;
    if (!makeFile(w.path(name), bytes))
        QSKIP("the file system refuses a file of this length");
    w.win.AddListItem(name, w.dir.path() + (slash ? QStringLiteral("/") : QString()), status);

    QCOMPARE(w.model()->rowCount(), 1);
    QCOMPARE(column(w.model(), FileListModel::NameColumn), QStringList {name});
    QCOMPARE(w.model()->text(0, FileListModel::StatusColumn), status);
    QCOMPARE(w.model()->text(0, FileListModel::SizeColumn), size);
    QCOMPARE(w.model()->text(0, FileListModel::TypeColumn), type);
    QVERIFY(!w.model()->text(0, FileListModel::ModifiedColumn).isEmpty());
    const QVariant icon = w.model()->data(w.model()->index(0, FileListModel::NameColumn), Qt::DecorationRole);
    QVERIFY(!icon.value<QIcon>().isNull());
    QVERIFY(w.dialogs.asked.isEmpty());
}

void TestFileList::modifiedText_data()
{
    QTest::addColumn<QTime>("time");

    QTest::newRow("midnight") << QTime(0, 0, 0);
    QTest::newRow("one second past midnight") << QTime(0, 0, 1);
    QTest::newRow("afternoon") << QTime(12, 34, 56);
}

void TestFileList::modifiedText()
{
    QFETCH(QTime, time);

    Watched w;
    const QDate day(2023, 3, 14);
    const QDateTime when(day, time, Qt::LocalTime);
    QVERIFY(makeFile(w.path(QStringLiteral("f.txt")), 10, when));
    w.win.AddListItem(QStringLiteral("f.txt"), w.dir.path());

    const QString text = w.model()->text(0, FileListModel::ModifiedColumn);
    const QString date = QLocale::system().toString(day, QLocale::ShortFormat);
    if (time == QTime(0, 0)) {
        QCOMPARE(text, date);
        return;
    }
    QVERIFY2(text.startsWith(date + QLatin1Char(' ')), qPrintable(text));
    const QString shown = text.mid(date.size() + 1);
    QVERIFY2(shown.contains(time.toString(QStringLiteral("mm"))) && shown.contains(time.toString(QStringLiteral("ss"))),
             qPrintable(text));
    // A time of day, not a time zone.
    QVERIFY2(!shown.contains(when.timeZoneAbbreviation()), qPrintable(text));
}

void TestFileList::timeWithoutZone_data()
{
    QTest::addColumn<QString>("locale");

    // Their long time formats put the zone after a comma or in brackets.
    for (const char *name : {"C", "en_US", "ca_ES", "zh_TW", "be_BY", "sq_AL"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestFileList::timeWithoutZone()
{
    QFETCH(QString, locale);

    const QLocale loc(locale);
    const QDateTime when(QDate(2023, 3, 14), QTime(12, 34, 56), Qt::LocalTime);
    const QString text = RowText::TimeFormatter(loc).text(when.toSecsSinceEpoch());
    const QString date = loc.toString(when.date(), QLocale::ShortFormat);
    QVERIFY2(text.startsWith(date + QLatin1Char(' ')), qPrintable(text));
    const QString time = text.mid(date.size() + 1);
    QVERIFY2(time.contains(QStringLiteral("34")) && time.contains(QStringLiteral("56")), qPrintable(text));
    QVERIFY2(!time.contains(QLatin1Char('(')) && !time.contains(QLatin1Char('[')), qPrintable(text));
    QVERIFY2(time == time.trimmed() && !time.endsWith(QLatin1Char(',')), qPrintable(text));
    QVERIFY2(!time.contains(when.timeZoneAbbreviation()), qPrintable(text));
}

void TestFileList::vanishedFileGetsNoRow()
{
    Watched w;
    w.win.AddListItem(QStringLiteral("gone.txt"), w.dir.path(), QStringLiteral("New"));
    QCOMPARE(w.model()->rowCount(), 0);
    QVERIFY(w.dialogs.asked.isEmpty());
}

void TestFileList::unreadableAttributes()
{
    // A link to itself exists but its attributes cannot be read, for any user.
    Watched w;
    const QString name = QStringLiteral("f.txt");
    QCOMPARE(::symlink("f.txt", QFile::encodeName(w.path(name)).constData()), 0);
    w.win.AddListItem(name, w.dir.path(), QStringLiteral("New"));

    // The row stays, with what could not be read left empty.
    QCOMPARE(w.model()->rowCount(), 1);
    QCOMPARE(w.model()->text(0, FileListModel::StatusColumn), QStringLiteral("New"));
    QCOMPARE(w.model()->text(0, FileListModel::SizeColumn), QStringLiteral("0"));
    QCOMPARE(w.model()->text(0, FileListModel::TypeColumn), QStringLiteral("Text Document"));
    QCOMPARE(w.model()->text(0, FileListModel::ModifiedColumn), QString());
    const auto boxes = w.dialogs.messages();
    QCOMPARE(boxes.size(), 1);
    const Dialogs::Box &box = boxes.first().box;
    QVERIFY2(QRegularExpression(QStringLiteral("^Error #[1-9][0-9]*: \\S")).match(box.text).hasMatch(),
             qPrintable(box.text));
    QCOMPARE(box.title, QStringLiteral("Vardel"));
    QCOMPARE(box.buttons, Dialogs::Buttons::Ok);
    QCOMPARE(box.icon, Dialogs::Icon::NoIcon);
}

void TestFileList::sameNameTwice()
{
    Watched w;
    QVERIFY(makeFile(w.path(QStringLiteral("twin.doc")), 1));
    w.win.AddListItem(QStringLiteral("twin.doc"), w.dir.path());
    w.win.AddListItem(QStringLiteral("twin.doc"), w.dir.path(), QStringLiteral("New"));
    QCOMPARE(column(w.model(), FileListModel::NameColumn), (QStringList {"twin.doc", "twin.doc"}));
    QCOMPARE(column(w.model(), FileListModel::StatusColumn), (QStringList {"", "New"}));
}

void TestFileList::viewModes()
{
    Watched w;
    for (const char *name : {"a.txt", "b-yearly.doc", "c.exe"})
        QVERIFY(makeFile(w.path(QLatin1String(name)), 10));
    w.load();
    QVERIFY(w.show());
    FileListView *view = w.view();
    const int longName = view->fontMetrics().horizontalAdvance(QStringLiteral("b-yearly.doc"));
    QCOMPARE(view->viewMode(), int(FileListView::Report));
    view->selectionModel()->select(w.model()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    view->selectionModel()->select(w.model()->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);

    auto *button = w.win.findChild<QPushButton *>(QStringLiteral("cmdView"));
    QVERIFY(button);
    struct Step {
        int mode;
        int icon;
    };
    for (const Step step : {Step {FileListView::List, 13}, Step {FileListView::LargeIcons, 32},
                            Step {FileListView::SmallIcons, 13}, Step {FileListView::Report, 13}}) {
        button->click();
        QCOMPARE(view->viewMode(), step.mode);
        QAbstractItemView *shown = view->currentView();
        QCOMPARE(view->currentWidget(), shown);
        QVERIFY(shown->isVisible());
        QCOMPARE(shown->model()->rowCount(), 3);
        QCOMPARE(shown->iconSize(), QSize(step.icon, step.icon));
        QCOMPARE(selectedNames(view), (QStringList {"a.txt", "c.exe"}));
        // A name longer than the others is not cut to their width.
        if (step.mode == FileListView::List || step.mode == FileListView::SmallIcons)
            QVERIFY(shown->visualRect(w.model()->index(1, 0)).width() > longName);
        QCOMPARE(button->text(), QStringLiteral("View"));
    }

    view->setViewMode(7);
    QCOMPARE(view->viewMode(), int(FileListView::Report));
    view->setViewMode(-1);
    QCOMPARE(view->viewMode(), int(FileListView::Report));

    // A click in the list view selects there what the report then shows.
    view->setViewMode(FileListView::List);
    QListView *list = view->iconView();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(w.model()->index(1, 0)).center());
    view->setViewMode(FileListView::Report);
    QCOMPARE(selectedNames(view), QStringList {"b-yearly.doc"});
}

void TestFileList::sorting()
{
    Watched w;
    // name -> kB: the size texts sort as text, not as numbers.
    const QList<QPair<QString, int>> files {{"b.txt", 10}, {"A.txt", 9}, {"c.txt", 100},
                                            {"B.txt", 2},  {"a.txt", 9}, {"Zeta.txt", 1}};
    for (const auto &[name, kb] : files)
        QVERIFY(makeFile(w.path(name), qint64(kb) * 1000));
    w.load();
    QVERIFY(w.show());
    FileListModel *model = w.model();
    const QStringList bySize {"1", "10", "100", "2", "9", "9"};

    w.clickHeader(FileListModel::SizeColumn);
    QCOMPARE(column(model, FileListModel::SizeColumn), bySize);
    QCOMPARE(model->sortColumn(), int(FileListModel::SizeColumn));

    // Rebuilds keep the order; rows added later land in their place.
    QVERIFY(makeFile(w.path(QStringLiteral("d.txt")), 50'000));
    w.win.CompareFile();
    QCOMPARE(column(model, FileListModel::SizeColumn), (QStringList {"1", "10", "100", "2", "50", "9", "9"}));
    QCOMPARE(model->text(4, FileListModel::StatusColumn), QStringLiteral("New"));
    w.win.ReadFile();
    QCOMPARE(column(model, FileListModel::SizeColumn), (QStringList {"1", "10", "100", "2", "50", "9", "9"}));
    QVERIFY(makeFile(w.path(QStringLiteral("e.txt")), 3000));
    w.win.AddListItem(QStringLiteral("e.txt"), w.dir.path());
    QCOMPARE(column(model, FileListModel::SizeColumn), (QStringList {"1", "10", "100", "2", "3", "50", "9", "9"}));

    // By name: letter case aside, ties by the exact text. The selection
    // stays with its file.
    const int c = int(column(model, FileListModel::NameColumn).indexOf(QStringLiteral("c.txt")));
    w.view()->selectionModel()->select(model->index(c, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    w.clickHeader(FileListModel::NameColumn);
    const QStringList byName {"A.txt", "a.txt", "B.txt", "b.txt", "c.txt", "d.txt", "e.txt", "Zeta.txt"};
    QCOMPARE(column(model, FileListModel::NameColumn), byName);
    QCOMPARE(selectedNames(w.view()), QStringList {"c.txt"});
    w.clickHeader(FileListModel::NameColumn);
    QCOMPARE(column(model, FileListModel::NameColumn), byName);

    QVERIFY(makeFile(w.path(QStringLiteral("aa.txt")), 1));
    w.win.CompareFile();
    QCOMPARE(column(model, FileListModel::NameColumn).mid(0, 3), (QStringList {"A.txt", "a.txt", "aa.txt"}));
    QCOMPARE(w.view()->header()->sortIndicatorSection(), int(FileListModel::NameColumn));
    QCOMPARE(w.view()->header()->sortIndicatorOrder(), Qt::AscendingOrder);
}

void TestFileList::menuItemsFollowClicks()
{
    Watched w;
    for (const char *name : {"a.txt", "b.txt", "c.txt"})
        QVERIFY(makeFile(w.path(QLatin1String(name)), 10));
    w.load();
    QVERIFY(w.show());
    QCOMPARE(w.itemsEnabled(), 0);

    QTest::mouseClick(w.viewport(), Qt::LeftButton, {}, w.rowPoint(1));
    QTRY_COMPARE(w.itemsEnabled(), 1);
    // A rebuild drops the selection but not the items' state.
    w.win.CompareFile();
    QVERIFY(!w.view()->selectionModel()->hasSelection());
    QCOMPARE(w.itemsEnabled(), 1);

    QTest::mouseClick(w.viewport(), Qt::LeftButton, {}, w.emptyPoint());
    QTRY_COMPARE(w.itemsEnabled(), 0);

    QTest::mouseClick(w.viewport(), Qt::LeftButton, {}, w.rowPoint(2));
    QTRY_COMPARE(w.itemsEnabled(), 1);
    // Ctrl-clicking the one selected row leaves none selected.
    QTest::mouseClick(w.viewport(), Qt::LeftButton, Qt::ControlModifier, w.rowPoint(2));
    QTRY_COMPARE(w.itemsEnabled(), 0);
    QVERIFY(!w.view()->selectionModel()->hasSelection());
    w.win.ReadFile();
    QCOMPARE(w.itemsEnabled(), 0);
}

void TestFileList::rightButtonShowsPopup_data()
{
    QTest::addColumn<bool>("overRow");

    QTest::newRow("over a row") << true;
    QTest::newRow("over empty space") << false;
}

void TestFileList::rightButtonShowsPopup()
{
    QFETCH(bool, overRow);

    Watched w;
    QVERIFY(makeFile(w.path(QStringLiteral("a.txt")), 10));
    w.load();
    QVERIFY(w.show());
    const QPoint at = overRow ? w.rowPoint(0) : w.emptyPoint();

    QPointer<QWidget> popup;
    QPoint shownAt;
    bool rowSelected = false;
    QTest::mousePress(w.viewport(), Qt::RightButton, {}, at);
    QTest::mouseRelease(w.viewport(), Qt::RightButton, {}, at);
    // The menu waits in its own loop; look at it from there and close it.
    QTimer::singleShot(0, &w.win, [&] {
        popup = QApplication::activePopupWidget();
        rowSelected = w.win.listView()->selectionModel()->isRowSelected(0, {});
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

void TestFileList::defaultColumns()
{
    Watched w;
    QVERIFY(makeFile(w.path(QStringLiteral("a.txt")), 10));
    w.load();
    const double widths[] = {1100, 420, 320, 320, 520};
    const QStringList headers {"Name", "Status", "Size", "Type", "Modified"};
    const FileListModel *model = w.model();
    QCOMPARE(model->columnCount(), 5);
    for (int c = 0; c < 5; ++c) {
        QCOMPARE(model->headerData(c, Qt::Horizontal).toString(), headers[c]);
        QCOMPARE(w.win.columnWidthTwips(c + 1), widths[c]);
        QCOMPARE(w.view()->header()->sectionSize(c), Twips::toPixels(widths[c], w.win.dpi()));
        // The header and the cells read the alignment as a number.
        const bool right = c == FileListModel::SizeColumn;
        const int head = model->headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).toInt();
        const int cell = model->data(model->index(0, c), Qt::TextAlignmentRole).toInt();
        QCOMPARE(bool(head & Qt::AlignRight), right);
        QCOMPARE(bool(cell & Qt::AlignRight), right);
    }
}

void TestFileList::widthsSurviveRebuildAndRestart()
{
    Watched w;
    QVERIFY(makeFile(w.path(QStringLiteral("a.txt")), 10));
    w.load();
    QHeaderView *header = w.view()->header();
    // The user drags two borders.
    header->resizeSection(0, 200);
    header->resizeSection(2, 77);
    w.win.SaveColSize();
    const QSettings stored(TestSupport::settingsFile(), QSettings::IniFormat);
    QCOMPARE(stored.value(QStringLiteral("FileList/ColumnSize1")).toString().toDouble(),
             Twips::fromPixels(200, w.win.dpi()));

    // A drag that no save follows is lost on the next rebuild.
    header->resizeSection(0, 120);
    w.win.InitViewList();
    QCOMPARE(header->sectionSize(0), 200);
    QCOMPARE(header->sectionSize(2), 77);
    QCOMPARE(header->sectionSize(1), Twips::toPixels(420, w.win.dpi()));
    w.win.ReadFile();
    QCOMPARE(header->sectionSize(0), 200);

    ScriptedDialogs dialogs;
    frmMain next(dialogs);
    next.Form_Load();
    QCOMPARE(next.listView()->header()->sectionSize(0), 200);
    QCOMPARE(next.listView()->header()->sectionSize(2), 77);
}

void TestFileList::garbageWidth_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("words") << "wide";
    QTest::newRow("empty") << "";
    QTest::newRow("negative") << "-40";
    QTest::newRow("not a number") << "nan";
    QTest::newRow("infinite") << "inf";
}

void TestFileList::garbageWidth()
{
    QFETCH(QString, text);

    Watched w;
    w.load();
    QSettings(TestSupport::settingsFile(), QSettings::IniFormat).setValue(QStringLiteral("FileList/ColumnSize3"), text);
    w.view()->header()->resizeSection(2, 5);
    w.win.InitViewList();
    QCOMPARE(w.win.columnWidthTwips(3), 320.0);
    QCOMPARE(w.view()->header()->sectionSize(2), Twips::toPixels(320, w.win.dpi()));
}

void TestFileList::hundredThousandRows()
{
    Watched w;
    w.load();
    FileListModel *model = w.model();
    const auto rows = [] {
        std::vector<FileRow> v;
        for (int i = 0; i < 100'000; ++i)
            v.push_back(FileRow::make(QStringLiteral("f%1.txt").arg(i), {}, qint64(i % 977) * 1000, 0));
        return v;
    };
    model->setRows(rows());
    QCOMPARE(model->rowCount(), 100'000);
    QCOMPARE(model->text(99'999, FileListModel::NameColumn), QStringLiteral("f99999.txt"));

    w.win.lvwFile_ColumnClick(FileListModel::SizeColumn);
    model->setRows(rows());
    QCOMPARE(model->rowCount(), 100'000);
    for (int r = 1; r < model->rowCount(); ++r) {
        const QString a = model->text(r - 1, FileListModel::SizeColumn);
        const QString b = model->text(r, FileListModel::SizeColumn);
        if (a.compare(b, Qt::CaseInsensitive) > 0)
            QFAIL(qPrintable(QStringLiteral("row %1 out of order: %2 > %3").arg(r).arg(a, b)));
    }

    // Rows past any 16-bit count still count for the menu items.
    w.view()->selectionModel()->select(model->index(99'999, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    w.win.lvwFile_Click();
    QCOMPARE(w.itemsEnabled(), 1);
}

QTEST_MAIN(TestFileList)
#include "tst_filelist.moc"
