// The dialog's logo: a QSL card with a radio mast, 54 by 106 pixels, drawn on the given background.
#pragma once

#include "Includes/win32/GdiObject.h"

TGdiObject<HBITMAP> ZarbexLogo(COLORREF background);
