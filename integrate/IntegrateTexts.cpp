#include "integrate/IntegrateTexts.h"

#include "resources/ProductInfo.h"

namespace integrate {

QStringList englishTexts()
{
    return {
        QStringLiteral("Please contact ") + product::supportAddress() + QStringLiteral(" with this error message."),
        QStringLiteral("Click to launch "),
        QStringLiteral("You need to re-start ACT! for the changes to take effect!"),
        QStringLiteral("Do you want to re-start it now?"),
        QStringLiteral("Can't add icon or menu item automatically. You will need to proceed manually."),
        QStringLiteral("Integrate with ACT!"),
        QStringLiteral("Contacts"),
        QStringLiteral("Contact List"),
        QStringLiteral("Groups"),
        QStringLiteral("Task List"),
        QStringLiteral("Calendars"),
        QStringLiteral("E-mail"),
        QStringLiteral("Toolbar Button added to the following Views :"),
        QStringLiteral("Menu Item added to the following Views :"),
        QStringLiteral("&Close"),
        QStringLiteral("&Cancel"),
        QStringLiteral("You will need to re-start ACT! to see the changes."),
    };
}

QStringList frenchTexts()
{
    return {
        QStringLiteral("S.V.P. contactez ") + product::supportAddress() + QStringLiteral(" avec ce message."),
        QStringLiteral("Cliquez pour lancer "),
        QStringLiteral("Vous devez redémarrer ACT! pour que les changements soient pris en compte!"),
        QStringLiteral("Voulez-vous redémarrez ACT! maintenant?"),
        QStringLiteral("Impossible d'ajouter l'icône ou l'entrée du menu. Vous devrez le faire manuellement."),
        QStringLiteral("Intégration à ACT!"),
        QStringLiteral("Contacts"),
        QStringLiteral("Liste des contacts"),
        QStringLiteral("Groupes"),
        QStringLiteral("Liste des tâches"),
        QStringLiteral("Agendas"),
        QStringLiteral("E-mail"),
        // This one really ends with a blank after the colon.
        QStringLiteral("Bouton ajouté à la barre d'outils des écrans suivants : "),
        QStringLiteral("Entrée ajoutée au menu Outils des écrans suivants :"),
        QStringLiteral("&Fermer"),
        QStringLiteral("&Annuler"),
        QStringLiteral("Vous devrez redémarrer ACT! pour que les changements soient pris en compte."),
    };
}

QStringList placeNames(qint16 language)
{
    // Short forms of the two frame captions, in the same words.
    switch (language) {
    case 0:
        return {QStringLiteral("Toolbar Button"), QStringLiteral("Tools Menu Item")};
    case 1:
        return {QStringLiteral("Bouton de la barre d'outils"), QStringLiteral("Entrée du menu Outils")};
    default:
        return {};
    }
}

} // namespace integrate
