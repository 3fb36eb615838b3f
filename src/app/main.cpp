#include "app/frmMain.h"
#include "platform/QtDialogs.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Vardel"));
    QApplication::setApplicationName(QStringLiteral("Vardel"));
    QtDialogs dialogs;
    auto *window = new frmMain(dialogs);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->Form_Load();
    window->show();
    return app.exec();
}
