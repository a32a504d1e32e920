// The "About" page's logo picture.
#pragma once

#include <QImage>

// The logo compiled into the program: 512 x 160, QImage::Format_Indexed8 with a palette.
QImage LogoImage();
