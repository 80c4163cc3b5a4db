#pragma once

// The stand-in ACT! on the session bus: the automation objects the program
// calls, the event control with its Event signal, and a small control object
// through which `act-standin select` and `act-standin close` drive it.
// The names, signatures and result codes are those of host/dbus/BusProtocol.h.
//
// The objects answer on the bus library's own thread, where the calls
// arrive: handing each call to the main thread and its answer back cost
// more than the call itself. The window and the command line stay on the
// main thread. Both sides share the service's state and database under one
// lock (lock()), which the objects hold for each call.

#include "standin/StandinDatabase.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QVariantList>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace standin {

class StandinService : public QObject {
    Q_OBJECT
public:
    struct Options {
        qint32 currentRow = -1;
        bool refuseLink = false;
        std::optional<qint64> maxDetails; // characters (code points)
        bool readOnly = false;
        // Milliseconds every SetField waits before it writes, as a host that
        // is too busy to answer in time (for tests of late writes).
        int writeDelayMs = 0;
    };

    // db may be null: the stand-in then runs with no database open.
    StandinService(std::unique_ptr<StandinDatabase> db, Options options, QDBusConnection bus,
                   QObject *parent = nullptr);
    ~StandinService() override;

    // Exports the objects and takes the service name. False, with *error
    // set, when the name is taken or the bus refuses.
    bool start(QString *error);

    // Held while the state below, database() or anything it returns is in
    // use from outside a call; the methods below take it themselves. Never
    // held across a blocking bus call: the call's answer comes through the
    // thread that waits for it.
    std::unique_lock<std::recursive_mutex> lock() const { return std::unique_lock(mutex_); }

    StandinDatabase *database() const { return db_.get(); }
    const Options &options() const { return options_; }
    QDBusConnection bus() const { return bus_; }

    qint32 currentRow() const
    {
        const auto held = lock();
        return currentRow_;
    }
    // Makes row current and raises event 22. The row must exist (or be -1).
    void select(qint32 row);
    // Opens another database in place of the open one (event 10 for the old).
    void openDatabase(const QString &path);
    // Closes the open database, raising event 10 when there was one.
    void closeDatabase();
    // Closes the database and ends the event loop once every queued message
    // (replies included) has reached the bus.
    void closeAndQuit();
    // What a call that closes the stand-in does: closes the database, gives
    // up the name, sends reply, then ends as closeAndQuit(). It runs on this
    // object's thread, after the call's slot has returned.
    void closeAndAnswer(const QDBusMessage &reply);
    // Gives up the service name (once): the stand-in is on its way out.
    void releaseName();

    void raiseEvent(qint16 id, const QVariantList &args = {});
    int acknowledgements = 0;

Q_SIGNALS:
    // What the service changed, for a window that shows it. They follow the
    // write (and its notification), never precede it.
    void databaseChanged();            // opened, replaced or closed
    void currentRowChanged(qint32 row);
    void detailsWritten(qint32 row);
    void commandsChanged();            // a registration or a placement

private:
    mutable std::recursive_mutex mutex_;
    std::unique_ptr<StandinDatabase> db_;
    Options options_;
    QDBusConnection bus_;
    qint32 currentRow_ = -1;
    std::atomic<bool> quitting_ = false;
    std::atomic<bool> nameReleased_ = false;
    std::vector<std::unique_ptr<QObject>> objects_;
};

// Waits until every message this connection queued so far has been taken by
// the bus daemon: it sends a call to the daemon and waits for the answer,
// which comes after the earlier messages on the same connection.
void flushConnection(QDBusConnection bus);

// ---------------------------------------------------------------------------
// The exported objects. Each slot is one bus member.

class BusObject : public QObject, protected QDBusContext {
    Q_OBJECT
public:
    explicit BusObject(StandinService &service) : service_(service) {}

