// The start dialog: a frameless dialog over the play area with six picture
// buttons — continue the last puzzle, new puzzle, open, host, join, exit.
#pragma once

#include <QDialog>
#include <array>

class QPushButton;

namespace pavalo {

enum class StartChoice { NewPuzzle = 0, OpenPuzzle = 1, Continue = 2, HostGame = 3, JoinGame = 4, Exit = 5 };

class StartDialog : public QDialog {
    Q_OBJECT
public:
    // canContinue: the last puzzle's file is known and exists.
    StartDialog(QWidget* parent, bool canContinue);
    StartChoice choice() const { return choice_; }
    QPushButton* button(StartChoice c) const { return buttons_[size_t(c)]; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void choose(StartChoice c);
    std::array<QPushButton*, 6> buttons_{};
    StartChoice choice_ = StartChoice::Exit;
};

}  // namespace pavalo
