#include "app/frmMain.h"
#include "platform/QtDialogs.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Vardel"));
    QApplication::setApplicationName(QStringLiteral("Vardel"));
    QApplication::setApplicationVersion(
        QStringLiteral("%1.%2.%3").arg(VARDEL_VERSION_MAJOR).arg(VARDEL_VERSION_MINOR).arg(VARDEL_VERSION_PATCH));
    // Ties the window to its desktop entry, for its icon in docks and task bars.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.vardel.Vardel"));
    QtDialogs dialogs;
    auto *window = new frmMain(dialogs);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->Form_Load();
    window->show();
    return app.exec();
}
