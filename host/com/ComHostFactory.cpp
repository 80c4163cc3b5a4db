#include "host/com/ComHostFactory.h"

#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace host::com {

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "texts are UTF-16 in both forms");

std::wstring wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }
std::u16string u16(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }

// Runs f, turning the core's failure into the program's.
template <class F>
auto guarded(F f) -> decltype(f())
{
    try {
        return f();
    } catch (const Error &e) {
        throw host::Failure(e.number(), u16(e.description()));
    }
}

class SalesListObject : public host::SalesList {
public:
    explicit SalesListObject(std::unique_ptr<host::com::SalesList> o) : o_(std::move(o)) {}
    std::int32_t GetCurrentRow() override { return guarded([&] { return o_->GetCurrentRow(); }); }
    std::u16string GetField(std::int16_t field, std::int32_t &row) override
    {
        return guarded([&] { return u16(o_->GetField(field, row)); });
    }
    std::int32_t SetField(std::int16_t field, std::int32_t &row, std::u16string &text) override
    {
        return guarded([&] {
            std::wstring t = wide(text);
            const std::int32_t result = o_->SetField(field, row, t);
            text = u16(t);
            return result;
        });
    }

private:
    std::unique_ptr<host::com::SalesList> o_;
};

class ViewObject : public host::ActView {
public:
    explicit ViewObject(std::unique_ptr<host::com::ActView> o) : o_(std::move(o)) {}
    std::shared_ptr<host::SalesList> Sales() override
    {
        return guarded([&] { return std::make_shared<SalesListObject>(o_->Sales()); });
    }

private:
    std::unique_ptr<host::com::ActView> o_;
};

class ViewsObject : public host::ActViews {
public:
    explicit ViewsObject(std::unique_ptr<host::com::ActViews> o) : o_(std::move(o)) {}
    std::shared_ptr<host::ActView> Create(std::int16_t viewType, const std::u16string &name) override
    {
        return guarded([&] { return std::make_shared<ViewObject>(o_->Create(viewType, wide(name))); });
    }

private:
    std::unique_ptr<host::com::ActViews> o_;
};

class AppObject : public host::ActApp {
public:
    explicit AppObject(std::unique_ptr<host::com::ActApp> o) : o_(std::move(o)) {}
    void OpenFile(const std::u16string &path) override
    {
        guarded([&] { o_->OpenFile(wide(path)); });
    }
    std::shared_ptr<host::ActViews> Views() override
    {
        return guarded([&] { return std::make_shared<ViewsObject>(o_->Views()); });
    }
    std::u16string GetOpenDBName() override { return guarded([&] { return u16(o_->GetOpenDBName()); }); }
    void Command(std::int16_t command) override
    {
        guarded([&] { o_->Command(command); });
    }

private:
    std::unique_ptr<host::com::ActApp> o_;
};

class AuxCommandsObject : public host::AuxCommands {
public:
    explicit AuxCommandsObject(std::unique_ptr<host::com::AuxCommands> o) : o_(std::move(o)) {}
    std::int16_t AuxCommandExistsInToolbar(std::int16_t view, const std::u16string &name) override
    {
        return guarded([&] { return o_->AuxCommandExistsInToolbar(view, wide(name)); });
    }
    std::int16_t AuxCommandExistsInToolsMenu(std::int16_t view, const std::u16string &name) override
    {
        return guarded([&] { return o_->AuxCommandExistsInToolsMenu(view, wide(name)); });
    }
    std::int16_t AuxCommandExists(const std::u16string &name) override
    {
        return guarded([&] { return o_->AuxCommandExists(wide(name)); });
    }
    std::int32_t AddAuxCommand(const std::u16string &name, const std::u16string &executable,
                               const std::u16string &folder, const std::u16string &caption,
                               const std::u16string &tooltip, const std::u16string &icon,
                               const std::u16string &largeIcon, std::int16_t flags) override
    {
        return guarded([&] {
            return o_->AddAuxCommand(wide(name), wide(executable), wide(folder), wide(caption), wide(tooltip),
                                     wide(icon), wide(largeIcon), flags);
        });
    }
    std::int32_t AddAuxCommandToToolbar(std::int16_t view, const std::u16string &name) override
    {
        return guarded([&] { return o_->AddAuxCommandToToolbar(view, wide(name)); });
    }
    std::int32_t RemoveAuxCommandFromToolbar(std::int16_t view, const std::u16string &name) override
    {
        return guarded([&] { return o_->RemoveAuxCommandFromToolbar(view, wide(name)); });
    }
    std::int32_t AddAuxCommandToToolsMenu(std::int16_t view, const std::u16string &name) override
    {
        return guarded([&] { return o_->AddAuxCommandToToolsMenu(view, wide(name)); });
    }
    std::int32_t RemoveAuxCommandFromToolsMenu(std::int16_t view, const std::u16string &name) override
    {
        return guarded([&] { return o_->RemoveAuxCommandFromToolsMenu(view, wide(name)); });
    }

private:
    std::unique_ptr<host::com::AuxCommands> o_;
};

host::EventArgument portable(const EventArgument &argument)
{
    return std::visit(
        [](const auto &value) -> host::EventArgument {
            if constexpr (std::is_same_v<std::decay_t<decltype(value)>, std::wstring>)
                return u16(value);
            else
                return value;
        },
        argument);
}

} // namespace

std::int32_t ComActEvent::Id1(std::int32_t argument) { return guarded([&] { return control_.Id1(argument); }); }

void ComActEvent::Id2()
{
    guarded([&] { control_.Id2(); });
}

bool ComActEvent::Id3() { return guarded([&] { return control_.Id3(); }); }

void ComActEvent::setHandler(Handler handler)
{
    // The handler may end the program's use of the host, this factory
    // included: the wrapper holds its own copy and touches nothing after it.
    EventControl::Handler wrapper;
    if (handler) {
        wrapper = [handler = std::move(handler)](std::int16_t id, const std::vector<EventArgument> &args) {
            std::vector<host::EventArgument> converted;
            converted.reserve(args.size());
            for (const EventArgument &a : args)
                converted.push_back(portable(a));
            handler(id, converted);
        };
    }
    guarded([&] { control_.setHandler(std::move(wrapper)); });
}

ComHostFactory::ComHostFactory() : ComHostFactory(Host::Options()) {}

ComHostFactory::ComHostFactory(Host::Options options)
    : host_(std::make_unique<Host>(std::move(options))), events_(host_->eventControl())
{
}

ComHostFactory::~ComHostFactory() = default;

std::shared_ptr<host::ActApp> ComHostFactory::createAppObject()
{
    return guarded([&] { return std::make_shared<AppObject>(host_->createAppObject()); });
}

std::shared_ptr<host::AuxCommands> ComHostFactory::createAuxCommands()
{
    return guarded([&] { return std::make_shared<AuxCommandsObject>(host_->createAuxCommands()); });
}

} // namespace host::com
