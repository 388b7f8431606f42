// The look the application's own windows share: the form font, the maker's
// logo and the two interface pictures, all drawn here rather than shipped as
// files.
#pragma once

#include <QFont>
#include <QPixmap>

// A close stand-in for the classic 8 pt dialog font, narrow enough that every
// caption fits the control sizes the windows are laid out with.
QFont FormFont();

// The maker's logo, 160 x 47 pixels.
QPixmap MakerLogo();

// The interface pictures, 16 x 16 pixels: 0 a small dark adapter box with a
// blue lamp and cable stubs, 1 a green plug-in card with a yellow edge
// connector. Their leftmost columns stay clear, so a long name beside the
// picture does not run into it.
constexpr int INTERFACE_PICTURE_COUNT = 2;
QPixmap InterfacePicture(int index);
