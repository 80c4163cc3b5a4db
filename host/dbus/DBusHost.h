#pragma once

// The host interfaces served over the session bus by the stand-in ACT!.
//
// Every call is late-bound: a method call message built by member name, sent
// and awaited for at most protocol::CallTimeoutMs. Failures follow the
// runtime's numbers:
//   429  an automation object cannot be created (no host on the bus, the
//        host that answered first is gone or silent, or the host refuses
//        the identifier)
//   440  the host answered with an error
//   462  the host is gone or did not answer in time; for a call that
//        changes something, a call that got no answer says that whether
//        the change was made is not known
//   13   the host answered with a value of the wrong type
//   6    a 16-bit (or 32-bit) answer does not fit
//   5    a text that cannot cross the bus unaltered (NUL, unpaired
//        surrogate); it is not sent

#include "host/ActHost.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QVariantList>

#include <memory>
#include <string>
#include <string_view>

namespace host::dbus {

// The connection and the one way calls are made on it.
//
// The program works with one host: the process that first answered it. Until
// then calls go to the service's well-known name; the first answer from a
// host (a reply or an error reply, whose sender is that host's unique
// connection name, like ":1.42") pins the channel to it, and from then on
// every call is addressed to that unique name. The bus never gives a unique
// name to another connection, so once the pinned host is gone every call
// fails with 462 and none can reach a host that took the well-known name
// since. The objects a factory makes share its one channel.
class BusChannel {
public:
    explicit BusChannel(QDBusConnection bus) : bus_(std::move(bus)) {}

    // Calls member on the host object at path and returns the reply's
    // arguments, or throws the failure described above. change names what a
    // writing call changes, worded to follow "whether": the report of a call
    // that got no answer then says that its outcome is not known. Reads pass
    // an empty text.
    QVariantList call(const QString &path, const QString &interface, const QString &member,
                      const QVariantList &args = {}, const QString &change = {});
    // The reply as it came, for callers that read "nobody there" as an
    // answer. Only before any host answered can such a reply come back: once
    // the channel is pinned, a pinned host that is gone or silent is thrown
    // as 462 like any other call.
    QDBusMessage rawCall(const QString &path, const QString &interface, const QString &member,
                         const QVariantList &args = {}, const QString &change = {});
    QDBusConnection bus() const { return bus_; }
    // True when texts may cross as descriptors of files (see BusTexts.h).
    bool canPassDescriptors() const;
    // Throws failure 5 for a text that cannot cross the bus unaltered.
    static void checkCrossing(const QString &member, const QString &text);

    // The unique name of the host that answered first; empty until then.
    QString peer() const { return peer_; }
    // True when a message (a notification) comes from the host this channel
    // works with: the pinned one, or before pinning whoever sent it.
    bool isFromPeer(const QDBusMessage &message) const { return peer_.isEmpty() || message.service() == peer_; }

    // True for the errors that mean nobody owns the service name.
    static bool isAbsent(const QDBusMessage &reply);
    // True for the errors that mean the host vanished or did not answer.
    static bool isUnavailable(const QDBusMessage &reply);
    // The failure for an error reply to member; change as for call(). Its
    // description speaks of ACT!, never of the bus; the bus's own words go
    // to the log (standard error).
    Failure failureFor(const QString &member, const QDBusMessage &reply, const QString &change = {}) const;
    // Why a host did not answer, in a user's words.
    QString unavailableReason(const QDBusMessage &reply) const;
    static void logBusWords(const QString &member, const QDBusMessage &reply);
    // Sends a call as rawCall does, and hands back whatever reply came, also
    // from a pinned host that is gone.
    QDBusMessage send(const QString &path, const QString &interface, const QString &member,
                      const QVariantList &args = {});

private:
    QDBusConnection bus_;
    QString peer_;
};

// Texts cross the interfaces as UTF-16 strings and the bus as QStrings,
// unit for unit. (QString::fromStdU16String reads a leading U+FEFF or U+FFFE
// as a byte order mark, and would drop the one or swap every unit after the
// other.)
inline QString toQString(std::u16string_view text)
{
    return QString(reinterpret_cast<const QChar *>(text.data()), qsizetype(text.size()));
}
inline std::u16string toU16(const QString &text) { return text.toStdU16String(); }

// Conversions of reply values, as a late-bound call converts them.
std::int16_t resultToInt16(const QString &member, const QVariant &value);
std::int32_t resultToInt32(const QString &member, const QVariant &value);
bool resultToBool(const QString &member, const QVariant &value);
QString resultToString(const QString &member, const QVariant &value);
QString resultToObjectPath(const QString &member, const QVariant &value);
// A value an event carries, as the handler receives it: a whole number as
// 32 bits when it fits (else as a double), a Boolean, a double, a text;
// anything else is empty.
EventArgument eventArgumentOf(const QVariant &value);

// The event control. It listens for the Event signal by the service's name,
// so before any host answered it follows a stand-in that was restarted; once
// the channel is pinned it takes notifications only from the pinned host, so
// that another host that took the name can neither close nor steer this
// program. It runs the handler on the thread it lives on (the UI thread).
class DBusActEvent : public QObject, public host::ActEvent {
    Q_OBJECT
public:
    explicit DBusActEvent(std::shared_ptr<BusChannel> channel, QObject *parent = nullptr);
    ~DBusActEvent() override;

    std::int32_t Id1(std::int32_t argument) override;
    void Id2() override;
    bool Id3() override;
    void setHandler(Handler handler) override { handler_ = std::move(handler); }

private Q_SLOTS:
    void onEvent(const QDBusMessage &message);

private:
    std::shared_ptr<BusChannel> channel_;
    Handler handler_;
};

class DBusHostFactory : public host::HostFactory {
public:
    explicit DBusHostFactory(QDBusConnection bus = QDBusConnection::sessionBus());
    ~DBusHostFactory() override;

    std::shared_ptr<ActApp> createAppObject() override;
    std::shared_ptr<AuxCommands> createAuxCommands() override;
    ActEvent &eventControl() override { return *event_; }

private:
    QString createObject(const QString &progId);

    std::shared_ptr<BusChannel> channel_;
    std::unique_ptr<DBusActEvent> event_;
};

} // namespace host::dbus
