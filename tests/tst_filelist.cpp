// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "TestSupport.h"

#include "ScriptedDialogs.h"
#include "app/frmMain.h"
#include "filelist/FileIcons.h"
#include "filelist/FileTypes.h"
#include "filelist/RowText.h"
#include "platform/Twips.h"

#include "filelist/ReportView.h"
#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QListView>
#include <QMenu>
#include <QProxyStyle>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolTip>

#include <random>

namespace {

NameView viewOf(const QByteArray &name)
{
    return {name.constData(), int(name.size()), NameOrder::isAscii(name.constData(), int(name.size()))};
}

// Rows in name order, sizes in thousands; below 0: the row goes.
RowTable rowTable(const QList<QPair<QByteArray, int>> &rows)
{
    RowTable table;
    for (const auto &[name, kb] : rows) {
        const NameView n = viewOf(name);
        FileRow row = AddListItem(n, std::max(kb, 0) * 1000, 1'700'000'000, 0, false);
        if (kb < 0)
            row.flags = FileRow::Absent;
        table.append(n, row);
    }
    return table;
}

// A main window watching a temporary folder of its own.
struct Watched {
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    frmMain win {dialogs};
    frmMain::Probe probe {win};

    QString path(const QString &name) const { return dir.filePath(name); }
    FileListModel *model() const { return probe.listModel(); }
    FileListView *view() const { return probe.listView(); }
    QWidget *viewport() const { return view()->reportView()->viewport(); }

    // Small files of these names, then the window loaded and, if asked, shown.
    bool start(const QStringList &names = {}, bool visible = true)
    {
        for (const QString &name : names)
            if (!TestSupport::writeFile(path(name), "0123456789"))
                return false;
        win.move(20, 20);
        return TestSupport::load(win, visible, dir.path());
    }

    // How many of the open/copy/delete items, in the menu bar and pop-up, are enabled.
    int itemsEnabled() const
    {
        const QRegularExpression items(QStringLiteral("^(mnuOpen|mnuCopy|mnuDelete|mPopOpen|mPopCopy|mPopDel)$"));
        const QList<QAction *> actions = win.findChildren<QAction *>(items);
        return int(std::count_if(actions.begin(), actions.end(), [](const QAction *a) { return a->isEnabled(); }));
    }
    QPoint rowPoint(int row) const { return view()->reportView()->visualRect(model()->index(row, 0)).center(); }
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
    // The short date, then the time with minutes and seconds and no zone; at midnight the date alone.
    void timeText()
    {
        QFETCH(QString, locale);
        QFETCH(QTime, time);

        const QLocale loc(locale);
        const QDateTime when(QDate(2023, 3, 14), time, Qt::LocalTime);
        const QString text = RowText::TimeFormatter(loc).text(when.toSecsSinceEpoch());
        const QString date = loc.toString(when.date(), QLocale::ShortFormat);
        if (time == QTime(0, 0)) {
            QCOMPARE(text, date);
            return;
        }
        QVERIFY2(text.startsWith(date + QLatin1Char(' ')), qPrintable(text));
        const QString shown = text.mid(date.size() + 1);
        QVERIFY2(shown.contains(time.toString(QStringLiteral("mm")))
                     && shown.contains(time.toString(QStringLiteral("ss")))
                     && !shown.contains(QRegularExpression(QStringLiteral("[(\\[]|,$|^\\s|\\s$")))
                     && !shown.contains(when.timeZoneAbbreviation()),
                 qPrintable(text));
        if (locale == QLatin1String("C"))
            QCOMPARE(shown, time.toString(QStringLiteral("HH:mm:ss")));
    }

    // The type's key is the last three characters of the whole name, upper-cased.
    void fileTypes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("type"); // description|icon key
        const auto row = [](const char *tag, const QString &name, const char *type) {
            QTest::newRow(tag) << name << QString::fromLatin1(type);
        };
        row("lower case, z at the end of the alphabet", QStringLiteral("all.zip"), "WinZip File|Zip");
        row("no dot", QStringLiteral("myexe"), "Application|Exe");
        row("three characters", QStringLiteral("exe"), "Application|Exe");
        row("README is DME", QStringLiteral("README"), "Unknown File|None");
        // Two characters that follow "E" in memory: nothing before the name is read.
        row("two characters", QString::fromRawData(reinterpret_cast<const QChar *>(u"EXE") + 1, 2),
            "Unknown File|None");
        row("mpeg is PEG", QStringLiteral("movie.mpeg"), "JPEG Image|Jpg");
        row("second key of a row", QStringLiteral("sound.mpa"), "Movie Clip|Mpg");
        row("dotless i upper-cases to I", QStringLiteral("x.\u0131ni"), "Configuration Setting|Ini");
    }
    void fileTypes()
    {
        QFETCH(QString, name);
        const FileType type = LookupFileType(name);
        QTEST(type.description + QLatin1Char('|') + type.iconKey, "type");
        const QByteArray bytes = name.toUtf8(); // the list's rows take the type from the name's bytes
        QCOMPARE(fileTypeIndex(viewOf(bytes)), fileTypeIndex(name));
        QCOMPARE(type.smallIconKey(), QStringLiteral("sml") + type.iconKey);
        QCOMPARE(FileIcons::picture(type.smallIconKey(), 16), FileIcons::picture(type.iconKey, 16)); // the same picture
    }

    void viewModes()
    {
        Watched w;
        QVERIFY(w.start({"a.txt", "b-yearly.doc", "c.exe"}));
        FileListView *view = w.view();
        TestSupport::select(*view, QStringLiteral("a.txt"));
        TestSupport::select(*view, QStringLiteral("c.exe"));
        auto *button = w.win.findChild<QPushButton *>(QStringLiteral("cmdView"));

        // The button steps through the views, each with its icon size; the selection goes along.
        const QList<QPair<int, int>> steps {{FileListView::List, 13},
                                            {FileListView::LargeIcons, 32},
                                            {FileListView::SmallIcons, 13},
                                            {FileListView::Report, 13}};
        QSignalSpy drawn(w.model(), &QAbstractItemModel::dataChanged);
        for (const auto &[mode, icon] : steps) {
            button->click();
            QVERIFY(view->viewMode() == mode && view->currentView()->isVisible());
            QCOMPARE(view->currentView()->iconSize(), QSize(icon, icon));
            if (auto *icons = qobject_cast<QListView *>(view->currentView())) // large: the name under the picture
                QCOMPARE(icons->viewMode(), icon == 32 ? QListView::IconMode : QListView::ListMode);
            QCOMPARE(TestSupport::selected(*view), (QStringList {"a.txt", "c.exe"}));
            for (int row = 0; row < 3; ++row) { // its type's picture, large or small
                const QModelIndex i = w.model()->index(row, 0);
                QCOMPARE(i.data(Qt::DecorationRole).value<QIcon>().pixmap(icon).toImage(),
                         FileIcons::picture(LookupFileType(i.data().toString()).iconKey, icon)
                             .convertToFormat(QImage::Format_ARGB32_Premultiplied));
            }
        }
        // Into the large pictures and out again, every row drawn anew.
        QCOMPARE(drawn.size(), 2);
        for (const QList<QVariant> &range : std::as_const(drawn))
            QCOMPARE(range[1].toModelIndex().row() - range[0].toModelIndex().row(), 2);
        // In a narrow report a cell out of view across comes into it, to the right and back to the left.
        QAbstractItemView *report = view->currentView();
        report->resize(120, report->height());
        const QScrollBar *across = report->horizontalScrollBar();
        report->scrollTo(w.model()->index(0, FileListModel::ColumnCount - 1));
        QVERIFY(across->value() > 0);
        report->scrollTo(w.model()->index(0, 0));
        QCOMPARE(across->value(), 0);
    }

    void sorting()
    {
        Watched w;
        // name -> kB, rounded down: the size texts sort as text, not as numbers.
        const QList<QPair<QString, int>> files {{"b.txt", 10}, {"A.txt", 9},    {"c.txt", 100}, {"B.txt", 2},
                                                {"a.txt", 9},  {"Zeta.txt", 1}, {"d.txt", 50}};
        for (const auto &[name, kb] : files)
            QVERIFY(TestSupport::writeFile(w.path(name), QByteArray(kb * 1000 + 999, 'x')));
        QVERIFY(w.start());
        const auto sizes = [&] { return TestSupport::column(*w.model(), FileListModel::SizeColumn); };
        const auto names = [&] { return TestSupport::column(*w.model(), FileListModel::NameColumn); };

        // Rebuilds keep the order; rows added later land in their place.
        w.clickHeader(FileListModel::SizeColumn);
        QCOMPARE(sizes(), (QStringList {"1", "10", "100", "2", "50", "9", "9"}));
        const QHeaderView *header = w.view()->header(); // with its arrow there
        QVERIFY(header->isSortIndicatorShown() && header->sortIndicatorSection() == FileListModel::SizeColumn);
        QVERIFY(TestSupport::writeFile(w.path(QStringLiteral("e.txt")), QByteArray(3000, 'x')));
        w.probe.CompareFile();
        TestSupport::settle(w.probe.watch());
        QCOMPARE(sizes(), (QStringList {"1", "10", "100", "2", "3", "50", "9", "9"}));
        QCOMPARE(names(), (QStringList {"Zeta.txt", "b.txt", "c.txt", "B.txt", "e.txt", "d.txt", "A.txt", "a.txt"}));
        QCOMPARE(w.model()->text(4, FileListModel::StatusColumn), QStringLiteral("New"));

        // By name, case aside, ties by the exact text; a second click keeps the order, the selection its file.
        TestSupport::select(*w.view(), QStringLiteral("c.txt"));
        const QStringList byName {"A.txt", "a.txt", "B.txt", "b.txt", "c.txt", "d.txt", "e.txt", "Zeta.txt"};
        w.clickHeader(FileListModel::NameColumn);
        QVERIFY(names() == byName && TestSupport::selected(*w.view()) == QStringList {"c.txt"});
        w.clickHeader(FileListModel::NameColumn);
        QCOMPARE(names(), byName);
    }

    // In the list and small-icon views every cell is as wide as the widest name needs, within the view, as rows change.
    void listCells()
    {
        FileListModel model;
        FileListView view(&model);
        view.resize(700, 70); // two or three rows high
        view.setViewMode(FileListView::List);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view, TestSupport::kWaitMs));
        QListView *list = view.iconView();
        const auto needs = [&] { // the widest name's own width, within the view
            QStyleOptionViewItem option;
            option.initFrom(list);
            option.decorationSize = list->iconSize();
            option.features = QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration;
            int widest = 150; // the design's cell
            for (int r = 0; r < model.rowCount(); ++r)
                widest = std::max(widest, QStyledItemDelegate().sizeHint(option, model.index(r, 0)).width());
            return QSet<int> {std::min(widest, list->viewport()->width() - 2 * list->spacing())};
        };
        const auto cells = [&] { // the list runs down its columns and on to the next
            QCoreApplication::processEvents();
            QSet<int> widths;
            for (int r = 0; r < model.rowCount(); ++r)
                widths << list->visualRect(model.index(r, 0)).width();
            const int across = list->visualRect(model.index(model.rowCount() - 1, 0)).left();
            return view.viewMode() != FileListView::List || across > 0 ? widths : QSet<int> {};
        };
        const QByteArray wide = "a-name-wider-than-a-cell-" + QByteArray("\xd0\xb6").repeated(12) + ".txt"; // not Latin
        const QByteArray wider = "z-" + QByteArray(50, 'w') + ".txt";
        model.setRows(rowTable({{wide, 5}, {"b.txt", 1}, {"c.txt", 2}, {"d.txt", 3}}));
        QCOMPARE(cells(), needs());
        QTRY_VERIFY(!view.findChild<QTimer *>(QStringLiteral("measureTimer"))->isActive()); // and the measuring ends
        model.sortByColumn(FileListModel::SizeColumn); // b c d wide
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.applyChanges(rowTable({{"b.txt", 7}})); // moved past it: c d wide b, and drawn anew there
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.constFirst().constFirst().toModelIndex(), model.index(3, 0)); // the whole row
        const auto change = [&](const QByteArray &name, int kb) { // and the cells as wide as needed again
            model.applyChanges(rowTable({{name, kb}}));
            QCOMPARE(cells(), needs());
        };
        change("b.txt", 0); // and back before it: b c d wide
        change("e.txt", 9); // one more, narrow: b c d wide e
        change("c2.txt", 4); // a narrow one in its place, before it: b c d c2 wide e
        change(wide, -1); // then it goes, and comes back
        change(wide, 5);
        change("c.txt", -1); // one before it goes: b d wide e
        change(wider, 4); // a wider one comes: b d wider wide e
        view.setViewMode(FileListView::SmallIcons);
        QCOMPARE(cells(), needs());
        change(wider, -1);
        change(wide, -1);
        view.resize(200, 300); // narrower than the one name that would need more
        change(wider, 4);

        // Random changes, one name or many at once, some not plain ASCII, rows moving as their sizes change.
        view.resize(700, 70);
        view.setViewMode(FileListView::List);
        std::mt19937 random(5);
        QMap<QByteArray, int> shown; // name -> kB
        for (int step = 0; step < 60; ++step) {
            QList<QPair<QByteArray, int>> changes;
            for (int n = step % 10 == 9 ? 80 : 1 + int(random() % 3); n > 0; --n) {
                const int i = int(random() % 150);
                const QByteArray name
                    = QByteArray::number(i) + QByteArray(i % 37, "iWm"[i % 3]) + (i % 7 ? "" : "\xc3\xa9");
                const int kb = shown.contains(name) && random() % 3 == 0 ? -1 : int(random() % 10);
                if (std::none_of(changes.cbegin(), changes.cend(), [&](const auto &c) { return c.first == name; }))
                    changes.append({name, kb});
            }
            std::sort(changes.begin(), changes.end(),
                      [](const auto &a, const auto &b) { return NameOrder::less(viewOf(a.first), viewOf(b.first)); });
            for (const auto &[name, kb] : changes)
                kb < 0 ? void(shown.remove(name)) : void(shown.insert(name, kb));
            model.applyChanges(rowTable(changes));
            if (step % 20 == 10)
                model.sortByColumn(step % 40 == 10 ? FileListModel::NameColumn : FileListModel::SizeColumn);
            QCOMPARE(cells(), needs());
        }
    }

    // Random edits of a table, its names shared and let go now and then, match the same edits of a plain list.
    void tableEdits()
    {
        std::mt19937 random(11);
        const auto pick = [&](int n) { return n > 0 ? int(random() % unsigned(n)) : 0; };
        RowTable table;
        QByteArrayList plain; // each name ends in its row's size
        const auto texts = [&] {
            QByteArrayList out;
            for (int i = 0; i < table.size(); ++i)
                out << table.name(i).text().toLatin1() + QByteArray::number(table.row(i).size);
            return out;
        };
        for (int step = 0; step < 30000; ++step) {
            const QByteArray name = QByteArray(pick(240), "xY"[step % 2]) + '.' + QByteArray::number(step);
            const NameView n {name.constData(), int(name.size())};
            const int size = int(plain.size()), at = pick(size + 1), from = pick(size), op = size > 2000 ? 5 : pick(8);
            if (op < 5) { // 4: at the end
                op == 4 ? table.append(n, AddListItem(n, step, 0, 0, false))
                        : table.insert(at, n, AddListItem(n, step, 0, 0, false));
                plain.insert(op == 4 ? size : at, name + QByteArray::number(step));
            } else if (op < 7 && size > 0) {
                table.erase(from), plain.removeAt(from);
            } else if (size > 0) {
                table.move(from, std::min(at, size - 1)), plain.move(from, std::min(at, size - 1));
            }
            if (step == 1000)
                table.shareNames();
            if (step % 200 == 9) {
                for (int i = 0; i < table.size(); ++i)
                    table.row(i).flags = plain[i].endsWith('7') ? FileRow::Absent : 0;
                table.dropFlagged(FileRow::Absent);
                plain.removeIf([](const QByteArray &text) { return text.endsWith('7'); });
            }
            if (step % 500 == 0)
                QCOMPARE(texts(), plain);
        }
        QCOMPARE(texts(), plain);
        table.sortByName();
        for (int i = 0; i < table.size(); ++i)
            QCOMPARE(table.find(table.name(i)), i);
    }

    // A name cut to its cell (wider than the list, or wrapped in large icons) shows in full as its tooltip; a name seen
    // whole shows the list's own.
    void cutNames()
    {
        FileListModel model;
        FileListView view(&model);
        view.setToolTip(QStringLiteral("new file"));
        const QByteArray cut = "a-name-cut-to-its-cell-" + QByteArray(40, 'w') + ".txt";
        model.setRows(rowTable({{cut, 1}, {"photos 2026.jpg", 1}})); // the second one wrapped, whole
        view.resize(200, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view, TestSupport::kWaitMs));
        for (const FileListView::ViewMode mode : {FileListView::List, FileListView::LargeIcons}) {
            view.setViewMode(mode);
            QAbstractItemView *shown = view.currentView();
            for (int row : {1, 0}) {
                QToolTip::hideText();
                const QPoint at = shown->visualRect(model.index(row, 0)).center();
                QHelpEvent event(QEvent::ToolTip, at, shown->viewport()->mapToGlobal(at));
                QCoreApplication::sendEvent(shown->viewport(), &event);
                QCOMPARE(QToolTip::text(), row ? QStringLiteral("new file") : QString::fromLatin1(cut));
            }
        }
    }

    // The file items follow the selection, in the menu bar and the pop-up.
    void menuItemsFollowClicks()
    {
        Watched w;
        QCOMPARE(w.itemsEnabled(), 0); // before any file is listed, and after
        QVERIFY(w.start({"a.txt", "b.txt", "c.txt"}) && w.itemsEnabled() == 0);
        for (const QAction *action : w.win.findChild<QMenu *>(QStringLiteral("mnuFile"))->actions())
            QVERIFY(action->isEnabled()); // Init List, Scan Network, Exit

        // A right click selects its row before the pop-up, shown where clicked; the items follow the selection.
        QPointer<QWidget> popup;
        QPoint shownAt;
        bool rowSelected = false;
        int enabled = -1;
        QTest::mousePress(w.viewport(), Qt::RightButton, {}, w.rowPoint(1));
        QTest::mouseRelease(w.viewport(), Qt::RightButton, {}, w.rowPoint(1));
        // The menu waits in its own loop; look at it from there and close it.
        QTimer::singleShot(0, &w.win, [&] {
            popup = QApplication::activePopupWidget();
            rowSelected = w.view()->selectionModel()->isRowSelected(1, {});
            enabled = w.itemsEnabled();
            if (popup) {
                shownAt = popup->pos();
                popup->close();
            }
        });
        QCoreApplication::processEvents();
        QCOMPARE(popup.data(), static_cast<QWidget *>(w.probe.popupMenu()));
        QVERIFY(shownAt == w.viewport()->mapToGlobal(w.rowPoint(1)) && rowSelected && enabled == 6);
        QTest::mouseClick(w.viewport(), Qt::LeftButton, {}, {10, w.viewport()->height() - 5}); // below the rows
        QTRY_COMPARE(w.itemsEnabled(), 0);

        // Ctrl-clicking the one selected row leaves none selected; the first row's top pixel is in it.
        QTest::mouseClick(w.viewport(), Qt::LeftButton, {}, {10, 0});
        QTRY_COMPARE(w.itemsEnabled(), 6);
        QTest::mouseClick(w.viewport(), Qt::LeftButton, Qt::ControlModifier, {10, 0});
        QTRY_COMPARE(w.itemsEnabled(), 0);
        QVERIFY(!w.view()->selectionModel()->hasSelection());
    }

    void keys_data()
    {
        QTest::addColumn<QKeyCombination>("key");
        QTest::addColumn<bool>("select"); // Down first
        QTest::addColumn<QString>("told"); // the box's title, or the pop-up; nothing when empty
        QTest::addColumn<bool>("list"); // in the list view, else the report

        QTest::newRow("Return opens") << QKeyCombination(Qt::Key_Return) << true << "Executable Warning..." << false;
        QTest::newRow("keypad Enter opens, list view")
            << (Qt::KeypadModifier | Qt::Key_Enter) << true << "Executable Warning..." << true;
        QTest::newRow("Delete asks") << QKeyCombination(Qt::Key_Delete) << true << "Delete Warning" << false;
        QTest::newRow("Delete, nothing selected") << QKeyCombination(Qt::Key_Delete) << false << "" << false;
        QTest::newRow("Shift+F10") << (Qt::ShiftModifier | Qt::Key_F10) << true << "pop-up" << false;
    }
    // Down selects a row and the file commands follow; then the key acts.
    void keys()
    {
        QFETCH(QKeyCombination, key);
        QFETCH(bool, select);
        QFETCH(QString, told);
        QFETCH(bool, list);
        Watched w;
        QVERIFY(w.start({"a.exe", "b.exe"}));
        if (list)
            w.view()->setViewMode(FileListView::List);
        QAbstractItemView *shown = w.view()->currentView();
        shown->selectionModel()->setCurrentIndex(w.model()->index(0, 0), QItemSelectionModel::NoUpdate);
        if (select)
            QTest::keyClick(shown, Qt::Key_Down);
        QCOMPARE(w.itemsEnabled(), select ? 6 : 0);
        w.dialogs.answers = {Dialogs::Answer::No};
        QMenu *menu = w.probe.popupMenu();
        QString popped;
        QTimer::singleShot(0, menu, [&] {
            popped = menu->isVisible() && menu->pos() == w.viewport()->mapToGlobal(w.rowPoint(1)) ? "pop-up" : "";
            menu->close();
        });
        QTest::keyClick(shown, key.key(), key.keyboardModifiers());
        QTRY_COMPARE(w.dialogs.asked.isEmpty() ? popped : w.dialogs.asked.constFirst().box.title, told);
    }

    // Stored widths are used and saved back as stored; unusable ones give the default; last exit's win.

    void storedColumns_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("lastExit"); // "List View", columns 1-4; null: none
        const auto row = [](const char *tag, const char *stored, const char *width, const char *lastExit = nullptr) {
            QTest::newRow(tag) << QString::fromLatin1(stored) << QString::fromLatin1(width)
                               << QString::fromLatin1(lastExit);
        };
        row("unset", nullptr, nullptr);
        row("closed", "0", "0");
        for (const char *text : {"wide", "-40", "nan", "inf"})
            row(text, text, nullptr);
        row("wider than the screen", "30000", "30000");
        row("not whole pixels", "1001", "1001");
        row("too wide", "1e30", "10000000");
        row("last exit", "2500", "2500", "1234.5");
    }
    void storedColumns()
    {
        QFETCH(QString, stored);
        QFETCH(QString, width);
        QFETCH(QString, lastExit);

        for (int c = 1; c <= 5 && !stored.isNull(); ++c)
            TestSupport::store(QStringLiteral("FileList/ColumnSize%1").arg(c), stored);
        for (int c = 1; c <= 4 && !lastExit.isNull(); ++c)
            TestSupport::store(QStringLiteral("List View/Column%1").arg(c), lastExit);
        Watched w;
        QVERIFY(w.start({"a.txt"}, false));
        const QStringList defaults {"1100", "420", "320", "320", "520"};
        const FileListModel *model = w.model();
        QCOMPARE(model->columnCount(), 5);
        w.probe.SaveColSize();
        const QHeaderView *header = w.view()->header();
        for (int c = 0; c < 5; ++c) {
            const QString expected = !lastExit.isNull() && c < 4 ? lastExit : width.isEmpty() ? defaults[c] : width;
            const QString saved = TestSupport::stored(QStringLiteral("FileList/ColumnSize%1").arg(c + 1)).toString();
            const int pixels = Twips::toPixels(expected.toDouble(), w.probe.dpi());
            QCOMPARE(header->sectionSize(c), Twips::toPixels(saved.toDouble(), w.probe.dpi()));
            // A default is widened where the header's text needs more in this font; what is stored is used as stored.
            if (expected == defaults[c])
                QVERIFY(qAbs(header->sectionSize(c) - std::max(pixels, header->sectionSizeHint(c))) <= 1);
            else
                QCOMPARE(saved, expected);
            // The header and the cells read the alignment as a number.
            const bool right = c == FileListModel::SizeColumn;
            QCOMPARE(bool(model->headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).toInt() & Qt::AlignRight), right);
            QCOMPARE(bool(model->data(model->index(0, c), Qt::TextAlignmentRole).toInt() & Qt::AlignRight), right);
        }
    }

    // Rows that come and go among or above those in view are painted anew; below them, nothing is.
    void reportKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to"); // the current row after it
        QTest::addColumn<int>("top"); // the first row in view after it, nine rows high
        QTest::newRow("Down") << int(Qt::Key_Down) << 3 << 4 << 0;
        QTest::newRow("Down, out of view") << int(Qt::Key_Down) << 8 << 9 << 1;
        QTest::newRow("Up at the first") << int(Qt::Key_Up) << 0 << 0 << 0;
        QTest::newRow("Page Down") << int(Qt::Key_PageDown) << 3 << 12 << 4;
        QTest::newRow("Page Up") << int(Qt::Key_PageUp) << 12 << 3 << 3;
        QTest::newRow("Page Down at the end") << int(Qt::Key_PageDown) << 45 << 49 << 41;
        QTest::newRow("End") << int(Qt::Key_End) << 3 << 49 << 41;
        QTest::newRow("Home") << int(Qt::Key_Home) << 40 << 0 << 0;
        QTest::newRow("Right scrolls across") << int(Qt::Key_Right) << 3 << 3 << 0;
    }
    void reportKeys()
    {
        QFETCH(int, key);
        QFETCH(int, from);
        FileListModel model;
        FileListView view(&model);
        QList<QPair<QByteArray, int>> rows; // n100 to n149, n141 a long name; nine rows in view
        for (int i = 100; i < 150; ++i)
            rows.append({"n" + QByteArray::number(i) + (i == 141 ? " a long name" : ""), 1});
        model.setRows(rowTable(rows));
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view, TestSupport::kWaitMs));
        ReportView *report = view.reportView();
        view.resize(200,
                    view.height() + 9 * report->visualRect(model.index(0, 0)).height() - report->viewport()->height());
        QCoreApplication::processEvents();
        report->setCurrentIndex(model.index(from, 0));
        QTest::keyClick(report, Qt::Key(key));
        QTEST(report->currentIndex().row(), "to");
        QTEST(report->verticalScrollBar()->value(), "top");
        QCOMPARE(report->verticalScrollBar()->pageStep(), 9); // a click beside the slider: a page of rows
        QCOMPARE(report->horizontalScrollBar()->value(), // two letters across
                 key == Qt::Key_Right ? 2 * report->fontMetrics().averageCharWidth() : 0);
        Q_EMIT report->header()->sectionHandleDoubleClicked(0); // as wide as the names in view
        QCOMPARE(report->header()->sectionSize(0) > report->fontMetrics().horizontalAdvance("n141 a long name"),
                 report->verticalScrollBar()->value() == 41);
        using Hint = QAbstractItemView::ScrollHint; // row 20 at the top, amid the nine, at the bottom; its type just in
        for (const auto &[hint, top] : // view at the right
             {std::pair {Hint::PositionAtTop, 20}, {Hint::PositionAtCenter, 16}, {Hint::PositionAtBottom, 12}}) {
            report->scrollTo(model.index(20, 3), hint);
            QVERIFY(report->verticalScrollBar()->value() == top
                    && report->visualRect(model.index(20, 3)).right() == report->viewport()->width() - 1);
        }
        model.clear(); // and nothing left to show, scroll to or act on
        QVERIFY(!report->currentIndex().isValid() && report->verticalScrollBar()->maximum() == 0);
    }

    // Each row is painted, none below the last, of one row or three; the last one, current, framed as the list has the
    // focus.
    void reportRows()
    {
        for (const int count : {1, 3}) {
            struct Cells : QStyledItemDelegate {
                mutable QSet<int> rows;
                void paint(QPainter *p, const QStyleOptionViewItem &o, const QModelIndex &i) const override
                {
                    rows << i.row(), QStyledItemDelegate::paint(p, o, i);
                }
            } cells;
            struct Frames : QProxyStyle {
                mutable QList<int> tops;
                void drawPrimitive(PrimitiveElement e, const QStyleOption *o, QPainter *p,
                                   const QWidget *w) const override
                {
                    tops << (e == PE_FrameFocusRect ? o->rect.top() : -1), QProxyStyle::drawPrimitive(e, o, p, w);
                }
            } frames;
            FileListModel model;
            FileListView view(&model);
            model.setRows(rowTable(QList<QPair<QByteArray, int>> {{"a", 1}, {"b", 1}, {"c", 1}}.mid(0, count)));
            ReportView *report = view.reportView();
            report->setItemDelegate(&cells);
            report->setStyle(&frames);
            view.resize(1000, 300); // every column in view
            view.show();
            QVERIFY(QTest::qWaitForWindowActive(&view, TestSupport::kWaitMs));
            report->setFocus();
            report->setCurrentIndex(model.index(count - 1, 0));
            cells.rows.clear(), frames.tops.clear();
            report->viewport()->repaint();
            QCOMPARE(cells.rows, (count == 1 ? QSet<int> {0} : QSet<int> {0, 1, 2}));
            frames.tops.removeAll(-1);
            QCOMPARE(frames.tops, QList<int> {report->visualRect(model.index(count - 1, 0)).top()});
            cells.rows.clear(); // a row selected is drawn again, alone
            report->selectionModel()->select(model.index(0, 0), QItemSelectionModel::Toggle);
            QTRY_COMPARE(cells.rows, QSet<int> {0});
            QFont tall = view.header()->font(); // a taller header moves the rows down
            tall.setPointSize(tall.pointSize() * 3);
            view.header()->setFont(tall);
            QCoreApplication::processEvents();
            QCOMPARE(view.header()->height(), view.header()->sizeHint().height());
            QCOMPARE(report->viewport()->geometry().top(), view.header()->geometry().bottom() + 1);
            const int height = report->visualRect(model.index(0, 0)).height(); // a row half in view goes
            view.resize(1000, view.height() - report->viewport()->height() + height * 3 / 2);
            report->setCurrentIndex(model.index(0, 0)), QCoreApplication::processEvents(), cells.rows.clear();
            model.applyChanges(rowTable({{count == 3 ? "b" : "a", -1}}));
            QTRY_COMPARE(cells.rows, (count == 3 ? QSet<int> {0, 1} : QSet<int>()));
        }
    }
};

QTEST_MAIN(TestFileList)
#include "tst_filelist.moc"
