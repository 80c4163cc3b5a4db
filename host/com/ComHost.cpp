#include "host/com/ComHost.h"

#include "host/com/CallThread.h"

#include <windows.h>
#include <objbase.h>
#include <ocidl.h>
#include <oleauto.h>

#include <atomic>
#include <deque>
#include <map>
#include <mutex>

namespace host::com {

Error::Error(std::int32_t number, std::wstring description) : number_(number), description_(std::move(description))
{
    // what(): the number and the description in UTF-8.
    const std::wstring all = std::to_wstring(number_) + L": " + description_;
    const int size = WideCharToMultiByte(CP_UTF8, 0, all.data(), int(all.size()), nullptr, 0, nullptr, nullptr);
    what_.resize(size);
    WideCharToMultiByte(CP_UTF8, 0, all.data(), int(all.size()), what_.data(), size, nullptr, nullptr);
}

namespace {

// ---------------------------------------------------------------------------
// Texts of failures

std::wstring hex(HRESULT hr)
{
    wchar_t buffer[16];
    swprintf(buffer, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return buffer;
}

// The system's words for hr, without the closing full stop, and its number.
std::wstring systemMessage(HRESULT hr)
{
    wchar_t *text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                            | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t *>(&text), 0,
                                        nullptr);
    std::wstring message = length ? std::wstring(text, length) : std::wstring();
    if (text)
        LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '
                                || message.back() == L'.'))
        message.pop_back();
    return message.empty() ? L"error " + hex(hr) : message + L" (" + hex(hr) + L")";
}

std::wstring timeText(unsigned long ms)
{
    if (ms % 1000 == 0)
        return std::to_wstring(ms / 1000) + L" s";
    return std::to_wstring(ms) + L" ms";
}

std::wstring typeName(VARTYPE vt)
{
    switch (vt & ~VT_BYREF) {
    case VT_EMPTY: return L"nothing";
    case VT_NULL: return L"Null";
    case VT_I1: return L"VT_I1";
    case VT_UI1: return L"VT_UI1";
    case VT_I2: return L"VT_I2";
    case VT_UI2: return L"VT_UI2";
    case VT_I4: return L"VT_I4";
    case VT_UI4: return L"VT_UI4";
    case VT_I8: return L"VT_I8";
    case VT_UI8: return L"VT_UI8";
    case VT_INT: return L"VT_INT";
    case VT_UINT: return L"VT_UINT";
    case VT_R4: return L"VT_R4";
    case VT_R8: return L"VT_R8";
    case VT_CY: return L"VT_CY";
    case VT_DATE: return L"VT_DATE";
    case VT_BSTR: return L"VT_BSTR";
    case VT_DISPATCH: return L"VT_DISPATCH";
    case VT_UNKNOWN: return L"VT_UNKNOWN";
    case VT_BOOL: return L"VT_BOOL";
    case VT_ERROR: return L"VT_ERROR";
    case VT_VARIANT: return L"VT_VARIANT";
    default: return L"VARTYPE " + std::to_wstring(vt);
    }
}

Error overflow() { return Error(Error::Overflow, L"Overflow"); }

Error typeMismatch(const std::wstring &member, VARTYPE vt, const wchar_t *expected)
{
    return Error(Error::TypeMismatch,
                 L"Type mismatch: " + member + L" answered " + typeName(vt) + L" where " + expected + L" was expected");
}

// The errors that mean the host's process is gone or cannot be reached.
bool isUnavailable(HRESULT hr)
{
    switch (hr) {
    case RPC_E_DISCONNECTED:
    case RPC_E_SERVER_DIED:
    case RPC_E_SERVER_DIED_DNE:
    case RPC_E_CALL_CANCELED:
    case CO_E_OBJNOTCONNECTED:
    case HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE):
    case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED):
    case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED_DNE):
    case HRESULT_FROM_WIN32(RPC_S_UNKNOWN_IF):
        return true;
    default:
        return false;
    }
}

// Of those, the ones that say the call reached the host, which may have
// carried it out before it went.
bool mayHaveRun(HRESULT hr)
{
    return hr == RPC_E_SERVER_DIED || hr == HRESULT_FROM_WIN32(RPC_S_CALL_FAILED);
}

