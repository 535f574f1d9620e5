// The picture chooser's widgets bound to its model.
#include "app/select_image_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "app/qt_platform.h"
#include "app/surface_image.h"

namespace pavalo {
namespace {

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

// The picture preview beside the file list of the picture picker: the
// picture loaded as the game would, scaled like a library thumbnail.
class PicturePreview : public QLabel {
public:
    explicit PicturePreview(QWidget* parent) : QLabel(parent) {
        setFixedSize(2 * kThumbnailSize + 8, 2 * kThumbnailSize + 8);
        setAlignment(Qt::AlignCenter);
        setFrameShape(QFrame::StyledPanel);
    }
    void show(const QString& path) {
        DrawSurface picture, thumb;
        const ThumbSize size = [&] {
            if (path.isEmpty() || !loadLibraryPicture(path.toStdString(), picture, nullptr, loadMovieFirstFrame))
                return ThumbSize{};
            return thumbnailSize(picture.width(), picture.height());
        }();
        if (size.width == 0 || !thumb.makeScaledCopy8(picture, size.width * 2, size.height * 2)) {
            setPixmap({});
            setText(path.isEmpty() ? QString() : QStringLiteral("No preview"));
            return;
        }
        setPixmap(QPixmap::fromImage(surfaceImage(thumb).copy()));
    }
};

}  // namespace

// --- Thumbnail area -------------------------------------------------------------

ThumbnailArea::ThumbnailArea(SelectImageDialog& dialog, int32_t depth) : QWidget(&dialog), dialog_(dialog) {
    setObjectName("thumbnails");
    // Depths the surfaces draw thumbnails at; deeper displays get 24 bits.
    if (!surface_.create(SelectImageModel::kGridWidth, SelectImageModel::kGridHeight,
                         depth == 8 || depth == 16 ? depth : 24))
        surface_.create(SelectImageModel::kGridWidth, SelectImageModel::kGridHeight, 24);
    setFixedSize(SelectImageModel::kGridWidth, SelectImageModel::kGridHeight);
}

QSize ThumbnailArea::sizeHint() const { return {SelectImageModel::kGridWidth, SelectImageModel::kGridHeight}; }

void ThumbnailArea::paintEvent(QPaintEvent*) {
    dialog_.model().paintGrid(surface_);
    QPainter painter(this);
    painter.drawImage(0, 0, surfaceImage(surface_));
}

void ThumbnailArea::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QPoint p = event->position().toPoint();
    dialog_.model().clickGrid(p.x(), p.y());
    dialog_.sync();
}

void ThumbnailArea::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QPoint p = event->position().toPoint();
    dialog_.model().doubleClickGrid(p.x(), p.y());
    dialog_.sync();
}

// --- Sub-dialogs ------------------------------------------------------------------

PasswordDialog::PasswordDialog(QWidget* parent, PasswordPrompt& prompt) : QDialog(parent), prompt_(prompt) {
    setObjectName("PasswordDialog");
    setWindowTitle(qs(prompt.title()));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(qs(prompt.prompt()), this));
    edit_ = new QLineEdit(this);
    edit_->setEchoMode(QLineEdit::Password);
    layout->addWidget(edit_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &PasswordDialog::tryOk);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void PasswordDialog::tryOk() {
    if (prompt_.submit(edit_->text().toStdString())) return accept();
    // A wrong password: the prompt stays for another try.
    edit_->selectAll();
    edit_->setFocus();
}

CreateLibraryDialog::CreateLibraryDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("CreateLibraryDialog");
    setWindowTitle(select_image_text::kCreateLibraryTitle);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    name_ = new QLineEdit(this);
    password_ = new QLineEdit(this);
    password_->setEchoMode(QLineEdit::Password);
    form->addRow("Library Name", name_);
    form->addRow("Password", password_);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

NewLibraryAnswer CreateLibraryDialog::answer() const {
    return {name_->text().toStdString(), password_->text().toStdString()};
}

std::optional<NewLibraryAnswer> QtSelectImageFrontEnd::askCreateLibrary() {
    CreateLibraryDialog dialog(parent_);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.answer();
}

std::optional<size_t> QtSelectImageFrontEnd::askRemoveLibrary(const std::vector<std::string>& names) {
    QDialog dialog(parent_);
    dialog.setObjectName("RemoveLibraryDialog");
    dialog.setWindowTitle(select_image_text::kRemoveLibraryTitle);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(select_image_text::kRemoveLibraryPrompt, &dialog));
    auto* box = new QComboBox(&dialog);
    for (const std::string& n : names) box->addItem(qs(n));
    layout->addWidget(box);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted || box->currentIndex() < 0) return std::nullopt;
    return size_t(box->currentIndex());
}

bool QtSelectImageFrontEnd::askPassword(PasswordPrompt& prompt) {
    PasswordDialog dialog(parent_, prompt);
    return dialog.exec() == QDialog::Accepted;
}

