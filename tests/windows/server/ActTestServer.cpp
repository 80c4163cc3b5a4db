// A stand-in for the host's automation objects on Windows, for the tests of
// the COM host core: an out-of-process automation server over an in-memory
// database.
//
//   ActTestServer /RegServer     registers its ProgIDs and classes
//   ActTestServer /UnregServer   removes them
//   ActTestServer -Embedding     serves (COM starts it so)
//
// It serves "ACTOLE.APPOBJECT" (the application, its views, view and
// Sales/Opportunity list), "ACTOLE.AUXCMDS" (the auxiliary commands), the
// event control "ACTEVENTLib.ActEvent" (members by dispatch id 1, 2, 3, and a
// connection point for events 0 to 22), and "PennarocTest.Control", through
// which a test sets the scene: records, faults to inject (fail with an
// error, hang, die, answer too large a number or the wrong type), refused
// ProgIDs, events to raise, and the record of every call with the VARIANT
// type of each argument. A refusal answers a command's result code 1 (not
// done) without doing anything, as a host that declines a request.
//
// Its apartment is multithreaded, so a call that hangs blocks only itself:
// the control object still answers, and its Quit ends a hung server. Every
// host object counts itself, so a test can see that the program released
// every reference it was given.
//
// It serves until Control.Quit or until it is killed, and does not end when
// its last object goes: under Wine, a request to make an object that reaches
// a server in the middle of ending waits for ever, and a client that ends
// without releasing its objects is never noticed, so the test programs
// share one server, and each sets its scene afresh.

#include <windows.h>
#include <objbase.h>
#include <ocidl.h>
#include <oleauto.h>
#include <olectl.h>

#include <atomic>
#include <cwchar>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace {

// {6E1F0A10-5C2B-4D7E-9A41-0B7C2D3E4F01} .. 05
const CLSID ClsidApp = {0x6e1f0a10, 0x5c2b, 0x4d7e, {0x9a, 0x41, 0x0b, 0x7c, 0x2d, 0x3e, 0x4f, 0x01}};
const CLSID ClsidAux = {0x6e1f0a10, 0x5c2b, 0x4d7e, {0x9a, 0x41, 0x0b, 0x7c, 0x2d, 0x3e, 0x4f, 0x02}};
const CLSID ClsidEvent = {0x6e1f0a10, 0x5c2b, 0x4d7e, {0x9a, 0x41, 0x0b, 0x7c, 0x2d, 0x3e, 0x4f, 0x03}};
const CLSID ClsidControl = {0x6e1f0a10, 0x5c2b, 0x4d7e, {0x9a, 0x41, 0x0b, 0x7c, 0x2d, 0x3e, 0x4f, 0x04}};
// The event control's outgoing dispinterface.
const IID DiidEvents = {0x6e1f0a10, 0x5c2b, 0x4d7e, {0x9a, 0x41, 0x0b, 0x7c, 0x2d, 0x3e, 0x4f, 0x05}};

struct ClassEntry {
    const CLSID *clsid;
    const wchar_t *progId;
};
const ClassEntry Classes[] = {
    {&ClsidApp, L"ACTOLE.APPOBJECT"},
    {&ClsidAux, L"ACTOLE.AUXCMDS"},
    {&ClsidEvent, L"ACTEVENTLib.ActEvent"},
    {&ClsidControl, L"PennarocTest.Control"},
};

enum FaultKind : short { Fail = 1, Hang = 2, Die = 3, TooLarge = 4, WrongType = 5, Refuse = 6 };

struct Fault {
    short kind;
    std::wstring description;
};

// Everything the server knows, guarded by one lock.
struct State {
    std::mutex lock;
    std::map<LONG, std::wstring> rows;
    LONG currentRow = -1;
    LONG nextRow = 1;
    bool databaseOpen = true;
    bool linkRefused = false;
    std::wstring databaseName;
    std::map<std::wstring, std::vector<std::wstring>> commands; // name -> the eight registration values
    std::set<std::tuple<int, int, std::wstring>> placements;    // (0 toolbar / 1 menu, view, name)
    std::vector<std::wstring> calls;
    std::map<std::wstring, Fault> faults; // "Object.Member" -> fault, used once
    std::set<std::wstring> refused;       // ProgIDs whose creation is refused
    std::optional<std::pair<LONG, std::wstring>> writeBack;
    std::vector<std::pair<DWORD, IDispatch *>> sinks;
    DWORD nextCookie = 1;