Error unavailable(const std::wstring &member, const std::wstring &said)
{
    return Error(Error::ServerUnavailable,
                 L"The remote server machine does not exist or is unavailable (" + member + L": " + said + L")");
}

Error timedOut(const std::wstring &member, unsigned long ms, const std::wstring &change)
{
    std::wstring said = L"ACT! did not answer within " + timeText(ms);
    if (!change.empty())
        said += L", so whether " + change + L" is not known";
    return unavailable(member, said);
}

Error cannotCreate(const std::wstring &progId, const std::wstring &why)
{
    return Error(Error::CannotCreateObject, L"ActiveX component can't create object: the ACT! automation object \""
                                                + progId + L"\" cannot be created (" + why + L")");
}

BSTR allocText(const std::wstring &text)
{
    BSTR b = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!b)
        throw Error(7, L"Out of memory");
    return b;
}

std::wstring fromBstr(BSTR b) { return b ? std::wstring(b, SysStringLen(b)) : std::wstring(); }

// ---------------------------------------------------------------------------
// Jobs

class CreateJob : public detail::Job {
public:
    explicit CreateJob(std::wstring progId) : progId_(std::move(progId)) {}
    ~CreateJob() override = default;

    void run() override
    {
        CLSID clsid;
        hr = CLSIDFromProgID(progId_.c_str(), &clsid);
        if (FAILED(hr)) {
            notRegistered = true;
            return;
        }
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_INPROC_SERVER, IID_IDispatch,
                              reinterpret_cast<void **>(&object));
        if (FAILED(hr))
            object = nullptr;
    }
    void discard() override
    {
        if (object)
            object->Release();
        object = nullptr;
    }

    HRESULT hr = E_FAIL;
    bool notRegistered = false;
    IDispatch *object = nullptr;

private:
    std::wstring progId_;
};

class ReleaseJob : public detail::Job {
public:
    explicit ReleaseJob(IUnknown *object) : object_(object) {}
    void run() override { object_->Release(); }

private:
    IUnknown *object_;
};

class InvokeJob : public detail::Job {
public:
    // target is held (AddRef) by the job until it has run.
    InvokeJob(IDispatch *target, long id, std::wstring name) : target_(target), id(id), name_(std::move(name))
    {
        target_->AddRef();
        VariantInit(&result);
        excep = {};
    }
    ~InvokeJob() override
    {
        for (VARIANT &arg : args)
            if (arg.vt == VT_BSTR)
                SysFreeString(arg.bstrVal);
        for (BSTR &b : textRefs)
            SysFreeString(b);
        clearExcep();
        VariantClear(&result); // plain values only: objects were taken on the call thread
    }

    void run() override
    {
        if (id == DISPID_UNKNOWN) {
            LPOLESTR names[] = {name_.data()};
            hr = target_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
            if (FAILED(hr)) {
                id = DISPID_UNKNOWN;
                namesFailed = true;
            }
        }
        if (!namesFailed) {
            DISPPARAMS params = {args.empty() ? nullptr : args.data(), nullptr, static_cast<UINT>(args.size()), 0};
            UINT argError = 0;
            hr = target_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params,
                                 &result, &excep, &argError);
            if (hr == DISP_E_EXCEPTION && excep.pfnDeferredFillIn)
                excep.pfnDeferredFillIn(&excep);
            if (SUCCEEDED(hr) && (result.vt == VT_DISPATCH || result.vt == VT_UNKNOWN)) {
                IUnknown *unknown = result.vt == VT_DISPATCH ? result.pdispVal : result.punkVal;
                if (unknown)
                    unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void **>(&object));
                VariantClear(&result);
                result.vt = VT_DISPATCH; // remembered as "an object", held in object
            }
        }
        target_->Release();
        target_ = nullptr;
    }
    void discard() override
    {
        if (object)
            object->Release();
        object = nullptr;
    }

    void clearExcep()
    {
        SysFreeString(excep.bstrSource);
        SysFreeString(excep.bstrDescription);
        SysFreeString(excep.bstrHelpFile);
        excep = {};
    }

    IDispatch *target_;
    DISPID id;
    std::wstring name_;
    // In DISPPARAMS order: the last argument first. By-reference arguments
    // point into numberRefs and textRefs, which are sized before any is made.
    std::vector<VARIANT> args;
    std::vector<LONG> numberRefs;
    std::vector<BSTR> textRefs;
    HRESULT hr = E_FAIL;
    bool namesFailed = false;
    VARIANT result;
    EXCEPINFO excep;
    IDispatch *object = nullptr;
};

