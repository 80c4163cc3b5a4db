#include "platform/qt/WindowFont.h"

#include <QStringList>

#include <system_error>

#ifdef PENNAROC_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

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

FontConfigurationLoader::FontConfigurationLoader()
{
#ifdef PENNAROC_HAVE_FONTCONFIG
    // Qt's font database starts from the same default configuration: once
    // it is loaded here, Qt finds it in place instead of reading it again.
    try {
        thread_ = std::thread([] { FcInit(); });
    } catch (const std::system_error &) {
        // No thread to spare: Qt reads the configuration itself, later.
    }
#endif
}

FontConfigurationLoader::~FontConfigurationLoader()
{
    wait();
}

void FontConfigurationLoader::wait()
{
    if (thread_.joinable())
        thread_.join();
}

} // namespace platform
