#include "platform/WindowFont.h"

#include <QStringList>

namespace platform {

QFont windowFont(qreal points, bool bold, bool underline)
{
    QFont face;
    // Wide faces would clip the texts in their fixed places; the list runs
    // from the face the windows were drawn for to its common look-alikes.
    face.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Nimbus Sans"), QStringLiteral("Helvetica")});
    face.setStyleHint(QFont::SansSerif);
    face.setPointSizeF(points);
    face.setBold(bold);
    face.setUnderline(underline);
    return face;
}

} // namespace platform
