#pragma once
// Pieces the main window's controller sources share.

#include <memory>

#include "Music/control/MusicNavigator.h"

class TMusicForm;

// Navigation of the form through its player and the library.
std::unique_ptr<TMusicNavigationHost> MakeFormNavigationHost(TMusicForm& form);
