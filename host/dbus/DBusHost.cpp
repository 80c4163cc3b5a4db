#include "host/dbus/DBusHost.h"

#include "host/dbus/BusProtocol.h"
#include "host/dbus/BusTexts.h"

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>

#include <limits>
#include <optional>

namespace host::dbus {

namespace {

const QString ServiceUnknown = QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown");
const QString NameHasNoOwner = QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner");
const QString NoReply = QStringLiteral("org.freedesktop.DBus.Error.NoReply");
const QString Timeout = QStringLiteral("org.freedesktop.DBus.Error.Timeout");
const QString TimedOut = QStringLiteral("org.freedesktop.DBus.Error.TimedOut");
const QString Disconnected = QStringLiteral("org.freedesktop.DBus.Error.Disconnected");
const QString NoServer = QStringLiteral("org.freedesktop.DBus.Error.NoServer");
const QString BusDaemon = QStringLiteral("org.freedesktop.DBus");

// A failure whose description was worded as a QString.
Failure failure(std::int32_t number, const QString &description)
{
    return Failure(number, toU16(description));
}

QString busMessage(const QDBusMessage &reply)
{
    const QString text = reply.errorMessage();
    if (!text.isEmpty())
        return text;
    if (!reply.errorName().isEmpty())
        return reply.errorName();
    return QStringLiteral("no answer");
}

Failure typeMismatch(const QString &member, const QVariant &value, const char *expected)
{
    const char *got = value.isValid() ? value.typeName() : "nothing";
    return failure(Failure::TypeMismatch,
                   QStringLiteral("Type mismatch: %1 answered %2 where %3 was expected")
                       .arg(member, QLatin1String(got ? got : "an unknown value"), QLatin1String(expected)));
}

// A whole number carried by value, whatever its width on the bus.
std::optional<qint64> integerOf(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::UChar:
    case QMetaType::Char:
    case QMetaType::SChar:
        return value.toLongLong();
    case QMetaType::ULong:
    case QMetaType::ULongLong: {
        const qulonglong v = value.toULongLong();
        // Anything this large overflows every width the program uses.
        return v > qulonglong(std::numeric_limits<qint64>::max()) ? std::numeric_limits<qint64>::max() : qint64(v);
    }
    case QMetaType::Bool:
        // A late-bound Boolean converts to -1 (true) or 0.
        return value.toBool() ? -1 : 0;
    default:
        return std::nullopt;
    }
}

const QVariant &argumentAt(const QString &member, const QVariantList &args, int index)
{
    static const QVariant none;
    if (index >= args.size())
        throw typeMismatch(member, none, "a value");
    return args.at(index);
}

// ---------------------------------------------------------------------------

class DBusSalesList : public SalesList {
public:
    DBusSalesList(std::shared_ptr<BusChannel> channel, QString path)
        : channel_(std::move(channel)), path_(std::move(path)) {}

    std::int32_t GetCurrentRow() override
    {
        const QString member = QStringLiteral("GetCurrentRow");
        const QVariantList r = channel_->call(path_, protocol::SalesListInterface, member);
        return resultToInt32(member, argumentAt(member, r, 0));
    }

    std::u16string GetField(std::int16_t field, std::int32_t &row) override
    {
        const QString member = QStringLiteral("GetField");
        const QVariantList args{QVariant::fromValue<qint16>(field), QVariant::fromValue<qint32>(row)};
        const QDBusMessage reply = channel_->rawCall(path_, protocol::SalesListInterface, member, args);
        if (reply.type() == QDBusMessage::ErrorMessage && reply.errorName() == protocol::TextByDescriptorError)
            return toU16(bigField(member, args, row));
        if (reply.type() != QDBusMessage::ReplyMessage)
            throw channel_->failureFor(member, reply);
        const QVariantList r = reply.arguments();
        const QString text = resultToString(member, argumentAt(member, r, 0));
        if (r.size() > 1)
            row = resultToInt32(member, r.at(1));
        return toU16(text);
    }

