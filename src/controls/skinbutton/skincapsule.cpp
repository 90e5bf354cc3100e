#include "skinstyles.h"

#include "skincolor.h"

#include <QImage>

namespace SkinStyles {

void paintCapsule(QImage &image, const SkinInput &in)
{
    const Value centre = capsuleCentre(capsuleTableFor(in.state, in.hasFocus));
    SkinColor::fillRect(image, 0, 0, image.width(), image.height(), centre);
}

} // namespace SkinStyles
