// PreviewWindow: the side window showing the whole picture stretched over
// its client area. The side windows' manager keeps the picture's aspect when
// it is sized (the dragged side decides), keeps it on the screen when it is
// moved, and records its rectangle.
#pragma once

#include "app/side_window.h"

namespace pavalo {

class PreviewWindow : public SideWindowFrame {
    Q_OBJECT
public:
    PreviewWindow(QWidget* view, const SideWindowContext& context);
};

}  // namespace pavalo
