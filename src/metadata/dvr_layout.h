#pragma once

// The recorder families a recording can come from. The file's header tells
// them apart (DetectDvrKind); the picture sizes, where the metadata is and
// how the cameras share frames follow from it.
//
// Outside the code a layout travels as the recorders' kind number 0..3: the
// filter elements' "dvr-kind" property and the "DVR Kind" line of --info.
// DvrKindNumber and DvrLayoutFromKindNumber are the only crossings.
enum class DvrLayout {
  kFourChannel,          // a stream per camera; binary metadata records in the frames or a stream
  kTwoChannelTextLines,  // 320-wide frames whose last bytes hold three text lines
  kTwoChannelStacked,    // 320x480 frames: the two cameras' pictures one above the other
  kTwoChannelWide,       // 640x240 frames: two fields side by side, rows doubled when saved
};

constexpr int DvrKindNumber(DvrLayout layout) {
  switch (layout) {
    case DvrLayout::kFourChannel:
      return 0;
    case DvrLayout::kTwoChannelTextLines:
      return 1;
    case DvrLayout::kTwoChannelStacked:
      return 2;
    case DvrLayout::kTwoChannelWide:
      return 3;
  }
  return 0;
}

// Numbers outside 0..3 are no recorder's: they read as four-channel.
constexpr DvrLayout DvrLayoutFromKindNumber(int number) {
  switch (number) {
    case 1:
      return DvrLayout::kTwoChannelTextLines;
    case 2:
      return DvrLayout::kTwoChannelStacked;
    case 3:
      return DvrLayout::kTwoChannelWide;
    default:
      return DvrLayout::kFourChannel;
  }
}

// Every two-channel layout carries its metadata as text lines in the frames.
constexpr bool IsTwoChannel(DvrLayout layout) {
  return layout != DvrLayout::kFourChannel;
}
