#include "shell/product_icon.h"

#include <QPainter>
#include <QPainterPath>

namespace qv::shell {
namespace {

// One table sheet: a rounded card with a header band and row lines.
void DrawSheet(QPainter& p, const QRectF& r, const QColor& band) {
  const qreal radius = r.width() * 0.08;
  p.setPen(QPen(QColor(40, 48, 60), r.width() * 0.035));
  p.setBrush(QColor(250, 250, 246));
  p.drawRoundedRect(r, radius, radius);
  QPainterPath clip;
  clip.addRoundedRect(r, radius, radius);
  p.save();
  p.setClipPath(clip);
  p.fillRect(QRectF(r.left(), r.top(), r.width(), r.height() * 0.24), band);
  p.restore();
  p.setPen(QPen(QColor(150, 158, 170), r.width() * 0.03));
  for (int i = 1; i <= 3; ++i) {
    const qreal y = r.top() + r.height() * (0.24 + 0.19 * i);
    p.drawLine(QPointF(r.left() + r.width() * 0.14, y), QPointF(r.right() - r.width() * 0.14, y));
  }
}

}  // namespace

QImage ProductIconImage(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal s = size;
  DrawSheet(p, QRectF(s * 0.06, s * 0.10, s * 0.46, s * 0.56), QColor(165, 42, 52));  // Access side
  DrawSheet(p, QRectF(s * 0.48, s * 0.34, s * 0.46, s * 0.56), QColor(36, 92, 160));  // Paradox side
  // The arrow from one sheet to the other.
  QPainterPath arrow;
  arrow.moveTo(s * 0.20, s * 0.80);
  arrow.lineTo(s * 0.36, s * 0.80);
  arrow.lineTo(s * 0.36, s * 0.72);
  arrow.lineTo(s * 0.50, s * 0.86);
  arrow.lineTo(s * 0.36, s * 1.00 - s * 0.0);
  arrow.lineTo(s * 0.36, s * 0.92);
  arrow.lineTo(s * 0.20, s * 0.92);
  arrow.closeSubpath();
  p.setPen(QPen(QColor(40, 48, 60), s * 0.025));
  p.setBrush(QColor(240, 170, 40));
  p.drawPath(arrow.translated(0, -s * 0.04));
  p.end();
  return image;
}

QIcon ProductIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(QPixmap::fromImage(ProductIconImage(size)));
  return icon;
}

}  // namespace qv::shell
