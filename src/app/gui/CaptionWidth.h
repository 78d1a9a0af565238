#pragma once

#include <QString>

// The narrowest width at which a window manager shows a window's title whole. The title bar's
// font is the window manager's own and unknown here, so the measure errs on the wide side: a
// bold font a fifth larger than the application's, plus room for the icon and the buttons.
int CaptionWidth(const QString& title);
