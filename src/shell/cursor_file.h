// Reads a Windows cursor file (.CUR): the picture through Qt's icon reader, the hot spot from the
// file's directory entry, which Qt's reader does not report.
#pragma once

#include <QImage>
#include <QPoint>
#include <QString>

namespace qv::shell {

struct CursorPicture {
  QImage image;
  QPoint hotspot;
};

// Fails (qv::Error, "Invalid picture") when the file cannot be read or is no cursor file.
CursorPicture LoadCursorFile(const QString& path);

}  // namespace qv::shell