    void reset()
    {
        rows = {{1, L"Call back in May"}, {2, L"Quote sent [[C:\\Quotes\\Quote.txt]]"}, {3, L""}};
        nextRow = 4;
        currentRow = 1;
        databaseOpen = true;
        linkRefused = false;
        databaseName = L"C:\\ACT\\Database\\Demo.dbf";
        commands.clear();
        placements.clear();
        calls.clear();
        faults.clear();
        refused.clear();
        writeBack.reset();
    }
};

State state;
HANDLE hangRelease; // set by Quit: hung calls return, and the server ends
std::vector<DWORD> classCookies;
std::atomic<long> liveObjects{0};
std::atomic<long> heldReferences{0};

BSTR bstr(const std::wstring &text) { return SysAllocStringLen(text.data(), static_cast<UINT>(text.size())); }
std::wstring text(BSTR b) { return b ? std::wstring(b, SysStringLen(b)) : std::wstring(); }

std::wstring describe(const VARIANT &v)
{
    std::wstring type;
    switch (v.vt & ~VT_BYREF) {
    case VT_I2: type = L"VT_I2"; break;
    case VT_I4: type = L"VT_I4"; break;
    case VT_BSTR: type = L"VT_BSTR"; break;
    case VT_BOOL: type = L"VT_BOOL"; break;
    case VT_R8: type = L"VT_R8"; break;
    case VT_EMPTY: type = L"VT_EMPTY"; break;
    case VT_ERROR: type = L"VT_ERROR"; break;
    case VT_VARIANT: type = L"VT_VARIANT"; break;
    default: type = L"VT_" + std::to_wstring(v.vt & ~VT_BYREF); break;
    }
    const bool byRef = v.vt & VT_BYREF;
    if (byRef)
        type += L"|VT_BYREF";
    std::wstring value;
    switch (v.vt) {
    case VT_I2: value = std::to_wstring(v.iVal); break;
    case VT_I2 | VT_BYREF: value = std::to_wstring(*v.piVal); break;
    case VT_I4: value = std::to_wstring(v.lVal); break;
    case VT_I4 | VT_BYREF: value = std::to_wstring(*v.plVal); break;
    case VT_BOOL: value = v.boolVal ? L"true" : L"false"; break;
    case VT_BSTR: value = L"\"" + text(v.bstrVal) + L"\""; break;
    case VT_BSTR | VT_BYREF: value = L"\"" + text(*v.pbstrVal) + L"\""; break;
    default: break;
    }
    return value.empty() ? type : type + L" " + value;
}

// The arguments of one call, in the order the caller wrote them.
class Args {
public:
    explicit Args(DISPPARAMS *params) : params_(params) {}
    UINT count() const { return params_ ? params_->cArgs : 0; }
    VARIANT &at(UINT i) const { return params_->rgvarg[params_->cArgs - 1 - i]; }

    // The exact shape a member takes: anything else is refused as a type
    // mismatch, so a caller that sends a 32-bit number where the host takes
    // a 16-bit one fails here as it would against a strict host.
    bool shaped(std::initializer_list<VARTYPE> types, UINT *argError) const
    {
        if (count() != types.size())
            return false;
        UINT i = 0;
        for (VARTYPE t : types) {
            if (at(i).vt != t) {
                if (argError)
                    *argError = params_->cArgs - 1 - i;
                return false;
            }
            ++i;
        }
        return true;
    }

    // A loosely typed argument, for the test control.
    LONG number(UINT i) const
    {
        VARIANT v;
        VariantInit(&v);
        VariantChangeType(&v, &at(i), 0, VT_I4);
        return v.lVal;
    }
    std::wstring string(UINT i) const
    {
        VARIANT v;
        VariantInit(&v);
        VariantChangeType(&v, &at(i), 0, VT_BSTR);
        std::wstring s = text(v.bstrVal);
        VariantClear(&v);
        return s;
    }

private:
    DISPPARAMS *params_;
};

HRESULT raise(EXCEPINFO *excep, const std::wstring &description)
{
    if (excep) {
        *excep = {};
        excep->scode = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x200);
        excep->bstrSource = bstr(L"ACT!");
        excep->bstrDescription = bstr(description);
    }
    return DISP_E_EXCEPTION;
}

void setI2(VARIANT *result, SHORT value)
{
    if (result) {
        result->vt = VT_I2;
        result->iVal = value;
    }
}
void setI4(VARIANT *result, LONG value)
{
    if (result) {
        result->vt = VT_I4;
        result->lVal = value;
    }
}
void setText(VARIANT *result, const std::wstring &value)
{
    if (result) {
        result->vt = VT_BSTR;
        result->bstrVal = bstr(value);
    }
}

// ---------------------------------------------------------------------------

