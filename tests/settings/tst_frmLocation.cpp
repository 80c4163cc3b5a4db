#include "host/Failure.h"
#include "host/Text.h"
#include "settings/frmLocation.h"
#include "tests/support/Check.h"
#include "tests/support/MemorySettings.h"
#include "tests/support/RecordingFace.h"
#include "tests/support/ScriptedPlatform.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using testsupport::MemorySettings;
using testsupport::RecordingFace;
using testsupport::ScriptedPlatform;
using Lines = std::vector<std::u16string>;

namespace {

const std::u16string Read = u"read(Pennaroc,Settings,DefaultFolder)";
std::u16string written(const std::u16string &text)
{
    return u"write(Pennaroc,Settings,DefaultFolder," + text + u")";
}

std::string placeOf(const forms::Twips &t)
{
    return std::to_string(t.left) + "," + std::to_string(t.top) + " " + std::to_string(t.width) + "x"
        + std::to_string(t.height);
}

// A desktop whose program folder cannot be found.
class NoProgramFolder : public ScriptedPlatform {
public:
    std::u16string ProgramFolder() override { throw host::Failure(52, u"Bad file name or number"); }
};

constexpr forms::FormSpec OwnerLayout{"Form1", u"", 3000, 2000};

// The dialog over the main window, on a store that holds value (nothing:
// no entry). open() shows it modally; the hook acts as the user.
struct Rig {
    RecordingFace face;
    ScriptedPlatform desktop;
    MemorySettings store;
    forms::Form owner{OwnerLayout, face};
    std::unique_ptr<frmLocation> dialog;

