// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "platform/QtDialogs.h"

#include "platform/FileNames.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>

namespace {

QMessageBox::Icon toQt(Dialogs::Icon icon)
{
    switch (icon) {
    case Dialogs::Icon::Information:
        return QMessageBox::Information;
    case Dialogs::Icon::Warning:
        return QMessageBox::Warning;
    case Dialogs::Icon::Critical:
        return QMessageBox::Critical;
    case Dialogs::Icon::Question:
        return QMessageBox::Question;
    case Dialogs::Icon::NoIcon:
        break;
    }
    return QMessageBox::NoIcon;
}

// A file dialog that gives back what the user confirmed as it stands: the
// folder it shows and the exact text of its name box. QFileDialog itself
// would read '"' as quoting several names, expand a leading "~" and refuse a
// name longer than a file name may be by greying out its button.
class ExactFileDialog : public QFileDialog
{
public:
    ExactFileDialog(QWidget *parent, FileMode mode, const QString &folder)
        : QFileDialog(parent, {}, folder)
    {
        // Only Qt's own dialog has a name box to read.
        setOption(QFileDialog::DontUseNativeDialog, true);
        setFileMode(mode);
        if (mode == QFileDialog::Directory) {
            setOption(QFileDialog::ShowDirsOnly, true);
        } else {
            setAcceptMode(QFileDialog::AcceptSave);
            // The joined names are confirmed as they stand: no overwrite question.
            setOption(QFileDialog::DontConfirmOverwrite, true);
        }
        m_nameBox = findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        if (auto *buttons = findChild<QDialogButtonBox *>(QStringLiteral("buttonBox")))
            m_acceptButton
                = buttons->button(mode == QFileDialog::Directory ? QDialogButtonBox::Open : QDialogButtonBox::Save);
        if (m_acceptButton && m_nameBox && mode != QFileDialog::Directory) {
            // After the dialog's own judgement of the text, on every change.
            connect(m_nameBox, &QLineEdit::textChanged, this, [this] { keepAcceptable(); });
            m_acceptButton->installEventFilter(this);
        }
    }

    void setName(const QString &name)
    {
        m_proposed = name;
        if (m_nameBox)
            m_nameBox->setText(name);
    }

    QString confirmed() const { return m_confirmed; }

    void accept() override
    {
        if (!m_nameBox) {
            QFileDialog::accept();
            m_confirmed = selectedFiles().value(0);
            return;
        }
        const QString text = m_nameBox->text();
        const QString folder = directory().absolutePath();
        QString path;
        if (text.isEmpty())
            path = folder;
        else if (text.startsWith(QLatin1Char('/')))
            path = text;
        else if (text.startsWith(QLatin1String("~/"))) // no file name holds a "/"
            path = QDir::homePath() + text.mid(1);
        else
            path = FileNames::joinPath(folder, text);

        const bool isFolder = QFileInfo(path).isDir();
        if (fileMode() == QFileDialog::Directory) {
            if (!isFolder)
                return;
        } else if (text.isEmpty()) {
            return;
        } else if (isFolder) {
            // A folder's name opens that folder, as in every file dialog,
            // and the names proposed are there again to be confirmed in it.
            setDirectory(path);
            m_nameBox->setText(m_proposed);
            return;
        }
        m_confirmed = path;
        QDialog::accept();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_acceptButton && event->type() == QEvent::EnabledChange)
            keepAcceptable();
        return QFileDialog::eventFilter(watched, event);
    }

private:
    // Any name the user has typed can be confirmed.
    void keepAcceptable()
    {
        if (!m_acceptButton->isEnabled() && !m_nameBox->text().isEmpty())
            m_acceptButton->setEnabled(true);
    }

    QLineEdit *m_nameBox = nullptr;
    QPushButton *m_acceptButton = nullptr;
    QString m_proposed;
    QString m_confirmed;
};

