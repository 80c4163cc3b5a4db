#pragma once

// Qt's own texts (the buttons of message boxes, the Open File dialog and the
// folder chooser) in the user's language. The program's own texts are what
// they are, in every language.

namespace platform {

// Loads Qt's translation for the default locale (the user's, unless the
// program set another) from Qt's translations folder and installs it,
// replacing the one this function installed before. Needs the application
// object. True when a translation was found and installed; without one,
// Qt's texts stay English.
bool loadQtTranslations();

} // namespace platform