class EventSink;

} // namespace

// ---------------------------------------------------------------------------
// Events, from the host's threads to the caller's

namespace detail {

struct EventQueue {
    std::mutex lock;
    std::deque<std::pair<std::int16_t, std::vector<EventArgument>>> events; // guarded by lock
    HWND window = nullptr;                                                 // guarded by lock
    EventControl::Handler handler; // the caller's thread only

    void push(std::int16_t id, std::vector<EventArgument> args);
};

constexpr UINT EventMessage = WM_APP + 0x2a;

LRESULT CALLBACK eventWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != EventMessage)
        return DefWindowProcW(window, message, wParam, lParam);
    auto *queue = reinterpret_cast<std::shared_ptr<EventQueue> *>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!queue)
        return 0;
    // The handler may end the program and destroy the Host, this window and
    // the queue's owner while it runs: keep what it needs, and touch nothing
    // of them afterwards.
    const std::shared_ptr<EventQueue> keep = *queue;
    std::pair<std::int16_t, std::vector<EventArgument>> event;
    {
        std::lock_guard<std::mutex> held(keep->lock);
        if (keep->events.empty())
            return 0;
        event = std::move(keep->events.front());
        keep->events.pop_front();
        if (!keep->events.empty())
            PostMessageW(window, EventMessage, 0, 0);
    }
    const EventControl::Handler handler = keep->handler;
    if (handler) {
        try {
            handler(event.first, event.second);
        } catch (...) {
            // Nothing may unwind into the message loop; the program's event
            // handlers skip failing statements themselves.
        }
    }
    return 0;
}

void EventQueue::push(std::int16_t id, std::vector<EventArgument> args)
{
    std::lock_guard<std::mutex> held(lock);
    if (!window)
        return; // the Host is gone
    events.emplace_back(id, std::move(args));
    PostMessageW(window, EventMessage, 0, 0);
}

// ---------------------------------------------------------------------------

class Session : public std::enable_shared_from_this<Session> {
public:
    explicit Session(unsigned long timeoutMs) : timeoutMs(timeoutMs), events(std::make_shared<EventQueue>())
    {
        static const wchar_t *className = L"PennarocHostEvents";
        static const bool registered = [] {
            WNDCLASSEXW wc = {};
            wc.cbSize = sizeof wc;
            wc.lpfnWndProc = &eventWindowProc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = className;
            return RegisterClassExW(&wc) != 0;
        }();
        if (registered) {
            HWND window = CreateWindowExW(0, className, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                          GetModuleHandleW(nullptr), nullptr);
            if (window) {
                SetWindowLongPtrW(window, GWLP_USERDATA,
                                  reinterpret_cast<LONG_PTR>(new std::shared_ptr<EventQueue>(events)));
                std::lock_guard<std::mutex> held(events->lock);
                events->window = window;
            }
        }
    }

    ~Session()
    {
        HWND window;
        {
            std::lock_guard<std::mutex> held(events->lock);
            window = events->window;
            events->window = nullptr;
            events->events.clear();
        }
        if (window) {
            delete reinterpret_cast<std::shared_ptr<EventQueue> *>(GetWindowLongPtrW(window, GWLP_USERDATA));
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            DestroyWindow(window);
        }
    }

    bool run(const std::shared_ptr<Job> &job) { return calls.run(job, timeoutMs); }

    void release(IUnknown *object)
    {
        if (object)
            calls.run(std::make_shared<ReleaseJob>(object), timeoutMs);
    }

    std::unique_ptr<Dispatch> wrap(IDispatch *object);

    std::unique_ptr<Dispatch> create(const std::wstring &progId)
    {
        auto job = std::make_shared<CreateJob>(progId);
        if (!run(job))
            throw cannotCreate(progId, L"ACT! did not answer within " + timeText(timeoutMs));
        if (job->notRegistered)
            throw cannotCreate(progId, L"it is not registered: " + systemMessage(job->hr));
        if (!job->object)
            throw cannotCreate(progId, L"ACT! did not make it: " + systemMessage(job->hr));
        IDispatch *object = job->object;
        job->object = nullptr;
        return wrap(object);
    }

