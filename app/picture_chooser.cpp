// Running the picture chooser with the preferences' memory.
#include "app/picture_chooser.h"

#include "app/qt_platform.h"
#include "app/select_image_dialog.h"
#include "shell/registry.h"

namespace pavalo {

std::optional<std::string> chooseLibraryPicture(QWidget* parent, QtPlatform& platform, Preferences& prefs,
                                                const std::string& dataFolder, int32_t displayDepth) {
    Registry registry(defaultRegistryPath());
    std::string pictures = PreferencesRecord::text(prefs.record.pictureDirectory);
    if (pictures.empty()) pictures = dataFolder;
    SelectImageDialog dialog(parent, platform, registry, dataFolder, pictures, displayDepth);
    // Messages and file dialogs of the chooser belong to it while it is open.
    platform.setDialogParent(&dialog);
    dialog.start(PreferencesRecord::text(prefs.record.lastLibrary));
    const bool chosen = dialog.exec() == QDialog::Accepted;
    platform.setDialogParent(parent);
    // A path too long for its field is simply not remembered.
    if (!dialog.openLibrary().empty()) PreferencesRecord::setText(prefs.record.lastLibrary, dialog.openLibrary());
    if (!dialog.model().pictureFolder().empty())
        PreferencesRecord::setText(prefs.record.pictureDirectory, dialog.model().pictureFolder());
    if (!chosen || dialog.chosenPath().empty()) return std::nullopt;
    return dialog.chosenPath();
}

}  // namespace pavalo
