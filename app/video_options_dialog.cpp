// The video options dialog: one check box and OK / Cancel.
#include "app/video_options_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QVBoxLayout>

namespace pavalo {

VideoOptionsDialog::VideoOptionsDialog(QWidget* parent, bool hardwareStretching) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(kVideoOptionsTitle));
    auto* layout = new QVBoxLayout(this);
    box_ = new QCheckBox(QString::fromUtf8(kHardwareStretchingLabel), this);
    box_->setChecked(hardwareStretching);
    layout->addWidget(box_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

bool VideoOptionsDialog::hardwareStretching() const { return box_->isChecked(); }

}  // namespace pavalo
