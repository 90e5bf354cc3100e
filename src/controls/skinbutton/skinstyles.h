#pragma once

#include "skinbuttonlook.h"

class QImage;

// The painted skins (styles 5 and 7 to 10). Each one sets the background
// (clearing the whole image) and then paints its face into `image`.
namespace SkinStyles {

using OleColor::Value;

// What a skin looks at, with every colour already translated.
struct SkinInput {
    SkinButtonLook::VisualState state = SkinButtonLook::Normal;
    bool hasFocus = false;
    bool displayAsDefault = false;
    bool custom = false;        // UseCustomColors
    Value backColor = 0;
    Value highlightColor = 0;
    Value face = 0;             // system button face
    Value highlight = 0;        // system highlight
};

void paintGradient(QImage &image, const SkinInput &in);          // 5
void paintGradientHighlight(QImage &image, const SkinInput &in); // 7
void paintChamfered(QImage &image, const SkinInput &in);         // 8
void paintChamferedBands(QImage &image, const SkinInput &in);    // 9
void paintCapsule(QImage &image, const SkinInput &in);           // 10

// The capsule's corner-block and edge tables, exposed for the tests.
enum class CapsuleTable { Grey, Blue, DarkBlue };
CapsuleTable capsuleTableFor(SkinButtonLook::VisualState state, bool hasFocus);
Value capsuleCentre(CapsuleTable table);

} // namespace SkinStyles
