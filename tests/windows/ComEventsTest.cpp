// The event control's events through its connection point: each of 0 to 22
// reaches the handler, with its argument, on the thread that made the Host,
// in the order raised; the handler may end everything; and the sink goes
// with the Host.

#include "host/com/ComHost.h"
#include "tests/windows/Check.h"
#include "tests/windows/TestServer.h"

using host::com::EventArgument;
using host::com::Host;
using testserver::Control;
using testserver::pumpUntil;

namespace {

struct Received {
    std::int16_t id;
    std::vector<EventArgument> args;
    DWORD thread;
};

void connect(Host &host, std::vector<Received> &received)
{
    host.eventControl().setHandler([&received](std::int16_t id, const std::vector<EventArgument> &args) {
        received.push_back({id, args, GetCurrentThreadId()});
    });
}

// Every event number, with no argument and with one, reaches the handler on
// this thread.
void everyEvent()
{
    Control control;
    Host host;
    std::vector<Received> received;
    connect(host, received);
    CHECK_EQ(control.sinks(), 1);
    for (std::int16_t id = 0; id <= 22; ++id) {
        received.clear();
        if (id % 2)
            control.raiseEvent(id, 1000 + id);
        else
            control.raiseEvent(id);
        CHECK(pumpUntil([&] { return !received.empty(); }, 5000));
        if (!CHECK_EQ(received.size(), std::size_t(1)))
            continue;
        CHECK_EQ(received[0].id, id);
        CHECK_EQ(received[0].thread, GetCurrentThreadId());
        if (id % 2) {
            CHECK_EQ(received[0].args.size(), std::size_t(1));
            if (!received[0].args.empty() && CHECK(std::holds_alternative<std::int32_t>(received[0].args[0])))
                CHECK_EQ(std::get<std::int32_t>(received[0].args[0]), 1000 + id);
        } else {
            CHECK(received[0].args.empty());
        }
    }
}

// The two events the program handles, as the host raises them: 10 when the
// database closes (command 150), 22 with the new row when the current record
// changes.
void databaseClosedAndRowChanged()
{
    Control control;
    Host host;
    std::vector<Received> received;
    connect(host, received);
    control.setCurrentRow(3);
    CHECK(pumpUntil([&] { return !received.empty(); }, 5000));
    if (CHECK_EQ(received.size(), std::size_t(1))) {
        CHECK_EQ(received[0].id, 22);
        CHECK(received[0].args.size() == 1 && received[0].args[0] == EventArgument(std::int32_t(3)));
    }
    received.clear();
    host.createAppObject()->Command(150);
    CHECK(pumpUntil([&] { return !received.empty(); }, 5000));
    if (CHECK_EQ(received.size(), std::size_t(1))) {
        CHECK_EQ(received[0].id, 10);
        CHECK(received[0].args.empty());
    }
    host.eventControl().Id2();
}

// Events raised while the program does not run its message loop wait for
// it, and come in the order raised.
void eventsWaitForTheLoop()
{
    Control control;
    Host host;
    std::vector<Received> received;
    connect(host, received);
    const std::int16_t ids[] = {22, 10, 5, 22};
    for (std::int16_t id : ids) {
        control.raiseEvent(id);
        Sleep(150); // raised on threads of their own: one at a time, in order
    }
    Sleep(300);
    CHECK(received.empty());
    CHECK(pumpUntil([&] { return received.size() == 4; }, 5000));
    for (std::size_t i = 0; i < received.size() && i < 4; ++i)
        CHECK_EQ(received[i].id, ids[i]);
}

// The handler ends the program's use of the host, as the main window's
// unload does on event 10 or 22: nothing breaks, and later events go
// nowhere.
void handlerEndsTheHost()
{
    Control control;
    auto host = std::make_unique<Host>();
    int calls = 0;
    host->eventControl().setHandler([&](std::int16_t, const std::vector<EventArgument> &) {
        ++calls;
        host.reset();
    });
    control.raiseEvent(10);
    control.raiseEvent(22);
    CHECK(pumpUntil([&] { return !host; }, 5000));
    pumpUntil([] { return false; }, 500);
    CHECK_EQ(calls, 1);
    CHECK(pumpUntil([&] { return control.sinks() == 0; }, 5000));
    CHECK_EQ(Host::liveEventSinks(), 0L);
}

// Once the Host is gone, so are its connection and its sink, on both sides.
void sinkReleased()
{
    Control control;
    {
        Host host;
        std::vector<Received> received;
        connect(host, received);
        CHECK_EQ(control.sinks(), 1);
        CHECK_EQ(Host::liveEventSinks(), 1L);
    }
    CHECK_EQ(control.sinks(), 0);
    CHECK_EQ(control.liveObjects(), 0);
    CHECK_EQ(control.heldReferences(), 0);
    CHECK(pumpUntil([] { return Host::liveEventSinks() == 0; }, 5000));
}

} // namespace

int main(int argc, char **argv)
{
    const testserver::EndServerAtExit endServer;
    return check::run(argc, argv,
                      {
                          {"everyEvent", everyEvent},
                          {"databaseClosedAndRowChanged", databaseClosedAndRowChanged},
                          {"eventsWaitForTheLoop", eventsWaitForTheLoop},
                          {"handlerEndsTheHost", handlerEndsTheHost},
                          {"sinkReleased", sinkReleased},
                      });
}
