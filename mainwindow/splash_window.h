#pragma once
// The window shown while the program starts.
class QSplashScreen;

namespace quillo::gui {

QSplashScreen* MakeSplashWindow();

}  // namespace quillo::gui
