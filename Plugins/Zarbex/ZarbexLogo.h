// The dialog's logo: a QSL card with a radio mast, 54 by 106 pixels with an alpha channel.
#pragma once

#include <QPixmap>

QPixmap ZarbexLogo();
