#include "host/com/qt/ComHostFactory.h"

#include <QVariant>

#include <string>

namespace host::com::qt {

namespace {

// QString and std::wstring both hold UTF-16 on Windows.
std::wstring w(const QString &text) { return text.toStdWString(); }
QString q(const std::wstring &text) { return QString::fromStdWString(text); }

// Runs f, turning the core's failure into the program's.
template <class F>
auto guarded(F f) -> decltype(f())
{
    try {
        return f();
    } catch (const host::com::Error &e) {
        throw host::Failure(e.number(), q(e.description()));
    }
}

class SalesList : public host::SalesList {
public:
    explicit SalesList(std::unique_ptr<host::com::SalesList> o) : o_(std::move(o)) {}
    qint32 GetCurrentRow() override { return guarded([&] { return o_->GetCurrentRow(); }); }
    QString GetField(qint16 field, qint32 &row) override
    {
        return guarded([&] { return q(o_->GetField(field, row)); });
    }
    qint32 SetField(qint16 field, qint32 &row, QString &text) override
    {
        return guarded([&] {
            std::wstring t = w(text);
            const qint32 result = o_->SetField(field, row, t);
            text = q(t);
            return result;
        });
    }

private:
    std::unique_ptr<host::com::SalesList> o_;
};

class View : public host::ActView {
public:
    explicit View(std::unique_ptr<host::com::ActView> o) : o_(std::move(o)) {}
    std::shared_ptr<host::SalesList> Sales() override
    {
        return guarded([&] { return std::make_shared<SalesList>(o_->Sales()); });
    }

private:
    std::unique_ptr<host::com::ActView> o_;
};

class Views : public host::ActViews {
public:
    explicit Views(std::unique_ptr<host::com::ActViews> o) : o_(std::move(o)) {}
    std::shared_ptr<host::ActView> Create(qint16 viewType, const QString &name) override
    {
        return guarded([&] { return std::make_shared<View>(o_->Create(viewType, w(name))); });
    }

private:
    std::unique_ptr<host::com::ActViews> o_;
};

class App : public host::ActApp {
public:
    explicit App(std::unique_ptr<host::com::ActApp> o) : o_(std::move(o)) {}
    void OpenFile(const QString &path) override
    {
        guarded([&] { o_->OpenFile(w(path)); });
    }
    std::shared_ptr<host::ActViews> Views() override
    {
        return guarded([&] { return std::make_shared<qt::Views>(o_->Views()); });
    }
    QString GetOpenDBName() override { return guarded([&] { return q(o_->GetOpenDBName()); }); }
    void Command(qint16 command) override
    {
        guarded([&] { o_->Command(command); });
    }

private:
    std::unique_ptr<host::com::ActApp> o_;
};

class AuxCommands : public host::AuxCommands {
public:
    explicit AuxCommands(std::unique_ptr<host::com::AuxCommands> o) : o_(std::move(o)) {}
    qint16 AuxCommandExistsInToolbar(qint16 view, const QString &name) override
    {
        return guarded([&] { return o_->AuxCommandExistsInToolbar(view, w(name)); });
    }
    qint16 AuxCommandExistsInToolsMenu(qint16 view, const QString &name) override
    {
        return guarded([&] { return o_->AuxCommandExistsInToolsMenu(view, w(name)); });
    }
    qint16 AuxCommandExists(const QString &name) override
    {
        return guarded([&] { return o_->AuxCommandExists(w(name)); });
    }
    qint32 AddAuxCommand(const QString &name, const QString &executable, const QString &folder,
                         const QString &caption, const QString &tooltip, const QString &icon,
                         const QString &largeIcon, qint16 flags) override
    {
        return guarded([&] {
            return o_->AddAuxCommand(w(name), w(executable), w(folder), w(caption), w(tooltip), w(icon), w(largeIcon),
                                     flags);
        });
    }
    qint32 AddAuxCommandToToolbar(qint16 view, const QString &name) override
    {
        return guarded([&] { return o_->AddAuxCommandToToolbar(view, w(name)); });
    }
    qint32 RemoveAuxCommandFromToolbar(qint16 view, const QString &name) override
    {
        return guarded([&] { return o_->RemoveAuxCommandFromToolbar(view, w(name)); });
    }
    qint32 AddAuxCommandToToolsMenu(qint16 view, const QString &name) override
    {
        return guarded([&] { return o_->AddAuxCommandToToolsMenu(view, w(name)); });
    }
    qint32 RemoveAuxCommandFromToolsMenu(qint16 view, const QString &name) override
    {
        return guarded([&] { return o_->RemoveAuxCommandFromToolsMenu(view, w(name)); });
    }

private:
    std::unique_ptr<host::com::AuxCommands> o_;
};

QVariant toQVariant(const host::com::EventArgument &argument)
{
    if (const auto *n = std::get_if<std::int32_t>(&argument))
        return QVariant::fromValue<qint32>(*n);
    if (const auto *d = std::get_if<double>(&argument))
        return *d;
    if (const auto *b = std::get_if<bool>(&argument))
        return *b;
    if (const auto *t = std::get_if<std::wstring>(&argument))
        return q(*t);
    return {};
}

} // namespace

qint32 ComActEvent::Id1(qint32 argument) { return guarded([&] { return control_.Id1(argument); }); }
void ComActEvent::Id2()
{
    guarded([&] { control_.Id2(); });
}
bool ComActEvent::Id3() { return guarded([&] { return control_.Id3(); }); }

void ComActEvent::setHandler(Handler handler)
{
    guarded([&] {
        control_.setHandler([handler](std::int16_t id, const std::vector<host::com::EventArgument> &args) {
            if (!handler)
                return;
            QVariantList list;
            for (const host::com::EventArgument &a : args)
                list.append(toQVariant(a));
            handler(id, list);
        });
    });
}

ComHostFactory::ComHostFactory() : host_(std::make_unique<host::com::Host>()), events_(host_->eventControl()) {}

ComHostFactory::~ComHostFactory() = default;

std::shared_ptr<host::ActApp> ComHostFactory::createAppObject()
{
    return guarded([&] { return std::make_shared<App>(host_->createAppObject()); });
}

std::shared_ptr<host::AuxCommands> ComHostFactory::createAuxCommands()
{
    return guarded([&] { return std::make_shared<AuxCommands>(host_->createAuxCommands()); });
}

} // namespace host::com::qt
