#pragma once

// The host interfaces (host/ActHost.h) on Windows, over the COM core
// (host/com/ComHost.h).
//
// Texts cross unchanged: std::u16string and std::wstring both hold UTF-16
// here, so they are copied unit for unit, unpaired surrogates and NULs
// included. The core's failures (host::com::Error) become host::Failure
// with the same number and description. Events reach the handler on the
// thread that made the factory, through that thread's message loop, with
// their arguments as host::EventArgument values.
//
// Make the factory, and use it and everything it gives, on the program's UI
// thread. The objects it makes may outlive it; once the factory is gone, no
// more events arrive.

#include "host/ActHost.h"
#include "host/com/ComHost.h"

#include <memory>

namespace host::com {

class ComActEvent : public host::ActEvent {
public:
    explicit ComActEvent(EventControl &control) : control_(control) {}
    std::int32_t Id1(std::int32_t argument) override;
    void Id2() override;
    bool Id3() override;
    void setHandler(Handler handler) override;

private:
    EventControl &control_;
};

class ComHostFactory : public host::HostFactory {
public:
    // The host's own ProgIDs and time limit.
    ComHostFactory();
    // Other ProgIDs or another time limit.
    explicit ComHostFactory(Host::Options options);
    ~ComHostFactory() override;
    ComHostFactory(const ComHostFactory &) = delete;
    ComHostFactory &operator=(const ComHostFactory &) = delete;

    std::shared_ptr<host::ActApp> createAppObject() override;
    std::shared_ptr<host::AuxCommands> createAuxCommands() override;
    host::ActEvent &eventControl() override { return events_; }

    // The core underneath, for its time limit.
    Host &core() { return *host_; }

private:
    std::unique_ptr<Host> host_;
    ComActEvent events_;
};

} // namespace host::com
