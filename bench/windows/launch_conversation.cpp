// The launch benchmark's second yardstick: the bare window program
// (launch_bare.cpp) that first holds Pennaroc's start-up conversation with
// ACT! through the same COM client (the event control's link, the
// application object, its views, the Sales/Opportunity list, the current
// record's Details), and only then shows its window. Pennaroc.exe against it
// leaves what Pennaroc's own windows and procedures add.

#include "host/ActHost.h"
#include "host/com/ComHost.h"

#include <ole2.h>

int bareWindowMain(HINSTANCE instance);

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    OleInitialize(nullptr);
    int status = 1;
    {
        host::com::Host host;
        if (host.eventControl().Id1(0) >= 1) {
            auto app = host.createAppObject();
            app->OpenFile(std::wstring());
            auto views = app->Views();
            auto view = views->Create(1, L"CV");
            auto sales = view->Sales();
            std::int32_t row = sales->GetCurrentRow();
            sales->GetField(host::DetailsField, row);
            status = bareWindowMain(instance);
        }
    }
    OleUninitialize();
    return status;
}
