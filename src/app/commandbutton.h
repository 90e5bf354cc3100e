#pragma once

#include "skinbutton.h"

// Every command button of the window is one of these.
using CommandButton = SkinButton;
