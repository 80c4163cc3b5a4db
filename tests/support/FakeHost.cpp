#include "tests/support/FakeHost.h"

#include "host/Text.h"

#include <algorithm>

namespace testsupport {
namespace {

std::u16string num(std::int64_t v)
{
    return text::number(v);
}

host::Failure noSuchField()
{
    return host::Failure(440, u"No such field or row");
}

class FakeSalesList : public host::SalesList {
public:
    explicit FakeSalesList(FakeHost &h) : h_(h) {}
    std::int32_t GetCurrentRow() override
    {
        h_.record(u"SalesList.GetCurrentRow");
        return h_.currentRow;
    }
    std::u16string GetField(std::int16_t field, std::int32_t &row) override
    {
        h_.record(u"SalesList.GetField", {num(field), num(row)});
        const auto found = h_.details.find(row);
        if (field != host::DetailsField || found == h_.details.end())
            throw noSuchField();
        return found->second;
    }
    std::int32_t SetField(std::int16_t field, std::int32_t &row, std::u16string &text) override
    {
        h_.record(u"SalesList.SetField", {num(field), num(row), text});
        if (h_.setFieldResult != 0)
            return h_.setFieldResult;
        const auto found = h_.details.find(row);
        if (field != host::DetailsField || found == h_.details.end())
            throw noSuchField();
        found->second = text;
        return 0;
    }

private:
    FakeHost &h_;
};

class FakeView : public host::ActView {
public:
    explicit FakeView(FakeHost &h) : h_(h) {}
    std::shared_ptr<host::SalesList> Sales() override
    {
        h_.record(u"ContactView.Sales");
        return std::make_shared<FakeSalesList>(h_);
    }

private:
    FakeHost &h_;
};

class FakeViews : public host::ActViews {
public:
    explicit FakeViews(FakeHost &h) : h_(h) {}
    std::shared_ptr<host::ActView> Create(std::int16_t viewType, const std::u16string &name) override
    {
        h_.record(u"ActViews.Create", {num(viewType), name});
        return std::make_shared<FakeView>(h_);
    }

private:
    FakeHost &h_;
};

class FakeApp : public host::ActApp {
public:
    explicit FakeApp(FakeHost &h) : h_(h) {}
    void OpenFile(const std::u16string &path) override { h_.record(u"ActApp.OpenFile", {path}); }
    std::shared_ptr<host::ActViews> Views() override
    {
        h_.record(u"ActApp.Views");
        return std::make_shared<FakeViews>(h_);
    }
    std::u16string GetOpenDBName() override
    {
        h_.record(u"ActApp.GetOpenDBName");
        return h_.openDbName;
    }
    void Command(std::int16_t command) override
    {
        h_.record(u"ActApp.Command", {num(command)});
        ++h_.commandsReceived;
    }

private:
    FakeHost &h_;
};

class FakeAux : public host::AuxCommands {
public:
    using Places = std::set<std::pair<std::int16_t, std::u16string>>;

