#include "platform/QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

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

} // namespace

Dialogs::Answer QtDialogs::showMessage(QWidget *parent, const Box &box)
{
    QMessageBox mb(toQt(box.icon), box.title, box.text, QMessageBox::NoButton, parent);
    mb.setTextFormat(Qt::PlainText);
    if (box.buttons == Buttons::YesNo) {
        mb.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        mb.setDefaultButton(box.defaultAnswer == Answer::No ? QMessageBox::No : QMessageBox::Yes);
        mb.setEscapeButton(QMessageBox::No);
    } else {
        mb.setStandardButtons(QMessageBox::Ok);
        mb.setDefaultButton(QMessageBox::Ok);
    }
    if (box.alert) {
        mb.setWindowModality(Qt::ApplicationModal);
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
    bool ok = false;
    const QString reply = QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, text, &ok);
    if (!ok)
        return std::nullopt;
    return reply;
}

std::optional<QString> QtDialogs::showSaveFile(QWidget *parent, const QString &proposedName)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The joined names are confirmed as they stand: no overwrite question.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}
