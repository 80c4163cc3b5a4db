#pragma once

// A scripted stand-in for the host, for form tests: it answers from the
// fields below, records every call in order, and can fail any call.

#include "host/ActHost.h"

#include <QMap>
#include <QSet>
#include <QStringList>

#include <functional>
#include <optional>

namespace testsupport {

class FakeHost : public host::HostFactory, public host::ActEvent {
public:
    FakeHost();

    // --- what the host answers -------------------------------------------
    qint32 id1Result = 1;
    bool id3Result = false;
    bool canCreateObjects = true; // false: creating an object fails with 429
    qint32 currentRow = 0;
    QMap<qint32, QString> details{{0, QString()}};
    qint32 setFieldResult = 0;    // non-zero: SetField refuses and changes nothing
    QString openDbName = QStringLiteral("/home/user/Demo.actdb");
    QSet<QString> registered;                   // names of registered commands
    QSet<QPair<qint16, QString>> toolbar;       // (view, name)
    QSet<QPair<qint16, QString>> toolsMenu;     // (view, name)
    qint32 addAuxCommandResult = 0;
    qint32 placeResult = 0;                      // result of the four add/remove calls
    std::optional<qint64> existsAnswer;          // overrides both Exists-In answers (tests overflow)
    QStringList lastRegistration;                // the eight values of the last AddAuxCommand

    // --- what the program did ----------------------------------------------
    QStringList calls;              // "Member(arg,arg)" in order, e.g. "SalesList.GetField(36,0)"
    QStringList *journal = nullptr; // when set, calls are appended here too
    // Runs during each call, after it is recorded (a test can raise a host
    // event here, as if it arrived while the program waited on the host).
    std::function<void(const QString &member)> duringCall;
    int commandsReceived = 0;

    // Fails the occurrence-th call whose member is name (e.g.
    // "SalesList.GetField"), with the given failure. 0 disables it.
    void failCall(const QString &name, int occurrence = 1,
                  host::Failure failure = host::Failure(440, QStringLiteral("Injected failure")));
    // Number of calls of member name so far.
    int countOf(const QString &name) const;
    // Only the member names of the calls, without arguments.
    QStringList callNames() const;

    // Raises an event to the program, as the host would.
    void raiseEvent(qint16 eventId, const QVariantList &args = {});
    bool hasHandler() const { return static_cast<bool>(handler_); }

    // HostFactory
    std::shared_ptr<host::ActApp> createAppObject() override;
    std::shared_ptr<host::AuxCommands> createAuxCommands() override;
    host::ActEvent &eventControl() override { return *this; }

    // ActEvent
    qint32 Id1(qint32 argument) override;
    void Id2() override;
    bool Id3() override;
    void setHandler(Handler handler) override { handler_ = std::move(handler); }

    // Records a call and throws when it was chosen to fail.
    void record(const QString &member, const QStringList &args = {});

private:
    Handler handler_;
    QString failName_;
    int failOccurrence_ = 0;
    host::Failure failure_{440, QString()};
};

} // namespace testsupport
