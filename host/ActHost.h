#pragma once

// The boundary between the program and its host, the ACT! contact manager.
// One method per automation operation the program uses, with the host's own
// argument widths: 16-bit numbers are std::int16_t, 32-bit ones
// std::int32_t, texts UTF-16, and a by-reference argument is a reference the
// host may write back to. Every method may throw host::Failure.

#include "host/Failure.h"
#include "host/Ref.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace host {

class SalesList {
public:
    virtual ~SalesList() = default;
    // Row of the current Sales/Opportunity record, -1 when none.
    virtual std::int32_t GetCurrentRow() = 0;
    virtual std::u16string GetField(std::int16_t field, std::int32_t &row) = 0;
    // 0 when the field was written, anything else when it was not.
    virtual std::int32_t SetField(std::int16_t field, std::int32_t &row, std::u16string &text) = 0;
};

class ActView {
public:
    virtual ~ActView() = default;
    virtual std::shared_ptr<SalesList> Sales() = 0;
};

class ActViews {
public:
    virtual ~ActViews() = default;
    virtual std::shared_ptr<ActView> Create(std::int16_t viewType, const std::u16string &name) = 0;
};

class ActApp {
public:
    virtual ~ActApp() = default;
    virtual void OpenFile(const std::u16string &path) = 0;
    virtual std::shared_ptr<ActViews> Views() = 0;
    virtual std::u16string GetOpenDBName() = 0;
    virtual void Command(std::int16_t command) = 0;
};

class AuxCommands {
public:
    virtual ~AuxCommands() = default;
    // 0 absent, 1 present.
    virtual std::int16_t AuxCommandExistsInToolbar(std::int16_t view, const std::u16string &name) = 0;
    virtual std::int16_t AuxCommandExistsInToolsMenu(std::int16_t view, const std::u16string &name) = 0;
    // 0 when no such command is registered.
    virtual std::int16_t AuxCommandExists(const std::u16string &name) = 0;
    // 0 when added.
    virtual std::int32_t AddAuxCommand(const std::u16string &name, const std::u16string &executable, const std::u16string &folder,
                                 const std::u16string &caption, const std::u16string &tooltip, const std::u16string &icon,
                                 const std::u16string &largeIcon, std::int16_t flags) = 0;
    // 0 when done.
    virtual std::int32_t AddAuxCommandToToolbar(std::int16_t view, const std::u16string &name) = 0;
    virtual std::int32_t RemoveAuxCommandFromToolbar(std::int16_t view, const std::u16string &name) = 0;
    virtual std::int32_t AddAuxCommandToToolsMenu(std::int16_t view, const std::u16string &name) = 0;
    virtual std::int32_t RemoveAuxCommandFromToolsMenu(std::int16_t view, const std::u16string &name) = 0;
};

// A value an event carries.
using EventArgument = std::variant<std::monostate, std::int32_t, double, bool, std::u16string>;

// The host's event control: three members called by dispatch id, and 23
// events numbered 0 to 22.
class ActEvent {
public:
    enum EventId : std::int16_t {
        FirstEvent = 0,
        DatabaseClosed = 10,      // the open database closes (also when the host quits)
        CurrentSalesRowChanged = 22, // one argument: the new row
        LastEvent = 22,
    };
    using Handler = std::function<void(std::int16_t eventId, const std::vector<EventArgument> &args)>;

    virtual ~ActEvent() = default;
    // Id 1, the link test: 1 or more when the host is there with a database
    // open, 0 otherwise.
    virtual std::int32_t Id1(std::int32_t argument) = 0;
    // Id 2: acknowledges a notification.
    virtual void Id2() = 0;
    // Id 3: true only when the host is there but refuses the link.
    virtual bool Id3() = 0;

    // The handler runs on the UI thread for every event the host raises.
    virtual void setHandler(Handler handler) = 0;
};

inline constexpr const char16_t *AppObjectProgId = u"ACTOLE.APPOBJECT";
inline constexpr const char16_t *AuxCommandsProgId = u"ACTOLE.AUXCMDS";
inline constexpr std::int16_t DetailsField = 36;
inline constexpr std::int16_t CloseCommand = 150;

// Creates the host's automation objects by identifier and owns the event
// control. Creating an object when the host cannot be reached raises
// failure 429.
class HostFactory {
public:
    virtual ~HostFactory() = default;
    virtual std::shared_ptr<ActApp> createAppObject() = 0;       // "ACTOLE.APPOBJECT"
    virtual std::shared_ptr<AuxCommands> createAuxCommands() = 0; // "ACTOLE.AUXCMDS"
    virtual ActEvent &eventControl() = 0;
};

} // namespace host
