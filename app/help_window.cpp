// The help window and the about box.
#include "app/help_window.h"

#include "app/about_dialog.h"
#include "media/sound.h"

#include <QFile>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace pavalo {

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Pavalo Help");
    setModal(false);
    resize(640, 520);
    auto* layout = new QVBoxLayout(this);
    auto* buttons = new QHBoxLayout;
    auto* contents = new QPushButton("Contents", this);
    auto* back = new QPushButton("Back", this);
    auto* forward = new QPushButton("Forward", this);
    for (QPushButton* b : {contents, back, forward}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    buttons->addStretch();
    layout->addLayout(buttons);
    browser_ = new QTextBrowser(this);
    browser_->setOpenExternalLinks(false);
    layout->addWidget(browser_);
    connect(contents, &QPushButton::clicked, this, [this] { browser_->setSource(QUrl(kHelpIndex)); });
    connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, browser_, &QTextBrowser::forward);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);
}

bool HelpWindow::showContents() {
    if (!QFile::exists(":/help/index.html")) return false;
    browser_->setSource(QUrl(kHelpIndex));
    show();
    raise();
    activateWindow();
    return true;
}

void showAboutBox(QWidget* parent) {
    showAnimatedAboutBox(parent, dynamic_cast<SoundEffects*>(soundPlayer()));
}

}  // namespace pavalo
