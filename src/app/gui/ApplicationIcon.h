#pragma once

#include <QIcon>

// The program's icon in every size it ships, for the window and the task bar; the same
// picture the desktop entry names.
QIcon applicationIcon();
