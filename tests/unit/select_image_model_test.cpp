// The picture chooser's rules without a window: the library list, creating,
// loading and removing libraries, passwords, adding, removing and choosing
// pictures, the grid with its scroll bar and selection, every message.
#include "shell/dialogs/select_image_model.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <type_traits>

#include "common/file_io.h"
#include "media/bmp.h"
#include "platform/scripted_platform.h"

namespace pavalo {
namespace {

namespace fs = std::filesystem;
using namespace select_image_text;

// Answers the sub-dialogs from queues and records what was asked.
struct ScriptedFrontEnd : SelectImageFrontEnd {
    std::deque<std::optional<NewLibraryAnswer>> creates;
    std::deque<std::optional<size_t>> removes;
    // Per prompt, the texts typed one after another; running out cancels.
    std::deque<std::vector<std::string>> passwords;
    std::deque<std::vector<std::string>> pictures;
    std::vector<std::string> prompts;  // title + " / " + prompt of each prompt shown
    std::vector<std::vector<std::string>> removeLists;
    std::vector<bool> pickedSeveral;

    std::optional<NewLibraryAnswer> askCreateLibrary() override { return take(creates, std::nullopt); }
    std::optional<size_t> askRemoveLibrary(const std::vector<std::string>& names) override {
        removeLists.push_back(names);
        return take(removes, std::nullopt);
    }
    bool askPassword(PasswordPrompt& prompt) override {
        prompts.push_back(prompt.title() + " / " + prompt.prompt());
        for (const std::string& typed : take(passwords, {}))
            if (prompt.submit(typed)) return true;
        return false;
    }
    std::vector<std::string> pickPictures(std::string_view, std::string_view, std::string_view, bool several) override {
        pickedSeveral.push_back(several);
        return take(pictures, {});
    }
    template <class T>
    static T take(std::deque<T>& q, std::type_identity_t<T> otherwise) {
        if (q.empty()) return otherwise;
        T v = std::move(q.front());
        q.pop_front();
        return v;
    }
};

class SelectImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("pavalo-select-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "data");
        fs::create_directories(dir / "pictures");
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string data() const { return (dir / "data").string(); }
    std::string picture(const std::string& name, int32_t w = 40, int32_t h = 30) {
        const std::string path = (dir / "pictures" / name).string();
        DrawSurface s;
        EXPECT_TRUE(s.create(w, h, 24));
        EXPECT_TRUE(saveBmp(s, path));
        return path;
    }
    std::vector<std::string> pictures(int n) {
        std::vector<std::string> out;
        for (int i = 0; i < n; ++i) out.push_back(picture("p" + std::to_string(i) + ".bmp"));
        return out;
    }
    std::unique_ptr<SelectImageModel> model() {
        return std::make_unique<SelectImageModel>(platform, registry, front, data(), (dir / "pictures").string());
    }
    // A library made through the dialog, optionally with pictures.
    std::string makeLibrary(const std::string& name, const std::string& password = "", int images = 0) {
        auto m = model();
        m->open();
        front.creates.push_back(NewLibraryAnswer{name, password});
        m->createLibrary();
        if (images) {
            front.pictures.push_back(pictures(images));
            m->addImage();
        }
        platform.messages.clear();
        return m->libraryPath();
    }
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (auto& m : platform.messages) out.push_back(m.text);
        return out;
    }

