#include "app/WindowFont.h"

#include <QFontInfo>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace quillbox {

QFont WindowFont()
{
    const QStringList narrowFaces{u"DejaVu Sans Condensed"_s, u"Liberation Sans Narrow"_s, u"Arial Narrow"_s};
    QFont font;
    font.setFamilies(narrowFaces);
    font.setPixelSize(10);
    if (narrowFaces.contains(QFontInfo(font).family())) {
        return font;
    }
    QFont regular;
    regular.setFamilies({u"DejaVu Sans"_s, u"Liberation Sans"_s, u"Arial"_s});
    regular.setStyleHint(QFont::SansSerif);
    regular.setPixelSize(9);
    return regular;
}

}  // namespace quillbox
