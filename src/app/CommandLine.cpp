// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "app/CommandLine.h"

#include "platform/Version.h"

#include "platform/FileNames.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace CommandLine {

QString version()
{
    return Version::text();
}

namespace {

Outcome finish(int code, const QString &output, const QString &error = {})
{
    Outcome o;
    o.exit = true;
    o.exitCode = code;
    o.output = output;
    o.error = error;
    return o;
}

// Why the path cannot be watched; empty when it can. The path's own bytes
// are asked about, even where they are not valid UTF-8.
QString refusal(const QString &path)
{
    const QByteArray local = FileNames::encode(path);
    struct stat st {
    };
    if (::stat(local.constData(), &st) != 0)
        return QStringLiteral("no such folder");
    if (!S_ISDIR(st.st_mode))
        return QStringLiteral("not a folder");
    // Listing a folder needs both read and search permission.
    if (::access(local.constData(), R_OK | X_OK) != 0)
        return QStringLiteral("folder cannot be read");
    return {};
}

// How many arguments a Qt option takes with its value (0: not one of Qt's),
// as QGuiApplication, QApplication and the platform plugins read them, with
// one dash or two.
int qtOptionLength(const QString &argument)
{
    static const QStringList alone
        = QStringLiteral("-reverse -testability -nograb -dograb -sync -widgetcount").split(QLatin1Char(' '));
    static const QStringList withValue
        = QStringLiteral("-platform -platformpluginpath -platformtheme -plugin -qwindowgeometry -geometry "
                         "-qwindowtitle -title -qwindowicon -icon -session -display -name -visual -style "
                         "-stylesheet -qmljsdebugger")
              .split(QLatin1Char(' '));
    const QString option = argument.startsWith(QLatin1String("--")) ? argument.mid(1) : argument;
    const QString name = option.section(QLatin1Char('='), 0, 0);
    // "-style=fusion" carries its value.
    if (alone.contains(option) || (name != option && withValue.contains(name)))
        return 1;
    return withValue.contains(option) ? 2 : 0;
}

} // namespace

Outcome parse(const QStringList &arguments, const QString &currentDir)
{
    const QString program = arguments.isEmpty() ? QStringLiteral("vardel") : QFileInfo(arguments.first()).fileName();
    const auto usageError
        = [&](const QString &why) { return finish(2, {}, program + QStringLiteral(": ") + why + QLatin1Char('\n')); };

    // Qt's options go to the application object, the rest to the parser.
    QList<int> qtArguments;
    QStringList own {arguments.value(0)};
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (a == QLatin1String("--")) {
            own += arguments.mid(i);
            break;
        }
        const int length = qtOptionLength(a);
        if (length == 0) {
            own << a;
            continue;
        }
        if (i + length > arguments.size())
            return usageError(QStringLiteral("%1 needs a value").arg(a));
        for (int k = 0; k < length; ++k)
            qtArguments << i + k;
        i += length - 1;
    }

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Watches one folder and tells you when new files appear in it.\n"
                       "Qt's own options (-platform, -style, -reverse, -display, -geometry, -name, -session...) "
                       "are taken too."));
    // Own help and version options: the built-in ones also offer Qt's window
    // options, which are not read here.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays help on commandline options."));
    const QCommandLineOption showVersion({QStringLiteral("v"), QStringLiteral("version")},
                                         QStringLiteral("Displays version information."));
    parser.addOption(help);
    parser.addOption(showVersion);
    parser.addPositionalArgument(QStringLiteral("folder"),
                                 QStringLiteral("The folder to watch, instead of the one watched last time."),
                                 QStringLiteral("[folder]"));
    if (!parser.parse(own))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        // Without an application object the parser does not know the
        // program's name.
        QString text = parser.helpText();
        text.replace(QStringLiteral("<executable_name>"), program);
        return finish(0, text);
    }
    if (parser.isSet(showVersion))
        return finish(0, QStringLiteral("Vardel ") + version() + QLatin1Char('\n'));

    const QStringList folders = parser.positionalArguments();
    if (folders.size() > 1)
        return usageError(QStringLiteral("one folder can be watched, %1 were given").arg(folders.size()));
    Outcome o;
    o.qtArguments = qtArguments;
    if (folders.isEmpty())
        return o;
    const QString given = folders.first();
    const QString path = given.isEmpty() ? QString() : QDir::cleanPath(QDir(currentDir).absoluteFilePath(given));
    const QString why = path.isEmpty() ? QStringLiteral("no such folder") : refusal(path);
    if (!why.isEmpty())
        return usageError(given + QStringLiteral(": ") + why);
    o.folder = path;
    return o;
}

} // namespace CommandLine