    Result invoke(IDispatch *target, std::map<std::wstring, long> &ids, long id, const std::wstring &member,
                  const std::vector<Argument> &arguments, const std::wstring &change);

    unsigned long timeoutMs;
    std::shared_ptr<EventQueue> events;

private:
    CallThread calls;
};

} // namespace detail

// ---------------------------------------------------------------------------
// Arguments and results

Argument Argument::int16(std::int16_t value)
{
    Argument a(Kind::Int16);
    a.number_ = value;
    return a;
}
Argument Argument::int32(std::int32_t value)
{
    Argument a(Kind::Int32);
    a.number_ = value;
    return a;
}
Argument Argument::boolean(bool value)
{
    Argument a(Kind::Boolean);
    a.number_ = value;
    return a;
}
Argument Argument::text(const std::wstring &value)
{
    Argument a(Kind::Text);
    a.text_ = value;
    return a;
}
Argument Argument::int32Ref(std::int32_t &variable)
{
    Argument a(Kind::Int32Ref);
    a.numberRef_ = &variable;
    return a;
}
Argument Argument::textRef(std::wstring &variable)
{
    Argument a(Kind::TextRef);
    a.textRef_ = &variable;
    return a;
}

struct Result::Value {
    VARIANT variant; // a plain value; VT_DISPATCH stands for object
    IDispatch *object = nullptr;
    std::shared_ptr<detail::Session> session;
    Value() { VariantInit(&variant); }
    ~Value()
    {
        if (variant.vt != VT_DISPATCH)
            VariantClear(&variant);
        if (object && session)
            session->release(object);
    }
};

Result::Result(Result &&) noexcept = default;
Result &Result::operator=(Result &&) noexcept = default;
Result::~Result() = default;

unsigned short Result::type() const { return value_ ? value_->variant.vt : VARTYPE(VT_EMPTY); }

namespace {

// The answer converted to vt as a late-bound assignment converts it.
VARIANT convert(const VARIANT *from, VARTYPE vt, const std::wstring &member, const wchar_t *expected)
{
    VARIANT empty;
    VariantInit(&empty);
    const VARIANT *source = from ? from : &empty;
    if (source->vt == VT_DISPATCH || source->vt == VT_EMPTY || source->vt == VT_NULL || source->vt == VT_ERROR)
        throw typeMismatch(member, source->vt, expected);
    if (vt != VT_BSTR && source->vt == VT_BSTR)
        throw typeMismatch(member, source->vt, expected);
    VARIANT to;
    VariantInit(&to);
    const HRESULT hr = VariantChangeType(&to, const_cast<VARIANT *>(source), 0, vt);
    if (hr == DISP_E_OVERFLOW)
        throw overflow();
    if (FAILED(hr))
        throw typeMismatch(member, source->vt, expected);
    return to;
}

} // namespace

std::int16_t Result::toInt16() const
{
    const VARIANT v = convert(value_ ? &value_->variant : nullptr, VT_I2, member_, L"a number");
    return v.iVal;
}

std::int32_t Result::toInt32() const
{
    const VARIANT v = convert(value_ ? &value_->variant : nullptr, VT_I4, member_, L"a number");
    return v.lVal;
}

bool Result::toBool() const
{
    const VARIANT v = convert(value_ ? &value_->variant : nullptr, VT_BOOL, member_, L"a Boolean");
    return v.boolVal != VARIANT_FALSE;
}

std::wstring Result::toText() const
{
    if (!value_ || value_->variant.vt != VT_BSTR)
        throw typeMismatch(member_, value_ ? value_->variant.vt : VARTYPE(VT_EMPTY), L"a text");
    return fromBstr(value_->variant.bstrVal);
}

std::unique_ptr<Dispatch> Result::takeObject()
{
    if (!value_ || !value_->object)
        throw typeMismatch(member_, value_ ? value_->variant.vt : VARTYPE(VT_EMPTY), L"an object");
    IDispatch *object = value_->object;
    value_->object = nullptr;
    return value_->session->wrap(object);
}

// ---------------------------------------------------------------------------
// Dispatch

struct Dispatch::State {
    std::shared_ptr<detail::Session> session;
    IDispatch *object = nullptr;
    std::map<std::wstring, long> ids;
};

Dispatch::Dispatch(std::unique_ptr<State> state) : state_(std::move(state)) {}

