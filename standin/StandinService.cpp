#include "standin/StandinService.h"

#include "host/dbus/BusProtocol.h"
#include "host/dbus/BusTexts.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QThread>
#include <QTimer>

namespace standin {

namespace protocol = host::dbus::protocol;

namespace {

constexpr qint16 DetailsField = 36;
constexpr qint16 CloseCommand = 150;

qint64 characterCount(const QString &text)
{
    qint64 count = 0;
    for (const QChar c : text)
        if (!c.isLowSurrogate())
            ++count;
    return count;
}

bool validView(qint16 view) { return view >= protocol::FirstView && view <= protocol::LastView; }

} // namespace

void flushConnection(QDBusConnection bus)
{
    const QDBusMessage ping = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId"));
    bus.call(ping, QDBus::Block, protocol::CallTimeoutMs);
}

StandinService::StandinService(std::unique_ptr<StandinDatabase> db, Options options, QDBusConnection bus,
                               QObject *parent)
    : QObject(parent), db_(std::move(db)), options_(options), bus_(std::move(bus))
{
    currentRow_ = options_.currentRow;
}

StandinService::~StandinService()
{
    for (const QString &path : {protocol::FactoryPath, protocol::ApplicationPath, protocol::ViewsPath,
                                protocol::SalesPath, protocol::AuxCommandsPath, protocol::EventControlPath,
                                protocol::ControlPath})
        bus_.unregisterObject(path);
    for (qint16 view = protocol::FirstView; view <= protocol::LastView; ++view)
        bus_.unregisterObject(protocol::ViewPathPrefix + QString::number(view));
    if (objects_.empty())
        return;
    // A call the bus library handed to an object before it was unregistered
    // may still wait on the bus thread: it runs now, with the service still
    // here. After it no event is left for the objects, and none can come.
    QThread *busThread = objects_.front()->thread();
    if (busThread != QThread::currentThread() && busThread->isRunning())
        QMetaObject::invokeMethod(objects_.front().get(), [] {}, Qt::BlockingQueuedConnection);
    objects_.clear();
}

bool StandinService::start(QString *error)
{
    if (!bus_.isConnected()) {
        *error = QStringLiteral("cannot reach the session bus: %1").arg(bus_.lastError().message());
        return false;
    }
    // The thread the bus library receives on (its connection interface
    // lives there).
    QThread *busThread = bus_.interface() ? bus_.interface()->thread() : nullptr;
    const auto exportObject = [this, error, busThread](const QString &path, std::unique_ptr<QObject> object) {
        // Slots only: the event control's Event signal is sent as a message
        // of its own (raiseEvent).
        if (!bus_.registerObject(path, object.get(), QDBusConnection::ExportAllSlots)) {
            *error = QStringLiteral("cannot export %1 on the session bus").arg(path);
            return false;
        }
        // With what the bus library made for it; nobody can call it before
        // the service name is taken below.
        if (busThread)
            object->moveToThread(busThread);
        objects_.push_back(std::move(object));
        return true;
    };
    bool ok = exportObject(protocol::FactoryPath, std::make_unique<FactoryObject>(*this))
        && exportObject(protocol::ApplicationPath, std::make_unique<ApplicationObject>(*this))
        && exportObject(protocol::ViewsPath, std::make_unique<ViewsObject>(*this))
        && exportObject(protocol::SalesPath, std::make_unique<SalesListObject>(*this))
        && exportObject(protocol::AuxCommandsPath, std::make_unique<AuxCommandsObject>(*this))
        && exportObject(protocol::EventControlPath, std::make_unique<EventControlObject>(*this))
        && exportObject(protocol::ControlPath, std::make_unique<ControlObject>(*this));
    for (qint16 view = protocol::FirstView; ok && view <= protocol::LastView; ++view)
        ok = exportObject(protocol::ViewPathPrefix + QString::number(view), std::make_unique<ViewObject>(*this));
    if (!ok)
        return false;

    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        bus_.interface()->registerService(protocol::Service, QDBusConnectionInterface::DontQueueService,
                                          QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) {
        *error = QStringLiteral("cannot take the name %1 on the session bus: %2")
                     .arg(protocol::Service, reply.error().message());
        return false;
    }
    if (reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        *error = QStringLiteral("another stand-in ACT! already runs on the session bus (%1 is taken)")
                     .arg(protocol::Service);
        return false;
    }
    return true;
}

void StandinService::raiseEvent(qint16 id, const QVariantList &args)
{
    QDBusMessage signal =
        QDBusMessage::createSignal(protocol::EventControlPath, protocol::EventControlInterface, QStringLiteral("Event"));
    signal << QVariant::fromValue<qint16>(id) << QVariant::fromValue(args);
    bus_.send(signal);
}

void StandinService::select(qint32 row)
{
    const auto held = lock();
    if (!db_)
        throw DatabaseError(QStringLiteral("no database is open"));
    if (row != -1 && !db_->rowExists(row))
        throw DatabaseError(QStringLiteral("no record at row %1").arg(row));
    currentRow_ = row;
    if (!options_.readOnly)
        db_->setCurrentRow(row);
    raiseEvent(22, {QVariant::fromValue<qint32>(row)});
    Q_EMIT currentRowChanged(row);
}

void StandinService::openDatabase(const QString &path)
{
    const auto held = lock();
    auto next = std::make_unique<StandinDatabase>(path);
    closeDatabase();
    db_ = std::move(next);
    currentRow_ = db_->currentRow();
    Q_EMIT databaseChanged();
}

void StandinService::closeDatabase()
{
    const auto held = lock();
    if (!db_)
        return;
    db_.reset();
    currentRow_ = -1;
    raiseEvent(10);
    Q_EMIT databaseChanged();
}

void StandinService::releaseName()
{
    if (nameReleased_.exchange(true))
        return;
    // A blocking call: once it returns, the bus daemon has let the name go,
    // and a stand-in started next (as the desktop starts one when a restart
    // of ACT! reopens the database) can take it.
    bus_.interface()->unregisterService(protocol::Service);
}

void StandinService::closeAndAnswer(const QDBusMessage &reply)
{
    // The caller gets its answer before the stand-in goes away, and after
    // the name is free again. Freeing the name waits for the bus daemon,
    // which the bus thread that received the call cannot do: this thread
    // does it.
    QMetaObject::invokeMethod(
        this,
        [this, reply] {
            closeDatabase();
            releaseName();
            bus_.send(reply);
            closeAndQuit();
        },
        Qt::QueuedConnection);
}

void StandinService::closeAndQuit()
{
    if (quitting_.exchange(true))
        return;
    closeDatabase();
    releaseName();
    flushConnection(bus_);
    QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
}

// ---------------------------------------------------------------------------

bool BusObject::event(QEvent *event)
{
    const auto held = service_.lock();
    return QObject::event(event);
}

template <class F>
auto BusObject::guarded(F body) -> decltype(body())
{
    try {
        return body();
    } catch (const DatabaseError &error) {
        sendErrorReply(protocol::DatabaseError, error.message());
    }
    return decltype(body())();
}

StandinDatabase *BusObject::requireDatabase()
{
    StandinDatabase *db = service_.database();
    if (!db)
        throw DatabaseError(QStringLiteral("no database is open"));
    return db;
}

qint32 BusObject::writeRefusal() const
{
    if (!service_.database())
        return protocol::ResultNoDatabase;
    if (service_.options().readOnly)
        return protocol::ResultReadOnly;
    return protocol::ResultDone;
}

void BusObject::refuse(const QString &errorName, const QString &message)
{
    sendErrorReply(errorName, message);
}

QDBusObjectPath FactoryObject::CreateObject(const QString &progId)
{
    if (progId.compare(QLatin1String("ACTOLE.APPOBJECT"), Qt::CaseInsensitive) == 0)
        return QDBusObjectPath(protocol::ApplicationPath);
    if (progId.compare(QLatin1String("ACTOLE.AUXCMDS"), Qt::CaseInsensitive) == 0)
        return QDBusObjectPath(protocol::AuxCommandsPath);
    refuse(protocol::InvalidArgumentError, QStringLiteral("no automation object is registered as \"%1\"").arg(progId));
    return {};
}

void ApplicationObject::OpenFile(const QString &path)
{
    guarded([&] {
        if (path.isEmpty()) {
            if (!service_.database())
                refuse(protocol::NoDatabaseError, QStringLiteral("no database is open"));
            return;
        }
        service_.openDatabase(path);
    });
}

QDBusObjectPath ApplicationObject::Views()
{
    return QDBusObjectPath(protocol::ViewsPath);
}

QString ApplicationObject::GetOpenDBName()
{
    return service_.database() ? service_.database()->path() : QString();
}

void ApplicationObject::Command(qint16 command)
{
    if (command != CloseCommand) {
        refuse(protocol::InvalidArgumentError, QStringLiteral("command %1 is not supported").arg(command));
        return;
    }
    setDelayedReply(true);
    service_.closeAndAnswer(message().createReply());
}

QDBusObjectPath ViewsObject::Create(qint16 viewType, const QString &name)
{
    Q_UNUSED(name);
    if (!validView(viewType)) {
        refuse(protocol::InvalidArgumentError, QStringLiteral("there is no view of type %1").arg(viewType));
        return {};
    }
    return QDBusObjectPath(protocol::ViewPathPrefix + QString::number(viewType));
}

QDBusObjectPath ViewObject::Sales()
{
    return QDBusObjectPath(protocol::SalesPath);
}

qint32 SalesListObject::GetCurrentRow()
{
    return guarded([&]() -> qint32 {
        requireDatabase();
        return service_.currentRow();
    });
}

std::optional<QByteArray> SalesListObject::crossingDetails(qint16 field, qint32 row, qsizetype inlineLimit)
{
    StandinDatabase *db = requireDatabase();
    if (field != DetailsField) {
        refuse(protocol::NoSuchFieldError, QStringLiteral("there is no field %1").arg(field));
        return std::nullopt;
    }
    // The size first: a text that cannot cross is refused without reading it.
    const std::optional<qint64> size = db->detailsSize(row);
    std::optional<QByteArray> details;
    if (size && *size <= inlineLimit)
        details = db->details(row);
    if (!size || (*size <= inlineLimit && !details)) {
        refuse(protocol::NoSuchRowError, QStringLiteral("there is no record at row %1").arg(row));
        return std::nullopt;
    }
    if (*size > protocol::MaxTextBytes) {
        refuse(protocol::TextTooLargeError,
               QStringLiteral("the Details text of row %1 is %2, more than the %3 that can cross the bus within "
                              "the call limit")
                   .arg(row)
                   .arg(protocol::sizeText(*size), protocol::sizeText(protocol::MaxTextBytes)));
        return std::nullopt;
    }
    if (*size > inlineLimit) {
        refuse(protocol::TextByDescriptorError,
               QStringLiteral("the Details text of row %1 is %2, more than the %3 that GetField carries: read it "
                              "with GetFieldByDescriptor")
                   .arg(row)
                   .arg(protocol::sizeText(*size), protocol::sizeText(inlineLimit)));
        return std::nullopt;
    }
    if (const QString problem = protocol::utf8CrossingProblem(*details); !problem.isEmpty()) {
        refuse(protocol::InvalidArgumentError,
               QStringLiteral("the Details text of row %1 cannot cross the bus unaltered: %2").arg(row).arg(problem));
        return std::nullopt;
    }
    return details;
}

QString SalesListObject::GetField(qint16 field, qint32 row, qint32 &rowOut)
{
    rowOut = row;
    return guarded([&]() -> QString {
        const std::optional<QByteArray> details = crossingDetails(field, row, protocol::InlineTextBytes);
        return details ? QString::fromUtf8(*details) : QString();
    });
}

QDBusUnixFileDescriptor SalesListObject::GetFieldByDescriptor(qint16 field, qint32 row, qint32 &rowOut)
{
    rowOut = row;
    return guarded([&]() -> QDBusUnixFileDescriptor {
        const std::optional<QByteArray> details = crossingDetails(field, row, protocol::MaxTextBytes);
        if (!details)
            return {};
        QString problem;
        QDBusUnixFileDescriptor descriptor = protocol::textDescriptor(*details, &problem);
        if (!descriptor.isValid())
            refuse(protocol::DatabaseError, QStringLiteral("the Details text of row %1 cannot be handed over: %2")
                                                .arg(row)
                                                .arg(problem));
        return descriptor;
    });
}

qint32 SalesListObject::writeDetails(qint16 field, qint32 row, const QByteArray &utf8, qint64 characters)
{
    if (const qint32 refusal = writeRefusal(); refusal != protocol::ResultDone)
        return refusal;
    StandinDatabase *db = service_.database();
    if (field != DetailsField)
        return protocol::ResultNoSuchField;
    if (service_.options().maxDetails && characters > *service_.options().maxDetails)
        return protocol::ResultTooLong;
    if (service_.options().writeDelayMs > 0)
        QThread::msleep(static_cast<unsigned long>(service_.options().writeDelayMs));
    if (!db->setDetails(row, utf8))
        return protocol::ResultNoSuchRow;
    Q_EMIT service_.detailsWritten(row);
    return protocol::ResultDone;
}

qint32 SalesListObject::SetField(qint16 field, qint32 row, const QString &text, qint32 &rowOut, QString &textOut)
{
    rowOut = row;
    textOut = text;
    return guarded([&]() -> qint32 {
        return writeDetails(field, row, text.toUtf8(), service_.options().maxDetails ? characterCount(text) : 0);
    });
}

qint32 SalesListObject::SetFieldByDescriptor(qint16 field, qint32 row, const QDBusUnixFileDescriptor &text,
                                             qint32 &rowOut)
{
    rowOut = row;
    return guarded([&]() -> qint32 {
        QString problem;
        bool tooLarge = false;
        const std::optional<QByteArray> utf8 =
            protocol::readTextDescriptor(text, protocol::MaxTextBytes, &problem, &tooLarge);
        if (!utf8) {
            refuse(tooLarge ? protocol::TextTooLargeError : protocol::InvalidArgumentError,
                   QStringLiteral("the Details text was not written: %1").arg(problem));
            return protocol::ResultDone;
        }
        if (const QString why = protocol::utf8CrossingProblem(*utf8); !why.isEmpty()) {
            refuse(protocol::InvalidArgumentError,
                   QStringLiteral("the Details text was not written: %1").arg(why));
            return protocol::ResultDone;
        }
        // Characters are code points: every byte that does not continue one.
        qint64 characters = 0;
        if (service_.options().maxDetails)
            for (const char byte : *utf8)
                characters += (uchar(byte) & 0xC0) != 0x80;
        return writeDetails(field, row, *utf8, characters);
    });
}

qint16 AuxCommandsObject::existsIn(Place place, qint16 view, const QString &name)
{
    return guarded([&]() -> qint16 { return requireDatabase()->placed(place, view, name) ? 1 : 0; });
}

qint16 AuxCommandsObject::AuxCommandExistsInToolbar(qint16 view, const QString &name)
{
    return existsIn(Place::Toolbar, view, name);
}

qint16 AuxCommandsObject::AuxCommandExistsInToolsMenu(qint16 view, const QString &name)
{
    return existsIn(Place::ToolsMenu, view, name);
}

qint16 AuxCommandsObject::AuxCommandExists(const QString &name)
{
    return guarded([&]() -> qint16 { return requireDatabase()->auxCommandExists(name) ? 1 : 0; });
}

qint32 AuxCommandsObject::AddAuxCommand(const QString &name, const QString &executable, const QString &folder,
                                        const QString &caption, const QString &tooltip, const QString &icon,
                                        const QString &largeIcon, qint16 flags)
{
    return guarded([&]() -> qint32 {
        if (const qint32 refusal = writeRefusal(); refusal != protocol::ResultDone)
            return refusal;
        StandinDatabase *db = service_.database();
        if (name.isEmpty())
            return protocol::ResultInvalidName;
        db->addAuxCommand(AuxCommand{name, executable, folder, caption, tooltip, icon, largeIcon, flags});
        Q_EMIT service_.commandsChanged();
        return protocol::ResultDone;
    });
}

qint32 AuxCommandsObject::changePlacement(Place place, bool add, qint16 view, const QString &name)
{
    return guarded([&]() -> qint32 {
        if (const qint32 refusal = writeRefusal(); refusal != protocol::ResultDone)
            return refusal;
        StandinDatabase *db = service_.database();
        if (!validView(view))
            return protocol::ResultBadView;
        if (name.isEmpty())
            return protocol::ResultInvalidName;
        if (add) {
            if (!db->auxCommandExists(name))
                return protocol::ResultNotRegistered;
            db->addPlacement(place, view, name);
        } else {
            db->removePlacement(place, view, name);
        }
        Q_EMIT service_.commandsChanged();
        return protocol::ResultDone;
    });
}

qint32 AuxCommandsObject::AddAuxCommandToToolbar(qint16 view, const QString &name)
{
    return changePlacement(Place::Toolbar, true, view, name);
}

qint32 AuxCommandsObject::RemoveAuxCommandFromToolbar(qint16 view, const QString &name)
{
    return changePlacement(Place::Toolbar, false, view, name);
}

qint32 AuxCommandsObject::AddAuxCommandToToolsMenu(qint16 view, const QString &name)
{
    return changePlacement(Place::ToolsMenu, true, view, name);
}

qint32 AuxCommandsObject::RemoveAuxCommandFromToolsMenu(qint16 view, const QString &name)
{
    return changePlacement(Place::ToolsMenu, false, view, name);
}

qint32 EventControlObject::Id1(qint32 argument)
{
    Q_UNUSED(argument);
    return service_.database() && !service_.options().refuseLink ? 1 : 0;
}

void EventControlObject::Id2()
{
    ++service_.acknowledgements;
}

bool EventControlObject::Id3()
{
    return service_.options().refuseLink;
}

void ControlObject::Select(qint32 row)
{
    guarded([&] { service_.select(row); });
}

void ControlObject::Close()
{
    setDelayedReply(true);
    service_.closeAndAnswer(message().createReply());
}

} // namespace standin
