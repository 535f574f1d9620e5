// Files dropped on the game from a file manager: a picture dropped on the
// play area starts a new puzzle of it through the piece-count dialog, a saved
// puzzle dropped on the start dialog opens, other files are refused.
#include <QDialogButtonBox>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>
#include <functional>

#include "app/application.h"
#include "app/game_window.h"
#include "app/piece_count_dialog.h"
#include "app/play_view.h"
#include "app/start_dialog.h"
#include "tests/unit/png_webp_writer.h"

using namespace pavalo;

namespace {

// Runs `fn` on the modal dialog that the next step opens.
void whenModal(std::function<void(QWidget*)> fn) {
    QTimer::singleShot(0, [fn] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            fn(w);
            return;
        }
        whenModal(fn);
    });
}

// Sends a drag of `path` onto `target` and, when taken, drops it; whether the
// drag was taken.
bool dropFile(QWidget* target, const QString& path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

}  // namespace

class FileDropTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir home_;
    std::unique_ptr<Application> app_;
    QString png_;

private slots:
    void initTestCase() {
        qputenv("TAVORN_HOME", home_.path().toUtf8());
        std::vector<uint8_t> rgba;
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 400; ++x) rgba.insert(rgba.end(), {uint8_t(x), uint8_t(y), 90, 255});
        png_ = home_.filePath("meadow.png");
        const std::vector<uint8_t> bytes = pavalo::testing::encodeRgbaPng(400, 300, rgba);
        std::ofstream(png_.toStdString(), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));

        LaunchOptions o;
        o.window = QSize(1024, 768);
        o.newPicture = std::string(PAVALO_SAMPLE_DIR) + "/stained-glass.bmp";
        o.pieces = 60;
        o.seed = 3;
        app_ = std::make_unique<Application>(o);
        QVERIFY(app_->start());
        app_->runStartRoutine();
        QVERIFY(app_->document().hasPuzzle());
    }
    void cleanupTestCase() {
        app_->shutdown();
        app_.reset();
    }

    void otherFilesAreRefused() {
        const QString text = home_.filePath("notes.txt");
        std::ofstream(text.toStdString()) << "not a picture";
        QVERIFY(!dropFile(app_->window().view(), text));
        QVERIFY(!dropFile(app_->window().view(), home_.filePath("missing.png")));
    }

    void pictureOnThePlayAreaAsksForThePieceCount() {
        bool dialogSeen = false;
        whenModal([&](QWidget* w) {
            auto* dialog = qobject_cast<PieceCountDialog*>(w);
            dialogSeen = dialog != nullptr;
            if (dialog) dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        QVERIFY(dropFile(app_->window().view(), png_));
        QTRY_VERIFY(dialogSeen);
        Document& doc = app_->document();
        QTRY_COMPARE(QString::fromStdString(doc.record().picture()), png_);
        QVERIFY(doc.hasPicture());
        QCOMPARE(doc.picture().width(), 400);
        QVERIFY(app_->model().pieceCount() > 1);
    }

    void savedPuzzleOnTheStartDialogOpens() {
        Document& doc = app_->document();
        const QString saved = home_.filePath("meadow.gvp");
        QVERIFY(doc.saveAs(saved.toStdString()));
        const int32_t pieces = app_->model().pieceCount();
        bool startDialogSeen = false, taken = false;
        whenModal([&](QWidget* w) {
            startDialogSeen = qobject_cast<StartDialog*>(w) != nullptr;
            taken = dropFile(w, saved);
            if (!taken) static_cast<QDialog*>(w)->reject();  // not left waiting
        });
        QVERIFY(app_->session().exitGame());
        QVERIFY(!doc.hasPuzzle());
        QTRY_VERIFY(doc.hasPuzzle());
        QVERIFY(startDialogSeen);
        QVERIFY(taken);
        QCOMPARE(QString::fromStdString(doc.path()), saved);
        QCOMPARE(app_->model().pieceCount(), pieces);
        QCOMPARE(QString::fromStdString(doc.record().picture()), png_);
    }
};

QTEST_MAIN(FileDropTest)
#include "file_drop_test.moc"
