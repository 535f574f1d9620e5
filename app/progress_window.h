// The progress window of a long operation (cutting): a caption and a bar.
// Setting the progress lets the window system repaint, so the program never
// looks frozen while it works.
#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;

namespace pavalo {

class ProgressWindow : public QDialog {
    Q_OBJECT
public:
    explicit ProgressWindow(QWidget* parent);
    void start(const QString& caption);
    void set(int percent, const QString& caption);

private:
    QLabel* caption_;
    QProgressBar* bar_;
};

}  // namespace pavalo
