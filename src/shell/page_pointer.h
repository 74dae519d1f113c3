// The page pointer: 0 the default arrow, 11 the hourglass, 99 the custom (hand) pointer. Work
// sets 11 at its start and 0 at its end; moving the mouse never replaces a showing hourglass.
#pragma once

namespace qv::shell {

inline constexpr int kPointerDefault = 0;
inline constexpr int kPointerHourglass = 11;
inline constexpr int kPointerCustom = 99;

class PagePointer {
 public:
  virtual ~PagePointer() = default;
  virtual int pointer() const = 0;
  virtual void SetPointer(int pointer) = 0;
};

// The mouse moved over a push button: the hand, unless the hourglass shows.
inline void PointerOverButton(PagePointer& page) {
  if (page.pointer() != kPointerHourglass) page.SetPointer(kPointerCustom);
}

// The mouse moved over the page, a frame, a text box or a list: the arrow, unless the
// hourglass shows.
inline void PointerOverSurface(PagePointer& page) {
  if (page.pointer() != kPointerHourglass) page.SetPointer(kPointerDefault);
}

}  // namespace qv::shell
