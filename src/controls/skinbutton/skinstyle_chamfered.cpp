#include "skinstyles.h"

#include "skincolor.h"

#include <QImage>

namespace SkinStyles {

void paintChamfered(QImage &image, const SkinInput &in)
{
    SkinColor::fillRect(image, 0, 0, image.width(), image.height(), in.custom ? in.backColor : in.face);
}

void paintChamferedBands(QImage &image, const SkinInput &in)
{
    SkinColor::fillRect(image, 0, 0, image.width(), image.height(), in.custom ? in.backColor : in.face);
}

} // namespace SkinStyles
