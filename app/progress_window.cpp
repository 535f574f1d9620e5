// Progress window that keeps the screen alive during a cut.
#include "app/progress_window.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace pavalo {

ProgressWindow::ProgressWindow(QWidget* parent) : QDialog(parent) {
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    caption_ = new QLabel(this);
    bar_ = new QProgressBar(this);
    bar_->setRange(0, 100);
    bar_->setMinimumWidth(320);
    layout->addWidget(caption_);
    layout->addWidget(bar_);
}

void ProgressWindow::start(const QString& caption) {
    setWindowTitle(caption);
    caption_->setText(caption);
    bar_->setValue(0);
    show();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void ProgressWindow::set(int percent, const QString& caption) {
    if (bar_->value() == percent && windowTitle() == caption) return;
    setWindowTitle(caption);
    caption_->setText(caption);
    bar_->setValue(percent);
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace pavalo
