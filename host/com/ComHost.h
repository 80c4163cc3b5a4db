#pragma once

// The host's automation objects on Windows, reached through COM with late
// binding: objects are made by ProgID (CLSIDFromProgID, CoCreateInstance),
// members are found by name (GetIDsOfNames) and called through
// IDispatch::Invoke, except the event control's three members, which are
// called by dispatch id. Texts are UTF-16 std::wstring, as BSTR holds them;
// host/com/ComHostFactory.h puts the program's host interfaces over this.
//
// Arguments cross with the host's widths: a 16-bit number as VT_I2, a 32-bit
// one as VT_I4, a text as VT_BSTR, and a by-reference argument as VT_BYREF to
// a value of that type, whose value after the call (as the host wrote it) is
// given back to the caller's variable.
//
// Failures are thrown as host::com::Error with the program's numbers:
//   429  an object cannot be created (not registered, or refused)
//   462  the host is gone, or did not answer within the time limit; for a
//        call that changes something and was delivered, the description
//        says that whether the change was made is not known
//   440  the host raised an error; its own description is kept
//   6    a number that does not fit its width
//   13   an answer of a type that does not convert
//   438  a member the object does not have; 450 a wrong argument count
//
// Threads: make a Host and use everything it gives on one thread, the
// caller's thread; that thread must run a message loop for events to reach
// it. The calls themselves run on threads of the multithreaded apartment
// (host/com/CallThread.h), each bounded by the host's time limit, and every
// interface pointer is released there.

#include "host/com/ComError.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace host::com {

inline constexpr const wchar_t *AppObjectProgId = L"ACTOLE.APPOBJECT";
inline constexpr const wchar_t *AuxCommandsProgId = L"ACTOLE.AUXCMDS";
// The event control, as its type library names it.
inline constexpr const wchar_t *EventControlProgId = L"ACTEVENTLib.ActEvent";
// How long a call waits for the host's answer, as on the other platforms.
inline constexpr unsigned long DefaultCallTimeoutMs = 5000;

namespace detail {
class Session;
}

// One argument of a late-bound call. A by-reference argument names the
// caller's variable, which receives the host's value after the call.
class Argument {
public:
    static Argument int16(std::int16_t value);
    static Argument int32(std::int32_t value);
    static Argument boolean(bool value);
    static Argument text(const std::wstring &value);
    static Argument int32Ref(std::int32_t &variable);
    static Argument textRef(std::wstring &variable);

    enum class Kind { Int16, Int32, Boolean, Text, Int32Ref, TextRef };
    Kind kind() const { return kind_; }

private:
    friend class detail::Session;
    Argument(Kind kind) : kind_(kind) {}
    Kind kind_;
    std::int32_t number_ = 0;
    std::wstring text_;
    std::int32_t *numberRef_ = nullptr;
    std::wstring *textRef_ = nullptr;
};

class Dispatch;

// What a call answered.
class Result {
public:
    Result() = default;
    Result(Result &&) noexcept;
    Result &operator=(Result &&) noexcept;
    ~Result();

    std::int16_t toInt16() const;
    std::int32_t toInt32() const;
    bool toBool() const;
    std::wstring toText() const;
    // The object answered; the result no longer holds it.
    std::unique_ptr<Dispatch> takeObject();
    // The answer's VARTYPE (VT_EMPTY when nothing was answered).
    unsigned short type() const;

private:
    friend class detail::Session;
    struct Value;
    std::unique_ptr<Value> value_;
    std::wstring member_;
};

// A late-bound reference to one host object.
class Dispatch {
public:
    ~Dispatch();
    Dispatch(const Dispatch &) = delete;
    Dispatch &operator=(const Dispatch &) = delete;

