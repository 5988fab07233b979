#pragma once

#include <vector>

// The main window's controls as laid out in its 452 x 296 dialog-unit
// template: ids, template rectangles, tooltips and which window edges each
// bar control keeps its distance to. Ids stay the template's numbers so
// settings, tests and the command table speak of the same controls.

// Video panes of channels 1..4.
inline constexpr int kVideoPane1 = 1010;
inline constexpr int kVideoPane2 = 1011;
inline constexpr int kVideoPane3 = 1012;
inline constexpr int kVideoPane4 = 1013;
inline constexpr int kVideoPanes[4] = {kVideoPane1, kVideoPane2, kVideoPane3, kVideoPane4};

inline constexpr int kPositionSlider = 1000;
inline constexpr int kOpenButton = 1009;
inline constexpr int kOpenStreamButton = 1020;
inline constexpr int kPlayButton = 1002;
inline constexpr int kPauseButton = 1003;
inline constexpr int kStopButton = 1004;
inline constexpr int kSkipBackButton = 1016;           // normal look
inline constexpr int kSkipBackActiveButton = 1021;     // active look, same place
inline constexpr int kSkipForwardButton = 1015;        // normal look
inline constexpr int kSkipForwardActiveButton = 1022;  // active look, same place
inline constexpr int kSnapshotButton = 1017;
inline constexpr int kClipButton = 1019;
inline constexpr int kMapButton = 1018;
// View buttons "1".."4" (note the template's order: 1005, 1007, 1006, 1008).
inline constexpr int kViewButtons[4] = {1005, 1007, 1006, 1008};
inline constexpr int kQuadButton = 1014;
inline constexpr int kDefaultButton = 1051;  // invisible; absorbs the Enter key

// A rectangle in dialog units, as the template gives it.
struct TemplateRect {
  int x = 0, y = 0, width = 0, height = 0;
};

// Which edges a bar control keeps its captured distance to when the window
// resizes. kStretch (the slider) keeps both its left and right distances.
enum class Anchor { kLeftBottom, kRightBottom, kStretch };

struct ControlInfo {
  int id;
  const char* objectName;  // the widget's object name, for tests and style sheets
  TemplateRect rect;
  const char* tooltip;  // nullptr: none
  Anchor anchor;
};

// The dialog template's client size in dialog units.
inline constexpr int kTemplateWidth = 452;
inline constexpr int kTemplateHeight = 296;
// Where the four video panes sit in the template (all four on one place).
inline constexpr TemplateRect kVideoTemplateRect{7, 19, 438, 208};

// The slider and every button of the bar, in the template's order.
const std::vector<ControlInfo>& BarControls();
// nullptr when `id` is not a bar control.
const ControlInfo* FindBarControl(int id);

// Dialog units become pixels through one scale: the template's 8-point
// dialog font has base units of 6 x 13 pixels, so one horizontal unit is
// 6/4 = 1.5 px and one vertical unit 13/8 = 1.625 px (at 96 dpi; Qt's
// device-pixel ratio takes care of HiDPI). Results are rounded to the
// nearest pixel.
inline constexpr double kDialogUnitX = 1.5;
inline constexpr double kDialogUnitY = 1.625;
int DialogUnitsToPixelsX(int units);
int DialogUnitsToPixelsY(int units);
