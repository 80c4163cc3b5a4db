#include "about/frmAbout.h"
#include "host/Text.h"
#include "resources/ProductInfo.h"
#include "tests/support/Check.h"
#include "tests/support/RecordingFace.h"
#include "tests/support/ScriptedPlatform.h"

#include <memory>
#include <string>
#include <vector>

using testsupport::RecordingFace;
using testsupport::ScriptedPlatform;
using Lines = std::vector<std::u16string>;

namespace {

std::string placeOf(const forms::Twips &t)
{
    return std::to_string(t.left) + "," + std::to_string(t.top) + " " + std::to_string(t.width) + "x"
        + std::to_string(t.height);
}

// A face whose font needs half as much room again as the design's, as a
// larger desktop font does.
class WideControlPeer : public testsupport::RecordingControlPeer {
public:
    using RecordingControlPeer::RecordingControlPeer;
    int neededWidth() const override { return RecordingControlPeer::neededWidth() * 3 / 2; }
};
class WideFormPeer : public testsupport::RecordingFormPeer {
public:
    using RecordingFormPeer::RecordingFormPeer;
    std::unique_ptr<forms::ControlPeer> createControl(forms::Control &control) override
    {
        return std::make_unique<WideControlPeer>(*this, control);
    }
};
class WideFace : public RecordingFace {
public:
    std::unique_ptr<forms::FormPeer> createForm(forms::Form &form, platform::WindowHandle owner) override
    {
        return std::make_unique<WideFormPeer>(*this, form, owner);
    }
};

// A window for the box to open over.
constexpr forms::FormSpec OwnerLayout{"Form1", u"", 3000, 2000};

struct Rig {
    RecordingFace face;
    ScriptedPlatform desktop;
    forms::Form owner{OwnerLayout, face};
    frmAbout box{face, desktop, owner.handle()};
    forms::Control &control(const char *name) { return box.form().control(name); }
    Lines life() const { return testsupport::only(face.told, {u"create", u"show", u"modal", u"hide", u"close"}); }
};

void versionText()
{
    struct Row {
        int major, minor, revision;
        std::u16string expected;
    };
    const Row rows[] = {
        {1, 0, 0, u"Version 1.0.0"},         {1, 0, 12, u"Version 1.0.12"}, {10, 2, 305, u"Version 10.2.305"},
        {0, 0, 0, u"Version 0.0.0"},         {1, 0, 65535, u"Version 1.0.65535"},
    };
    for (const Row &r : rows) {
        check::Row row(text::utf8(r.expected));
        CHECK_EQ(aboutVersionText(r.major, r.minor, r.revision), r.expected);
    }
}

// The table and the texts loading gives it, as the face shows them.
void layoutAndTexts()
{
    Rig rig;
    forms::Form &form = rig.box.form();
    CHECK(form.isLoaded());
    CHECK(!form.isVisible());
    CHECK_EQ(form.Caption(), std::u16string(u"Pennaroc"));
    CHECK_EQ(form.width(), 5730);
    CHECK_EQ(form.height(), 3285);
    CHECK(form.icon() == forms::Icon::None);
    CHECK_EQ(form.design().flags, unsigned(forms::CentreOnScreen));
    CHECK_EQ(std::string(form.design().focus), std::string("cmdOK"));
    CHECK_EQ(rig.face.peerOf(form).ownerId(), std::string("Form1"));

    struct Row {
        const char *name;
        forms::Kind kind;
        std::u16string caption;
        forms::Twips place;
        int tabIndex;
        unsigned flags;
        forms::Font font;
    };
    const forms::Font plain{};
    const Row rows[] = {
        {"lblTitle", forms::Kind::Label, u"Pennaroc", {1050, 240, 3885, 360}, -1, 0, {13.5, true, false}},
        {"lblVersion", forms::Kind::Label, u"Version " + product::versionText(), {1050, 780, 3885, 225}, -1, 0, plain},
        {"lblCopyright", forms::Kind::Label, u"\u00A9 2026 Veltrane", {1050, 1110, 3885, 225}, -1, 0, plain},
        {"lblFreeware", forms::Kind::Label, u"This program is freeware.", {1050, 1380, 3885, 225}, -1, 0, plain},
        {"Line1", forms::Kind::Line, u"", {53, 1800, 5631, 0}, -1, 0, plain},
        // The one text the design is too narrow for, in any face: it grows.
        {"lblProblem", forms::Kind::Label, u"Any problem, question or suggestion, please contact:",
         {240, 2640, 4680, 255}, -1, 0, plain},
        {"lblMail", forms::Kind::Link, u"support@veltrane.example", {240, 2880, 2415, 255}, 1, 0, {8.25, true, true}},
        {"cmdOK", forms::Kind::Button, u"Close", {4485, 2040, 1095, 375}, 0, forms::Default, plain},
    };
    CHECK_EQ(form.controls().size(), std::size(rows));
    for (const Row &r : rows) {
        check::Row row(r.name);
        const forms::Control &c = rig.control(r.name);
        CHECK(c.kind() == r.kind);
        CHECK(c.design().container.empty());
        CHECK_EQ(c.Caption(), r.caption);
        CHECK_EQ(placeOf(c.place()), placeOf(r.place));
        CHECK_EQ(c.design().tabIndex, r.tabIndex);
        CHECK_EQ(c.design().flags, r.flags);
        CHECK(c.design().font == r.font);
        CHECK(c.Enabled() && c.Visible());
    }
    // The maker's line and the notice stand between the version and the
    // separator, aligned with the version.
    int above = rig.control("lblVersion").place().top + rig.control("lblVersion").place().height;
    for (const char *name : {"lblCopyright", "lblFreeware"}) {
        const forms::Twips p = rig.control(name).place();
        CHECK(p.top >= above);
        CHECK(p.top + p.height <= rig.control("Line1").place().top);
        CHECK_EQ(p.left, rig.control("lblVersion").place().left);
        above = p.top + p.height;
    }
    CHECK_EQ(rig.face.mismatches(form), std::u16string());
    CHECK(rig.desktop.messages.empty() && rig.desktop.shellRequests.empty());
}

// A label grows to the right as far as its text needs, but no nearer to the
// window's right edge than 240 twips; one that fits keeps its design width.
void labelsFitTheFace()
{
    WideFace face;
    ScriptedPlatform desktop;
    frmAbout box(face, desktop);
    const struct {
        const char *name;
        int width;
    } rows[] = {
        {"lblTitle", 3885},   {"lblVersion", 3885},
        {"lblCopyright", 3885}, {"lblFreeware", 3885},
        {"lblProblem", 5250}, // needs 7020: stops at 5730 - 240 - 240
        {"lblMail", 3564},    // needs 3564: takes it
    };
    for (const auto &r : rows) {
        check::Row row(r.name);
        const forms::Control &label = box.form().control(r.name);
        CHECK_EQ(label.place().width, r.width);
        CHECK(label.place().right() <= box.form().width() - 240);
    }
    CHECK_EQ(box.form().width(), 5730);
    CHECK_EQ(placeOf(box.form().control("cmdOK").place()), std::string("4485,2040 1095x375"));
    CHECK_EQ(face.mismatches(box.form()), std::u16string());
}

// Every way of closing the box closes it, and asks nothing of the desktop.
void closing()
{
    const struct {
        const char *name;
        void (*act)(frmAbout &);
    } rows[] = {
        {"Close", [](frmAbout &b) { b.form().control("cmdOK").userClick(); }},
        {"Enter", [](frmAbout &b) { b.form().userEnter(); }},
        {"Escape", [](frmAbout &b) { b.form().userEscape(); }},
        {"close box", [](frmAbout &b) { b.form().userClose(); }},
    };
    for (const auto &r : rows) {
        check::Row row(r.name);
        Rig rig;
        bool visibleMeanwhile = false;
        rig.face.whileModalOf["frmAbout"] = [&](forms::Form &form) {
            visibleMeanwhile = form.isVisible();
            r.act(rig.box);
            CHECK(form.isUnloaded());
        };
        rig.box.showModal();
        CHECK(visibleMeanwhile);
        CHECK_EQ(rig.life(), (Lines{u"create Form1", u"create frmAbout over Form1", u"modal frmAbout",
                                    u"close frmAbout"}));
        CHECK(rig.desktop.shellRequests.empty());
        CHECK(rig.desktop.messages.empty());
    }
}

// The address asks the desktop to write a mail, on each click, and the box
// stays open whatever the desktop answers; the line above it is no link.
void mailLink()
{
    for (const bool answer : {true, false}) {
        check::Row row(answer ? "a mail program" : "no mail program");
        Rig rig;
        rig.desktop.shellAnswer = answer;
        rig.face.whileModalOf["frmAbout"] = [&](forms::Form &form) {
            rig.control("lblProblem").userClick();
            CHECK(rig.desktop.shellRequests.empty());
            rig.control("lblMail").userClick();
            CHECK(form.isVisible() && !form.isUnloaded());
            rig.control("lblMail").userClick();
            CHECK(form.isVisible() && !form.isUnloaded());
        };
        rig.box.showModal();
        if (CHECK_EQ(rig.desktop.shellRequests.size(), std::size_t(2))) {
            for (const ScriptedPlatform::Shell &shell : rig.desktop.shellRequests) {
                CHECK_EQ(testsupport::linkRequestMismatch(shell, u"mailto:support@veltrane.example"),
                         std::u16string());
                CHECK(shell.owner == rig.box.form().handle());
            }
        }
        CHECK(rig.desktop.messages.empty());
        // The face's close box ended the show after the hook.
        CHECK_EQ(rig.life().back(), std::u16string(u"close frmAbout"));
    }
}

} // namespace

int main(int argc, char **argv)
{
    return check::run(argc, argv,
                      {
                          {"versionText", versionText},
                          {"layoutAndTexts", layoutAndTexts},
                          {"labelsFitTheFace", labelsFitTheFace},
                          {"closing", closing},
                          {"mailLink", mailLink},
                      });
}
