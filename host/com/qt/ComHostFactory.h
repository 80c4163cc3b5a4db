#pragma once

// The host interfaces (host/ActHost.h) on Windows, over the COM core
// (host/com/ComHost.h): texts become BSTRs and back, and the core's failures
// become host::Failure with the same number and description. Events reach
// the handler through the UI thread's message loop, which Qt runs.

#include "host/ActHost.h"
#include "host/com/ComHost.h"

#include <memory>

namespace host::com::qt {

class ComActEvent : public host::ActEvent {
public:
    explicit ComActEvent(host::com::EventControl &control) : control_(control) {}
    qint32 Id1(qint32 argument) override;
    void Id2() override;
    bool Id3() override;
    void setHandler(Handler handler) override;

private:
    host::com::EventControl &control_;
};

class ComHostFactory : public host::HostFactory {
public:
    ComHostFactory();
    ~ComHostFactory() override;

    std::shared_ptr<host::ActApp> createAppObject() override;
    std::shared_ptr<host::AuxCommands> createAuxCommands() override;
    host::ActEvent &eventControl() override { return events_; }

private:
    std::unique_ptr<host::com::Host> host_;
    ComActEvent events_;
};

} // namespace host::com::qt