Dispatch::~Dispatch() { state_->session->release(state_->object); }

Result Dispatch::call(const std::wstring &member, const std::vector<Argument> &args, const std::wstring &change)
{
    return state_->session->invoke(state_->object, state_->ids, DISPID_UNKNOWN, member, args, change);
}

Result Dispatch::callId(long id, const std::wstring &label, const std::vector<Argument> &args,
                        const std::wstring &change)
{
    return state_->session->invoke(state_->object, state_->ids, id, label, args, change);
}

std::unique_ptr<Dispatch> detail::Session::wrap(IDispatch *object)
{
    auto state = std::make_unique<Dispatch::State>();
    state->session = shared_from_this();
    state->object = object;
    return std::unique_ptr<Dispatch>(new Dispatch(std::move(state)));
}

Result detail::Session::invoke(IDispatch *target, std::map<std::wstring, long> &ids, long id,
                               const std::wstring &member, const std::vector<Argument> &arguments,
                               const std::wstring &change)
{
    if (id == DISPID_UNKNOWN) {
        const auto known = ids.find(member);
        if (known != ids.end())
            id = known->second;
    }
    auto job = std::make_shared<InvokeJob>(target, id, member);
    std::size_t numberRefs = 0, textRefs = 0;
    for (const Argument &a : arguments) {
        numberRefs += a.kind() == Argument::Kind::Int32Ref;
        textRefs += a.kind() == Argument::Kind::TextRef;
    }
    job->numberRefs.reserve(numberRefs);
    job->textRefs.reserve(textRefs);
    job->args.reserve(arguments.size());
    for (auto a = arguments.rbegin(); a != arguments.rend(); ++a) {
        VARIANT v;
        VariantInit(&v);
        switch (a->kind_) {
        case Argument::Kind::Int16:
            v.vt = VT_I2;
            v.iVal = static_cast<SHORT>(a->number_);
            break;
        case Argument::Kind::Int32:
            v.vt = VT_I4;
            v.lVal = a->number_;
            break;
        case Argument::Kind::Boolean:
            v.vt = VT_BOOL;
            v.boolVal = a->number_ ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        case Argument::Kind::Text:
            v.vt = VT_BSTR;
            v.bstrVal = allocText(a->text_);
            break;
        case Argument::Kind::Int32Ref:
            job->numberRefs.push_back(*a->numberRef_);
            v.vt = VT_BYREF | VT_I4;
            v.plVal = &job->numberRefs.back();
            break;
        case Argument::Kind::TextRef:
            job->textRefs.push_back(allocText(*a->textRef_));
            v.vt = VT_BYREF | VT_BSTR;
            v.pbstrVal = &job->textRefs.back();
            break;
        }
        job->args.push_back(v);
    }

    if (!run(job))
        throw timedOut(member, timeoutMs, change);
    if (job->id != DISPID_UNKNOWN)
        ids[member] = job->id;

    const HRESULT hr = job->hr;
    if (job->namesFailed) {
        if (isUnavailable(hr))
            throw unavailable(member, systemMessage(hr));
        if (hr == DISP_E_UNKNOWNNAME)
            throw Error(Error::NoSuchMember, L"Object doesn't support this property or method (" + member + L")");
        throw Error(Error::AutomationError, L"Automation error (" + member + L": " + systemMessage(hr) + L")");
    }
    if (FAILED(hr)) {
        if (isUnavailable(hr)) {
            std::wstring said = systemMessage(hr);
            if (!change.empty() && mayHaveRun(hr))
                said += L"; ACT! went away without answering, so whether " + change + L" is not known";
            throw unavailable(member, said);
        }
        switch (hr) {
        case DISP_E_EXCEPTION: {
            std::wstring said = fromBstr(job->excep.bstrDescription);
            if (said.empty())
                said = systemMessage(job->excep.scode ? job->excep.scode : hr);
            throw Error(Error::AutomationError, L"Automation error (" + member + L": " + said + L")");
        }
        case DISP_E_OVERFLOW:
            throw overflow();
        case DISP_E_TYPEMISMATCH:
            throw Error(Error::TypeMismatch, L"Type mismatch (" + member + L": " + systemMessage(hr) + L")");
        case DISP_E_MEMBERNOTFOUND:
        case DISP_E_UNKNOWNNAME:
            throw Error(Error::NoSuchMember, L"Object doesn't support this property or method (" + member + L")");
        case DISP_E_BADPARAMCOUNT:
        case DISP_E_PARAMNOTOPTIONAL:
            throw Error(Error::WrongArgumentCount,
                        L"Wrong number of arguments or invalid property assignment (" + member + L")");
        default:
            throw Error(Error::AutomationError, L"Automation error (" + member + L": " + systemMessage(hr) + L")");
        }
    }

    // Hand the host's by-reference values back to the caller's variables.
    std::size_t nextNumber = 0, nextText = 0;
    for (const Argument &a : arguments) {
        if (a.kind_ == Argument::Kind::Int32Ref)
            *a.numberRef_ = job->numberRefs[nextNumber++];
        else if (a.kind_ == Argument::Kind::TextRef)
            *a.textRef_ = fromBstr(job->textRefs[nextText++]);
    }

    Result result;
    result.member_ = member;
    result.value_ = std::make_unique<Result::Value>();
    result.value_->session = shared_from_this();
    result.value_->variant = job->result;
    VariantInit(&job->result);
    result.value_->object = job->object;
    job->object = nullptr;
    return result;
}

