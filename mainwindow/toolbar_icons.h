#pragma once
// The pictures of the toolbar's `Image1` elements, drawn here with QPainter.
#include <QPixmap>

namespace quillo::gui {

// Side of a button face (elements 0..4, 10 and the pressed faces).
inline constexpr int kToolbarFaceSize = 38;
// Side of an icon (elements 5..9, 13, 19..22), centred on its face.
inline constexpr int kToolbarIconSize = 30;

// The picture of element `element` of `Image1`:
//   0..4 button faces; 5 Defragment, 6 List fragments (inactive), 7 Previous
//   disk, 8 Next disk, 9 Check disk icons; 13 List fragments (active);
//   19..22 greyed 5, 7, 8, 9; 10 the Stop button, 11 Stop pressed;
//   12, 18, 14, 15, 16 the pressed faces of buttons 0, 1, 2, 3, 4.
// A null pixmap for an element that does not exist (17, or out of 0..22).
QPixmap ToolbarImage(int element);

}  // namespace quillo::gui
