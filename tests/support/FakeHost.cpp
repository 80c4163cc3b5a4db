#include "tests/support/FakeHost.h"

namespace testsupport {
namespace {

QString num(qint64 v) { return QString::number(v); }

class FakeSalesList : public host::SalesList {
public:
    explicit FakeSalesList(FakeHost &h) : h_(h) {}
    qint32 GetCurrentRow() override
    {
        h_.record(QStringLiteral("SalesList.GetCurrentRow"));
        return h_.currentRow;
    }
    QString GetField(qint16 field, qint32 &row) override
    {
        h_.record(QStringLiteral("SalesList.GetField"), {num(field), num(row)});
        if (field != host::DetailsField || !h_.details.contains(row))
            throw host::Failure(440, QStringLiteral("No such field or row"));
        return h_.details.value(row);
    }
    qint32 SetField(qint16 field, qint32 &row, QString &text) override
    {
        h_.record(QStringLiteral("SalesList.SetField"), {num(field), num(row), text});
        if (h_.setFieldResult != 0)
            return h_.setFieldResult;
        if (field != host::DetailsField || !h_.details.contains(row))
            throw host::Failure(440, QStringLiteral("No such field or row"));
        h_.details[row] = text;
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
        h_.record(QStringLiteral("ContactView.Sales"));
        return std::make_shared<FakeSalesList>(h_);
    }

private:
    FakeHost &h_;
};

class FakeViews : public host::ActViews {
public:
    explicit FakeViews(FakeHost &h) : h_(h) {}
    std::shared_ptr<host::ActView> Create(qint16 viewType, const QString &name) override
    {
        h_.record(QStringLiteral("ActViews.Create"), {num(viewType), name});
        return std::make_shared<FakeView>(h_);
    }

private:
    FakeHost &h_;
};

class FakeApp : public host::ActApp {
public:
    explicit FakeApp(FakeHost &h) : h_(h) {}
    void OpenFile(const QString &path) override { h_.record(QStringLiteral("ActApp.OpenFile"), {path}); }
    std::shared_ptr<host::ActViews> Views() override
    {
        h_.record(QStringLiteral("ActApp.Views"));
        return std::make_shared<FakeViews>(h_);
    }
    QString GetOpenDBName() override
    {
        h_.record(QStringLiteral("ActApp.GetOpenDBName"));
        return h_.openDbName;
    }
    void Command(qint16 command) override
    {
        h_.record(QStringLiteral("ActApp.Command"), {num(command)});
        ++h_.commandsReceived;
    }

private:
    FakeHost &h_;
};

class FakeAux : public host::AuxCommands {
public:
    explicit FakeAux(FakeHost &h) : h_(h) {}
    qint16 AuxCommandExistsInToolbar(qint16 view, const QString &name) override
    {
        h_.record(QStringLiteral("AuxCommands.AuxCommandExistsInToolbar"), {num(view), name});
        if (h_.existsAnswer)
            return host::toInt16(*h_.existsAnswer);
        return h_.toolbar.contains({view, name}) ? 1 : 0;
    }
    qint16 AuxCommandExistsInToolsMenu(qint16 view, const QString &name) override
    {
        h_.record(QStringLiteral("AuxCommands.AuxCommandExistsInToolsMenu"), {num(view), name});
        if (h_.existsAnswer)
            return host::toInt16(*h_.existsAnswer);
        return h_.toolsMenu.contains({view, name}) ? 1 : 0;
    }
    qint16 AuxCommandExists(const QString &name) override
    {
        h_.record(QStringLiteral("AuxCommands.AuxCommandExists"), {name});
        return h_.registered.contains(name) ? 1 : 0;
    }
    qint32 AddAuxCommand(const QString &name, const QString &executable, const QString &folder,
                         const QString &caption, const QString &tooltip, const QString &icon,
                         const QString &largeIcon, qint16 flags) override
    {
        const QStringList values{name, executable, folder, caption, tooltip, icon, largeIcon, num(flags)};
        h_.record(QStringLiteral("AuxCommands.AddAuxCommand"), values);
        h_.lastRegistration = values;
        if (h_.addAuxCommandResult == 0)
            h_.registered.insert(name);
        return h_.addAuxCommandResult;
    }
    qint32 AddAuxCommandToToolbar(qint16 view, const QString &name) override
    {
        return place(QStringLiteral("AddAuxCommandToToolbar"), h_.toolbar, view, name, true);
    }
    qint32 RemoveAuxCommandFromToolbar(qint16 view, const QString &name) override
    {
        return place(QStringLiteral("RemoveAuxCommandFromToolbar"), h_.toolbar, view, name, false);
    }
    qint32 AddAuxCommandToToolsMenu(qint16 view, const QString &name) override
    {
        return place(QStringLiteral("AddAuxCommandToToolsMenu"), h_.toolsMenu, view, name, true);
    }
    qint32 RemoveAuxCommandFromToolsMenu(qint16 view, const QString &name) override
    {
        return place(QStringLiteral("RemoveAuxCommandFromToolsMenu"), h_.toolsMenu, view, name, false);
    }

private:
    qint32 place(const QString &member, QSet<QPair<qint16, QString>> &where, qint16 view, const QString &name,
                 bool add)
    {
        h_.record(QStringLiteral("AuxCommands.") + member, {num(view), name});
        if (h_.placeResult != 0)
            return h_.placeResult;
        if (add)
            where.insert({view, name});
        else
            where.remove({view, name});
        return 0;
    }
    FakeHost &h_;
};

} // namespace

FakeHost::FakeHost() = default;

void FakeHost::failCall(const QString &name, int occurrence, host::Failure failure)
{
    failName_ = name;
    failOccurrence_ = occurrence;
    failure_ = std::move(failure);
}

int FakeHost::countOf(const QString &name) const
{
    return static_cast<int>(callNames().count(name));
}

QStringList FakeHost::callNames() const
{
    QStringList names;
    for (const QString &call : calls)
        names << call.section(QLatin1Char('('), 0, 0);
    return names;
}

void FakeHost::record(const QString &member, const QStringList &args)
{
    const QString call = member + QLatin1Char('(') + args.join(QLatin1Char(',')) + QLatin1Char(')');
    calls << call;
    if (journal)
        journal->append(call);
    if (duringCall)
        duringCall(member);
    if (failOccurrence_ > 0 && member == failName_ && countOf(member) == failOccurrence_) {
        failOccurrence_ = 0;
        throw failure_;
    }
}

void FakeHost::raiseEvent(qint16 eventId, const QVariantList &args)
{
    if (handler_)
        handler_(eventId, args);
}

std::shared_ptr<host::ActApp> FakeHost::createAppObject()
{
    record(QStringLiteral("CreateObject"), {QString::fromLatin1(host::AppObjectProgId)});
    if (!canCreateObjects)
        throw host::Failure(429, QStringLiteral("ActiveX component can't create object"));
    return std::make_shared<FakeApp>(*this);
}

std::shared_ptr<host::AuxCommands> FakeHost::createAuxCommands()
{
    record(QStringLiteral("CreateObject"), {QString::fromLatin1(host::AuxCommandsProgId)});
    if (!canCreateObjects)
        throw host::Failure(429, QStringLiteral("ActiveX component can't create object"));
    return std::make_shared<FakeAux>(*this);
}

qint32 FakeHost::Id1(qint32 argument)
{
    record(QStringLiteral("ActEvent1.Id1"), {num(argument)});
    return id1Result;
}

void FakeHost::Id2()
{
    record(QStringLiteral("ActEvent1.Id2"));
}

bool FakeHost::Id3()
{
    record(QStringLiteral("ActEvent1.Id3"));
    return id3Result;
}

} // namespace testsupport
