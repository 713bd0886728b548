// The bitmap slider's mapping between positions and pixels along its picture, without Qt: the
// slider turns clicks into positions with it, and the skin generator draws each level's knob
// where a click selects that level.
#pragma once

#include <climits>

namespace orvane::layout {

// A horizontal slider maps the mouse as if it were this many pixels further along.
inline constexpr double kSliderMouseOffset = 10.0;

// Truncation toward zero that stays defined for any double.
inline int TruncateSliderValue(double v) {
  if (!(v == v)) return 0;
  if (v >= double(INT_MAX)) return INT_MAX;
  if (v <= double(INT_MIN)) return INT_MIN;
  return int(v);
}

// position -> pixel: (position - minimum) / (maximum - minimum) * length, truncated; 0 for an
// empty range.
inline int SliderCoordinateOf(int position, int minimum, int maximum, int length) {
  const double span = double(maximum) - double(minimum);
  if (span == 0) return 0;
  return TruncateSliderValue((double(position) - double(minimum)) / span * length);
}

// pixel -> position: minimum + (coordinate + offset) / length * (maximum - minimum), truncated
// (not clamped). The offset is kSliderMouseOffset for a horizontal slider, 0 for a vertical one.
// An empty range or a zero length cannot be mapped: the answer is `unmapped`.
inline int SliderPositionAt(int coordinate, double offset, int minimum, int maximum, int length, int unmapped) {
  const double span = double(maximum) - double(minimum);
  if (span == 0 || length == 0) return unmapped;
  return TruncateSliderValue(double(minimum) + (double(coordinate) + offset) / length * span);
}

// The middle of the pixels 0 to length - 1 of a horizontal slider that a click turns into
// `position` (after clamping to the range), as a pixel x; -1 when no pixel gives it.
inline double SliderKnobCentre(int length, int minimum, int maximum, int position) {
  int first = -1, last = -1;
  for (int x = 0; x < length; ++x) {
    int p = SliderPositionAt(x, kSliderMouseOffset, minimum, maximum, length, minimum);
    if (p > maximum) p = maximum;
    if (p < minimum) p = minimum;
    if (p != position) continue;
    if (first < 0) first = x;
    last = x;
  }
  if (first < 0) return -1;
  return (first + last) / 2.0;
}

}  // namespace orvane::layout