// ---------------------------------------------------------------------------
// The typed objects

std::int32_t SalesList::GetCurrentRow() { return object_->call(L"GetCurrentRow").toInt32(); }

std::wstring SalesList::GetField(std::int16_t field, std::int32_t &row)
{
    return object_->call(L"GetField", {Argument::int16(field), Argument::int32Ref(row)}).toText();
}

std::int32_t SalesList::SetField(std::int16_t field, std::int32_t &row, std::wstring &text)
{
    return object_
        ->call(L"SetField", {Argument::int16(field), Argument::int32Ref(row), Argument::textRef(text)},
               L"the Details field was changed")
        .toInt32();
}

std::unique_ptr<SalesList> ActView::Sales()
{
    return std::make_unique<SalesList>(object_->call(L"Sales").takeObject());
}

std::unique_ptr<ActView> ActViews::Create(std::int16_t viewType, const std::wstring &name)
{
    return std::make_unique<ActView>(
        object_->call(L"Create", {Argument::int16(viewType), Argument::text(name)}).takeObject());
}

void ActApp::OpenFile(const std::wstring &path) { object_->call(L"OpenFile", {Argument::text(path)}); }

std::unique_ptr<ActViews> ActApp::Views() { return std::make_unique<ActViews>(object_->call(L"Views").takeObject()); }

std::wstring ActApp::GetOpenDBName() { return object_->call(L"GetOpenDBName").toText(); }

void ActApp::Command(std::int16_t command)
{
    object_->call(L"Command", {Argument::int16(command)},
                  command == 150 ? L"ACT! closed" : L"ACT! carried out command " + std::to_wstring(command));
}

std::int16_t AuxCommands::AuxCommandExistsInToolbar(std::int16_t view, const std::wstring &name)
{
    return object_->call(L"AuxCommandExistsInToolbar", {Argument::int16(view), Argument::text(name)}).toInt16();
}

std::int16_t AuxCommands::AuxCommandExistsInToolsMenu(std::int16_t view, const std::wstring &name)
{
    return object_->call(L"AuxCommandExistsInToolsMenu", {Argument::int16(view), Argument::text(name)}).toInt16();
}

std::int16_t AuxCommands::AuxCommandExists(const std::wstring &name)
{
    return object_->call(L"AuxCommandExists", {Argument::text(name)}).toInt16();
}

std::int32_t AuxCommands::AddAuxCommand(const std::wstring &name, const std::wstring &executable,
                                        const std::wstring &folder, const std::wstring &caption,
                                        const std::wstring &tooltip, const std::wstring &icon,
                                        const std::wstring &largeIcon, std::int16_t flags)
{
    return object_
        ->call(L"AddAuxCommand",
               {Argument::text(name), Argument::text(executable), Argument::text(folder), Argument::text(caption),
                Argument::text(tooltip), Argument::text(icon), Argument::text(largeIcon), Argument::int16(flags)},
               L"the command's registration was made")
        .toInt32();
}

std::int32_t AuxCommands::call32(const wchar_t *member, std::int16_t view, const std::wstring &name,
                                 const wchar_t *change)
{
    return object_->call(member, {Argument::int16(view), Argument::text(name)}, change).toInt32();
}

