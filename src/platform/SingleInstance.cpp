// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "platform/SingleInstance.h"

#include "platform/FileNames.h"

#include <QDBusMessage>

namespace {

const QString kBus = QStringLiteral("org.freedesktop.DBus");
const QString kInterface = QStringLiteral("org.freedesktop.Application");
const QString kNoReply = QStringLiteral("org.freedesktop.DBus.Error.NoReply");
// The bus answers at once; a start that is still coming up may take longer.
constexpr int kAskMs = 500;
constexpr int kHandOverMs = 1500;
constexpr uint kDoNotQueue = 4;
constexpr uint kPrimaryOwner = 1;
constexpr uint kAlreadyOwner = 4;

QDBusMessage busCall(const QString &method, const QVariantList &arguments)
{
    QDBusMessage m = QDBusMessage::createMethodCall(kBus, QStringLiteral("/org/freedesktop/DBus"), kBus, method);
    m.setArguments(arguments);
    return m;
}

} // namespace

// What the first start answers on the bus.
class ApplicationAdaptor : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    explicit ApplicationAdaptor(SingleInstance *instance)
        : m_instance(instance)
    { }

public Q_SLOTS:
    void Activate(const QVariantMap &platformData) { m_instance->heard({}, platformData); }
    void Open(const QStringList &uris, const QVariantMap &platformData) { m_instance->heard(uris, platformData); }

private:
    SingleInstance *m_instance;
};

const QString SingleInstance::kService = QStringLiteral("io.github.vardel.Vardel");
const QString SingleInstance::kPath = QStringLiteral("/io/github/vardel/Vardel");

SingleInstance::SingleInstance(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
    , m_adaptor(new ApplicationAdaptor(this))
{ }

SingleInstance::~SingleInstance()
{
    release();
    delete m_adaptor;
}

SingleInstance::Role SingleInstance::start(const QString &folder, const Desktop::LaunchTokens &tokens)
{
    if (!m_bus.isConnected())
        return Role::Alone;
    // The object answers before the name is taken: a start that finds the
    // name calls at once.
    m_bus.registerObject(kPath, m_adaptor, QDBusConnection::ExportAllSlots);
    QVariantMap platformData;
    if (!tokens.activationToken.isEmpty())
        platformData.insert(QStringLiteral("activation-token"), tokens.activationToken);
    if (!tokens.startupId.isEmpty())
        platformData.insert(QStringLiteral("desktop-startup-id"), tokens.startupId);
    QDBusMessage handOver = QDBusMessage::createMethodCall(
        kService, kPath, kInterface, folder.isEmpty() ? QStringLiteral("Activate") : QStringLiteral("Open"));
    handOver.setArguments(folder.isEmpty() ? QVariantList {platformData}
                                           : QVariantList {QStringList {folderUri(folder)}, platformData});

    // A start that had the name may end between the two calls: then the
    // name is free again and taken anew.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const QDBusMessage asked
            = m_bus.call(busCall(QStringLiteral("RequestName"), {kService, kDoNotQueue}), QDBus::Block, kAskMs);
        if (asked.type() != QDBusMessage::ReplyMessage)
            return Role::Alone;
        const uint answer = asked.arguments().value(0).toUInt();
        if (answer == kPrimaryOwner || answer == kAlreadyOwner) {
            m_owner = true;
            return Role::First;
        }
        // Events are turned meanwhile: in one process (tests) the first
        // start answers on this thread.
        const QDBusMessage reply = m_bus.call(handOver, QDBus::BlockWithGui, kHandOverMs);
        if (reply.type() == QDBusMessage::ReplyMessage)
            return Role::HandedOver;
        if (reply.errorName() == kNoReply) {
            // One still coming up gets the call once it is; one that ended
            // without answering has left the name.
            const QDBusMessage owner
                = m_bus.call(busCall(QStringLiteral("NameHasOwner"), {kService}), QDBus::Block, kAskMs);
            if (owner.type() != QDBusMessage::ReplyMessage)
                return Role::Alone;
            if (owner.arguments().value(0).toBool())
                return Role::HandedOver;
        } else if (reply.errorName() != kBus + QStringLiteral(".Error.ServiceUnknown")
                   && reply.errorName() != kBus + QStringLiteral(".Error.NameHasNoOwner")) {
            // Another program with the name, answering something else.
            return Role::Alone;
        }
    }
    return Role::Alone;
}

void SingleInstance::release()
{
    if (!m_owner)
        return;
    m_owner = false;
    m_bus.unregisterObject(kPath);
    m_bus.call(busCall(QStringLiteral("ReleaseName"), {kService}), QDBus::Block, kAskMs);
}

QString SingleInstance::folderUri(const QString &folder)
{
    return QStringLiteral("file://") + QString::fromLatin1(FileNames::encode(folder).toPercentEncoding("/"));
}

QString SingleInstance::uriFolder(const QString &uri)
{
    const QString prefix = QStringLiteral("file://");
    if (!uri.startsWith(prefix) || !uri.mid(prefix.size()).startsWith(QLatin1Char('/')))
        return {};
    return FileNames::decode(QByteArray::fromPercentEncoding(uri.mid(prefix.size()).toUtf8()));
}

void SingleInstance::heard(const QStringList &uris, const QVariantMap &platformData)
{
    const QString token = Desktop::tokenFor({platformData.value(QStringLiteral("activation-token")).toString(),
                                             platformData.value(QStringLiteral("desktop-startup-id")).toString()});
    // One folder is watched: the first one given.
    for (const QString &uri : uris) {
        if (const QString folder = uriFolder(uri); !folder.isEmpty()) {
            Q_EMIT requested(folder, token);
            return;
        }
    }
    Q_EMIT requested({}, token);
}

#include "SingleInstance.moc"