class Object : public IDispatch {
public:
    // counted: a host object, whose references the tests account for; the
    // test control is not one.
    Object(std::wstring className, std::vector<std::wstring> members, bool counted = true)
        : className_(std::move(className)), members_(std::move(members)), counted_(counted)
    {
        if (counted_) {
            ++liveObjects;
            ++heldReferences;
        }
    }
    virtual ~Object()
    {
        if (counted_)
            --liveObjects;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch))
            *out = static_cast<IDispatch *>(this);
        else
            *out = extraInterface(iid);
        if (!*out)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override
    {
        if (counted_)
            ++heldReferences;
        return ++refs_;
    }
    ULONG STDMETHODCALLTYPE Release() override
    {
        if (counted_)
            --heldReferences;
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
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *names, UINT count, LCID, DISPID *ids) override
    {
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            for (std::size_t m = 0; m < members_.size(); ++m)
                if (_wcsicmp(names[i], members_[m].c_str()) == 0)
                    ids[i] = static_cast<DISPID>(m + 1);
            if (ids[i] == DISPID_UNKNOWN)
                hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS *params, VARIANT *result,
                                     EXCEPINFO *excep, UINT *argError) override
    {
        if (result)
            VariantInit(result);
        if (id < 1 || static_cast<std::size_t>(id) > members_.size())
            return DISP_E_MEMBERNOTFOUND;
        const std::wstring &member = members_[id - 1];
        const Args args(params);
        std::optional<Fault> fault;
        if (counted_) {
            std::wstring entry = className_ + L"." + member + L"(";
            for (UINT i = 0; i < args.count(); ++i)
                entry += (i ? L", " : L"") + describe(args.at(i));
            entry += L")";
            std::lock_guard<std::mutex> held(state.lock);
            state.calls.push_back(entry);
            const auto f = state.faults.find(className_ + L"." + member);
            if (f != state.faults.end()) {
                fault = f->second;
                state.faults.erase(f);
            }
        }
        if (fault) {
            switch (fault->kind) {
            case Fail:
                return raise(excep, fault->description);
            case Hang:
                WaitForSingleObject(hangRelease, 120000);
                break;
            case Die:
                // Wine keeps the classes of a killed server registered, and
                // every later request for them then fails: withdraw them
                // first, so that the next request starts a new server. The
                // call itself is left unanswered.
                for (DWORD cookie : classCookies)
                    CoRevokeClassObject(cookie);
                TerminateProcess(GetCurrentProcess(), 3);
                break;
            case TooLarge:
                setI4(result, 70000);
                return S_OK;
            case WrongType:
                setText(result, L"not a number");
                return S_OK;
            case Refuse:
                setI4(result, 1);
                return S_OK;
            default:
                break;
            }
        }
        return call(id, member, args, result, excep, argError);
    }

protected:
    virtual void *extraInterface(REFIID) { return nullptr; }
    virtual HRESULT call(DISPID id, const std::wstring &member, const Args &args, VARIANT *result, EXCEPINFO *excep,
                         UINT *argError) = 0;

    static HRESULT giveObject(VARIANT *result, IDispatch *object)
    {
        if (result) {
            result->vt = VT_DISPATCH;
            result->pdispVal = object;
        } else {
            object->Release();
        }
        return S_OK;
    }

private:
    std::wstring className_;
    std::vector<std::wstring> members_;
    bool counted_;
    std::atomic<ULONG> refs_{1};
};

// ---------------------------------------------------------------------------
// Events

struct EventJob {
    short id;
    VARIANT argument; // VT_EMPTY for none
};

DWORD WINAPI fireEvent(void *parameter)
{
    EventJob *job = static_cast<EventJob *>(parameter);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    std::vector<IDispatch *> sinks;
    {
        std::lock_guard<std::mutex> held(state.lock);
        for (auto &s : state.sinks) {
            s.second->AddRef();
            sinks.push_back(s.second);
        }
    }
    for (IDispatch *sink : sinks) {
        VARIANT arg;
        VariantInit(&arg);
        DISPPARAMS params = {nullptr, nullptr, 0, 0};
        if (job->argument.vt != VT_EMPTY) {
            VariantCopy(&arg, &job->argument);
            params.rgvarg = &arg;
            params.cArgs = 1;
        }
        sink->Invoke(job->id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
        VariantClear(&arg);
        sink->Release();
    }
    VariantClear(&job->argument);
    delete job;
    CoUninitialize();
    return 0;
}

// Raises an event on a thread of its own, after the call that caused it has
// been answered, as a host's notification comes. The argument (none when
// VT_EMPTY) is copied.
void raiseEvent(short id, const VARIANT &argument)
{
    auto *job = new EventJob{id, {}};
    VariantInit(&job->argument);
    VariantCopyInd(&job->argument, const_cast<VARIANT *>(&argument));
    HANDLE thread = CreateThread(nullptr, 0, &fireEvent, job, 0, nullptr);
    if (thread) {
        CloseHandle(thread);
    } else {
        VariantClear(&job->argument);
        delete job;
    }
}

void raiseEvent(short id) { raiseEvent(id, VARIANT{}); }

void raiseEvent(short id, LONG argument)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = argument;
    raiseEvent(id, v);
}

