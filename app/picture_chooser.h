// The new-puzzle picture chooser: the image library dialog run for the
// document, remembering the library used last and the picture folder in the
// preferences.
#pragma once

#include <optional>
#include <string>

#include "shell/preferences.h"

class QWidget;

namespace pavalo {

class QtPlatform;

// Shows "Select an image to use" over `parent` with the libraries of the
// registry file; the chosen picture's path, or nothing when cancelled.
// `displayDepth` is the depth the thumbnails are shown at.
std::optional<std::string> chooseLibraryPicture(QWidget* parent, QtPlatform& platform, Preferences& prefs,
                                                const std::string& dataFolder, int32_t displayDepth);

}  // namespace pavalo
