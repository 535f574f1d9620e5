// OverviewWindow: the side window with a map of the whole region pieces may
// lie in (three picture widths by three picture heights): the assembled
// picture's frame, a mark per loose or finished piece and the frame of what
// the view shows. A left press or drag scrolls the view so that the point
// under the pointer comes to the view's centre.
#pragma once

#include "app/side_window.h"

namespace pavalo {

class OverviewWindow : public SideWindowFrame {
    Q_OBJECT
public:
    OverviewWindow(QWidget* view, const SideWindowContext& context);
    QWidget* canvas() const { return client(); }
};

}  // namespace pavalo
