#pragma once

#include <array>
#include <optional>

// What the window shows: one camera's pictures alone, or all four cameras
// at once (quad). The view decides which sound is heard, which channels a
// live unit sends and which overlay draws which lines.
//
// Outside the code a view travels as a number, 0..3 one camera and 4 quad:
// the stored audio routes, the rows of a routing matrix, the menu and button
// ids. Number and FromNumber are the only crossings.
class VideoView {
 public:
  static constexpr int kCount = 5;

  // Camera 0 alone, as a window starts.
  constexpr VideoView() = default;
  static constexpr VideoView Quad() { return VideoView(kQuadNumber); }
  // `camera` 0..3; any other value is no camera of the unit and shows the
  // first one, so that a view is always one the window can show.
  static constexpr VideoView Camera(int camera) { return VideoView(camera >= 0 && camera < 4 ? camera : 0); }
  // Numbers outside 0..4 name no view.
  static constexpr std::optional<VideoView> FromNumber(int number) {
    if (number < 0 || number > kQuadNumber) return std::nullopt;
    return VideoView(number);
  }
  // The five views in the order of their numbers.
  static constexpr std::array<VideoView, kCount> All() {
    return {Camera(0), Camera(1), Camera(2), Camera(3), Quad()};
  }

  constexpr bool IsQuad() const { return number_ == kQuadNumber; }
  // The camera shown alone, 0..3; -1 in the quad view, which matches no
  // channel.
  constexpr int Camera() const { return IsQuad() ? -1 : number_; }
  constexpr int Number() const { return number_; }
  constexpr bool operator==(const VideoView&) const = default;

 private:
  static constexpr int kQuadNumber = 4;
  explicit constexpr VideoView(int number) : number_(number) {}
  int number_ = 0;
};