    std::int32_t SetField(std::int16_t field, std::int32_t &row, std::u16string &text) override
    {
        const QString member = QStringLiteral("SetField");
        const QString change = QStringLiteral("the Details field was changed");
        // Every UTF-16 unit takes at least one byte of UTF-8.
        if (text.size() > std::size_t(protocol::MaxTextBytes))
            throw tooLarge(member, qint64(text.size()));
        const QString sent = toQString(text);
        if (sent.size() > protocol::InlineTextBytes / 3 && channel_->canPassDescriptors()) {
            const QByteArray utf8 = sent.toUtf8();
            if (utf8.size() > protocol::InlineTextBytes)
                return setBigField(member, change, field, row, sent, utf8);
        }
        const QVariantList r =
            channel_->call(path_, protocol::SalesListInterface, member,
                           {QVariant::fromValue<qint16>(field), QVariant::fromValue<qint32>(row), sent}, change);
        const std::int32_t result = resultToInt32(member, argumentAt(member, r, 0));
        if (r.size() > 1)
            row = resultToInt32(member, r.at(1));
        if (r.size() > 2)
            text = toU16(resultToString(member, r.at(2)));
        return result;
    }

private:
    static Failure tooLarge(const QString &member, qint64 atLeast)
    {
        return failure(Failure::InvalidCall,
                       QStringLiteral("Invalid procedure call or argument (%1: the text is %2 or more, more than the %3 "
                                      "that can cross to ACT!; it was not sent to ACT!)")
                           .arg(member, protocol::sizeText(atLeast), protocol::sizeText(protocol::MaxTextBytes)));
    }

    // A text too long for a message comes as a descriptor of a file.
    QString bigField(const QString &member, const QVariantList &args, std::int32_t &row)
    {
        const QVariantList r =
            channel_->call(path_, protocol::SalesListInterface, QStringLiteral("GetFieldByDescriptor"), args);
        const QVariant &value = argumentAt(member, r, 0);
        if (value.metaType() != QMetaType::fromType<QDBusUnixFileDescriptor>())
            throw typeMismatch(member, value, "a text");
        QString problem;
        const std::optional<QByteArray> utf8 = protocol::readTextDescriptor(
            value.value<QDBusUnixFileDescriptor>(), protocol::MaxTextBytes, &problem);
        std::optional<QString> text;
        if (utf8)
            text = protocol::crossingText(*utf8, &problem);
        if (!text)
            throw failure(Failure::AutomationError, QStringLiteral("Automation error (%1: %2)").arg(member, problem));
        if (r.size() > 1)
            row = resultToInt32(member, r.at(1));
        return *std::move(text);
    }

    // A text too long for a message goes as a descriptor of a sealed file;
    // the host leaves it as it was sent.
    std::int32_t setBigField(const QString &member, const QString &change, std::int16_t field, std::int32_t &row,
                             const QString &text, const QByteArray &utf8)
    {
        if (utf8.size() > protocol::MaxTextBytes)
            throw tooLarge(member, utf8.size());
        BusChannel::checkCrossing(member, text);
        QString problem;
        const QDBusUnixFileDescriptor descriptor = protocol::textDescriptor(utf8, &problem);
        if (!descriptor.isValid())
            throw failure(Failure::InvalidCall,
                          QStringLiteral("Invalid procedure call or argument (%1: %2; it was not sent to ACT!)")
                              .arg(member, problem));
        const QVariantList r = channel_->call(
            path_, protocol::SalesListInterface, QStringLiteral("SetFieldByDescriptor"),
            {QVariant::fromValue<qint16>(field), QVariant::fromValue<qint32>(row), QVariant::fromValue(descriptor)},
            change);
        const std::int32_t result = resultToInt32(member, argumentAt(member, r, 0));
        if (r.size() > 1)
            row = resultToInt32(member, r.at(1));
        return result;
    }

private:
    std::shared_ptr<BusChannel> channel_;
    QString path_;
};

class DBusView : public ActView {
public:
    DBusView(std::shared_ptr<BusChannel> channel, QString path) : channel_(std::move(channel)), path_(std::move(path)) {}

    std::shared_ptr<SalesList> Sales() override
    {
        const QString member = QStringLiteral("Sales");
        const QVariantList r = channel_->call(path_, protocol::ViewInterface, member);
        return std::make_shared<DBusSalesList>(channel_, resultToObjectPath(member, argumentAt(member, r, 0)));
    }

private:
    std::shared_ptr<BusChannel> channel_;
    QString path_;
};

class DBusViews : public ActViews {
public:
    DBusViews(std::shared_ptr<BusChannel> channel, QString path)
        : channel_(std::move(channel)), path_(std::move(path)) {}

