#include "app/file_drops.h"

#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QWidget>

namespace pavalo {

DroppedFile droppedFileOf(const QMimeData* data) {
    if (!data || !data->hasUrls()) return {};
    std::vector<std::string> paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
    return chooseDroppedFile(paths);
}

FileDropTarget::FileDropTarget(QWidget* widget, Accepts accepts, Handler onDrop)
    : QObject(widget), accepts_(std::move(accepts)), onDrop_(std::move(onDrop)) {
    widget->setAcceptDrops(true);
    widget->installEventFilter(this);
}

bool FileDropTarget::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return QObject::eventFilter(watched, event);
    auto* drop = static_cast<QDropEvent*>(event);  // the enter and move events are drop events too
    const DroppedFile file = droppedFileOf(drop->mimeData());
    if (!accepts_(file)) {
        drop->ignore();
        return true;
    }
    drop->acceptProposedAction();
    if (type == QEvent::Drop) QTimer::singleShot(0, this, [this, file] { onDrop_(file); });
    return true;
}

}  // namespace pavalo