std::int32_t AuxCommands::AddAuxCommandToToolbar(std::int16_t view, const std::wstring &name)
{
    return call32(L"AddAuxCommandToToolbar", view, name, L"the command was given its place on the toolbar");
}

std::int32_t AuxCommands::RemoveAuxCommandFromToolbar(std::int16_t view, const std::wstring &name)
{
    return call32(L"RemoveAuxCommandFromToolbar", view, name, L"the command's place on the toolbar was removed");
}

std::int32_t AuxCommands::AddAuxCommandToToolsMenu(std::int16_t view, const std::wstring &name)
{
    return call32(L"AddAuxCommandToToolsMenu", view, name, L"the command was given its place in the Tools menu");
}

std::int32_t AuxCommands::RemoveAuxCommandFromToolsMenu(std::int16_t view, const std::wstring &name)
{
    return call32(L"RemoveAuxCommandFromToolsMenu", view, name, L"the command's place in the Tools menu was removed");
}

// ---------------------------------------------------------------------------
// The event control and its sink

namespace {

std::atomic<long> liveSinks{0};

// Receives the control's events on the host's threads and queues them for
// the caller's thread. Free-threaded: it lives in the multithreaded
// apartment, so the host's calls reach it directly.
class EventSink : public IDispatch {
public:
    EventSink(const IID &events, std::shared_ptr<detail::EventQueue> queue) : events_(events), queue_(std::move(queue))
    {
        ++liveSinks;
    }
    virtual ~EventSink() { --liveSinks; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, events_)) {
            *out = static_cast<IDispatch *>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --refs_;
        if (!left)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override
    {
        if (count)
            *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **info) override
    {
        if (info)
            *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override
    {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS *params, VARIANT *result, EXCEPINFO *,
                                     UINT *) override
    {
        if (result)
            VariantInit(result);
        if (id < EventControl::FirstEvent || id > EventControl::LastEvent)
            return DISP_E_MEMBERNOTFOUND;
        std::vector<EventArgument> args;
        if (params) {
            for (UINT i = params->cArgs; i-- > 0;)
                args.push_back(argumentOf(params->rgvarg[i]));
        }
        queue_->push(static_cast<std::int16_t>(id), std::move(args));
        return S_OK;
    }

private:
    static EventArgument argumentOf(const VARIANT &raw)
    {
        VARIANT v;
        VariantInit(&v);
        if (FAILED(VariantCopyInd(&v, const_cast<VARIANT *>(&raw))))
            return std::monostate();
        EventArgument out = std::monostate();
        switch (v.vt) {
        case VT_BSTR: out = fromBstr(v.bstrVal); break;
        case VT_BOOL: out = v.boolVal != VARIANT_FALSE; break;
        case VT_R4:
        case VT_R8:
        case VT_DATE:
        case VT_CY: {
            VARIANT d;
            VariantInit(&d);
            if (SUCCEEDED(VariantChangeType(&d, &v, 0, VT_R8)))
                out = d.dblVal;
            break;
        }
        default: {
            VARIANT n;
            VariantInit(&n);
            if (SUCCEEDED(VariantChangeType(&n, &v, 0, VT_I4))) {
                out = static_cast<std::int32_t>(n.lVal);
            } else {
                VARIANT d;
                VariantInit(&d);
                if (SUCCEEDED(VariantChangeType(&d, &v, 0, VT_R8)))
                    out = d.dblVal;
            }
        }
        }
        VariantClear(&v);
        return out;
    }

    std::atomic<ULONG> refs_{1};
    IID events_;
    std::shared_ptr<detail::EventQueue> queue_;
};

// Makes the event control and connects a sink to its events.
class ConnectJob : public detail::Job {
public:
    ConnectJob(std::wstring progId, std::shared_ptr<detail::EventQueue> queue)
        : progId_(std::move(progId)), queue_(std::move(queue))
    {
    }
    void run() override
    {
        CLSID clsid;
        hr = CLSIDFromProgID(progId_.c_str(), &clsid);
        if (FAILED(hr))
            return;
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_INPROC_SERVER, IID_IDispatch,
                              reinterpret_cast<void **>(&control));
        if (FAILED(hr)) {
            control = nullptr;
            return;
        }
        // The control has one outgoing interface; its first connection point
        // is that one.
        IConnectionPointContainer *container = nullptr;
        if (FAILED(control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void **>(&container))))
            return;
        IEnumConnectionPoints *points = nullptr;
        if (SUCCEEDED(container->EnumConnectionPoints(&points)) && points) {
            ULONG fetched = 0;
            if (points->Next(1, &point, &fetched) != S_OK || fetched != 1)
                point = nullptr;
            points->Release();
        }
        container->Release();
        if (!point)
            return;
        IID events = IID_IDispatch;
        point->GetConnectionInterface(&events);
        auto *sink = new EventSink(events, queue_);
        adviseResult = point->Advise(sink, &cookie);
        sink->Release();
        if (FAILED(adviseResult)) {
            cookie = 0;
            point->Release();
            point = nullptr;
        }
    }
    void discard() override
    {
        if (point) {
            if (cookie)
                point->Unadvise(cookie);
            point->Release();
        }
        if (control)
            control->Release();
        point = nullptr;
        control = nullptr;
    }