    fs::path dir;
    ScriptedPlatform platform;
    Registry registry{
        (fs::temp_directory_path() / ("pavalo-select-reg-" + std::to_string(::getpid()) + ".ini")).string()};
    ScriptedFrontEnd front;

public:
    ~SelectImageTest() override { fs::remove(registry.path()); }
};

TEST_F(SelectImageTest, WithoutLibrariesEveryCommandSaysWhatIsMissing) {
    auto m = model();
    m->open();
    EXPECT_EQ(texts(), (std::vector<std::string>{kNoLibrariesAvailable}));
    ASSERT_EQ(m->libraries().size(), 1u);
    EXPECT_EQ(m->libraries()[0].name, "No Libraries Available");
    EXPECT_FALSE(m->libraries()[0].path);
    EXPECT_EQ(m->stateText(), "No library selected");
    EXPECT_FALSE(m->removeImageEnabled());
    EXPECT_FALSE(m->scrollBarVisible());
    platform.messages.clear();
    m->selectLibrary(0);
    EXPECT_FALSE(m->libraryOpen());
    m->addImage();
    m->ok();
    m->removeLibrary();
    m->removeImage();
    EXPECT_EQ(texts(), (std::vector<std::string>{kSelectLibraryFirst, kSelectImageFirst, kNoLibrariesRegistered,
                                                 kSelectImageToRemove}));
    EXPECT_FALSE(m->finished());
    m->cancel();
    EXPECT_TRUE(m->finished());
    EXPECT_FALSE(m->accepted());
}

TEST_F(SelectImageTest, ACreatedLibraryOpensAtOnceAndAsksItsPasswordLater) {
    auto m = model();
    m->open();
    front.creates.push_back(NewLibraryAnswer{"Holidays", "Sesame"});
    m->createLibrary();
    const std::string path = data() + "/Holidays.gvl";
    EXPECT_EQ(m->libraryPath(), path);
    EXPECT_TRUE(m->libraryOpen());
    EXPECT_TRUE(front.prompts.empty());  // no password right after creation
    EXPECT_EQ(m->stateText(), "This library contains no images");
    EXPECT_EQ(registry.dwordValue(kLibrariesKey, path), 0u);
    EXPECT_EQ(m->libraries()[size_t(m->selectedLibraryItem())].name, "Holidays");
    EXPECT_EQ(readLibraryInfo(path)->header.passwordText(), "Sesame");

    // Later the password is asked: wrong twice (case matters), then right.
    platform.messages.clear();
    auto again = model();
    front.passwords.push_back({"sesame", "Sesame ", "Sesame"});
    again->open(path);
    EXPECT_EQ(front.prompts,
              (std::vector<std::string>{"Enter Library Password / Please enter the password for this library"}));
    EXPECT_EQ(texts(), (std::vector<std::string>{kWrongPassword, kWrongPassword}));
    EXPECT_TRUE(again->libraryOpen());

    // Cancelling the prompt clears the combo box's selection.
    front.passwords.push_back({});
    again->selectLibrary(0);
    EXPECT_FALSE(again->libraryOpen());
    EXPECT_EQ(again->selectedLibraryItem(), -1);
    EXPECT_EQ(again->stateText(), "No library selected");
}

TEST_F(SelectImageTest, CreatingRefusesBadNamesAndAsksBeforeOverwriting) {
    const std::string path = makeLibrary("Family", "", 2);
    auto m = model();
    m->open();
    // An existing name: No keeps the library, Yes replaces it with an empty one.
    platform.messageAnswers = {MessageResult::No};
    front.creates.push_back(NewLibraryAnswer{"Family", ""});
    m->createLibrary();
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, kAlreadyExists);
    EXPECT_EQ(platform.messages[0].caption, kAlreadyExistsCaption);
    EXPECT_EQ(platform.messages[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(readLibraryInfo(path)->header.count, 2);
    platform.messageAnswers = {MessageResult::Yes};
    front.creates.push_back(NewLibraryAnswer{"Family", ""});
    m->createLibrary();
    EXPECT_EQ(readLibraryInfo(path)->header.count, 0);
    EXPECT_EQ(registeredLibraries(registry).size(), 1u);

    platform.messages.clear();
    for (NewLibraryAnswer bad :
         {NewLibraryAnswer{"", ""}, NewLibraryAnswer{"a/b", ""}, NewLibraryAnswer{std::string(256, 'x'), ""},
          NewLibraryAnswer{"ok", std::string(32, 'p')}}) {
        front.creates.push_back(bad);
        m->createLibrary();
    }
    ASSERT_EQ(platform.messages.size(), 4u);
    EXPECT_EQ(platform.messages[0].text, kLibraryNameEmpty);
    EXPECT_EQ(platform.messages[1].text, kLibraryNameSlash);
    EXPECT_NE(platform.messages[2].text.find("at most 255 characters"), std::string::npos);
    EXPECT_NE(platform.messages[3].text.find("at most 31 characters"), std::string::npos);
    EXPECT_FALSE(fs::exists(data() + "/ok.gvl"));
    // A folder that cannot hold the file.
    platform.messages.clear();
    auto nowhere = std::make_unique<SelectImageModel>(platform, registry, front, (dir / "none/such").string());
    front.creates.push_back(NewLibraryAnswer{"Lost", ""});
    nowhere->createLibrary();
    EXPECT_EQ(texts(), (std::vector<std::string>{"Unable to create file " + (dir / "none/such/Lost.gvl").string()}));
}

TEST_F(SelectImageTest, AddingSeveralPicturesSelectsTheLastAndScrollsToIt) {
    makeLibrary("Big");
    auto m = model();
    m->open(data() + "/Big.gvl");
    front.pictures.push_back(pictures(12));
    m->addImage();
    EXPECT_EQ(front.pickedSeveral, (std::vector<bool>{true}));
    EXPECT_EQ(m->imageCount(), 12);
    EXPECT_FALSE(m->scrollBarVisible());  // 12 pictures: no scroll bar
    EXPECT_EQ(m->selection(), 11);
    EXPECT_EQ(m->status(), "p11");
    EXPECT_EQ(m->stateText(), "");
    front.pictures.push_back({picture("thirteen.bmp")});
    m->addImage();
    EXPECT_TRUE(m->scrollBarVisible());  // 13: range 0 to 1
    EXPECT_EQ(m->scrollMaximum(), 1);
    EXPECT_EQ(m->topRow(), 1);
    EXPECT_EQ(m->selection(), 12);
    EXPECT_EQ(m->chosenTitle(), "thirteen");
    ASSERT_EQ(m->visibleRecords().size(), 9u);  // pictures 4 to 12
    EXPECT_EQ(m->visibleRecords()[0].titleText(), "p4");
    EXPECT_TRUE(platform.messages.empty());

    // The same path in other letter case is refused; so is a file that is not a picture.
    std::string upper = (dir / "PICTURES" / "P3.BMP").string();
    upper.replace(0, dir.string().size(), dir.string());
    const std::string text = (dir / "pictures" / "notes.txt").string();
    std::ofstream(text) << "words";
    front.pictures.push_back({upper, text});
    m->addImage();
    EXPECT_EQ(texts(), (std::vector<std::string>{"The image " + upper + " already exists in the library",
                                                 "Invalid file format", "Unable to create thumbnail"}));
    EXPECT_EQ(m->imageCount(), 13);
    EXPECT_EQ(m->selection(), 12);
}

TEST_F(SelectImageTest, TheGridSelectsByCellAndScrolls) {
    makeLibrary("Grid", "", 14);
    auto m = model();
    m->open(data() + "/Grid.gvl");
    EXPECT_EQ(m->selection(), -1);  // opening selects nothing
    EXPECT_EQ(m->topRow(), 0);
    m->clickGrid(250, 150);  // column 2, row 1
    EXPECT_EQ(m->selection(), 6);
    EXPECT_EQ(m->status(), "p6");
    EXPECT_EQ(m->chosenPath(), (dir / "pictures" / "p6.bmp").string());
    EXPECT_TRUE(m->removeImageEnabled());
    m->scrollTo(5);  // limited to rows - 3 = 1
    EXPECT_EQ(m->topRow(), 1);
    EXPECT_EQ(m->selection(), 6);
    m->clickGrid(150, 250);  // (1 + 2) * 4 + 1 = 13: the last picture
    EXPECT_EQ(m->selection(), 13);
    m->clickGrid(250, 250);  // past the last picture: nothing
    EXPECT_EQ(m->selection(), -1);
    EXPECT_EQ(m->status(), "");
    EXPECT_EQ(m->chosenPath(), "");
    EXPECT_FALSE(m->removeImageEnabled());
    EXPECT_EQ(m->pictureAt(-1, 5), -1);
    EXPECT_EQ(m->pictureAt(400, 5), -1);
    EXPECT_EQ(m->pictureAt(0, 0), 4);

    // A double click chooses only while a library picture is selected.
    m->doubleClickGrid(10, 10);
    EXPECT_FALSE(m->finished());
    m->clickGrid(10, 10);
    m->doubleClickGrid(110, 10);
    EXPECT_TRUE(m->accepted());
    EXPECT_EQ(m->chosenTitle(), "p5");
}

TEST_F(SelectImageTest, ThePaintedGridAtEightAndTwentyFourBits) {
    makeLibrary("Paint", "", 2);
    auto m = model();
    m->open(data() + "/Paint.gvl");
    m->clickGrid(150, 50);
    DrawSurface s8, s24;
    ASSERT_TRUE(s8.create(400, 300, 8));
    ASSERT_TRUE(s24.create(400, 300, 24));
    m->paintGrid(s8);
    m->paintGrid(s24);
    EXPECT_EQ(s8.row(0)[0], 7);       // background
    EXPECT_EQ(s8.row(2 + 5)[50], 7);  // the thumbnail's grey above its 96 x 72 picture
    EXPECT_EQ(s8.row(0)[100], 250);   // the selected cell's frame
    EXPECT_EQ(s8.row(99)[199], 250);
    EXPECT_EQ(s8.row(50)[1], 7);             // unselected cells have none
    EXPECT_EQ(s8.row(150)[250], 7);          // empty cells stay background
    EXPECT_EQ(s8.row(2 + 48)[2 + 48], 244);  // the black picture: DefaultPalette's darkest grey
    const uint8_t* grey = s24.row(0);
    EXPECT_EQ(std::vector<uint8_t>(grey, grey + 3), (std::vector<uint8_t>{0xC0, 0xC0, 0xC0}));
    const uint8_t* frame = s24.row(0) + 3 * 100;
    EXPECT_EQ(std::vector<uint8_t>(frame, frame + 3), (std::vector<uint8_t>{0, 252, 0}));
}

TEST_F(SelectImageTest, RemovingImagesReselectsAndEmptiesTheLibrary) {
    const std::string path = makeLibrary("Small", "", 3);
    auto m = model();
    m->open(path);
    m->deleteKey();  // nothing selected: the key does nothing
    EXPECT_TRUE(platform.messages.empty());
    m->clickGrid(150, 50);
    platform.messageAnswers = {MessageResult::No};
    m->removeImage();
    EXPECT_EQ(platform.messages.back().text, kConfirmRemoveImage);
    EXPECT_EQ(platform.messages.back().caption, kConfirmRemoveImageCaption);
    EXPECT_EQ(m->imageCount(), 3);
    m->deleteKey();  // Yes by default
    EXPECT_EQ(m->imageCount(), 2);
    EXPECT_EQ(m->selection(), 1);
    EXPECT_EQ(m->status(), "p2");
    m->removeImage();  // the last one: the new last is selected
    EXPECT_EQ(m->selection(), 0);
    m->removeImage();
    EXPECT_EQ(m->imageCount(), 0);
    EXPECT_EQ(m->selection(), -1);
    EXPECT_EQ(m->stateText(), "This library contains no images");
    EXPECT_EQ(fs::file_size(path), 312u);
}

TEST_F(SelectImageTest, LoadImageChoosesAPictureInsideOrOutsideTheLibrary) {
    // Without a library the picture is chosen as it is.
    const std::string outside = picture("outside.bmp");
    auto m = model();
    m->open();
    platform.messages.clear();
    front.pictures.push_back({outside});
    m->loadImage();
    EXPECT_EQ(front.pickedSeveral, (std::vector<bool>{false}));
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_TRUE(m->accepted());
    EXPECT_EQ(m->selection(), -2);
    EXPECT_EQ(m->chosenPath(), outside);
    EXPECT_EQ(m->chosenTitle(), "outside");

    // With a library: No chooses it from outside, Yes adds and selects it.
    const std::string path = makeLibrary("Lib", "", 1);
    auto no = model();
    no->open(path);
    platform.messageAnswers = {MessageResult::No};
    front.pictures.push_back({outside});
    no->loadImage();
    EXPECT_EQ(platform.messages.back().text, kAddToLibrary);
    EXPECT_EQ(no->selection(), -2);
    EXPECT_EQ(no->imageCount(), 1);
    auto yes = model();
    yes->open(path);
    front.pictures.push_back({outside});
    yes->loadImage();
    EXPECT_TRUE(yes->accepted());
    EXPECT_EQ(yes->selection(), 1);
    EXPECT_EQ(yes->chosenPath(), outside);
    // Yes for a picture already there: refused, so chosen from outside.
    auto dup = model();
    dup->open(path);
    front.pictures.push_back({outside});
    dup->loadImage();
    EXPECT_EQ(dup->selection(), -2);
    EXPECT_EQ(readLibraryInfo(path)->header.count, 2);
    // Cancelling the picker leaves the dialog open.
    auto cancel = model();
    cancel->open(path);
    cancel->loadImage();
    EXPECT_FALSE(cancel->finished());
}

TEST_F(SelectImageTest, LoadLibraryRegistersAndOpensAFile) {
    const std::string path = makeLibrary("Moved", "", 1);
    unregisterLibrary(registry, path);
    auto m = model();
    m->open();
    platform.messages.clear();
    platform.openAnswers.push_back(path);
    m->loadLibrary();
    EXPECT_TRUE(m->libraryOpen());
    EXPECT_EQ(m->libraryPath(), path);
    EXPECT_EQ(registeredLibraries(registry), (std::vector<std::string>{path}));
    platform.openAnswers.push_back(data() + "/missing.gvl");
    m->loadLibrary();
    EXPECT_EQ(texts(), (std::vector<std::string>{"Unable to open file " + data() + "/missing.gvl"}));
    // A file that is no library is registered but stays out of the list.
    const std::string junk = data() + "/junk.gvl";
    std::string error;
    ASSERT_TRUE(writeFileAtomically(junk, std::vector<uint8_t>(400, 1), error));
    platform.openAnswers.push_back(junk);
    m->loadLibrary();
    EXPECT_EQ(m->libraries().size(), 1u);
    EXPECT_FALSE(m->libraryOpen());
}

TEST_F(SelectImageTest, RemovingALibraryAsksItsPasswordAndKeepsItsFile) {
    const std::string secret = makeLibrary("Secret", "key");
    const std::string plain = makeLibrary("Plain", "", 1);
    auto m = model();
    front.passwords.push_back({"key"});
    m->open(secret);  // Secret is open and selected
    ASSERT_TRUE(m->libraryOpen());
    front.prompts.clear();

    // Cancelling the password names the file and removes nothing.
    front.removes.push_back(0);
    front.passwords.push_back({"guess"});
    m->removeLibrary();
    EXPECT_EQ(front.removeLists.back(), (std::vector<std::string>{"Secret", "Plain"}));
    EXPECT_EQ(texts().back(),
              "If you have forgotten the password to this library and still wish to delete it, you may do so by using "
              "a file manager to delete the following file:\n" +
                  secret);
    EXPECT_EQ(registeredLibraries(registry).size(), 2u);

    // Plain goes after confirmation; its file stays; Secret is selected again
    // by name and asks its password again.
    platform.messages.clear();
    front.removes.push_back(1);
    front.passwords.push_back({"key"});
    m->removeLibrary();
    EXPECT_EQ(platform.messages.at(0).text, kConfirmRemoveLibrary);
    EXPECT_EQ(platform.messages.at(0).caption, kConfirmRemoveLibraryCaption);
    EXPECT_EQ(registeredLibraries(registry), (std::vector<std::string>{secret}));
    EXPECT_TRUE(fs::exists(plain));
    EXPECT_EQ(m->libraries()[size_t(m->selectedLibraryItem())].name, "Secret");
    EXPECT_TRUE(m->libraryOpen());
    EXPECT_EQ(front.prompts.size(), 2u);

    // Confirming No keeps the library.
    platform.messageAnswers = {MessageResult::No};
    front.removes.push_back(0);
    front.passwords.push_back({"key"});
    m->removeLibrary();
    EXPECT_EQ(registeredLibraries(registry).size(), 1u);
}

TEST_F(SelectImageTest, UnreadableLibrariesAreLeftOutAndVanishedOnesOpenNothing) {
    const std::string good = makeLibrary("Good", "", 1);
    const std::string bad = data() + "/bad.gvl";
    std::vector<uint8_t> bytes(312, 0);
    storeU32(bytes.data(), 99);
    std::string error;
    ASSERT_TRUE(writeFileAtomically(bad, bytes, error));
    registerLibrary(registry, bad);
    registerLibrary(registry, data() + "/never-made.gvl");
    auto m = model();
    m->open();
    EXPECT_TRUE(platform.messages.empty());
    ASSERT_EQ(m->libraries().size(), 1u);
    fs::remove(good);
    m->selectLibrary(0);
    EXPECT_FALSE(m->libraryOpen());
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(SelectImageTest, OkReturnsTheSelectedPictureOrAsksForOne) {
    const std::string path = makeLibrary("Ok", "", 2);
    auto m = model();
    m->open(path);
    m->ok();
    EXPECT_EQ(texts(), (std::vector<std::string>{kSelectImageFirst}));
    EXPECT_FALSE(m->finished());
    m->clickGrid(110, 10);
    m->ok();
    EXPECT_TRUE(m->accepted());
    EXPECT_EQ(m->chosenTitle(), "p1");
    EXPECT_EQ(m->chosenPath(), (dir / "pictures" / "p1.bmp").string());
}

TEST(PasswordPromptTest, OnlyTheExactTextEndsIt) {
    ScriptedPlatform platform;
    PasswordPrompt p(platform, "T", "Abc", "P");
    EXPECT_FALSE(p.submit("abc"));
    EXPECT_FALSE(p.submit(""));
    EXPECT_TRUE(p.submit("Abc"));
    EXPECT_EQ(p.attempts(), 3);
    EXPECT_EQ(platform.messages.size(), 2u);
}

}  // namespace
}  // namespace pavalo
