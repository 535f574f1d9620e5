// The picture chooser's widgets bound to its model: the combo box, state
// and status texts, the scroll bar, the Remove Image button, clicks and
// double clicks on the thumbnails, the Delete key, and the password and
// create-library dialogs.
#include "app/select_image_dialog.h"

#include <QComboBox>
#include <QFileDialog>
#include <QListView>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

#include "media/bmp.h"
#include "platform/scripted_platform.h"

using namespace pavalo;

namespace {

// Sub-dialog answers for the bound dialog (the Qt ones are tested alone).
struct Answers : SelectImageFrontEnd {
    std::vector<std::vector<std::string>> pictures;
    std::optional<NewLibraryAnswer> create;
    std::optional<NewLibraryAnswer> askCreateLibrary() override { return std::exchange(create, std::nullopt); }
    std::optional<size_t> askRemoveLibrary(const std::vector<std::string>&) override { return std::nullopt; }
    bool askPassword(PasswordPrompt&) override { return false; }
    std::vector<std::string> pickPictures(std::string_view, std::string_view, std::string_view, bool) override {
        if (pictures.empty()) return {};
        auto p = pictures.front();
        pictures.erase(pictures.begin());
        return p;
    }
};

}  // namespace

class SelectImageDialogTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    std::string path(const QString& name) const { return dir_.filePath(name).toStdString(); }
    std::vector<std::string> pictures(int n) {
        std::vector<std::string> out;
        for (int i = 0; i < n; ++i) {
            DrawSurface s;
            s.create(60 + i, 40, 24);
            s.rectFill(0x3070C0u + uint32_t(i) * 0x0A0A00u);
            out.push_back(path(QString("pic%1.bmp").arg(i)));
            saveBmp(s, out.back());
        }
        return out;
    }

private slots:
    void bindingsFollowTheModel() {
        ScriptedPlatform platform;
        Registry registry(path("registry.ini"));
        Answers answers;
        SelectImageDialog dialog(nullptr, platform, registry, dir_.path().toStdString(), dir_.path().toStdString(), 24,
                                 &answers);
        dialog.start({});
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.libraryBox()->count(), 1);
        QCOMPARE(dialog.libraryBox()->itemText(0), QString("No Libraries Available"));
        QCOMPARE(dialog.stateLabel()->text(), QString("No library selected"));
        QVERIFY(!dialog.button("&Remove Image")->isEnabled());
        QVERIFY(dialog.scrollBar()->isHidden());

        // Create Library, then Add Image with 13 pictures.
        answers.create = NewLibraryAnswer{"Shots", ""};
        QTest::mouseClick(dialog.button("Create Library"), Qt::LeftButton);
        QCOMPARE(dialog.libraryBox()->currentText(), QString("Shots"));
        QCOMPARE(dialog.stateLabel()->text(), QString("This library contains no images"));
        answers.pictures.push_back(pictures(13));
        QTest::mouseClick(dialog.button("Add Image"), Qt::LeftButton);
        QVERIFY(dialog.scrollBar()->isVisible());
        QCOMPARE(dialog.scrollBar()->maximum(), 1);
        QCOMPARE(dialog.scrollBar()->value(), 1);
        QCOMPARE(dialog.statusLabel()->text(), QString("pic12"));
        QVERIFY(dialog.button("&Remove Image")->isEnabled());

        // Scrolling and clicking a cell.
        dialog.scrollBar()->setValue(0);
        QCOMPARE(dialog.model().topRow(), 0);
        QTest::mouseClick(dialog.thumbnails(), Qt::LeftButton, {}, QPoint(150, 50));
        QCOMPARE(dialog.model().selection(), 1);
        QCOMPARE(dialog.statusLabel()->text(), QString("pic1"));
        // The painted grid shows the thumbnail 2 pixels inside its cell.
        dialog.thumbnails()->repaint();
        const DrawSurface& grid = dialog.thumbnails()->surface();
        QCOMPARE(int(grid.row(1)[3 * 100 + 1]), 252);  // the selection frame: green
        QVERIFY(grid.row(50)[3 * 2] != 0xC0);          // a thumbnail pixel, not background

        // The Delete key removes the selected picture (confirmation answered Yes).
        QTest::keyClick(&dialog, Qt::Key_Delete);
        QCOMPARE(dialog.model().imageCount(), 12);
        QVERIFY(dialog.scrollBar()->isHidden());
        QCOMPARE(dialog.statusLabel()->text(), QString("pic2"));

        // A double click chooses the picture under the pointer.
        QTest::mouseDClick(dialog.thumbnails(), Qt::LeftButton, {}, QPoint(350, 250));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(QString::fromStdString(dialog.chosenTitle()), QString("pic12"));
        QVERIFY(!dialog.isVisible());
    }

    // Load Image / Add Image open Qt's file dialog with the chooser's filter:
    // every sample picture shipped with the program is listed under the
    // first ("Images") filter, which is the one the dialog starts with.
    void pictureFilePickerListsTheSamplePictures() {
        QStringList listed;
        QTimer::singleShot(0, [&listed] {
            QFileDialog* picker = nullptr;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<QFileDialog*>(w); d && d->isVisible()) picker = d;
            if (!picker) return;
            auto* list = picker->findChild<QListView*>("listView");
            if (list) {
                (void)QTest::qWaitFor([&] { return list->model()->rowCount(list->rootIndex()) >= 5; }, 5000);
                for (int r = 0; r < list->model()->rowCount(list->rootIndex()); ++r)
                    listed << list->model()->index(r, 0, list->rootIndex()).data().toString();
            }
            picker->reject();
        });
        QtSelectImageFrontEnd frontEnd(nullptr);
        frontEnd.pickPictures(select_image_text::kLoadPictureTitle, select_image_text::kPictureFilter,
                              PAVALO_SAMPLE_DIR, true);
        listed.sort();
        QCOMPARE(listed, QStringList({"balloons.bmp", "bubbles.mpg", "stained-glass.bmp", "sunset-harbour.jpg",
                                      "sunset-lake.wda"}));
    }

    void passwordDialogStaysOpenUntilTheRightPassword() {
        ScriptedPlatform platform;
        PasswordPrompt prompt(platform, "Enter Library Password", "Open Sesame", "Please enter the password");
        PasswordDialog dialog(nullptr, prompt);
        QCOMPARE(dialog.windowTitle(), QString("Enter Library Password"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.edit()->echoMode(), QLineEdit::Password);
        QTest::keyClicks(dialog.edit(), "open sesame");
        QTest::keyClick(dialog.edit(), Qt::Key_Return);
        QVERIFY(dialog.isVisible());
        QCOMPARE(platform.messages.size(), size_t(1));
        QCOMPARE(QString::fromStdString(platform.messages[0].text),
                 QString("The password you entered was incorrect.  Please try again."));
        dialog.edit()->setText("Open Sesame");
        QTest::keyClick(dialog.edit(), Qt::Key_Return);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    void createLibraryDialogReturnsItsFields() {
        CreateLibraryDialog dialog(nullptr);
        QCOMPARE(dialog.windowTitle(), QString("Create New Library"));
        dialog.nameEdit()->setText("Family");
        dialog.passwordEdit()->setText("pw");
        QCOMPARE(dialog.passwordEdit()->echoMode(), QLineEdit::Password);
        QCOMPARE(QString::fromStdString(dialog.answer().name), QString("Family"));
        QCOMPARE(QString::fromStdString(dialog.answer().password), QString("pw"));
    }
};

QTEST_MAIN(SelectImageDialogTest)
#include "select_image_dialog_test.moc"
