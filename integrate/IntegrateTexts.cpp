#include "integrate/IntegrateTexts.h"

#include "resources/ProductInfo.h"

namespace integrate {

std::vector<std::u16string> englishTexts()
{
    return {
        u"Please contact " + product::supportAddress() + u" with this error message.",
        u"Click to launch ",
        u"You need to re-start ACT! for the changes to take effect!",
        u"Do you want to re-start it now?",
        u"Can't add icon or menu item automatically. You will need to proceed manually.",
        u"Integrate with ACT!",
        u"Contacts",
        u"Contact List",
        u"Groups",
        u"Task List",
        u"Calendars",
        u"E-mail",
        u"Toolbar Button added to the following Views :",
        u"Menu Item added to the following Views :",
        u"&Close",
        u"&Cancel",
        u"You will need to re-start ACT! to see the changes.",
    };
}

std::vector<std::u16string> frenchTexts()
{
    return {
        u"S.V.P. contactez " + product::supportAddress() + u" avec ce message.",
        u"Cliquez pour lancer ",
        u"Vous devez redémarrer ACT! pour que les changements soient pris en compte!",
        u"Voulez-vous redémarrez ACT! maintenant?",
        u"Impossible d'ajouter l'icône ou l'entrée du menu. Vous devrez le faire manuellement.",
        u"Intégration à ACT!",
        u"Contacts",
        u"Liste des contacts",
        u"Groupes",
        u"Liste des tâches",
        u"Agendas",
        u"E-mail",
        // This one really ends with a blank after the colon.
        u"Bouton ajouté à la barre d'outils des écrans suivants : ",
        u"Entrée ajoutée au menu Outils des écrans suivants :",
        u"&Fermer",
        u"&Annuler",
        u"Vous devrez redémarrer ACT! pour que les changements soient pris en compte.",
    };
}

std::vector<std::u16string> placeNames(std::int16_t language)
{
    // Short forms of the two frame captions, in the same words.
    switch (language) {
    case 0:
        return {u"Toolbar Button", u"Tools Menu Item"};
    case 1:
        return {u"Bouton de la barre d'outils", u"Entrée du menu Outils"};
    default:
        return {};
    }
}

} // namespace integrate