class ConnectionPoint : public Object, public IConnectionPoint {
public:
    explicit ConnectionPoint(IConnectionPointContainer *container)
        : Object(L"ConnectionPoint", {}), container_(container)
    {
        container_->AddRef();
    }
    ~ConnectionPoint() override { container_->Release(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override { return Object::QueryInterface(iid, out); }
    ULONG STDMETHODCALLTYPE AddRef() override { return Object::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return Object::Release(); }

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID *iid) override
    {
        if (!iid)
            return E_POINTER;
        *iid = DiidEvents;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer **out) override
    {
        if (!out)
            return E_POINTER;
        *out = container_;
        container_->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown *sink, DWORD *cookie) override
    {
        if (!sink || !cookie)
            return E_POINTER;
        IDispatch *dispatch = nullptr;
        // The sink's own dispinterface, or plain IDispatch: both are called
        // through IDispatch::Invoke.
        if (FAILED(sink->QueryInterface(DiidEvents, reinterpret_cast<void **>(&dispatch))))
            if (FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void **>(&dispatch))))
                return CONNECT_E_CANNOTCONNECT;
        std::lock_guard<std::mutex> held(state.lock);
        *cookie = state.nextCookie++;
        state.sinks.emplace_back(*cookie, dispatch);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override
    {
        IDispatch *sink = nullptr;
        {
            std::lock_guard<std::mutex> held(state.lock);
            for (auto s = state.sinks.begin(); s != state.sinks.end(); ++s) {
                if (s->first == cookie) {
                    sink = s->second;
                    state.sinks.erase(s);
                    break;
                }
            }
        }
        if (!sink)
            return CONNECT_E_NOCONNECTION;
        sink->Release();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections **out) override
    {
        if (out)
            *out = nullptr;
        return E_NOTIMPL;
    }

protected:
    void *extraInterface(REFIID iid) override
    {
        return IsEqualIID(iid, IID_IConnectionPoint) ? static_cast<IConnectionPoint *>(this) : nullptr;
    }
    HRESULT call(DISPID, const std::wstring &, const Args &, VARIANT *, EXCEPINFO *, UINT *) override
    {
        return DISP_E_MEMBERNOTFOUND;
    }

private:
    IConnectionPointContainer *container_;
};

