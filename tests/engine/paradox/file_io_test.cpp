// The engines' buffered writer against a model: appends and rewrites before, inside and across
// its buffer must land exactly where a plain byte array says.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "engine/core/bytes.h"
#include "engine/core/error.h"
#include "engine/core/file_io.h"

namespace fs = std::filesystem;
using namespace qv;

TEST(WriteOnlyFile, RewritesLandWhereTheModelSays) {
  char tmpl[] = "/tmp/qv-fileio-XXXXXX";
  const fs::path dir = mkdtemp(tmpl);
  const fs::path path = dir / "f.bin";
  Bytes model;
  std::mt19937 rng(7);
  {
    WriteOnlyFile f(path);
    for (int i = 0; i < 400; ++i) {
      Bytes chunk(rng() % 20000 + (i == 200 ? 3u << 20 : 0u));
      for (auto& b : chunk) b = static_cast<std::uint8_t>(rng());
      f.Write(chunk);
      model.insert(model.end(), chunk.begin(), chunk.end());
      if (model.empty()) continue;
      Bytes patch(std::min<std::size_t>(rng() % 9000 + 1, model.size()));
      for (auto& b : patch) b = static_cast<std::uint8_t>(rng());
      const std::uint64_t at = rng() % (model.size() - patch.size() + 1);
      f.WriteAt(at, patch);
      std::copy(patch.begin(), patch.end(), model.begin() + static_cast<std::ptrdiff_t>(at));
      ASSERT_EQ(f.position(), model.size());
    }
    EXPECT_THROW(f.WriteAt(model.size() - 1, Bytes(2)), Error);
    f.Close();
  }
  std::ifstream in(path, std::ios::binary);
  const Bytes back((std::istreambuf_iterator<char>(in)), {});
  EXPECT_TRUE(back == model);
  EXPECT_THROW(WriteOnlyFile again(path), Error);  // never overwrites
  ReadOnlyFile r(path);
  std::uint8_t b[4];
  EXPECT_THROW(r.ReadAt(r.size() - 2, b), Error);
  fs::remove_all(dir);
}