std::vector<std::string> QtSelectImageFrontEnd::pickPictures(std::string_view title, std::string_view filter,
                                                             std::string_view directory, bool several) {
    // Qt's own file dialog, so that the preview can sit beside its list.
    QFileDialog dialog(parent_, qs(title), qs(directory), qtFileFilter(filter));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(several ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix("bmp");
    auto* preview = new PicturePreview(&dialog);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
        grid->addWidget(preview, 1, grid->columnCount(), 2, 1);
    QObject::connect(&dialog, &QFileDialog::currentChanged, preview,
                     [preview](const QString& path) { preview->show(path); });
    std::vector<std::string> out;
    if (dialog.exec() != QDialog::Accepted) return out;
    for (const QString& f : dialog.selectedFiles()) out.push_back(f.toStdString());
    return out;
}

// --- The dialog -------------------------------------------------------------------

SelectImageDialog::SelectImageDialog(QWidget* parent, Platform& platform, Registry& registry, std::string dataFolder,
                                     std::string pictureFolder, int32_t depth, SelectImageFrontEnd* frontEnd)
    : QDialog(parent) {
    setObjectName("SelectImageDialog");
    setWindowTitle(select_image_text::kDialogTitle);
    if (!frontEnd) {
        qtFrontEnd_ = std::make_unique<QtSelectImageFrontEnd>(this);
        frontEnd = qtFrontEnd_.get();
    }
    model_ = std::make_unique<SelectImageModel>(platform, registry, *frontEnd, std::move(dataFolder),
                                                std::move(pictureFolder));

    auto* outer = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel("Select Library:", this));
    libraries_ = new QComboBox(this);
    libraries_->setMinimumWidth(240);
    top->addWidget(libraries_, 1);
    left->addLayout(top);
    state_ = new QLabel(this);
    state_->setObjectName("state");
    left->addWidget(state_);
    auto* gridRow = new QHBoxLayout;
    area_ = new ThumbnailArea(*this, depth);
    gridRow->addWidget(area_);
    scroll_ = new QScrollBar(Qt::Vertical, this);
    scroll_->setPageStep(1);
    scroll_->setFixedHeight(SelectImageModel::kGridHeight);
    gridRow->addWidget(scroll_);
    gridRow->addStretch(1);
    left->addLayout(gridRow);
    status_ = new QLabel(this);
    status_->setObjectName("status");
    status_->setFrameShape(QFrame::StyledPanel);
    status_->setMinimumHeight(22);
    left->addWidget(status_);
    outer->addLayout(left);

    auto* buttons = new QVBoxLayout;
    auto add = [&](const char* text, auto command) {
        auto* b = new QPushButton(text, this);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, command] { run([&] { (model_.get()->*command)(); }); });
        buttons->addWidget(b);
        return b;
    };
    QPushButton* ok = add("OK", &SelectImageModel::ok);
    add("Cancel", &SelectImageModel::cancel);
    buttons->addSpacing(16);
    add("Create Library", &SelectImageModel::createLibrary);
    add("Load Library", &SelectImageModel::loadLibrary);
    add("Remove Library", &SelectImageModel::removeLibrary);
    buttons->addSpacing(16);
    add("Add Image", &SelectImageModel::addImage);
    removeImage_ = add("&Remove Image", &SelectImageModel::removeImage);
    add("Load Image", &SelectImageModel::loadImage);
    buttons->addStretch(1);
    outer->addLayout(buttons);
    ok->setDefault(true);

    connect(libraries_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!syncing_) run([&] { model_->selectLibrary(index); });
    });
    connect(scroll_, &QScrollBar::valueChanged, this, [this](int row) {
        if (!syncing_) run([&] { model_->scrollTo(row); });
    });
    sync();
}

SelectImageDialog::~SelectImageDialog() = default;

void SelectImageDialog::start(const std::string& lastLibrary) {
    run([&] { model_->open(lastLibrary); });
}

template <class F>
void SelectImageDialog::run(F&& command) {
    command();
    sync();
}

QPushButton* SelectImageDialog::button(const QString& text) const {
    for (QPushButton* b : findChildren<QPushButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

void SelectImageDialog::sync() {
    syncing_ = true;
    const auto& items = model_->libraries();
    bool same = libraries_->count() == int(items.size());
    for (int i = 0; same && i < libraries_->count(); ++i)
        same = libraries_->itemText(i) == qs(items[size_t(i)].name) &&
               libraries_->itemData(i).toString() == qs(items[size_t(i)].path.value_or(""));
    if (!same) {
        libraries_->clear();
        for (const LibraryItem& item : items) libraries_->addItem(qs(item.name), qs(item.path.value_or("")));
    }
    libraries_->setCurrentIndex(model_->selectedLibraryItem());
    state_->setText(qs(model_->stateText()));
    status_->setText(qs(model_->status()));
    scroll_->setVisible(model_->scrollBarVisible());
    scroll_->setRange(0, model_->scrollMaximum());
    scroll_->setValue(model_->topRow());
    removeImage_->setEnabled(model_->removeImageEnabled());
    area_->update();
    syncing_ = false;
    if (model_->finished() && isVisible()) model_->accepted() ? accept() : reject();
}

void SelectImageDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Delete:
            return run([&] { model_->deleteKey(); });
        case Qt::Key_Escape:
            return run([&] { model_->cancel(); });
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return run([&] { model_->ok(); });
        default:
            QDialog::keyPressEvent(event);
    }
}

}  // namespace pavalo
