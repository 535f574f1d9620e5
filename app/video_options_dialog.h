// "Video Options" (dialog 353): the hardware-stretching switch of the play
// area's zoomed copies.
#pragma once

#include <QDialog>

class QCheckBox;

namespace pavalo {

inline constexpr const char* kVideoOptionsTitle = "Video Options";
inline constexpr const char* kHardwareStretchingLabel =
    "Hardware Stretching : If you are having problems with Pavalo locking up or crashing, try "
    "turning this off.";

class VideoOptionsDialog : public QDialog {
    Q_OBJECT
public:
    VideoOptionsDialog(QWidget* parent, bool hardwareStretching);
    bool hardwareStretching() const;
    QCheckBox* box() const { return box_; }

private:
    QCheckBox* box_ = nullptr;
};

}  // namespace pavalo
