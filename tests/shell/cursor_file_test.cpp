// HAND-M.CUR as the build draws it: a real cursor file that Qt loads, with its hot spot.
#include "shell/cursor_file.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>

#include "engine/core/error.h"
#include "shell/product_icon.h"
#include "test_app.h"

namespace qv::shell {
namespace {

const QString kBuiltCursor = QStringLiteral(QV_BINARY_DIR "/bin/HAND-M.CUR");

TEST(HandCursor, BuiltFileIsAWindowsCursorThatQtReads) {
  testing::TestApp();
  QFile file(kBuiltCursor);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "build the qv_cursor_file target first";
  const QByteArray bytes = file.readAll();
  ASSERT_GE(bytes.size(), 22);
  EXPECT_EQ(bytes.left(6), QByteArray("\0\0\2\0\1\0", 6));  // reserved, type 2 (cursor), one image

  QImageReader reader(kBuiltCursor);
  // Qt's icon reader handles cursor files and names the format "ico" or "cur".
  EXPECT_TRUE(reader.format() == "cur" || reader.format() == "ico") << reader.format().toStdString();
  const QImage image = reader.read();
  ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
  EXPECT_EQ(image.size(), QSize(32, 32));

  const CursorPicture picture = LoadCursorFile(kBuiltCursor);
  EXPECT_EQ(picture.hotspot, QPoint(5, 0));
  // The fingertip is drawn, the corner is transparent, the palm is white.
  EXPECT_EQ(qAlpha(picture.image.pixel(5, 0)), 255);
  EXPECT_EQ(qAlpha(picture.image.pixel(31, 31)), 0);
  EXPECT_EQ(picture.image.pixel(8, 12) & 0xffffff, 0xffffffu);
}

TEST(HandCursor, AFileThatIsNoCursorIsAnInvalidPicture) {
  testing::TestApp();
  QTemporaryDir dir;
  for (const QByteArray& content : {QByteArray(), QByteArray("BM not a cursor at all......"),
                                    QByteArray("\0\0\2\0\1\0garbage-garbage-garbage", 29)}) {
    const QString path = dir.filePath(QStringLiteral("bad.cur"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
    f.close();
    try {
      LoadCursorFile(path);
      FAIL() << "loaded a damaged cursor";
    } catch (const qv::Error& e) {
      EXPECT_EQ(e.number(), 481);
    }
  }
  EXPECT_THROW(LoadCursorFile(dir.filePath(QStringLiteral("missing.cur"))), qv::Error);
}

TEST(ProductIcon, DrawnAtEverySizeWithTransparentCorners) {
  testing::TestApp();
  for (int size : {16, 32, 256}) {
    const QImage image = ProductIconImage(size);
    EXPECT_EQ(image.size(), QSize(size, size));
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(image.pixel(size / 4, size / 2)), 255);
  }
}

}  // namespace
}  // namespace qv::shell
