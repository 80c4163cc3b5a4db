#include "settings/ModSHBrowse.h"

#include "tests/support/Check.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace {

// A desktop whose folder chooser gives the scripted answers in turn and
// notes the owner of each one it shows. Any other service is a fault here.
class Desktop : public platform::PlatformServices {
public:
    std::deque<std::optional<std::u16string>> answers;
    std::vector<platform::WindowHandle> owners;

    std::optional<std::u16string> BrowseForFolder(platform::WindowHandle owner) override
    {
        owners.push_back(owner);
        if (answers.empty())
            return std::nullopt;
        std::optional<std::u16string> answer = answers.front();
        answers.pop_front();
        return answer;
    }

    int MsgBox(const std::u16string &, int, const std::u16string &) override { return unexpected(platform::vbOK); }
    std::optional<std::u16string> OpenFile(const platform::OpenFileRequest &) override
    {
        return unexpected(std::nullopt);
    }
    bool ShellExecute(platform::WindowHandle, const std::u16string &, const std::u16string &,
                      const std::optional<std::u16string> &, const std::u16string &, int) override
    {
        return unexpected(false);
    }
    void SetForegroundWindow(platform::WindowHandle) override { unexpected(0); }
    bool AnotherInstanceRunning() override { return unexpected(false); }
    std::u16string ProgramFolder() override { return unexpected(std::u16string()); }
    std::u16string ExecutableName() override { return unexpected(std::u16string()); }
    bool PathExists(const std::u16string &) override { return unexpected(false); }
    bool OpensAsProgram(const std::u16string &) override { return unexpected(false); }

private:
    template <class T>
    T unexpected(T answer)
    {
        check::fail("a desktop service other than BrowseForFolder was asked for", __FILE__, __LINE__);
        return answer;
    }
};

// The chooser behind the location dialog's Browse button: shown once, over
// the owner it is given, and its answer comes back as it is, the chosen
// folder's full path untouched or nothing when the user cancels. How the
// desktop's own chooser behaves is its own test's.
void chooserAnswer()
{
    char window = 0;
    const auto owner = reinterpret_cast<platform::WindowHandle>(&window);
    struct Row {
        const char *name;
        platform::WindowHandle owner;
        std::optional<std::u16string> answer;
    };
    const Row rows[] = {
        {"chosen folder, blanks kept", owner, u"/tmp/scratch/Attachments 2026 "},
        {"chosen folder beyond the BMP", owner, u"/home/u/r\u00e9sum\u00e9s \U0001F4CE"},
        {"root of the file system", owner, u"/"},
        {"cancelled", owner, std::nullopt},
        {"no owner", nullptr, u"C:\\Docs"},
    };
    for (const Row &r : rows) {
        check::Row row(r.name);
        Desktop desktop;
        desktop.answers = {r.answer};
        CHECK_EQ(ModSHBrowse::browseForFolder(desktop, r.owner), r.answer);
        if (CHECK_EQ(desktop.owners.size(), std::size_t(1)))
            CHECK(desktop.owners[0] == r.owner);
    }
}

} // namespace

int main(int argc, char **argv)
{
    return check::run(argc, argv, {{"chooserAnswer", chooserAnswer}});
}
