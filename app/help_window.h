// The game's help: a small HTML help book bundled with the program, shown in
// a help window with a contents list and back and forward buttons, and the
// "About Pavalo" box.
#pragma once

#include <QDialog>

class QTextBrowser;

namespace pavalo {

// Where the help book's first page lives in the program's resources.
inline constexpr const char* kHelpIndex = "qrc:/help/index.html";

class HelpWindow : public QDialog {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent);
    // Shows the book at its first page; false when the book is missing.
    bool showContents();
    QTextBrowser* browser() const { return browser_; }

private:
    QTextBrowser* browser_;
};

// The about box: its animation (about_dialog.h) with its two sounds.
void showAboutBox(QWidget* parent);

}  // namespace pavalo
