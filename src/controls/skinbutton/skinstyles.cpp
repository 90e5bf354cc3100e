#include "skinstyles.h"

#include "skincolor.h"

#include <QImage>

namespace SkinStyles {

CapsuleTable capsuleTableFor(SkinButtonLook::VisualState state, bool hasFocus)
{
    if (state == SkinButtonLook::Pressed)
        return CapsuleTable::DarkBlue;
    if (state == SkinButtonLook::Hot || hasFocus)
        return CapsuleTable::Blue;
    return CapsuleTable::Grey;
}

Value capsuleCentre(CapsuleTable table)
{
    switch (table) {
    case CapsuleTable::Grey: return OleColor::fromRgb(232, 231, 234);
    case CapsuleTable::Blue: return OleColor::fromRgb(106, 166, 226);
    case CapsuleTable::DarkBlue: return OleColor::fromRgb(106, 155, 204);
    }
    return 0;
}

} // namespace SkinStyles
