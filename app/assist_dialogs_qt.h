// The assist tools' windows bound to their dialog models (puzzle/
// assist_dialogs.h): "Find Edges", "Find Nearby Pieces" and "Color Match",
// each with the five sorting-box buttons "None", "Box 1" .. "Box 4", and the
// "Searching" progress window of the colour search. The dialogs only copy
// control changes into the model; OK accepts, Cancel rejects, and the frame
// runs the tool with the model's values.
#pragma once

#include <QDialog>
#include <array>

#include "shell/dialogs/assist_dialogs.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QRadioButton;
class QSlider;

namespace pavalo {

// The group of five radio buttons bound to a DeliveryChoice.
class DeliveryButtons : public QWidget {
    Q_OBJECT
public:
    DeliveryButtons(QWidget* parent, DeliveryChoice& choice);
    QRadioButton* button(int value) const { return buttons_[size_t(value)]; }

private:
    std::array<QRadioButton*, 5> buttons_{};
};

class FindEdgesWindow : public QDialog {
    Q_OBJECT
public:
    FindEdgesWindow(QWidget* parent, FindEdgesDialog& model);
    QCheckBox* edge(int i) const { return edges_[size_t(i)]; }
    DeliveryButtons* delivery() const { return delivery_; }

private:
    std::array<QCheckBox*, 4> edges_{};
    DeliveryButtons* delivery_;
};

class FindNearbyWindow : public QDialog {
    Q_OBJECT
public:
    FindNearbyWindow(QWidget* parent, FindNearbyDialog& model);
    QSlider* slider() const { return slider_; }
    QLineEdit* edit() const { return edit_; }
    DeliveryButtons* delivery() const { return delivery_; }

private:
    QSlider* slider_;
    QLineEdit* edit_;
    DeliveryButtons* delivery_;
};

class ColorMatchWindow : public QDialog {
    Q_OBJECT
public:
    ColorMatchWindow(QWidget* parent, ColorMatchDialog& model);
    QSlider* rangeSlider() const { return range_; }
    QSlider* thresholdSlider() const { return threshold_; }
    DeliveryButtons* delivery() const { return delivery_; }

private:
    QSlider* range_;
    QSlider* threshold_;
    DeliveryButtons* delivery_;
};

// "Searching": shown while the colour search walks the play area's pieces.
// It repaints itself as it advances (the search runs on this thread, so no
// events are processed meanwhile).
class SearchingWindow : public QDialog {
    Q_OBJECT
public:
    explicit SearchingWindow(QWidget* parent);
    void start(const SearchingProgress& progress);
    void step(const SearchingProgress& progress);
    QProgressBar* bar() const { return bar_; }
    // Repaints so far, for tests: one per visible change of the bar.
    int repaints() const { return repaints_; }

private:
    QProgressBar* bar_;
    int shownPercent_ = -1;
    int repaints_ = 0;
};

}  // namespace pavalo