class PointEnumerator : public Object, public IEnumConnectionPoints {
public:
    explicit PointEnumerator(IConnectionPoint *point) : Object(L"PointEnumerator", {}), point_(point)
    {
        point_->AddRef();
    }
    ~PointEnumerator() override { point_->Release(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override { return Object::QueryInterface(iid, out); }
    ULONG STDMETHODCALLTYPE AddRef() override { return Object::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return Object::Release(); }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, IConnectionPoint **points, ULONG *fetched) override
    {
        ULONG n = 0;
        if (count > 0 && !done_) {
            points[0] = point_;
            point_->AddRef();
            done_ = true;
            n = 1;
        }
        if (fetched)
            *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override
    {
        if (count > 0)
            done_ = true;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reset() override
    {
        done_ = false;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints **out) override
    {
        if (out)
            *out = nullptr;
        return E_NOTIMPL;
    }

protected:
    void *extraInterface(REFIID iid) override
    {
        return IsEqualIID(iid, IID_IEnumConnectionPoints) ? static_cast<IEnumConnectionPoints *>(this) : nullptr;
    }
    HRESULT call(DISPID, const std::wstring &, const Args &, VARIANT *, EXCEPINFO *, UINT *) override
    {
        return DISP_E_MEMBERNOTFOUND;
    }

private:
    IConnectionPoint *point_;
    bool done_ = false;
};

class EventControl : public Object, public IConnectionPointContainer {
public:
    EventControl() : Object(L"ActEvent", {L"Id1", L"Id2", L"Id3"}) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override { return Object::QueryInterface(iid, out); }
    ULONG STDMETHODCALLTYPE AddRef() override { return Object::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return Object::Release(); }

    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints **out) override
    {
        if (!out)
            return E_POINTER;
        auto *point = new ConnectionPoint(this);
        *out = new PointEnumerator(point);
        point->Release();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint **out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(iid, DiidEvents))
            return CONNECT_E_NOCONNECTION;
        *out = new ConnectionPoint(this);
        return S_OK;
    }

protected:
    void *extraInterface(REFIID iid) override
    {
        return IsEqualIID(iid, IID_IConnectionPointContainer) ? static_cast<IConnectionPointContainer *>(this)
                                                              : nullptr;
    }
    HRESULT call(DISPID id, const std::wstring &, const Args &args, VARIANT *result, EXCEPINFO *,
                 UINT *argError) override
    {
        std::lock_guard<std::mutex> held(state.lock);
        switch (id) {
        case 1:
            if (!args.shaped({VT_I4}, argError))
                return DISP_E_TYPEMISMATCH;
            setI4(result, state.databaseOpen && !state.linkRefused ? 1 : 0);
            return S_OK;
        case 2:
            return args.count() ? DISP_E_BADPARAMCOUNT : S_OK;
        case 3:
            if (args.count())
                return DISP_E_BADPARAMCOUNT;
            if (result) {
                result->vt = VT_BOOL;
                result->boolVal = state.linkRefused ? VARIANT_TRUE : VARIANT_FALSE;
            }
            return S_OK;
        default:
            return DISP_E_MEMBERNOTFOUND;
        }
    }
};

// ---------------------------------------------------------------------------
// The application and its objects

void applyWriteBack(LONG *row, BSTR *textRef)
{
    if (!state.writeBack)
        return;
    *row = state.writeBack->first;
    if (textRef) {
        SysFreeString(*textRef);
        *textRef = bstr(state.writeBack->second);
    }
    state.writeBack.reset();
}

class SalesList : public Object {
public:
    SalesList() : Object(L"SalesList", {L"GetCurrentRow", L"GetField", L"SetField"}) {}

protected:
    HRESULT call(DISPID id, const std::wstring &, const Args &args, VARIANT *result, EXCEPINFO *excep,
                 UINT *argError) override
    {
        std::lock_guard<std::mutex> held(state.lock);
        switch (id) {
        case 1:
            if (args.count())
                return DISP_E_BADPARAMCOUNT;
            setI4(result, state.databaseOpen ? state.currentRow : -1);
            return S_OK;
        case 2: {
            if (!args.shaped({VT_I2, VT_I4 | VT_BYREF}, argError))
                return DISP_E_TYPEMISMATCH;
            if (args.at(0).iVal != 36)
                return raise(excep, L"field " + std::to_wstring(args.at(0).iVal) + L" is not served");
            const auto row = state.rows.find(*args.at(1).plVal);
            if (!state.databaseOpen || row == state.rows.end())
                return raise(excep, L"there is no record " + std::to_wstring(*args.at(1).plVal));
            setText(result, row->second);
            applyWriteBack(args.at(1).plVal, nullptr);
            return S_OK;
        }
        case 3: {
            if (!args.shaped({VT_I2, VT_I4 | VT_BYREF, VT_BSTR | VT_BYREF}, argError))
                return DISP_E_TYPEMISMATCH;
            if (args.at(0).iVal != 36)
                return raise(excep, L"field " + std::to_wstring(args.at(0).iVal) + L" is not served");
            const auto row = state.rows.find(*args.at(1).plVal);
            if (!state.databaseOpen || row == state.rows.end())
                return raise(excep, L"there is no record " + std::to_wstring(*args.at(1).plVal));
            row->second = text(*args.at(2).pbstrVal);
            setI4(result, 0);
            applyWriteBack(args.at(1).plVal, args.at(2).pbstrVal);
            return S_OK;
        }
        default:
            return DISP_E_MEMBERNOTFOUND;
        }
    }
};

class View : public Object {
public:
    View() : Object(L"ContactView", {L"Sales"}) {}

protected:
    HRESULT call(DISPID, const std::wstring &, const Args &args, VARIANT *result, EXCEPINFO *, UINT *) override
    {
        if (args.count())
            return DISP_E_BADPARAMCOUNT;
        return giveObject(result, new SalesList);
    }
};

class Views : public Object {
public:
    Views() : Object(L"ActViews", {L"Create"}) {}

protected:
    HRESULT call(DISPID, const std::wstring &, const Args &args, VARIANT *result, EXCEPINFO *excep,
                 UINT *argError) override
    {
        if (!args.shaped({VT_I2, VT_BSTR}, argError))
            return DISP_E_TYPEMISMATCH;
        if (args.at(0).iVal < 1 || args.at(0).iVal > 6)
            return raise(excep, L"there is no view of type " + std::to_wstring(args.at(0).iVal));
        return giveObject(result, new View);
    }
};

class App : public Object {
public:
    App() : Object(L"ActApp", {L"OpenFile", L"Views", L"GetOpenDBName", L"Command"}) {}

protected:
    HRESULT call(DISPID id, const std::wstring &, const Args &args, VARIANT *result, EXCEPINFO *excep,
                 UINT *argError) override
    {
        std::lock_guard<std::mutex> held(state.lock);
        switch (id) {
        case 1:
            if (!args.shaped({VT_BSTR}, argError))
                return DISP_E_TYPEMISMATCH;
            if (!text(args.at(0).bstrVal).empty())
                return raise(excep, L"only the open database can be addressed here");
            if (!state.databaseOpen)
                return raise(excep, L"no database is open");
            return S_OK;
        case 2:
            if (args.count())
                return DISP_E_BADPARAMCOUNT;
            return giveObject(result, new Views);
        case 3:
            if (args.count())
                return DISP_E_BADPARAMCOUNT;
            setText(result, state.databaseOpen ? state.databaseName : std::wstring());
            return S_OK;
        case 4:
            if (!args.shaped({VT_I2}, argError))
                return DISP_E_TYPEMISMATCH;
            if (args.at(0).iVal != 150)
                return raise(excep, L"command " + std::to_wstring(args.at(0).iVal) + L" is not known");
            state.databaseOpen = false;
            raiseEvent(10);
            return S_OK;
        default:
            return DISP_E_MEMBERNOTFOUND;
        }
    }
};

class AuxCommands : public Object {
public:
    AuxCommands()
        : Object(L"AuxCommands",
                 {L"AuxCommandExistsInToolbar", L"AuxCommandExistsInToolsMenu", L"AuxCommandExists", L"AddAuxCommand",
                  L"AddAuxCommandToToolbar", L"RemoveAuxCommandFromToolbar", L"AddAuxCommandToToolsMenu",
                  L"RemoveAuxCommandFromToolsMenu"})
    {
    }

