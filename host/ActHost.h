#pragma once

// The boundary between the program and its host, the ACT! contact manager.
// One method per automation operation the program uses, with the host's own
// argument widths: 16-bit numbers are qint16, 32-bit ones qint32, and a
// by-reference argument is a reference the host may write back to.
// Every method may throw host::Failure.

#include "host/Failure.h"
#include "host/Ref.h"

#include <QString>
#include <QVariantList>

#include <functional>
#include <memory>

namespace host {

class SalesList {
public:
    virtual ~SalesList() = default;
    // Row of the current Sales/Opportunity record, -1 when none.
    virtual qint32 GetCurrentRow() = 0;
    virtual QString GetField(qint16 field, qint32 &row) = 0;
    // 0 when the field was written, anything else when it was not.
    virtual qint32 SetField(qint16 field, qint32 &row, QString &text) = 0;
};

class ActView {
public:
    virtual ~ActView() = default;
    virtual std::shared_ptr<SalesList> Sales() = 0;
};

class ActViews {
public:
    virtual ~ActViews() = default;
    virtual std::shared_ptr<ActView> Create(qint16 viewType, const QString &name) = 0;
};

class ActApp {
public:
    virtual ~ActApp() = default;
    virtual void OpenFile(const QString &path) = 0;
    virtual std::shared_ptr<ActViews> Views() = 0;
    virtual QString GetOpenDBName() = 0;
    virtual void Command(qint16 command) = 0;
};

class AuxCommands {
public:
    virtual ~AuxCommands() = default;
    // 0 absent, 1 present.
    virtual qint16 AuxCommandExistsInToolbar(qint16 view, const QString &name) = 0;
    virtual qint16 AuxCommandExistsInToolsMenu(qint16 view, const QString &name) = 0;
    // 0 when no such command is registered.
    virtual qint16 AuxCommandExists(const QString &name) = 0;
    // 0 when added.
    virtual qint32 AddAuxCommand(const QString &name, const QString &executable, const QString &folder,
                                 const QString &caption, const QString &tooltip, const QString &icon,
                                 const QString &largeIcon, qint16 flags) = 0;
    // 0 when done.
    virtual qint32 AddAuxCommandToToolbar(qint16 view, const QString &name) = 0;
    virtual qint32 RemoveAuxCommandFromToolbar(qint16 view, const QString &name) = 0;
    virtual qint32 AddAuxCommandToToolsMenu(qint16 view, const QString &name) = 0;
    virtual qint32 RemoveAuxCommandFromToolsMenu(qint16 view, const QString &name) = 0;
};

// The host's event control: three members called by dispatch id, and 23
// events numbered 0 to 22.
class ActEvent {
public:
    enum EventId : qint16 {
        FirstEvent = 0,
        DatabaseClosed = 10,      // the open database closes (also when the host quits)
        CurrentSalesRowChanged = 22, // one argument: the new row
        LastEvent = 22,
    };
    using Handler = std::function<void(qint16 eventId, const QVariantList &args)>;

    virtual ~ActEvent() = default;
    // Id 1, the link test: 1 or more when the host is there with a database
    // open, 0 otherwise.
    virtual qint32 Id1(qint32 argument) = 0;
    // Id 2: acknowledges a notification.
    virtual void Id2() = 0;
    // Id 3: true only when the host is there but refuses the link.
    virtual bool Id3() = 0;

    // The handler runs on the UI thread for every event the host raises.
    virtual void setHandler(Handler handler) = 0;
};

inline constexpr const char *AppObjectProgId = "ACTOLE.APPOBJECT";
inline constexpr const char *AuxCommandsProgId = "ACTOLE.AUXCMDS";
inline constexpr qint16 DetailsField = 36;
inline constexpr qint16 CloseCommand = 150;

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
