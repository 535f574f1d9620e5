// The assist tools' dialogs and the "Searching" window.
#include "app/assist_dialogs_qt.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>
#include <functional>

namespace pavalo {
namespace {

QDialogButtonBox* okCancel(QDialog* dialog) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

// A slider with its value shown beside it.
QSlider* labelledSlider(QWidget* parent, QGridLayout* grid, int row, const char* label, int minimum, int maximum,
                        int value, const std::function<void(int)>& changed) {
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setRange(minimum, maximum);
    slider->setValue(value);
    slider->setMinimumWidth(220);
    auto* shown = new QLabel(QString::number(value), parent);
    shown->setMinimumWidth(30);
    grid->addWidget(new QLabel(label, parent), row, 0);
    grid->addWidget(slider, row, 1);
    grid->addWidget(shown, row, 2);
    QObject::connect(slider, &QSlider::valueChanged, parent, [shown, changed](int v) {
        changed(v);
        shown->setText(QString::number(v));
    });
    return slider;
}

}  // namespace

DeliveryButtons::DeliveryButtons(QWidget* parent, DeliveryChoice& choice) : QWidget(parent) {
    auto* box = new QGroupBox("Sorting Box", this);
    auto* row = new QHBoxLayout(box);
    auto* group = new QButtonGroup(this);
    for (int v = 0; v < 5; ++v) {
        auto* b = new QRadioButton(DeliveryChoice::kLabels[size_t(v)], box);
        buttons_[size_t(v)] = b;
        group->addButton(b, v);
        row->addWidget(b);
        b->setEnabled(choice.enabled());
    }
    buttons_[size_t(choice.value())]->setChecked(true);
    connect(group, &QButtonGroup::idClicked, this, [&choice, this](int v) {
        if (!choice.choose(v)) buttons_[size_t(choice.value())]->setChecked(true);
    });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(box);
}

FindEdgesWindow::FindEdgesWindow(QWidget* parent, FindEdgesDialog& model) : QDialog(parent) {
    setWindowTitle(FindEdgesDialog::kTitle);
    auto* layout = new QVBoxLayout(this);
    auto* edges = new QGroupBox("Edges", this);
    auto* grid = new QGridLayout(edges);
    for (int i = 0; i < 4; ++i) {
        auto* c = new QCheckBox(FindEdgesDialog::kEdgeLabels[size_t(i)], edges);
        c->setChecked(model.checked(i));
        connect(c, &QCheckBox::toggled, this, [&model, i](bool on) { model.setChecked(i, on); });
        edges_[size_t(i)] = c;
        grid->addWidget(c, i / 2, i % 2);
    }
    layout->addWidget(edges);
    delivery_ = new DeliveryButtons(this, model.delivery);
    layout->addWidget(delivery_);
    layout->addWidget(okCancel(this));
}

FindNearbyWindow::FindNearbyWindow(QWidget* parent, FindNearbyDialog& model) : QDialog(parent) {
    setWindowTitle(FindNearbyDialog::kTitle);
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    slider_ = new QSlider(Qt::Horizontal, this);
    slider_->setRange(FindNearbyDialog::kMinRange, FindNearbyDialog::kMaxRange);
    slider_->setValue(model.range());
    slider_->setTickPosition(QSlider::TicksBelow);
    slider_->setMinimumWidth(200);
    edit_ = new QLineEdit(QString::fromStdString(model.editText()), this);
    edit_->setMaximumWidth(48);
    row->addWidget(new QLabel("Range", this));
    row->addWidget(slider_);
    row->addWidget(edit_);
    layout->addLayout(row);
    connect(slider_, &QSlider::valueChanged, this, [this, &model](int v) {
        model.setSlider(v);
        edit_->setText(QString::fromStdString(model.editText()));
    });
    // Typing a number moves the slider; anything else shows its value again.
    connect(edit_, &QLineEdit::editingFinished, this, [this, &model] {
        model.setEditText(edit_->text().toStdString());
        slider_->setValue(model.range());
        edit_->setText(QString::fromStdString(model.editText()));
    });
    delivery_ = new DeliveryButtons(this, model.delivery);
    layout->addWidget(delivery_);
    layout->addWidget(okCancel(this));
}

ColorMatchWindow::ColorMatchWindow(QWidget* parent, ColorMatchDialog& model) : QDialog(parent) {
    setWindowTitle(ColorMatchDialog::kTitle);
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    range_ = labelledSlider(this, grid, 0, ColorMatchDialog::kRangeLabel, ColorMatchDialog::kMin, ColorMatchDialog::kMax,
                            model.colourRange(), [&model](int v) { model.setColourRange(v); });
    threshold_ = labelledSlider(this, grid, 1, ColorMatchDialog::kThresholdLabel, ColorMatchDialog::kMin,
                                ColorMatchDialog::kMax, model.threshold(), [&model](int v) { model.setThreshold(v); });
    layout->addLayout(grid);
    delivery_ = new DeliveryButtons(this, model.delivery);
    layout->addWidget(delivery_);
    layout->addWidget(okCancel(this));
}

SearchingWindow::SearchingWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle(SearchingProgress::kTitle);
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    bar_ = new QProgressBar(this);
    bar_->setMinimumWidth(300);
    layout->addWidget(bar_);
}

void SearchingWindow::start(const SearchingProgress& progress) {
    bar_->setRange(0, std::max(progress.maximum(), 1));
    bar_->setValue(0);
    shownPercent_ = -1;
    show();
    raise();
    step(progress);
}

void SearchingWindow::step(const SearchingProgress& progress) {
    bar_->setValue(progress.position());
    // One repaint per percent: the walk itself stays quick.
    const int percent = progress.maximum() > 0 ? int(int64_t(progress.position()) * 100 / progress.maximum()) : 100;
    if (percent == shownPercent_) return;
    shownPercent_ = percent;
    ++repaints_;
    bar_->repaint();
}

}  // namespace pavalo