    // Calls member by name. change, for a member that changes something,
    // says what, worded to follow "whether" (see above); reads pass nothing.
    Result call(const std::wstring &member, const std::vector<Argument> &args = {},
                const std::wstring &change = {});
    // Calls the member with dispatch id id; label names it in failures.
    Result callId(long id, const std::wstring &label, const std::vector<Argument> &args = {},
                  const std::wstring &change = {});

private:
    friend class detail::Session;
    struct State;
    explicit Dispatch(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

class SalesList {
public:
    explicit SalesList(std::unique_ptr<Dispatch> object) : object_(std::move(object)) {}
    std::int32_t GetCurrentRow();
    std::wstring GetField(std::int16_t field, std::int32_t &row);
    std::int32_t SetField(std::int16_t field, std::int32_t &row, std::wstring &text);

private:
    std::unique_ptr<Dispatch> object_;
};

class ActView {
public:
    explicit ActView(std::unique_ptr<Dispatch> object) : object_(std::move(object)) {}
    std::unique_ptr<SalesList> Sales();

private:
    std::unique_ptr<Dispatch> object_;
};

class ActViews {
public:
    explicit ActViews(std::unique_ptr<Dispatch> object) : object_(std::move(object)) {}
    std::unique_ptr<ActView> Create(std::int16_t viewType, const std::wstring &name);

private:
    std::unique_ptr<Dispatch> object_;
};

class ActApp {
public:
    explicit ActApp(std::unique_ptr<Dispatch> object) : object_(std::move(object)) {}
    void OpenFile(const std::wstring &path);
    std::unique_ptr<ActViews> Views();
    std::wstring GetOpenDBName();
    void Command(std::int16_t command);

private:
    std::unique_ptr<Dispatch> object_;
};

class AuxCommands {
public:
    explicit AuxCommands(std::unique_ptr<Dispatch> object) : object_(std::move(object)) {}
    std::int16_t AuxCommandExistsInToolbar(std::int16_t view, const std::wstring &name);
    std::int16_t AuxCommandExistsInToolsMenu(std::int16_t view, const std::wstring &name);
    std::int16_t AuxCommandExists(const std::wstring &name);
    std::int32_t AddAuxCommand(const std::wstring &name, const std::wstring &executable, const std::wstring &folder,
                               const std::wstring &caption, const std::wstring &tooltip, const std::wstring &icon,
                               const std::wstring &largeIcon, std::int16_t flags);
    std::int32_t AddAuxCommandToToolbar(std::int16_t view, const std::wstring &name);
    std::int32_t RemoveAuxCommandFromToolbar(std::int16_t view, const std::wstring &name);
    std::int32_t AddAuxCommandToToolsMenu(std::int16_t view, const std::wstring &name);
    std::int32_t RemoveAuxCommandFromToolsMenu(std::int16_t view, const std::wstring &name);

private:
    std::int32_t call32(const wchar_t *member, std::int16_t view, const std::wstring &name, const wchar_t *change);
    std::unique_ptr<Dispatch> object_;
};

// A value an event carries.
using EventArgument = std::variant<std::monostate, std::int32_t, double, bool, std::wstring>;

// The event control: members 1, 2 and 3 by dispatch id, and its events 0 to
// 22, received through its connection point and handed to the handler on
// the Host's thread by that thread's message loop.
class EventControl {
public:
    using Handler = std::function<void(std::int16_t eventId, const std::vector<EventArgument> &args)>;
    static constexpr std::int16_t FirstEvent = 0;
    static constexpr std::int16_t LastEvent = 22;

    ~EventControl();
    // Id 1, the link test; 0 when the control cannot be made (no host).
    std::int32_t Id1(std::int32_t argument);
    // Id 2: acknowledges a notification.
    void Id2();
    // Id 3: true when the host refuses the link; false when the control
    // cannot be made.
    bool Id3();
    void setHandler(Handler handler);

private:
    friend class Host;
    explicit EventControl(std::shared_ptr<detail::Session> session);
    // Makes the control and connects to its events, once; false when it
    // cannot be made.
    bool connect();
    struct State;
    std::unique_ptr<State> state_;
};

class Host {
public:
    struct Options {
        std::wstring appObjectProgId = AppObjectProgId;
        std::wstring auxCommandsProgId = AuxCommandsProgId;
        std::wstring eventControlProgId = EventControlProgId;
        unsigned long callTimeoutMs = DefaultCallTimeoutMs;
    };

    Host();
    explicit Host(Options options);
    ~Host();
    Host(const Host &) = delete;
    Host &operator=(const Host &) = delete;

    std::unique_ptr<ActApp> createAppObject();
    std::unique_ptr<AuxCommands> createAuxCommands();
    EventControl &eventControl() { return *events_; }

    // Any automation object, by ProgID.
    std::unique_ptr<Dispatch> createObject(const std::wstring &progId);

    unsigned long callTimeoutMs() const;
    void setCallTimeoutMs(unsigned long ms);

    // Event sinks of this process still alive (0 once every Host that
    // connected one is gone and its host let go of it).
    static long liveEventSinks();

private:
    Options options_;
    std::shared_ptr<detail::Session> session_;
    std::unique_ptr<EventControl> events_;
};

} // namespace host::com