    HRESULT hr = E_FAIL;
    HRESULT adviseResult = E_FAIL;
    IDispatch *control = nullptr;
    IConnectionPoint *point = nullptr;
    DWORD cookie = 0;

private:
    std::wstring progId_;
    std::shared_ptr<detail::EventQueue> queue_;
};

class DisconnectJob : public detail::Job {
public:
    DisconnectJob(IConnectionPoint *point, DWORD cookie) : point_(point), cookie_(cookie) {}
    void run() override
    {
        if (cookie_)
            point_->Unadvise(cookie_);
        point_->Release();
    }

private:
    IConnectionPoint *point_;
    DWORD cookie_;
};

} // namespace

struct EventControl::State {
    std::shared_ptr<detail::Session> session;
    std::wstring progId;
    std::unique_ptr<Dispatch> control;
    IConnectionPoint *point = nullptr;
    DWORD cookie = 0;
};

EventControl::EventControl(std::shared_ptr<detail::Session> session) : state_(std::make_unique<State>())
{
    state_->session = std::move(session);
}

EventControl::~EventControl()
{
    if (state_->point)
        state_->session->run(std::make_shared<DisconnectJob>(state_->point, state_->cookie));
    state_->control.reset();
}

bool EventControl::connect()
{
    if (state_->control)
        return true;
    auto job = std::make_shared<ConnectJob>(state_->progId, state_->session->events);
    if (!state_->session->run(job))
        return false;
    if (!job->control)
        return false;
    state_->control = state_->session->wrap(job->control);
    state_->point = job->point;
    state_->cookie = job->cookie;
    job->control = nullptr;
    job->point = nullptr;
    return true;
}

std::int32_t EventControl::Id1(std::int32_t argument)
{
    if (!connect())
        return 0;
    return state_->control->callId(1, L"Id1", {Argument::int32(argument)}).toInt32();
}

void EventControl::Id2()
{
    if (!connect())
        throw cannotCreate(state_->progId, L"the event control is not there");
    state_->control->callId(2, L"Id2");
}

bool EventControl::Id3()
{
    if (!connect())
        return false;
    return state_->control->callId(3, L"Id3").toBool();
}

void EventControl::setHandler(Handler handler)
{
    state_->session->events->handler = std::move(handler);
    connect();
}

// ---------------------------------------------------------------------------

Host::Host() : Host(Options()) {}

Host::Host(Options options)
    : options_(std::move(options)), session_(std::make_shared<detail::Session>(options_.callTimeoutMs)),
      events_(new EventControl(session_))
{
    events_->state_->progId = options_.eventControlProgId;
}

Host::~Host() = default;

std::unique_ptr<ActApp> Host::createAppObject()
{
    return std::make_unique<ActApp>(session_->create(options_.appObjectProgId));
}

std::unique_ptr<AuxCommands> Host::createAuxCommands()
{
    return std::make_unique<AuxCommands>(session_->create(options_.auxCommandsProgId));
}

std::unique_ptr<Dispatch> Host::createObject(const std::wstring &progId) { return session_->create(progId); }

unsigned long Host::callTimeoutMs() const { return session_->timeoutMs; }

void Host::setCallTimeoutMs(unsigned long ms) { session_->timeoutMs = ms; }

long Host::liveEventSinks() { return liveSinks; }

} // namespace host::com
