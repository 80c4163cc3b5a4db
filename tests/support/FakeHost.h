#pragma once

// A scripted stand-in for the host, for window tests: it answers from the
// fields below, records every call in order, and can fail any call.
//
// Each call is recorded as "Member(arg,arg)", numbers in decimal and texts
// as they were passed, e.g. "SalesList.GetField(36,0)",
// "CreateObject(ACTOLE.APPOBJECT)", "ActEvent1.Id1(0)".

#include "host/ActHost.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testsupport {

class FakeHost : public host::HostFactory, public host::ActEvent {
public:
    FakeHost();

    // --- what the host answers -------------------------------------------
    std::int32_t id1Result = 1;
    bool id3Result = false;
    bool canCreateObjects = true; // false: creating an object fails with 429
    std::int32_t currentRow = 0;
    // The Details field (36) of each row; GetField and SetField of a row
    // not listed here fail with 440.
    std::map<std::int32_t, std::u16string> details{{0, std::u16string()}};
    std::int32_t setFieldResult = 0;                       // non-zero: SetField refuses and changes nothing
    std::u16string openDbName = u"/home/user/Demo.actdb";
    std::set<std::u16string> registered;                   // names of registered commands
    std::set<std::pair<std::int16_t, std::u16string>> toolbar;   // (view, name)
    std::set<std::pair<std::int16_t, std::u16string>> toolsMenu; // (view, name)
    std::int32_t addAuxCommandResult = 0;
    std::int32_t placeResult = 0;               // result of the four add/remove calls
    std::optional<std::int64_t> existsAnswer;   // overrides both Exists-In answers (tests overflow)
    std::vector<std::u16string> lastRegistration; // the eight values of the last AddAuxCommand

    // --- what the program did ----------------------------------------------
    std::vector<std::u16string> calls;            // in order, e.g. "SalesList.GetField(36,0)"
    std::vector<std::u16string> *journal = nullptr; // when set, calls are appended here too
    // Runs during each call, after it is recorded and before it answers (a
    // test can raise a host event here, as if it arrived while the program
    // waited on the host).
    std::function<void(const std::u16string &member)> duringCall;
    int commandsReceived = 0;

    // Fails the occurrence-th call whose member is name (e.g.
    // u"SalesList.GetField"), counting every call of that member so far,
    // with the given failure. Occurrence 0 disables it. One failure at a
    // time: a later failCall replaces an earlier one.
    void failCall(const std::u16string &name, int occurrence = 1,
                  host::Failure failure = host::Failure(440, u"Injected failure"));
    // Number of calls of member name so far.
    int countOf(std::u16string_view name) const;
    // Only the member names of the calls, without arguments.
    std::vector<std::u16string> callNames() const;

    // Raises an event to the program, as the host would. Nothing happens
    // while the program has no handler set.
    void raiseEvent(std::int16_t eventId, const std::vector<host::EventArgument> &args = {});
    bool hasHandler() const { return static_cast<bool>(handler_); }

    // HostFactory
    std::shared_ptr<host::ActApp> createAppObject() override;
    std::shared_ptr<host::AuxCommands> createAuxCommands() override;
    host::ActEvent &eventControl() override { return *this; }

    // ActEvent
    std::int32_t Id1(std::int32_t argument) override;
    void Id2() override;
    bool Id3() override;
    void setHandler(Handler handler) override { handler_ = std::move(handler); }

    // Records a call and throws when it was chosen to fail.
    void record(const std::u16string &member, const std::vector<std::u16string> &args = {});

private:
    Handler handler_;
    std::u16string failName_;
    int failOccurrence_ = 0;
    host::Failure failure_{440, std::u16string()};
};

} // namespace testsupport
