#pragma once

#include "view/gui/MenuItem.h"

// The main menu of the frame (resource 128), popup by popup.
class MainMenu {
public:
    static std::vector<MenuItem> popups();

private:
    static MenuItem programPopup();
    static MenuItem queuePopup();
    static MenuItem filePopup();
    static MenuItem settingsPopup();
    static MenuItem viewPopup();
    static MenuItem lookPopup();
    static MenuItem helpPopup();
};