// A message box that never grows past the screen: a text too long for it
// (a delete question naming hundreds of files) scrolls, and the buttons
// stay in sight.
class FittingMessageBox : public QMessageBox
{
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent *event) override
    {
        // Here the box takes the size its text asks for, and its place.
        QMessageBox::showEvent(event);
        // Room is left for the frame the desktop draws around the box.
        const int room = screen()->availableGeometry().height() * 3 / 4;
        auto *label = findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
        if (height() <= room || !label)
            return;
        // The text scrolls in a label of its own: the box turns line breaks
        // off in its label each time it sizes itself again.
        auto *text = new QLabel(label->text());
        text->setWordWrap(true);
        text->setTextInteractionFlags(label->textInteractionFlags());
        auto *scroll = new QScrollArea(this);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidgetResizable(true);
        scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scroll->setWidget(text);
        // A fixed size, since the box sizes itself again from its layout.
        scroll->setFixedSize(label->width(), label->height() - (height() - room));
        delete layout()->replaceWidget(label, scroll);
        label->hide();
        setFixedSize(width(), room);
        adjustPosition(parentWidget());
    }
};

} // namespace

Dialogs::Answer QtDialogs::showMessage(QWidget *parent, const Box &box)
{
    FittingMessageBox mb(toQt(box.icon), box.title, box.text, QMessageBox::NoButton, parent);
    mb.setTextFormat(Qt::PlainText);
    // A box given no buttons gets Qt's own OK, for Enter and Esc alike.
    if (box.buttons == Buttons::YesNo) {
        mb.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        // Esc answers No: Qt takes the one No button for it.
        mb.setDefaultButton(box.defaultAnswer == Answer::No ? QMessageBox::No : QMessageBox::Yes);
    }
    if (box.alert) {
        mb.setWindowFlag(Qt::WindowStaysOnTopHint, true);
        if (parent)
            QApplication::alert(parent->window());
        mb.show();
        mb.raise();
        mb.activateWindow();
    }
    const int result = mb.exec();
    if (box.buttons == Buttons::YesNo)
        return result == QMessageBox::Yes ? Answer::Yes : Answer::No;
    return Answer::Ok;
}

std::optional<QString> QtDialogs::showInput(QWidget *parent, const QString &prompt, const QString &title,
                                            const QString &text)
{
    QInputDialog box(parent);
    box.setWindowTitle(title);
    box.setLabelText(prompt);
    box.setTextValue(text);
    // Sized by its prompt alone, the box is narrower than its title with the
    // frame's buttons beside it, and the desktop cuts the title short; the
    // title bar's font is mostly the bold one, a little larger.
    QFont titleFont = box.font();
    titleFont.setBold(true);
    if (titleFont.pointSizeF() > 0)
        titleFont.setPointSizeF(titleFont.pointSizeF() * 1.2);
    const QFontMetrics fm(titleFont);
    // The box takes its width from what it holds.
    auto *edit = box.findChild<QLineEdit *>();
    const QMargins margins = box.layout() ? box.layout()->contentsMargins() : QMargins();
    if (edit)
        edit->setMinimumWidth(fm.horizontalAdvance(title) + 8 * fm.height() - margins.left() - margins.right());
    if (box.exec() != QDialog::Accepted)
        return std::nullopt;
    return box.textValue();
}

void QtDialogs::startIn(QFileDialog &dialog) const
{
    // The dialog looks at its folder anyway: one that has gone since it was
    // confirmed is not the one the dialog shows, and the home folder stands
    // in for it. No look of our own at the disk, which may not answer.
    if (!m_lastFolder.isEmpty() && dialog.directory().absolutePath() != QDir(m_lastFolder).absolutePath())
        dialog.setDirectory(QDir::homePath());
}

void QtDialogs::remember(const QString &folder)
{
    m_lastFolder = folder;
}

std::optional<QString> QtDialogs::showSaveFile(QWidget *parent, const QString &proposedName)
{
    ExactFileDialog dialog(parent, QFileDialog::AnyFile, startFolder());
    startIn(dialog);
    dialog.setName(proposedName);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    remember(QFileInfo(dialog.confirmed()).absolutePath());
    return dialog.confirmed();
}

std::optional<QString> QtDialogs::showChooseFolder(QWidget *parent)
{
    ExactFileDialog dialog(parent, QFileDialog::Directory, startFolder());
    startIn(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    remember(dialog.confirmed());
    return dialog.confirmed();
}
