// PreviewWindow: the side window showing the whole picture stretched over
// its client area. Sizing keeps the picture's aspect (the dragged side
// decides), moving keeps the whole window on the screen, and its rectangle
// goes to the settings record after every move or size.
#pragma once

#include "app/side_window.h"

namespace pavalo {

class PreviewWindow : public SideWindowFrame {
    Q_OBJECT
public:
    PreviewWindow(QWidget* view, const SideWindowContext& context);
    // The client's size for the picture's aspect at the window's width.
    void fitToPicture();

protected:
    QRect correctMove(const QRect& proposed) override;
    QRect correctSize(const QRect& proposed, SizingEdge edge) override;
    void wasMoved(const QRect& before, const QRect& after) override;
    void wasSized(const QRect& before, const QRect& after) override;

private:
    void saveRect();
    SideWindowContext context_;
};

}  // namespace pavalo