    explicit Rig(std::optional<std::u16string> value = std::nullopt, ScriptedPlatform *otherDesktop = nullptr,
                 std::optional<host::Failure> readFailure = std::nullopt)
    {
        store.readFailure = readFailure;
        if (value)
            store.setEntry(u"Pennaroc", u"Settings", u"DefaultFolder", *value);
        dialog = std::make_unique<frmLocation>(face, otherDesktop ? *otherDesktop : desktop, store, owner.handle());
    }
    forms::Control &txtPath() { return dialog->form().control("txtPath"); }
    forms::Control &button(const char *name) { return dialog->form().control(name); }
    std::optional<std::u16string> stored() const { return store.entry(u"Pennaroc", u"Settings", u"DefaultFolder"); }
    void open(std::function<void(frmLocation &)> user)
    {
        face.whileModalOf["frmLocation"] = [this, user](forms::Form &) { user(*dialog); };
        dialog->showModal();
    }
    Lines life() const { return testsupport::only(face.told, {u"modal", u"close", u"stuck"}); }
};

void layout()
{
    Rig rig;
    forms::Form &form = rig.dialog->form();
    CHECK_EQ(form.Caption(), std::u16string(u"Default Attachment Location"));
    CHECK_EQ(form.width(), 7035);
    CHECK_EQ(form.height(), 1710);
    CHECK_EQ(form.design().flags, unsigned(forms::NoFormFlags)); // opens over its owner
    CHECK_EQ(std::string(form.design().focus), std::string("cmdOK"));
    CHECK(form.icon() == forms::Icon::None);
    CHECK_EQ(rig.face.peerOf(form).ownerId(), std::string("Form1"));
    const struct {
        const char *name;
        forms::Kind kind;
        std::u16string caption;
        forms::Twips place;
        int tabIndex;
        unsigned flags;
    } rows[] = {
        {"cmdOK", forms::Kind::Button, u"&OK", {2478, 1170, 1000, 325}, 0, forms::Default},
        {"cmdCancel", forms::Kind::Button, u"&Cancel", {3558, 1170, 1000, 325}, 1, forms::Cancel},
        {"cmdBrowse", forms::Kind::Button, u"Browse...", {5865, 615, 1000, 325}, 2, 0},
        {"txtPath", forms::Kind::TextBox, u"", {300, 615, 5505, 315}, 3, 0},
        {"lblPath", forms::Kind::Label, u"Default Attachment Folder :", {300, 330, 5505, 285}, -1, 0},
    };
    CHECK_EQ(form.controls().size(), std::size(rows));
    for (const auto &r : rows) {
        check::Row row(r.name);
        const forms::Control &c = form.control(r.name);
        CHECK(c.kind() == r.kind);
        CHECK_EQ(c.Caption(), r.caption);
        CHECK_EQ(placeOf(c.place()), placeOf(r.place));
        CHECK_EQ(c.design().tabIndex, r.tabIndex);
        CHECK_EQ(c.design().flags, r.flags);
        CHECK(c.design().font == forms::Font{});
    }
    CHECK_EQ(rig.face.mismatches(form), std::u16string());
}

// What loading shows, and that OK (by button or Enter) stores exactly what
// the box holds then: the stored text as it is, or the program folder when
// there is none, or what the user typed.
void loadThenOk()
{
    const struct {
        const char *name;
        std::optional<std::u16string> stored;
        std::u16string shown;
        std::optional<std::u16string> typed;
    } rows[] = {
        {"no entry: the program folder", std::nullopt, u"/opt/pennaroc", {}},
        {"empty entry stays empty", u"", u"", {}},
        {"a folder that no longer exists", u"/no/such/folder", u"/no/such/folder", {}},
        {"blanks around it", u"  /srv/attachments  ", u"  /srv/attachments  ", {}},
        {"CR, LF and tab", u"/a\r\nb\tc\r", u"/a\r\nb\tc\r", {}},
        {"beyond the BMP", u"/srv/\U0001F4CE d\u00E9als", u"/srv/\U0001F4CE d\u00E9als", {}},
        {"longer than a text box's usual limit", std::u16string(40000, u'x'), std::u16string(40000, u'x'), {}},
        {"typed over the stored text", u"/old", u"/old", u"  /srv/Attach ments/ "},
        {"typed, no entry", std::nullopt, u"/opt/pennaroc", u"/chosen "},
    };
    bool enter = false;
    for (const auto &r : rows) {
        enter = !enter;
        check::Row row(std::string(r.name) + (enter ? ", Enter" : ", OK"));
        Rig rig(r.stored);
        CHECK_EQ(rig.txtPath().Text(), r.shown);
        CHECK_EQ(rig.store.calls, Lines{Read});
        bool open = false;
        rig.open([&](frmLocation &d) {
            open = d.form().isVisible();
            if (r.typed)
                rig.face.typeText(rig.txtPath(), *r.typed);
            if (enter)
                d.form().userEnter();
            else
                rig.button("cmdOK").userClick();
        });
        const std::u16string expected = r.typed.value_or(r.shown);
        CHECK(open);
        CHECK_EQ(rig.store.calls, (Lines{Read, written(expected)}));
        CHECK_EQ(rig.stored(), std::optional<std::u16string>(expected));
        CHECK_EQ(rig.life(), (Lines{u"modal frmLocation", u"close frmLocation"}));
        CHECK(rig.desktop.messages.empty());
    }
}

// Cancel, Escape and the close box store nothing, whatever was typed.
void nothingStoredWithoutOk()
{
    const struct {
        const char *name;
        void (*act)(frmLocation &);
    } ways[] = {
        {"Cancel", [](frmLocation &d) { d.form().control("cmdCancel").userClick(); }},
        {"Escape", [](frmLocation &d) { d.form().userEscape(); }},
        {"close box", [](frmLocation &d) { d.form().userClose(); }},
    };
    for (const auto &way : ways) {
        for (const std::optional<std::u16string> &before : {std::optional<std::u16string>(),
                                                            std::optional<std::u16string>(u" /earlier ")}) {
            check::Row row(std::string(way.name) + (before ? ", earlier value" : ", no entry"));
            Rig rig(before);
            rig.open([&](frmLocation &d) {
                rig.face.typeText(rig.txtPath(), u"/typed");
                way.act(d);
                CHECK(d.form().isUnloaded());
            });
            CHECK_EQ(rig.store.writes, 0);
            CHECK_EQ(rig.stored(), before);
            CHECK(rig.desktop.folderOwners.empty());
            CHECK(rig.desktop.messages.empty());
            CHECK_EQ(rig.life(), (Lines{u"modal frmLocation", u"close frmLocation"}));
        }
    }
    // Each opening reads the store afresh: what was cancelled, or written
    // meanwhile by another copy, is what the next one shows.
    Rig rig(u"/kept");
    rig.open([&](frmLocation &) { rig.face.typeText(rig.txtPath(), u"/typed but cancelled"); });
    CHECK_EQ(frmLocation(rig.face, rig.desktop, rig.store).form().control("txtPath").Text(), std::u16string(u"/kept"));
    rig.store.setEntry(u"Pennaroc", u"Settings", u"DefaultFolder", u"/changed elsewhere");
    CHECK_EQ(frmLocation(rig.face, rig.desktop, rig.store).form().control("txtPath").Text(),
             std::u16string(u"/changed elsewhere"));
}

// Browse shows the folder chooser over the dialog; a chosen folder replaces
// the text, a cancel keeps it, and nothing is stored before OK.
void browse()
{
    const struct {
        const char *name;
        std::optional<std::u16string> answer;
        std::u16string shown;
    } rows[] = {
        {"cancelled: typed text kept", std::nullopt, u" typed by hand "},
        {"folder chosen", u"/home/ann/Deals 2026", u"/home/ann/Deals 2026"},
        {"an item without a path empties the box", u"", u""},
    };
    for (const auto &r : rows) {
        check::Row row(r.name);
        Rig rig;
        rig.desktop.folderAnswers.push_back(r.answer);
        rig.open([&](frmLocation &d) {
            rig.face.typeText(rig.txtPath(), u" typed by hand ");
            rig.button("cmdBrowse").userClick();
            CHECK(d.form().isVisible() && !d.form().isUnloaded());
            CHECK_EQ(rig.txtPath().Text(), r.shown);
            CHECK_EQ(rig.store.writes, 0);
            rig.button("cmdOK").userClick();
        });
        if (CHECK_EQ(rig.desktop.folderOwners.size(), std::size_t(1)))
            CHECK(rig.desktop.folderOwners[0] == rig.dialog->form().handle());
        CHECK_EQ(rig.stored(), std::optional<std::u16string>(r.shown));
        CHECK_EQ(rig.face.mismatches(rig.dialog->form()), std::u16string());
    }
}

// A failing load is reported under the program's error title; the dialog
// still opens, with an empty box.
void loadFailure()
{
    const std::u16string where = u"\rin frmAdo: Sub Form_Load - Line # 17700\r\r"
                                 u"Please contact support@veltrane.example with this error message.";
    for (const bool storeFails : {true, false}) {
        check::Row row(storeFails ? "the store cannot be read" : "the program folder cannot be found");
        NoProgramFolder noFolder;
        Rig rig(u"/stored", storeFails ? nullptr : &noFolder,
                storeFails ? std::optional(testsupport::settingsAccessFailure()) : std::nullopt);
        const ScriptedPlatform &desktop = storeFails ? rig.desktop : noFolder;
        if (CHECK_EQ(desktop.messages.size(), std::size_t(1))) {
            const ScriptedPlatform::Message &m = desktop.messages[0];
            CHECK_EQ(m.text, (storeFails ? u"Error 75: 'Path/File access error: the settings could not be read'"
                                         : u"Error 52: 'Bad file name or number'")
                                 + where);
            CHECK_EQ(m.style, 0);
            CHECK_EQ(m.title, std::u16string(u"Pennaroc error"));
        }
        CHECK_EQ(rig.txtPath().Text(), std::u16string());
        bool open = false;
        rig.open([&](frmLocation &d) { open = d.form().isVisible(); });
        CHECK(open);
        CHECK_EQ(rig.store.writes, 0);
    }
}

// A failing write is told, and the dialog stays with the text, so that OK
// can be tried again.
void saveFailure()
{
    Rig rig;
    rig.store.writeFailure = testsupport::settingsAccessFailure(u"written");
    rig.open([&](frmLocation &d) {
        rig.face.typeText(rig.txtPath(), u"/not lost");
        d.form().userEnter();
        if (CHECK_EQ(rig.desktop.messages.size(), std::size_t(1))) {
            const ScriptedPlatform::Message &m = rig.desktop.messages[0];
            CHECK_EQ(m.text, std::u16string(u"The default attachment folder could not be saved.\r"
                                            u"Path/File access error: the settings could not be written"));
            CHECK_EQ(m.style, 48);
            CHECK_EQ(m.title, std::u16string(u"Pennaroc"));
        }
        CHECK(d.form().isVisible() && !d.form().isUnloaded());
        CHECK_EQ(rig.txtPath().Text(), std::u16string(u"/not lost"));
        rig.store.writeFailure.reset();
        rig.button("cmdOK").userClick();
        CHECK(d.form().isUnloaded());
    });
    CHECK_EQ(rig.store.calls, (Lines{Read, written(u"/not lost"), written(u"/not lost")}));
    CHECK_EQ(rig.stored(), std::optional<std::u16string>(u"/not lost"));
}

} // namespace

int main(int argc, char **argv)
{
    return check::run(argc, argv,
                      {
                          {"layout", layout},
                          {"loadThenOk", loadThenOk},
                          {"nothingStoredWithoutOk", nothingStoredWithoutOk},
                          {"browse", browse},
                          {"loadFailure", loadFailure},
                          {"saveFailure", saveFailure},
                      });
}
