// Files dragged from a file manager onto a widget: the drag is taken only
// when it carries a file the game would take now, and the dropped file is
// handed on after the drop has finished (so that the source is not kept
// waiting while a dialog runs).
#pragma once

#include <QObject>
#include <functional>

#include "shell/dropped_files.h"

class QMimeData;
class QWidget;

namespace pavalo {

// The file a drag's data names (its local file URLs, chosen by
// chooseDroppedFile).
DroppedFile droppedFileOf(const QMimeData* data);

class FileDropTarget : public QObject {
    Q_OBJECT
public:
    using Accepts = std::function<bool(const DroppedFile&)>;
    using Handler = std::function<void(const DroppedFile&)>;
    // Lets `widget` (which owns this object) take drops.
    FileDropTarget(QWidget* widget, Accepts accepts, Handler onDrop);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Accepts accepts_;
    Handler onDrop_;
};

}  // namespace pavalo
