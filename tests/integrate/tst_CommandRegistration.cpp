#include "integrate/CommandRegistration.h"
#include "integrate/IntegrateTexts.h"

#include "tests/support/Check.h"

#include <string>
#include <vector>

using integrate::PathForm;

namespace {

using Texts = std::vector<std::u16string>;

void values()
{
    struct Row {
        const char *name;
        PathForm form;
        std::u16string folder;
        std::u16string fileName;
        std::u16string prefix;
        Texts expected;
    };
    const std::u16string en = u"Click to launch ";
    const Row rows[] = {
        {"windows, installed as F\\Pennaroc.exe", PathForm::Windows, u"F", u"Pennaroc.exe", en,
         {u"Pennaroc", u"F\\Pennaroc.EXE", u"F", u"Pennaroc", u"Click to launch Pennaroc", u"F\\Pennaroc.ico",
          u"F\\Pennaroc32.ico", u"1"}},
        {"windows, .EXE upper case whatever the real case", PathForm::Windows, u"C:\\Program Files\\Pennaroc",
         u"pennaroc.Exe", en,
         {u"Pennaroc", u"C:\\Program Files\\Pennaroc\\pennaroc.EXE", u"C:\\Program Files\\Pennaroc", u"Pennaroc",
          u"Click to launch Pennaroc", u"C:\\Program Files\\Pennaroc\\pennaroc.ico",
          u"C:\\Program Files\\Pennaroc\\pennaroc32.ico", u"1"}},
        {"windows, folder given with slashes", PathForm::Windows, u"C:/Tools/Pen", u"Pennaroc.exe", en,
         {u"Pennaroc", u"C:\\Tools\\Pen\\Pennaroc.EXE", u"C:\\Tools\\Pen", u"Pennaroc", u"Click to launch Pennaroc",
          u"C:\\Tools\\Pen\\Pennaroc.ico", u"C:\\Tools\\Pen\\Pennaroc32.ico", u"1"}},
        {"windows, root folder gets no second backslash", PathForm::Windows, u"D:\\", u"Pennaroc.exe", en,
         {u"Pennaroc", u"D:\\Pennaroc.EXE", u"D:\\", u"Pennaroc", u"Click to launch Pennaroc", u"D:\\Pennaroc.ico",
          u"D:\\Pennaroc32.ico", u"1"}},
        {"linux, real file name, no extension added", PathForm::Linux, u"/opt/pennaroc/bin", u"Pennaroc", en,
         {u"Pennaroc", u"/opt/pennaroc/bin/Pennaroc", u"/opt/pennaroc/bin", u"Pennaroc",
          u"Click to launch Pennaroc", u"/opt/pennaroc/bin/Pennaroc.ico", u"/opt/pennaroc/bin/Pennaroc32.ico",
          u"1"}},
        {"linux, a file name with an extension keeps it", PathForm::Linux, u"/home/u/my tools", u"Pennaroc.bin",
         u"Cliquez pour lancer ",
         {u"Pennaroc", u"/home/u/my tools/Pennaroc.bin", u"/home/u/my tools", u"Pennaroc",
          u"Cliquez pour lancer Pennaroc", u"/home/u/my tools/Pennaroc.ico", u"/home/u/my tools/Pennaroc32.ico",
          u"1"}},
        {"linux, root folder", PathForm::Linux, u"/", u"Pennaroc", u"",
         {u"Pennaroc", u"/Pennaroc", u"/", u"Pennaroc", u"Pennaroc", u"/Pennaroc.ico", u"/Pennaroc32.ico", u"1"}},
    };
    for (const Row &r : rows) {
        check::Row row(r.name);
        const integrate::CommandRegistration reg =
            integrate::registrationValues(u"Pennaroc", r.prefix, r.folder, r.fileName, r.form);
        CHECK_EQ(reg.values(), r.expected);
        CHECK_EQ(reg.flags, std::int16_t(1));
    }
}

void baseName()
{
    struct Row {
        const char *name;
        std::u16string fileName;
        std::u16string base;
    };
    const Row rows[] = {
        {"extension", u"Pennaroc.exe", u"Pennaroc"},
        {"none", u"Pennaroc", u"Pennaroc"},
        {"only the last extension", u"pen.naroc.exe", u"pen.naroc"},
        {"leading dot is no extension", u".pennaroc", u".pennaroc"},
    };
    for (const Row &r : rows) {
        check::Row row(r.name);
        CHECK_EQ(integrate::executableBaseName(r.fileName), r.base);
    }
}

// The dialog's texts as the program holds them: seventeen in each language,
// the French ones with their accented letters as single characters (a source
// read in the wrong character set would give two or three per letter), and
// the tooltip prefix the registration is made with.
void texts()
{
    const Texts en = integrate::englishTexts();
    const Texts fr = integrate::frenchTexts();
    CHECK_EQ(std::int32_t(en.size()), integrate::TextCount);
    CHECK_EQ(std::int32_t(fr.size()), integrate::TextCount);
    if (std::int32_t(fr.size()) != integrate::TextCount || std::int32_t(en.size()) != integrate::TextCount)
        return;
    CHECK_EQ(en[0], std::u16string(u"Please contact support@veltrane.example with this error message."));
    CHECK_EQ(fr[0], std::u16string(u"S.V.P. contactez support@veltrane.example avec ce message."));
    CHECK_EQ(en[1], std::u16string(u"Click to launch "));
    CHECK_EQ(fr[1], std::u16string(u"Cliquez pour lancer "));
    CHECK_EQ(fr[4], std::u16string(u"Impossible d'ajouter l'ic\u00f4ne ou l'entr\u00e9e du menu. Vous devrez le faire "
                                   u"manuellement."));
    CHECK_EQ(fr[5], std::u16string(u"Int\u00e9gration \u00e0 ACT!"));
    CHECK_EQ(fr[9], std::u16string(u"Liste des t\u00e2ches"));
    CHECK_EQ(fr[12], std::u16string(u"Bouton ajout\u00e9 \u00e0 la barre d'outils des \u00e9crans suivants : "));
    CHECK_EQ(fr[13], std::u16string(u"Entr\u00e9e ajout\u00e9e au menu Outils des \u00e9crans suivants :"));
    CHECK_EQ(integrate::placeNames(1),
             Texts({u"Bouton de la barre d'outils", u"Entr\u00e9e du menu Outils"}));
    CHECK_EQ(integrate::placeNames(0), Texts({u"Toolbar Button", u"Tools Menu Item"}));
    CHECK_EQ(integrate::placeNames(2), Texts());
    CHECK_EQ(integrate::placeNames(-1), Texts());
    const integrate::CommandRegistration reg =
        integrate::registrationValues(u"Pennaroc", fr[1], u"/opt/pennaroc", u"Pennaroc", PathForm::Linux);
    CHECK_EQ(reg.tooltip, std::u16string(u"Cliquez pour lancer Pennaroc"));
}

} // namespace

int main(int argc, char **argv)
{
    return check::run(argc, argv, {{"values", values}, {"baseName", baseName}, {"texts", texts}});
}
