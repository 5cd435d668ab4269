#pragma once

// The control styles of our windows: the main window's style book (its
// drawn sliders and check boxes, and the elements "transparentlistboxstyle"
// of its lists, "scrollbarstyle", "backbuttonstyle" and "tracestyle") and
// the message dialog's (its element "bottomtoolbar"). Colours of the main
// window's scheme appear as @ColorDarkest@, @ColorDark@, @ColorMid@ and
// @ColorBright@.

namespace varnholt {

class TStyleBook;

void FillMainStyleBook(TStyleBook& book);
void FillMessageStyleBook(TStyleBook& book);

}  // namespace varnholt