    std::shared_ptr<ActView> Create(std::int16_t viewType, const std::u16string &name) override
    {
        const QString member = QStringLiteral("Create");
        const QVariantList r = channel_->call(path_, protocol::ViewsInterface, member,
                                              {QVariant::fromValue<qint16>(viewType), toQString(name)});
        return std::make_shared<DBusView>(channel_, resultToObjectPath(member, argumentAt(member, r, 0)));
    }

private:
    std::shared_ptr<BusChannel> channel_;
    QString path_;
};

class DBusApp : public ActApp {
public:
    DBusApp(std::shared_ptr<BusChannel> channel, QString path) : channel_(std::move(channel)), path_(std::move(path)) {}

    void OpenFile(const std::u16string &path) override
    {
        channel_->call(path_, protocol::ApplicationInterface, QStringLiteral("OpenFile"), {toQString(path)});
    }

    std::shared_ptr<ActViews> Views() override
    {
        const QString member = QStringLiteral("Views");
        const QVariantList r = channel_->call(path_, protocol::ApplicationInterface, member);
        return std::make_shared<DBusViews>(channel_, resultToObjectPath(member, argumentAt(member, r, 0)));
    }

    std::u16string GetOpenDBName() override
    {
        const QString member = QStringLiteral("GetOpenDBName");
        const QVariantList r = channel_->call(path_, protocol::ApplicationInterface, member);
        return toU16(resultToString(member, argumentAt(member, r, 0)));
    }

    void Command(std::int16_t command) override
    {
        channel_->call(path_, protocol::ApplicationInterface, QStringLiteral("Command"),
                       {QVariant::fromValue<qint16>(command)},
                       command == CloseCommand ? QStringLiteral("ACT! closed")
                                               : QStringLiteral("ACT! carried out command %1").arg(command));
    }

private:
    std::shared_ptr<BusChannel> channel_;
    QString path_;
};

class DBusAuxCommands : public AuxCommands {
public:
    DBusAuxCommands(std::shared_ptr<BusChannel> channel, QString path)
        : channel_(std::move(channel)), path_(std::move(path)) {}

    std::int16_t AuxCommandExistsInToolbar(std::int16_t view, const std::u16string &name) override
    {
        return call16(QStringLiteral("AuxCommandExistsInToolbar"),
                      {QVariant::fromValue<qint16>(view), toQString(name)});
    }
    std::int16_t AuxCommandExistsInToolsMenu(std::int16_t view, const std::u16string &name) override
    {
        return call16(QStringLiteral("AuxCommandExistsInToolsMenu"),
                      {QVariant::fromValue<qint16>(view), toQString(name)});
    }
    std::int16_t AuxCommandExists(const std::u16string &name) override
    {
        return call16(QStringLiteral("AuxCommandExists"), {toQString(name)});
    }
    std::int32_t AddAuxCommand(const std::u16string &name, const std::u16string &executable,
                               const std::u16string &folder, const std::u16string &caption,
                               const std::u16string &tooltip, const std::u16string &icon,
                               const std::u16string &largeIcon, std::int16_t flags) override
    {
        return call32(QStringLiteral("AddAuxCommand"),
                      {toQString(name), toQString(executable), toQString(folder), toQString(caption),
                       toQString(tooltip), toQString(icon), toQString(largeIcon), QVariant::fromValue<qint16>(flags)},
                      QStringLiteral("the command's registration was made"));
    }
    std::int32_t AddAuxCommandToToolbar(std::int16_t view, const std::u16string &name) override
    {
        return call32(QStringLiteral("AddAuxCommandToToolbar"), {QVariant::fromValue<qint16>(view), toQString(name)},
                      QStringLiteral("the command was given its place on the toolbar"));
    }
    std::int32_t RemoveAuxCommandFromToolbar(std::int16_t view, const std::u16string &name) override
    {
        return call32(QStringLiteral("RemoveAuxCommandFromToolbar"),
                      {QVariant::fromValue<qint16>(view), toQString(name)},
                      QStringLiteral("the command's place on the toolbar was removed"));
    }
    std::int32_t AddAuxCommandToToolsMenu(std::int16_t view, const std::u16string &name) override
    {
        return call32(QStringLiteral("AddAuxCommandToToolsMenu"), {QVariant::fromValue<qint16>(view), toQString(name)},
                      QStringLiteral("the command was given its place in the Tools menu"));
    }
    std::int32_t RemoveAuxCommandFromToolsMenu(std::int16_t view, const std::u16string &name) override
    {
        return call32(QStringLiteral("RemoveAuxCommandFromToolsMenu"),
                      {QVariant::fromValue<qint16>(view), toQString(name)},
                      QStringLiteral("the command's place in the Tools menu was removed"));
    }

private:
    std::int16_t call16(const QString &member, const QVariantList &args)
    {
        const QVariantList r = channel_->call(path_, protocol::AuxCommandsInterface, member, args);
        return resultToInt16(member, argumentAt(member, r, 0));
    }
    // Every 32-bit call of this object writes; change says what.
    std::int32_t call32(const QString &member, const QVariantList &args, const QString &change)
    {
        const QVariantList r = channel_->call(path_, protocol::AuxCommandsInterface, member, args, change);
        return resultToInt32(member, argumentAt(member, r, 0));
    }

