// The lobby start's wait window.
#include "app/lobby_progress_window.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace pavalo {

LobbyProgressWindow::LobbyProgressWindow(QWidget* parent) : QDialog(parent) {
    setModal(true);
    setWindowTitle("Pavalo");
    auto* layout = new QVBoxLayout(this);
    text_ = new QLabel(this);
    text_->setMinimumWidth(320);
    abort_ = new QPushButton("Abort", this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(abort_);
    layout->addWidget(text_);
    layout->addLayout(buttons);
    connect(abort_, &QPushButton::clicked, this, [this] { aborted_ = true; });
}

void LobbyProgressWindow::setAbortable(bool abortable) { abort_->setVisible(abortable); }

void LobbyProgressWindow::reject() {
    if (abort_->isVisible()) aborted_ = true;
}

bool LobbyProgressWindow::showText(const QString& text) {
    if (text_->text() != text) text_->setText(text);
    if (!isVisible()) show();
    // Abort must reach the window while the caller waits.
    QApplication::processEvents();
    return !aborted_;
}

}  // namespace pavalo
