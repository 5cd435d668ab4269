#pragma once

// The seventeen property rows of the main window in their visual order, top
// to bottom: what each row's components are called and what it shows
// before the camera is read.

#include <array>

struct TRowDesign {
  const char* Key;          // names the row's components: LayoutKey, LabelKey, TrackBarKey, ...
  const char* Caption;      // text of LabelKey
  int CaptionSize;          // font size of LabelKey, pixels
  int TopMargin;            // space above the row
  const char* ValueColumn;  // the numbered layout that holds LabelKeyValue
  const char* Icon;         // the numbered picture at the row's left
  const char* Artwork;      // the icon's drawing, app/artwork/<Artwork>.svg
};

inline constexpr int kRowCount = 17;
extern const std::array<TRowDesign, kRowCount> kRowDesigns;
