// Platform requests carried out with Qt widgets.
#include "app/qt_platform.h"

#include <QApplication>
#include <QCursor>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>

#include "app/cursors.h"
#include "app/tool_palette.h"

namespace pavalo {

QString qtFileFilter(std::string_view filter) {
    QStringList parts = QString::fromUtf8(filter.data(), qsizetype(filter.size())).split('|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        // Qt reads the patterns from the parentheses of each filter's name,
        // separated by spaces. The names we are given may list them in
        // another form ("*.bmp,*.jpg") or only a few of them, so the
        // parenthesised part is always rebuilt from the pattern field. "*.*"
        // means every file, also those without an extension.
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
            const QString t = p.trimmed();
            if (!t.isEmpty()) patterns << (t == "*.*" ? QStringLiteral("*") : t);
        }
        QString name = parts[i].trimmed();
        if (const qsizetype open = name.indexOf('('); open >= 0) name = name.left(open).trimmed();
        out << name + " (" + patterns.join(' ') + ")";
    }
    return out.join(";;");
}

QtPlatform::QtPlatform(WindowLookup windows, CommandSink commands)
    : windows_(std::move(windows)), commands_(std::move(commands)) {
    clock_.start();
}

MessageResult QtPlatform::messageBox(std::string_view text, std::string_view caption, MessageButtons buttons) {
    if (ending_) return MessageResult::Cancel;
    QMessageBox box(parent_);
    box.setWindowTitle(caption.empty() ? QStringLiteral("Pavalo") : QString::fromUtf8(caption.data(), qsizetype(caption.size())));
    box.setText(QString::fromUtf8(text.data(), qsizetype(text.size())));
    switch (buttons) {
        case MessageButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
        case MessageButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
        case MessageButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
        case MessageButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
    }
    const int answer = box.exec();
    if (ending_) return MessageResult::Cancel;
    switch (answer) {
        case QMessageBox::Cancel: return MessageResult::Cancel;
        case QMessageBox::Yes: return MessageResult::Yes;
        case QMessageBox::No: return MessageResult::No;
        default: return MessageResult::Ok;
    }
}

std::optional<std::string> QtPlatform::pickOpenFile(std::string_view title, std::string_view filter,
                                                    std::string_view directory) {
    if (ending_) return std::nullopt;
    QString path = QFileDialog::getOpenFileName(parent_, QString::fromUtf8(title.data(), qsizetype(title.size())),
                                                QString::fromUtf8(directory.data(), qsizetype(directory.size())),
                                                qtFileFilter(filter));
    if (path.isEmpty() || ending_) return std::nullopt;
    return path.toStdString();
}

std::optional<std::string> QtPlatform::pickFolder(std::string_view title, std::string_view directory) {
    const QString path = QFileDialog::getExistingDirectory(
        parent_, QString::fromUtf8(title.data(), qsizetype(title.size())),
        QString::fromUtf8(directory.data(), qsizetype(directory.size())));
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
}

std::optional<std::string> QtPlatform::pickSaveFile(std::string_view title, std::string_view filter,
                                                    std::string_view directory, std::string_view suggestedName) {
    if (ending_) return std::nullopt;
    QString start = QString::fromUtf8(directory.data(), qsizetype(directory.size()));
    if (!suggestedName.empty()) start += "/" + QString::fromUtf8(suggestedName.data(), qsizetype(suggestedName.size()));
    QString path = QFileDialog::getSaveFileName(parent_, QString::fromUtf8(title.data(), qsizetype(title.size())),
                                                start, qtFileFilter(filter));
    if (path.isEmpty() || ending_) return std::nullopt;
    return path.toStdString();
}

void QtPlatform::invalidate(WindowId window, const Rect& rect) {
    if (QWidget* w = windows_(window); w && !rect.empty())
        w->update(QRect(rect.left, rect.top, rect.width(), rect.height()));
}

void QtPlatform::invalidateAll(WindowId window) {
    if (QWidget* w = windows_(window)) w->update();
}

void QtPlatform::setCursor(CursorShape shape) {
    // The sorting boxes work with the same tools, so they show the same pointer.
    const QCursor cursor = gameCursor(shape);
    if (QWidget* w = windows_(WindowId::view())) w->setCursor(cursor);
    for (int box = 0; box < 4; ++box)
        if (QWidget* w = windows_(WindowId::sortingBox(box))) w->setCursor(cursor);
}

Point QtPlatform::pointerPosition(WindowId window) const {
    QWidget* w = windows_(window);
    QPoint p = w ? w->mapFromGlobal(QCursor::pos()) : QCursor::pos();
    return {p.x(), p.y()};
}

void QtPlatform::movePointer(WindowId window, Point at) {
    if (QWidget* w = windows_(window)) QCursor::setPos(w->mapToGlobal(QPoint(at.x, at.y)));
}

uint32_t QtPlatform::popupMenu(WindowId window, Point at, const std::vector<MenuItem>& items) {
    QWidget* w = windows_(window);
    QMenu menu(w);
    fillMenu(menu, items);
    QAction* chosen = menu.exec(w ? w->mapToGlobal(QPoint(at.x, at.y)) : QCursor::pos());
    return chosen ? chosen->data().toUInt() : 0;
}

void QtPlatform::postCommand(uint32_t id) {
    CommandSink sink = commands_;
    QTimer::singleShot(0, [sink, id] { sink(id); });
}

uint32_t QtPlatform::tickCount() const { return uint32_t(clock_.elapsed()); }

}  // namespace pavalo