    std::shared_ptr<BusChannel> channel_;
    QString path_;
};

} // namespace

// ---------------------------------------------------------------------------

std::int16_t resultToInt16(const QString &member, const QVariant &value)
{
    const std::optional<qint64> n = integerOf(value);
    if (!n)
        throw typeMismatch(member, value, "a number");
    return toInt16(*n);
}

std::int32_t resultToInt32(const QString &member, const QVariant &value)
{
    const std::optional<qint64> n = integerOf(value);
    if (!n)
        throw typeMismatch(member, value, "a number");
    return toInt32(*n);
}

bool resultToBool(const QString &member, const QVariant &value)
{
    if (value.metaType().id() == QMetaType::Bool)
        return value.toBool();
    const std::optional<qint64> n = integerOf(value);
    if (!n)
        throw typeMismatch(member, value, "a Boolean");
    return *n != 0;
}

QString resultToString(const QString &member, const QVariant &value)
{
    if (value.metaType().id() != QMetaType::QString)
        throw typeMismatch(member, value, "a text");
    return value.toString();
}

QString resultToObjectPath(const QString &member, const QVariant &value)
{
    if (value.metaType() != QMetaType::fromType<QDBusObjectPath>())
        throw typeMismatch(member, value, "an object");
    return value.value<QDBusObjectPath>().path();
}

EventArgument eventArgumentOf(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Double:
    case QMetaType::Float:
        return value.toDouble();
    case QMetaType::QString:
        return toU16(value.toString());
    default:
        break;
    }
    // A whole number of another width is kept as 32 bits when it fits, and
    // as a double when it does not, as the Windows face hands it.
    if (const std::optional<qint64> n = integerOf(value)) {
        if (*n >= std::numeric_limits<std::int32_t>::min() && *n <= std::numeric_limits<std::int32_t>::max())
            return std::int32_t(*n);
        if (value.metaType().id() == QMetaType::ULongLong || value.metaType().id() == QMetaType::ULong)
            return double(value.toULongLong());
        return double(*n);
    }
    return std::monostate();
}

bool BusChannel::isAbsent(const QDBusMessage &reply)
{
    const QString name = reply.errorName();
    return name == ServiceUnknown || name == NameHasNoOwner || name == Disconnected || name == NoServer;
}

bool BusChannel::isUnavailable(const QDBusMessage &reply)
{
    const QString name = reply.errorName();
    return isAbsent(reply) || name == NoReply || name == Timeout || name == TimedOut;
}

QString BusChannel::unavailableReason(const QDBusMessage &reply) const
{
    if (isAbsent(reply))
        return peer_.isEmpty() ? QStringLiteral("ACT! is not running") : QStringLiteral("ACT! is no longer running");
    // The bus itself answers NoReply for a host that left with the call
    // unanswered; a call that ran out of time is answered by our own
    // connection.
    if (reply.service() == BusDaemon && reply.errorName() == NoReply)
        return QStringLiteral("ACT! went away without answering");
    return QStringLiteral("ACT! did not answer within %1 s").arg(protocol::CallTimeoutMs / 1000);
}

void BusChannel::logBusWords(const QString &member, const QDBusMessage &reply)
{
    // The bus's own words mean nothing to a user, but tell a developer which
    // connection was gone and why.
    qWarning("Pennaroc: %s: %s: %s", qPrintable(member), qPrintable(reply.errorName()), qPrintable(busMessage(reply)));
}