    // Result codes of the placement calls besides 0.
    static constexpr LONG NotRegistered = 2;
    static constexpr LONG NoSuchView = 3;

protected:
    HRESULT call(DISPID id, const std::wstring &, const Args &args, VARIANT *result, EXCEPINFO *,
                 UINT *argError) override
    {
        std::lock_guard<std::mutex> held(state.lock);
        switch (id) {
        case 1:
        case 2: {
            if (!args.shaped({VT_I2, VT_BSTR}, argError))
                return DISP_E_TYPEMISMATCH;
            const auto key = std::make_tuple(id == 1 ? 0 : 1, int(args.at(0).iVal), text(args.at(1).bstrVal));
            setI2(result, state.placements.count(key) ? 1 : 0);
            return S_OK;
        }
        case 3:
            if (!args.shaped({VT_BSTR}, argError))
                return DISP_E_TYPEMISMATCH;
            setI2(result, state.commands.count(text(args.at(0).bstrVal)) ? 1 : 0);
            return S_OK;
        case 4: {
            if (!args.shaped({VT_BSTR, VT_BSTR, VT_BSTR, VT_BSTR, VT_BSTR, VT_BSTR, VT_BSTR, VT_I2}, argError))
                return DISP_E_TYPEMISMATCH;
            std::vector<std::wstring> values;
            for (UINT i = 0; i < 7; ++i)
                values.push_back(text(args.at(i).bstrVal));
            values.push_back(std::to_wstring(args.at(7).iVal));
            state.commands[values[0]] = values;
            setI4(result, 0);
            return S_OK;
        }
        case 5:
        case 6:
        case 7:
        case 8: {
            if (!args.shaped({VT_I2, VT_BSTR}, argError))
                return DISP_E_TYPEMISMATCH;
            const int view = args.at(0).iVal;
            const std::wstring name = text(args.at(1).bstrVal);
            if (view < 1 || view > 6) {
                setI4(result, NoSuchView);
                return S_OK;
            }
            const bool adding = id == 5 || id == 7;
            if (adding && !state.commands.count(name)) {
                setI4(result, NotRegistered);
                return S_OK;
            }
            const auto key = std::make_tuple(id <= 6 ? 0 : 1, view, name);
            if (adding)
                state.placements.insert(key);
            else
                state.placements.erase(key);
            setI4(result, 0);
            return S_OK;
        }
        default:
            return DISP_E_MEMBERNOTFOUND;
        }
    }
};

// ---------------------------------------------------------------------------

class Control : public Object {
public:
    Control()
        : Object(L"Control",
                 {L"Reset", L"AddRecord", L"SetCurrentRow", L"Details", L"SetDatabaseOpen", L"RefuseLink", L"Inject",
                  L"RefuseCreation", L"WriteBack", L"RaiseEvent", L"Calls", L"ClearCalls", L"LiveObjects",
                  L"HeldReferences", L"Sinks", L"Registration", L"ProcessId", L"Quit"},
                 false)
    {
    }

protected:
    HRESULT call(DISPID id, const std::wstring &, const Args &args, VARIANT *result, EXCEPINFO *excep, UINT *) override
    {
        std::lock_guard<std::mutex> held(state.lock);
        switch (id) {
        case 1: // Reset()
            state.reset();
            return S_OK;
        case 2: { // AddRecord(text) -> row
            const LONG row = state.nextRow++;
            state.rows[row] = args.string(0);
            setI4(result, row);
            return S_OK;
        }
        case 3: // SetCurrentRow(row): event 22 with the new row
            state.currentRow = args.number(0);
            raiseEvent(22, state.currentRow);
            return S_OK;
        case 4: { // Details(row) -> text
            const auto row = state.rows.find(args.number(0));
            if (row == state.rows.end())
                return raise(excep, L"no such record");
            setText(result, row->second);
            return S_OK;
        }
        case 5: // SetDatabaseOpen(open)
            state.databaseOpen = args.number(0) != 0;
            return S_OK;
        case 6: // RefuseLink(refuse)
            state.linkRefused = args.number(0) != 0;
            return S_OK;
        case 7: // Inject("Object.Member", kind, description): the next such call fails so
            state.faults[args.string(0)] = Fault{static_cast<short>(args.number(1)),
                                                 args.count() > 2 ? args.string(2) : std::wstring()};
            return S_OK;
        case 8: // RefuseCreation(progId)
            state.refused.insert(args.string(0));
            return S_OK;
        case 9: // WriteBack(row, text): the next by-reference call hands these back
            state.writeBack = std::make_pair(args.number(0), args.string(1));
            return S_OK;
        case 10: { // RaiseEvent(id[, argument[, type]]): the argument as given, or changed to type
            const auto id = static_cast<short>(args.number(0));
            if (args.count() < 2) {
                raiseEvent(id);
                return S_OK;
            }
            VARIANT argument;
            VariantInit(&argument);
            HRESULT hr = args.count() > 2
                             ? VariantChangeType(&argument, &args.at(1), 0, static_cast<VARTYPE>(args.number(2)))
                             : VariantCopyInd(&argument, &args.at(1));
            if (SUCCEEDED(hr))
                raiseEvent(id, argument);
            VariantClear(&argument);
            return hr;
        }
        case 11: { // Calls() -> one line per call
            std::wstring all;
            for (const std::wstring &c : state.calls)
                all += c + L"\n";
            setText(result, all);
            return S_OK;
        }
        case 12: // ClearCalls()
            state.calls.clear();
            return S_OK;
        case 13: // LiveObjects()
            setI4(result, liveObjects);
            return S_OK;
        case 14: // HeldReferences()
            setI4(result, heldReferences);
            return S_OK;
        case 15: // Sinks()
            setI4(result, static_cast<LONG>(state.sinks.size()));
            return S_OK;
        case 16: { // Registration(name) -> the eight values, separated by "|"
            const auto c = state.commands.find(args.string(0));
            std::wstring all;
            if (c != state.commands.end())
                for (std::size_t i = 0; i < c->second.size(); ++i)
                    all += (i ? L"|" : L"") + c->second[i];
            setText(result, all);
            return S_OK;
        }
        case 17: // ProcessId()
            setI4(result, static_cast<LONG>(GetCurrentProcessId()));
            return S_OK;
        case 18: // Quit(): no new objects from here; hung calls return, and the server ends shortly
            for (DWORD cookie : classCookies)
                CoRevokeClassObject(cookie);
            CreateThread(
                nullptr, 0,
                [](void *) -> DWORD {
                    Sleep(200);
                    SetEvent(hangRelease);
                    Sleep(200);
                    ExitProcess(0);
                },
                nullptr, 0, nullptr);
            return S_OK;
        default:
            return DISP_E_MEMBERNOTFOUND;
        }
    }
};

// ---------------------------------------------------------------------------

class Factory : public IClassFactory {
public:
    explicit Factory(const ClassEntry &entry) : entry_(entry) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory *>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID iid, void **out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        {
            std::lock_guard<std::mutex> held(state.lock);
            if (state.refused.count(entry_.progId))
                return E_ACCESSDENIED;
        }
        Object *object = nullptr;
        if (entry_.clsid == &ClsidApp)
            object = new App;
        else if (entry_.clsid == &ClsidAux)
            object = new AuxCommands;
        else if (entry_.clsid == &ClsidEvent)
            object = new EventControl;
        else
            object = new Control;
        const HRESULT hr = object->QueryInterface(iid, out);
        object->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    const ClassEntry &entry_;
};

std::wstring guidText(const GUID &guid)
{
    wchar_t buffer[64];
    StringFromGUID2(guid, buffer, 64);
    return buffer;
}

bool setValue(const std::wstring &key, const std::wstring &value)
{
    HKEY handle;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr)
        != ERROR_SUCCESS)
        return false;
    const LONG result = RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
    return result == ERROR_SUCCESS;
}

