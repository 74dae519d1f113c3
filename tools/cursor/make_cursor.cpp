// Writes HAND-M.CUR, the hand pointer the pages show over push buttons: a 32 x 32 Windows
// cursor file with one 32-bit image, drawn from the picture below, hot spot at the fingertip.
//
// File layout (all little-endian):
//   header      6 bytes   reserved 0, type 2 (cursor), image count 1
//   entry      16 bytes   width 32, height 32, colours 0, reserved 0, hot spot x, hot spot y,
//                         image size, image offset (22)
//   image               BITMAPINFOHEADER (40 bytes, height doubled for the mask), the colour
//                         pixels bottom-up as B G R A, then the 1-bit AND mask bottom-up with
//                         rows padded to 4 bytes (1 = transparent).
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kSize = 32;
constexpr int kHotX = 5;
constexpr int kHotY = 0;

// '#' outline (black), '.' fill (white), ' ' transparent.
const char* const kPicture[] = {
    "     ##           ", "    #..#          ", "    #..#          ", "    #..#          ",
    "    #..#          ", "    #..###        ", "    #..#..###     ", "    #..#..#..##   ",
    "    #..#..#..#.#  ", "##  #..#..#..#..# ", "#..##...........# ", "#...#...........# ",
    " #..............# ", "  #.............# ", "  #............#  ", "   #...........#  ",
    "   #..........#   ", "    #.........#   ", "    #.........#   ", "     #.......#    ",
    "     #.......#    ", "     #########    ",
};
constexpr int kPictureRows = sizeof(kPicture) / sizeof(kPicture[0]);

void Put16(std::vector<std::uint8_t>& out, unsigned v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xff));
  out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xff));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xffff);
  Put16(out, v >> 16);
}

char PixelAt(int x, int y) {
  if (y >= kPictureRows) return ' ';
  const std::string row = kPicture[y];
  return x < static_cast<int>(row.size()) ? row[static_cast<std::size_t>(x)] : ' ';
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.CUR\n", argv[0]);
    return 2;
  }
  constexpr int kMaskRowBytes = ((kSize + 31) / 32) * 4;
  constexpr std::uint32_t kPixelBytes = kSize * kSize * 4;
  constexpr std::uint32_t kMaskBytes = kMaskRowBytes * kSize;
  constexpr std::uint32_t kImageBytes = 40 + kPixelBytes + kMaskBytes;

  std::vector<std::uint8_t> out;
  Put16(out, 0);
  Put16(out, 2);
  Put16(out, 1);
  out.push_back(kSize);
  out.push_back(kSize);
  out.push_back(0);
  out.push_back(0);
  Put16(out, kHotX);
  Put16(out, kHotY);
  Put32(out, kImageBytes);
  Put32(out, 22);

  Put32(out, 40);
  Put32(out, kSize);
  Put32(out, kSize * 2);
  Put16(out, 1);
  Put16(out, 32);
  Put32(out, 0);
  Put32(out, kPixelBytes + kMaskBytes);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);

  for (int y = kSize - 1; y >= 0; --y) {
    for (int x = 0; x < kSize; ++x) {
      const char c = PixelAt(x, y);
      const std::uint8_t grey = c == '.' ? 255 : 0;
      const std::uint8_t alpha = c == ' ' ? 0 : 255;
      out.insert(out.end(), {grey, grey, grey, alpha});
    }
  }
  for (int y = kSize - 1; y >= 0; --y) {
    std::vector<std::uint8_t> row(kMaskRowBytes, 0);
    for (int x = 0; x < kSize; ++x) {
      if (PixelAt(x, y) == ' ')
        row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
    out.insert(out.end(), row.begin(), row.end());
  }

  std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
  if (!file) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