Failure BusChannel::failureFor(const QString &member, const QDBusMessage &reply, const QString &change) const
{
    if (!isUnavailable(reply))
        return failure(Failure::AutomationError,
                       QStringLiteral("Automation error (%1: %2)").arg(member, busMessage(reply)));
    logBusWords(member, reply);
    QString said = unavailableReason(reply);
    // A call that was delivered and never answered may still be carried out
    // later (a host stopped for a while works through its queue when it
    // resumes), and the bus cannot take a call back. A write then says that
    // its outcome is not known. A call that never reached a host (nobody
    // owns the name) changed nothing, and a read changes nothing anyway.
    if (!change.isEmpty() && !isAbsent(reply))
        said += QStringLiteral(", so whether %1 is not known").arg(change);
    return failure(Failure::ServerUnavailable,
                   QStringLiteral("The remote server machine does not exist or is unavailable (%1: %2)")
                       .arg(member, said));
}

void BusChannel::checkCrossing(const QString &member, const QString &text)
{
    const QString problem = protocol::textCrossingProblem(text);
    if (!problem.isEmpty())
        throw failure(Failure::InvalidCall,
                      QStringLiteral("Invalid procedure call or argument (%1: %2; it was not sent to ACT!)")
                          .arg(member, problem));
}

bool BusChannel::canPassDescriptors() const
{
    return bus_.connectionCapabilities().testFlag(QDBusConnection::UnixFileDescriptorPassing);
}

QDBusMessage BusChannel::send(const QString &path, const QString &interface, const QString &member,
                              const QVariantList &args)
{
    for (const QVariant &arg : args)
        if (arg.metaType().id() == QMetaType::QString)
            checkCrossing(member, arg.toString());
    QDBusMessage message =
        QDBusMessage::createMethodCall(peer_.isEmpty() ? protocol::Service : peer_, path, interface, member);
    message.setArguments(args);
    const QDBusMessage reply = bus_.call(message, QDBus::Block, protocol::CallTimeoutMs);

    // A host's answer carries its unique name; the bus's own errors and our
    // connection's time-outs do not.
    const QString sender = reply.service();
    if (sender.startsWith(QLatin1Char(':'))) {
        if (peer_.isEmpty()) {
            peer_ = sender;
        } else if (sender != peer_) {
            // Only a call sent to the well-known name before the first answer
            // can come back from elsewhere: a notification handled while it
            // waited made a call that was answered first, by another host.
            throw failure(Failure::ServerUnavailable,
                          QStringLiteral("The remote server machine does not exist or is unavailable (%1: answered "
                                         "by another ACT! than the one this program works with)")
                              .arg(member));
        }
    }
    return reply;
}

QDBusMessage BusChannel::rawCall(const QString &path, const QString &interface, const QString &member,
                                 const QVariantList &args, const QString &change)
{
    const QDBusMessage reply = send(path, interface, member, args);
    if (!peer_.isEmpty() && reply.type() != QDBusMessage::ReplyMessage && isUnavailable(reply))
        throw failureFor(member, reply, change);
    return reply;
}

QVariantList BusChannel::call(const QString &path, const QString &interface, const QString &member,
                              const QVariantList &args, const QString &change)
{
    const QDBusMessage reply = rawCall(path, interface, member, args, change);
    if (reply.type() != QDBusMessage::ReplyMessage)
        throw failureFor(member, reply, change);
    return reply.arguments();
}

// ---------------------------------------------------------------------------

DBusActEvent::DBusActEvent(std::shared_ptr<BusChannel> channel, QObject *parent)
    : QObject(parent), channel_(std::move(channel))
{
    channel_->bus().connect(protocol::Service, protocol::EventControlPath, protocol::EventControlInterface,
                            QStringLiteral("Event"), this, SLOT(onEvent(QDBusMessage)));
}

DBusActEvent::~DBusActEvent()
{
    channel_->bus().disconnect(protocol::Service, protocol::EventControlPath, protocol::EventControlInterface,
                               QStringLiteral("Event"), this, SLOT(onEvent(QDBusMessage)));
}