int registerServer()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    bool ok = true;
    for (const ClassEntry &c : Classes) {
        const std::wstring clsid = guidText(*c.clsid);
        ok = ok && setValue(c.progId, c.progId);
        ok = ok && setValue(std::wstring(c.progId) + L"\\CLSID", clsid);
        ok = ok && setValue(L"CLSID\\" + clsid, c.progId);
        ok = ok && setValue(L"CLSID\\" + clsid + L"\\ProgID", c.progId);
        ok = ok && setValue(L"CLSID\\" + clsid + L"\\LocalServer32", std::wstring(L"\"") + path + L"\"");
    }
    return ok ? 0 : 1;
}

int unregisterServer()
{
    for (const ClassEntry &c : Classes) {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, c.progId);
        RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + guidText(*c.clsid)).c_str());
    }
    return 0;
}

// Wine withdraws an interface's registration with its RPC runtime when the
// last object exported with that interface goes, and then waits for the
// interface's calls in flight while it holds the lock that every call
// handing out a new object needs: a client that releases its last object
// while another call returns one hangs the server for good. One object with
// each interface the server exports stays marshalled for the server's whole
// life, so that no registration is ever withdrawn. (The marshalled objects
// are made before any client comes, so the counts the tests read start
// with them.)
void pinInterfaces()
{
    auto *control = new Control;
    auto *events = new EventControl;
    auto *point = new ConnectionPoint(events);
    auto *enumerator = new PointEnumerator(point);
    const std::pair<IUnknown *, const IID *> pins[] = {
        {static_cast<IDispatch *>(control), &IID_IUnknown},
        {static_cast<IDispatch *>(control), &IID_IDispatch},
        {static_cast<IConnectionPointContainer *>(events), &IID_IConnectionPointContainer},
        {static_cast<IConnectionPoint *>(point), &IID_IConnectionPoint},
        {static_cast<IEnumConnectionPoints *>(enumerator), &IID_IEnumConnectionPoints},
    };
    for (const auto &[object, iid] : pins) {
        IStream *stream = nullptr;
        // The stream, and the reference it holds, are never released.
        if (SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)))
            CoMarshalInterface(stream, *iid, object, MSHCTX_LOCAL, nullptr, MSHLFLAGS_TABLESTRONG);
    }
    control->Release();
    events->Release();
    point->Release();
    enumerator->Release();
}

int serve()
{
    hangRelease = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    state.reset();
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)))
        return 1;
    pinInterfaces();
    std::vector<Factory> factories(std::begin(Classes), std::end(Classes));
    std::vector<DWORD> &cookies = classCookies;
    for (std::size_t i = 0; i < factories.size(); ++i) {
        DWORD cookie = 0;
        if (SUCCEEDED(CoRegisterClassObject(*Classes[i].clsid, &factories[i], CLSCTX_LOCAL_SERVER,
                                            REGCLS_MULTIPLEUSE | REGCLS_SUSPENDED, &cookie)))
            cookies.push_back(cookie);
    }
    CoResumeClassObjects();
    WaitForSingleObject(hangRelease, INFINITE);
    CoUninitialize();
    return 0;
}

} // namespace

int main()
{
    int argc = 0;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    for (int i = 1; i < argc; ++i) {
        if (_wcsicmp(argv[i], L"/RegServer") == 0 || _wcsicmp(argv[i], L"-RegServer") == 0)
            return registerServer();
        if (_wcsicmp(argv[i], L"/UnregServer") == 0 || _wcsicmp(argv[i], L"-UnregServer") == 0)
            return unregisterServer();
    }
    return serve();
}
