#include "settings/modFolderFileExists.h"

#include "tests/support/Check.h"

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

// A desktop whose file system holds the listed paths, exactly as written,
// and which notes every path it is asked about. Any other service is a
// fault here.
class Desktop : public platform::PlatformServices {
public:
    std::set<std::u16string> existing;
    std::vector<std::u16string> asked;

    bool OpensAsProgram(const std::u16string &) override { return unexpected(false); }
    bool PathExists(const std::u16string &path) override
    {
        asked.push_back(path);
        return existing.count(path) > 0;
    }

    int MsgBox(const std::u16string &, int, const std::u16string &) override { return unexpected(platform::vbOK); }
    std::optional<std::u16string> OpenFile(const platform::OpenFileRequest &) override
    {
        return unexpected(std::nullopt);
    }
    std::optional<std::u16string> BrowseForFolder(platform::WindowHandle) override
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

private:
    template <class T>
    T unexpected(T answer)
    {
        check::fail("a desktop service other than PathExists was asked for", __FILE__, __LINE__);
        return answer;
    }
};

// The scratch folder of the old file-system rows, as the desktop sees it.
const std::u16string Scratch = u"/tmp/scratch/";

// Each row: a path (relative to the scratch folder unless it starts with
// "/"), and whether it exists. The desktop's own rules for links, trailing
// separators and names beyond the BMP are its own test's; here every path
// must reach the desktop unchanged, blanks included, and its answer come
// back as it is.
void exists()
{
    Desktop desktop;
    desktop.existing = {u"/",
                        Scratch + u"folder",
                        Scratch + u"folder/",
                        Scratch + u"file.txt",
                        Scratch + u"r\u00e9sum\u00e9 \U0001F4CE.pdf",
                        Scratch + u"folder-link",
                        Scratch + u" lead.txt",
                        Scratch + u"trail.txt ",
                        Scratch + u"spaced folder "};
    struct Row {
        const char *name;
        std::u16string relative;
        bool expected;
    };
    const Row rows[] = {
        {"root of the file system", u"/", true},
        {"existing folder", u"folder", true},
        {"existing folder with trailing separator", u"folder/", true},
        {"existing file", u"file.txt", true},
        {"file named beyond the BMP", u"r\u00e9sum\u00e9 \U0001F4CE.pdf", true},
        {"link to a folder", u"folder-link", true},
        {"path to nothing", u"missing.txt", false},
        {"inside a missing folder", u"missing/file.txt", false},
        {"link to nothing", u"dangling-link", false},
        // Blanks are part of the name: the path is tested unchanged.
        {"file with a leading blank", u" lead.txt", true},
        {"leading blank trimmed away", u"lead.txt", false},
        {"file with a trailing blank", u"trail.txt ", true},
        {"trailing blank trimmed away", u"trail.txt", false},
        {"blank added to an existing file", u"file.txt ", false},
        {"folder with a trailing blank", u"spaced folder ", true},
        {"trailing blank trimmed from a folder", u"spaced folder", false},
    };
    for (const Row &r : rows) {
        check::Row row(r.name);
        const std::u16string path = r.relative.front() == u'/' ? r.relative : Scratch + r.relative;
        desktop.asked.clear();
        CHECK_EQ(FolderFileExists(desktop, path), r.expected);
        CHECK_EQ(desktop.asked, std::vector<std::u16string>{path});
    }
}

// Empty text is false without asking the desktop; blank text is a name like
// any other, and is asked about.
void emptyAndBlankText()
{
    Desktop desktop;
    desktop.existing = {u"", u" "};
    CHECK_EQ(FolderFileExists(desktop, u""), false);
    CHECK_EQ(desktop.asked, std::vector<std::u16string>());
    CHECK_EQ(FolderFileExists(desktop, u" "), true);
    CHECK_EQ(desktop.asked, std::vector<std::u16string>{u" "});
}

} // namespace

int main(int argc, char **argv)
{
    return check::run(argc, argv, {{"exists", exists}, {"emptyAndBlankText", emptyAndBlankText}});
}
