// The lobby start's wait window: one line of text ("Getting game settings
// from the lobby", then "Downloading Image (%d bytes received)") and, while
// something can be stopped, an "Abort" button.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace pavalo {

class LobbyProgressWindow : public QDialog {
    Q_OBJECT
public:
    explicit LobbyProgressWindow(QWidget* parent);
    // Shows the text and lets the window system work; false once Abort was
    // pressed.
    bool showText(const QString& text);
    void setAbortable(bool abortable);
    bool aborted() const { return aborted_; }
    QLabel* textLabel() { return text_; }
    QPushButton* abortButton() { return abort_; }

protected:
    // Closing the window is pressing Abort.
    void reject() override;

private:
    QLabel* text_;
    QPushButton* abort_;
    bool aborted_ = false;
};

}  // namespace pavalo