    // Every call reaches its object as an event: it runs holding the
    // service's lock.
    bool event(QEvent *event) override;

protected:
    // Runs body; a database failure becomes an error reply.
    template <class F>
    auto guarded(F body) -> decltype(body());
    StandinDatabase *requireDatabase();
    // The result code that refuses a write (no database open, or the
    // stand-in serves read-only), or ResultDone when the write may go on.
    qint32 writeRefusal() const;
    void refuse(const QString &errorName, const QString &message);
    StandinService &service_;
};

class FactoryObject : public BusObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.pennaroc.ActStandin.Factory")
public:
    using BusObject::BusObject;
public Q_SLOTS:
    QDBusObjectPath CreateObject(const QString &progId);
};

class ApplicationObject : public BusObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.pennaroc.ActStandin.Application")
public:
    using BusObject::BusObject;
public Q_SLOTS:
    void OpenFile(const QString &path);
    QDBusObjectPath Views();
    QString GetOpenDBName();
    void Command(qint16 command);
};

class ViewsObject : public BusObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.pennaroc.ActStandin.Views")
public:
    using BusObject::BusObject;
public Q_SLOTS:
    QDBusObjectPath Create(qint16 viewType, const QString &name);
};

class ViewObject : public BusObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.pennaroc.ActStandin.View")
public:
    using BusObject::BusObject;
public Q_SLOTS:
    QDBusObjectPath Sales();
};

class SalesListObject : public BusObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.pennaroc.ActStandin.SalesList")
public:
    using BusObject::BusObject;
public Q_SLOTS:
    qint32 GetCurrentRow();
    QString GetField(qint16 field, qint32 row, qint32 &rowOut);
    QDBusUnixFileDescriptor GetFieldByDescriptor(qint16 field, qint32 row, qint32 &rowOut);
    qint32 SetField(qint16 field, qint32 row, const QString &text, qint32 &rowOut, QString &textOut);
    qint32 SetFieldByDescriptor(qint16 field, qint32 row, const QDBusUnixFileDescriptor &text, qint32 &rowOut);

private:
    // The Details bytes of row, checked to cross the bus unaltered and to
    // be no longer than inlineLimit; otherwise the error reply is sent and
    // nothing is returned.
    std::optional<QByteArray> crossingDetails(qint16 field, qint32 row, qsizetype inlineLimit);
    // Writes a text that arrived whole and checked; the SetField result.
    qint32 writeDetails(qint16 field, qint32 row, const QByteArray &utf8, qint64 characters);
};

class AuxCommandsObject : public BusObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.pennaroc.ActStandin.AuxCommands")
public:
    using BusObject::BusObject;
public Q_SLOTS:
    qint16 AuxCommandExistsInToolbar(qint16 view, const QString &name);
    qint16 AuxCommandExistsInToolsMenu(qint16 view, const QString &name);
    qint16 AuxCommandExists(const QString &name);
    qint32 AddAuxCommand(const QString &name, const QString &executable, const QString &folder,
                         const QString &caption, const QString &tooltip, const QString &icon,
                         const QString &largeIcon, qint16 flags);
    qint32 AddAuxCommandToToolbar(qint16 view, const QString &name);
    qint32 RemoveAuxCommandFromToolbar(qint16 view, const QString &name);
    qint32 AddAuxCommandToToolsMenu(qint16 view, const QString &name);
    qint32 RemoveAuxCommandFromToolsMenu(qint16 view, const QString &name);

private:
    qint16 existsIn(Place place, qint16 view, const QString &name);
    qint32 changePlacement(Place place, bool add, qint16 view, const QString &name);
};

class EventControlObject : public BusObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.pennaroc.ActStandin.EventControl")
public:
    using BusObject::BusObject;
public Q_SLOTS:
    qint32 Id1(qint32 argument);
    void Id2();
    bool Id3();
};

class ControlObject : public BusObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.pennaroc.ActStandin.Control")
public:
    using BusObject::BusObject;
public Q_SLOTS:
    void Select(qint32 row);
    void Close();
};

} // namespace standin
