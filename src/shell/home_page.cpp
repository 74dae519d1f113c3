#include "shell/home_page.h"

#include <QTime>
#include <memory>
#include <random>

#include "shell/failure.h"
#include "shell/product.h"

namespace qv::shell {

int DrawOneToHundred(double random) {
  return static_cast<int>(random * 100.0) + 1;
}

RandomSource TimerSeededRandom() {
  const auto seed = static_cast<std::uint32_t>(QTime::currentTime().msecsSinceStartOfDay() / 1000);
  auto engine = std::make_shared<std::mt19937>(seed);
  return [engine] { return std::uniform_real_distribution<double>(0.0, 1.0)(*engine); };
}

void MaybeOpenHomePage(const RandomSource& random, const UrlOpener& open_url) {
  if (DrawOneToHundred(random()) != 7) return;
  const QString address = QString::fromUtf8(kHomePageAddress);
  if (!open_url(address)) {
    Fail(errc::kRuntimeFileNotFound,
         QStringLiteral("The web browser could not be started for %1.").arg(address));
  }
}

}  // namespace qv::shell
