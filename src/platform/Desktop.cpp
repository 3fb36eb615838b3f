// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "platform/Desktop.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QTranslator>
#include <QWindow>

#ifdef VARDEL_HAVE_XCB
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#endif

namespace Desktop {

namespace {

QString g_platformName;

#ifdef VARDEL_HAVE_XCB
xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *reply
        = xcb_intern_atom_reply(c, xcb_intern_atom(c, false, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return a;
}

// Ends the launch feedback of a start: "remove: ID=..." in pieces of 20
// bytes, the first under _NET_STARTUP_INFO_BEGIN.
void endStartup(xcb_connection_t *c, xcb_window_t root, xcb_window_t from, const QString &id)
{
    QByteArray quoted = id.toUtf8();
    quoted.replace('\\', "\\\\").replace('"', "\\\"");
    const QByteArray message = "remove: ID=\"" + quoted + "\"" + QByteArray(1, '\0');
    const xcb_atom_t begin = atom(c, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = atom(c, "_NET_STARTUP_INFO");
    for (qsizetype sent = 0; sent < message.size(); sent += 20) {
        xcb_client_message_event_t event {};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 8;
        event.window = from;
        event.type = sent == 0 ? begin : more;
        std::memcpy(event.data.data8, message.constData() + sent,
                    size_t(std::min<qsizetype>(20, message.size() - sent)));
        xcb_send_event(c, false, root, XCB_EVENT_MASK_PROPERTY_CHANGE, reinterpret_cast<const char *>(&event));
    }
}

// Asks the window manager to activate the window as of the time the user
// started the launch, which the startup id carries ("..._TIME<ms>"): a
// window manager that guards the focus lets such a request through.
void activateX11(QWindow *window, const QString &id)
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !window->handle())
        return;
    xcb_connection_t *c = x11->connection();
    const auto own = xcb_window_t(window->winId());
    xcb_query_tree_reply_t *tree = xcb_query_tree_reply(c, xcb_query_tree(c, own), nullptr);
    if (!tree)
        return;
    const xcb_window_t root = tree->root;
    std::free(tree);
    endStartup(c, root, own, id);
    const QRegularExpressionMatch time = QRegularExpression(QStringLiteral("_TIME(\\d+)$")).match(id);
    if (time.hasMatch()) {
        xcb_client_message_event_t event {};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = own;
        event.type = atom(c, "_NET_ACTIVE_WINDOW");
        event.data.data32[0] = 1; // asked by an application
        event.data.data32[1] = time.captured(1).toUInt();
        xcb_send_event(c, false, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char *>(&event));
    }
    xcb_flush(c);
}
#endif

} // namespace

QString platformName()
{
    return g_platformName.isEmpty() ? QGuiApplication::platformName() : g_platformName;
}

void setPlatformName(const QString &name)
{
    g_platformName = name;
}

bool placesWindows()
{
    return !platformName().startsWith(QLatin1String("wayland"));
}

LaunchTokens launchTokens()
{
    return {qEnvironmentVariable("XDG_ACTIVATION_TOKEN"), qEnvironmentVariable("DESKTOP_STARTUP_ID")};
}

QString tokenFor(const LaunchTokens &tokens)
{
    return placesWindows() ? tokens.startupId : tokens.activationToken;
}

void activate(QWindow *window, const QString &token)
{
    if (!window)
        return;
    // Qt's Wayland plugin hands the compositor the token it finds here.
    if (!token.isEmpty() && !placesWindows())
        qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
    window->requestActivate();
#ifdef VARDEL_HAVE_XCB
    if (!token.isEmpty() && platformName() == QLatin1String("xcb"))
        activateX11(window, token);
#endif
}

QTranslator *installQtTranslations(const QLocale &locale, const QString &folder)
{
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
        delete translator;
        return nullptr;
    }
    QCoreApplication::installTranslator(translator);
    return translator;
}

} // namespace Desktop
