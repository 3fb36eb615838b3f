// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "app/CommandLine.h"
#include "app/frmMain.h"
#include "platform/Desktop.h"
#include "platform/EndSignals.h"
#include "platform/FileNames.h"
#include "platform/QtDialogs.h"
#include "platform/SessionBus.h"
#include "platform/SingleInstance.h"
#include "settings/SettingsStore.h"

#include <QApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QPointer>
#include <QSessionManager>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

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

    // Before anything connects to the session bus (Qt's accessibility
    // bridge, tray and theme included): one that does not answer would hold
    // the window from ever coming up, so it is left alone for this run.
    SessionBus::setUp(QFileInfo(arguments.value(0)).fileName());
    // The application object takes these from the environment.
    const Desktop::LaunchTokens tokens = Desktop::launchTokens();

    // Qt is given the program's name and its own options alone, so that a
    // folder named like one of them ("-- -reverse") is not read as that
    // option too.
    std::vector<char *> qtArgv {argv[0]};
    for (const int i : command.qtArguments)
        qtArgv.push_back(argv[i]);
    int qtArgc = int(qtArgv.size());
    qtArgv.push_back(nullptr);
    QApplication app(qtArgc, qtArgv.data());
    QApplication::setApplicationName(QStringLiteral("Vardel"));
    QApplication::setApplicationVersion(CommandLine::version());
    // Ties the window to its desktop entry, for its icon in docks and task bars.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.vardel.Vardel"));

    // One window per session: a later start hands its folder to the running
    // one and ends. Without a bus each start has its own.
    SingleInstance instance(QDBusConnection::sessionBus());
    if (instance.start(command.folder, tokens) == SingleInstance::Role::HandedOver)
        return 0;

    // Qt's own dialogs and buttons speak the user's language; the program's
    // texts stay its own.
    Desktop::installQtTranslations(QLocale(), QLibraryInfo::path(QLibraryInfo::TranslationsPath));

    QtDialogs dialogs;
    auto *window = new frmMain(dialogs);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setStartFolder(command.folder);
    window->Form_Load();
    QObject::connect(&instance, &SingleInstance::requested, window, &frmMain::startRequested);
    const QPointer<frmMain> alive(window);
    // The program ends once its window has gone and no other (the about box)
    // is left. Qt's own rule would also end it when the about box closes
    // while the window is hidden in the tray, without asking or writing.
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(&app, &QGuiApplication::lastWindowClosed, &app, [alive] {
        if (!alive)
            QCoreApplication::quit();
    });
    // Once the window has gone, a start has a window of its own.
    QObject::connect(window, &QObject::destroyed, &instance, [&instance] {
        instance.release();
        const QWidgetList windows = QApplication::topLevelWidgets();
        if (std::none_of(windows.begin(), windows.end(), [](const QWidget *w) { return w->isVisible(); }))
            QCoreApplication::quit();
    });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &instance, &SingleInstance::release);

    // The session's end (logout, a signal): the settings are written as on
    // Exit > Yes, without asking, and the program ends the usual way.
    const auto endSession = [alive] {
        if (alive)
            alive->endSession();
        QCoreApplication::exit(0);
    };
    EndSignals endSignals;
    QObject::connect(&endSignals, &EndSignals::received, &app, endSession);
    // The session manager asks for the settings now and ends the program
    // once it has answered.
    QObject::connect(
        &app, &QGuiApplication::commitDataRequest, &app,
        [alive](QSessionManager &) {
            if (alive)
                alive->endSession();
            QMetaObject::invokeMethod(
                qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
        },
        Qt::DirectConnection);
    QObject::connect(
        &app, &QGuiApplication::saveStateRequest, &app,
        [alive](QSessionManager &) {
            if (alive)
                alive->saveSettings();
        },
        Qt::DirectConnection);

    window->show();
    const int code = app.exec();
    // The settings are rewritten beside the window: the last rewrite is
    // waited for, within a limit.
    SettingsStore::awaitRewrites(SettingsStore::kRewriteWaitMs);
    return code;
}
