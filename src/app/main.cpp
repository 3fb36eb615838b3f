#include "app/CommandLine.h"
#include "app/frmMain.h"
#include "platform/FileNames.h"
#include "platform/QtDialogs.h"
#include "settings/SettingsStore.h"

#include <QApplication>

#include <cstdio>
#include <filesystem>

int main(int argc, char *argv[])
{
    // The arguments are read before the application exists: help, the
    // version and a folder that cannot be watched need no display, open no
    // window and leave the settings alone.
    // A folder's name keeps its bytes, even where they are not valid UTF-8,
    // and is printed back with them.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(FileNames::decode(QByteArray(argv[i])));
    std::error_code noCurrentFolder;
    const std::string current = std::filesystem::current_path(noCurrentFolder).native();
    const CommandLine::Outcome command
        = CommandLine::parse(arguments, FileNames::decode(QByteArray::fromStdString(current)));
    if (command.exit) {
        std::fputs(FileNames::encode(command.output).constData(), stdout);
        std::fputs(FileNames::encode(command.error).constData(), stderr);
        return command.exitCode;
    }

    // Qt is given the program's name alone, so that a folder named like one
    // of its options ("-- -reverse") is not read as that option too.
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QApplication::setOrganizationName(QStringLiteral("Vardel"));
    QApplication::setApplicationName(QStringLiteral("Vardel"));
    QApplication::setApplicationVersion(CommandLine::version());
    // Ties the window to its desktop entry, for its icon in docks and task bars.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.vardel.Vardel"));
    QtDialogs dialogs;
    auto *window = new frmMain(dialogs);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setStartFolder(command.folder);
    window->Form_Load();
    window->show();
    const int code = app.exec();
    // The settings are rewritten beside the window: the last rewrite is
    // waited for, within a limit.
    SettingsStore::awaitRewrites(SettingsStore::kRewriteWaitMs);
    return code;
}