std::int32_t DBusActEvent::Id1(std::int32_t argument)
{
    const QString member = QStringLiteral("Id1");
    const QDBusMessage reply = channel_->rawCall(protocol::EventControlPath, protocol::EventControlInterface, member,
                                                 {QVariant::fromValue<qint32>(argument)});
    if (reply.type() != QDBusMessage::ReplyMessage) {
        // Nobody on the bus before any host answered is an answer: there is
        // no link. Once a host answered, its absence is thrown as 462.
        if (BusChannel::isAbsent(reply))
            return 0;
        throw channel_->failureFor(member, reply);
    }
    return resultToInt32(member, argumentAt(member, reply.arguments(), 0));
}

void DBusActEvent::Id2()
{
    channel_->call(protocol::EventControlPath, protocol::EventControlInterface, QStringLiteral("Id2"));
}

bool DBusActEvent::Id3()
{
    const QString member = QStringLiteral("Id3");
    const QDBusMessage reply = channel_->rawCall(protocol::EventControlPath, protocol::EventControlInterface, member);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        if (BusChannel::isAbsent(reply))
            return false;
        throw channel_->failureFor(member, reply);
    }
    return resultToBool(member, argumentAt(member, reply.arguments(), 0));
}

void DBusActEvent::onEvent(const QDBusMessage &message)
{
    // Before the first answer any owner of the name is the host; after it,
    // only the one that answered.
    if (!channel_->isFromPeer(message))
        return;
    const QVariantList in = message.arguments();
    if (in.isEmpty())
        return;
    const std::optional<qint64> id = integerOf(in.at(0));
    if (!id || *id < FirstEvent || *id > LastEvent)
        return; // not one of the control's events
    QVariantList raws;
    if (in.size() > 1) {
        const QVariant &raw = in.at(1);
        if (raw.canConvert<QDBusArgument>()) {
            const QDBusArgument argument = raw.value<QDBusArgument>();
            if (argument.currentSignature() == QLatin1String("av"))
                argument >> raws;
        } else if (raw.metaType().id() == QMetaType::QVariantList) {
            raws = raw.toList();
        }
    }
    if (!handler_)
        return;
    std::vector<EventArgument> args;
    args.reserve(std::size_t(raws.size()));
    for (const QVariant &raw : std::as_const(raws))
        args.push_back(eventArgumentOf(raw));
    // The handler may end the program and destroy this control while it runs:
    // call a copy, and touch nothing of this object afterwards.
    const Handler handler = handler_;
    try {
        handler(std::int16_t(*id), args);
    } catch (const Failure &) {
        // The program's event handlers skip failing statements themselves;
        // nothing may unwind into the event loop.
    }
}

// ---------------------------------------------------------------------------

DBusHostFactory::DBusHostFactory(QDBusConnection bus)
    : channel_(std::make_shared<BusChannel>(std::move(bus))), event_(std::make_unique<DBusActEvent>(channel_))
{
}

DBusHostFactory::~DBusHostFactory() = default;

QString DBusHostFactory::createObject(const QString &progId)
{
    const QString member = QStringLiteral("CreateObject");
    // An object that cannot be made is refused as such, whatever the reason:
    // no host, a host that is gone or silent, or one that refuses the
    // identifier. Once a host answered, the request goes to that host alone,
    // so that no object is ever made on another one that took its place.
    const QDBusMessage reply = channel_->send(protocol::FactoryPath, protocol::FactoryInterface, member, {progId});
    if (reply.type() != QDBusMessage::ReplyMessage) {
        QString why;
        if (BusChannel::isUnavailable(reply)) {
            BusChannel::logBusWords(member + QLatin1Char(' ') + progId, reply);
            why = channel_->unavailableReason(reply);
        } else {
            why = QStringLiteral("ACT! refused \"%1\": %2").arg(progId, busMessage(reply));
        }
        throw failure(Failure::CannotCreateObject,
                      QStringLiteral("ActiveX component can't create object (%1)").arg(why));
    }
    return resultToObjectPath(member, argumentAt(member, reply.arguments(), 0));
}

std::shared_ptr<ActApp> DBusHostFactory::createAppObject()
{
    return std::make_shared<DBusApp>(channel_, createObject(toQString(AppObjectProgId)));
}

std::shared_ptr<AuxCommands> DBusHostFactory::createAuxCommands()
{
    return std::make_shared<DBusAuxCommands>(channel_, createObject(toQString(AuxCommandsProgId)));
}

} // namespace host::dbus
