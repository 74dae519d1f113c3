// The product icon, drawn by the program itself: two table sheets with an arrow between them.
#pragma once

#include <QIcon>
#include <QImage>

namespace qv::shell {

// The icon at one size (square, transparent background).
QImage ProductIconImage(int size);

// The window icon of both pages, with the usual sizes from 16 to 256 pixels.
QIcon ProductIcon();

}  // namespace qv::shell