    explicit FakeAux(FakeHost &h) : h_(h) {}
    std::int16_t AuxCommandExistsInToolbar(std::int16_t view, const std::u16string &name) override
    {
        return exists(u"AuxCommands.AuxCommandExistsInToolbar", h_.toolbar, view, name);
    }
    std::int16_t AuxCommandExistsInToolsMenu(std::int16_t view, const std::u16string &name) override
    {
        return exists(u"AuxCommands.AuxCommandExistsInToolsMenu", h_.toolsMenu, view, name);
    }
    std::int16_t AuxCommandExists(const std::u16string &name) override
    {
        h_.record(u"AuxCommands.AuxCommandExists", {name});
        return h_.registered.count(name) ? 1 : 0;
    }
    std::int32_t AddAuxCommand(const std::u16string &name, const std::u16string &executable,
                               const std::u16string &folder, const std::u16string &caption,
                               const std::u16string &tooltip, const std::u16string &icon,
                               const std::u16string &largeIcon, std::int16_t flags) override
    {
        const std::vector<std::u16string> values{name, executable, folder, caption, tooltip, icon, largeIcon,
                                                 num(flags)};
        h_.record(u"AuxCommands.AddAuxCommand", values);
        h_.lastRegistration = values;
        if (h_.addAuxCommandResult == 0)
            h_.registered.insert(name);
        return h_.addAuxCommandResult;
    }
    std::int32_t AddAuxCommandToToolbar(std::int16_t view, const std::u16string &name) override
    {
        return place(u"AddAuxCommandToToolbar", h_.toolbar, view, name, true);
    }
    std::int32_t RemoveAuxCommandFromToolbar(std::int16_t view, const std::u16string &name) override
    {
        return place(u"RemoveAuxCommandFromToolbar", h_.toolbar, view, name, false);
    }
    std::int32_t AddAuxCommandToToolsMenu(std::int16_t view, const std::u16string &name) override
    {
        return place(u"AddAuxCommandToToolsMenu", h_.toolsMenu, view, name, true);
    }
    std::int32_t RemoveAuxCommandFromToolsMenu(std::int16_t view, const std::u16string &name) override
    {
        return place(u"RemoveAuxCommandFromToolsMenu", h_.toolsMenu, view, name, false);
    }

private:
    std::int16_t exists(const std::u16string &member, const Places &where, std::int16_t view,
                        const std::u16string &name)
    {
        h_.record(member, {num(view), name});
        if (h_.existsAnswer)
            return host::toInt16(*h_.existsAnswer);
        return where.count({view, name}) ? 1 : 0;
    }
    std::int32_t place(const std::u16string &member, Places &where, std::int16_t view, const std::u16string &name,
                       bool add)
    {
        h_.record(u"AuxCommands." + member, {num(view), name});
        if (h_.placeResult != 0)
            return h_.placeResult;
        if (add)
            where.insert({view, name});
        else
            where.erase({view, name});
        return 0;
    }
    FakeHost &h_;
};

std::u16string memberOf(const std::u16string &call)
{
    return call.substr(0, call.find(u'('));
}

} // namespace

FakeHost::FakeHost() = default;

void FakeHost::failCall(const std::u16string &name, int occurrence, host::Failure failure)
{
    failName_ = name;
    failOccurrence_ = occurrence;
    failure_ = std::move(failure);
}

int FakeHost::countOf(std::u16string_view name) const
{
    const auto named = [name](const std::u16string &call) { return memberOf(call) == name; };
    return static_cast<int>(std::count_if(calls.begin(), calls.end(), named));
}

std::vector<std::u16string> FakeHost::callNames() const
{
    std::vector<std::u16string> names;
    names.reserve(calls.size());
    for (const std::u16string &call : calls)
        names.push_back(memberOf(call));
    return names;
}

void FakeHost::record(const std::u16string &member, const std::vector<std::u16string> &args)
{
    std::u16string call = member + u'(';
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i > 0)
            call += u',';
        call += args[i];
    }
    call += u')';
    calls.push_back(call);
    if (journal)
        journal->push_back(call);
    if (duringCall)
        duringCall(member);
    if (failOccurrence_ > 0 && member == failName_ && countOf(member) == failOccurrence_) {
        failOccurrence_ = 0;
        throw failure_;
    }
}

void FakeHost::raiseEvent(std::int16_t eventId, const std::vector<host::EventArgument> &args)
{
    if (handler_) {
        // The handler may replace itself; run the one that was set.
        const Handler handler = handler_;
        handler(eventId, args);
    }
}

std::shared_ptr<host::ActApp> FakeHost::createAppObject()
{
    record(u"CreateObject", {host::AppObjectProgId});
    if (!canCreateObjects)
        throw host::Failure(429, u"ActiveX component can't create object");
    return std::make_shared<FakeApp>(*this);
}

std::shared_ptr<host::AuxCommands> FakeHost::createAuxCommands()
{
    record(u"CreateObject", {host::AuxCommandsProgId});
    if (!canCreateObjects)
        throw host::Failure(429, u"ActiveX component can't create object");
    return std::make_shared<FakeAux>(*this);
}

std::int32_t FakeHost::Id1(std::int32_t argument)
{
    record(u"ActEvent1.Id1", {num(argument)});
    return id1Result;
}

void FakeHost::Id2()
{
    record(u"ActEvent1.Id2");
}

bool FakeHost::Id3()
{
    record(u"ActEvent1.Id3");
    return id3Result;
}

} // namespace testsupport
