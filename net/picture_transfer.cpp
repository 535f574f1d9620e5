// The picture transfer: host slots and pacing, the player's receive thread,
// the download dialog's lines and the offer.
#include "net/picture_transfer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>

#include "common/file_io.h"
#include "media/image_library.h"
#include "media/picture_probe.h"
#include "platform/platform.h"

namespace pavalo::net {

namespace {

using Clock = std::chrono::steady_clock;

template <class... Args>
std::string format(const char* pattern, Args... args) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, pattern, args...);
    return buffer;
}

std::string lowerExt(std::string_view name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return {};
    std::string ext(name.substr(dot + 1));
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

bool pictureExtension(const std::string& ext) {
    static constexpr const char* known[] = {"jpg", "jpeg", "bmp", "png", "webp", "wda", "avi", "mpg", "mpeg"};
    return std::any_of(std::begin(known), std::end(known), [&](const char* k) { return ext == k; });
}

bool movingPictureExtension(const std::string& ext) {
    return ext == "wda" || ext == "avi" || ext == "mpg" || ext == "mpeg";
}

// Sleeps until `until`, in short steps so that `stop` ends it early.
void sleepUntil(Clock::time_point until, const std::atomic<bool>& stop) {
    while (!stop.load()) {
        const auto now = Clock::now();
        if (now >= until) return;
        std::this_thread::sleep_for(std::min<Clock::duration>(until - now, std::chrono::milliseconds(50)));
    }
}

// The written file is the picture it claims to be: a still picture's header
// reads as one and its first bytes are a picture's; a moving picture is
// checked by its own loader when opened.
bool soundPicture(const std::string& path, std::span<const uint8_t> bytes) {
    if (bytes.empty()) return false;
    if (movingPictureExtension(lowerExt(path))) return true;
    if (pictureKindOfBytes(bytes.first(std::min<size_t>(bytes.size(), 64))) == 0) return false;
    BitmapInfoHeader info{};
    if (probePictureFile(path, &info) & kProbeCannotOpen) return false;
    int32_t width = 0, height = 0;
    return probePictureSize(path, width, height) && width > 0 && height > 0;
}

}  // namespace

// ---------------------------------------------------------------- helpers

uint32_t blockBytesOf(uint32_t size, uint32_t index) {
    const uint32_t count = blockCountOf(size);
    if (index >= count) return 0;
    if (index + 1 < count) return uint32_t(kImageBlockBytes);
    return size - uint32_t(kImageBlockBytes) * index;
}

uint32_t transferRateBits(const Caps& caps) {
    if (caps.bytesPerSecond == 0) return kDefaultRateBits;
    return uint32_t(std::min<uint64_t>(uint64_t(caps.bytesPerSecond) * 10, std::numeric_limits<uint32_t>::max()));
}

uint32_t transferRateBits(NetLayer& layer, uint32_t player) {
    Session* s = layer.session();
    if (!s || !layer.sessionOpen()) return kDefaultRateBits;
    return transferRateBits(s->caps(player));
}

uint64_t pacingMicros(size_t bytes, uint32_t rateBits) {
    if (rateBits < 10) rateBits = kDefaultRateBits;
    return uint64_t(bytes) * 1000000u / (rateBits / 10);
}

// The session's thread sends its whole backlog in one turn under the lock
// every send takes: a short backlog keeps that turn short, so the host's own
// requests (a press, a drag) are not held up behind a long run of blocks.
// 32 frames still keep a loopback link busy with four receivers.
void waitForRoomToSend(NetLayer& layer, const std::atomic<bool>& stop) {
    constexpr size_t kRoomy = 32;
    for (;;) {
        Session* s = layer.session();
        if (stop.load() || !s || !layer.sessionOpen() || s->backlog() < kRoomy) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::string imageNamePath(const std::string& path) {
    constexpr size_t kMax = kPathField - 1;
    if (path.size() <= kMax) return path;
    const size_t cut = path.find_last_of("/\\");
    std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    if (name.size() <= kMax) return name;
    const size_t dot = name.rfind('.');
    const std::string ext = dot != std::string::npos && name.size() - dot <= 16 ? name.substr(dot) : std::string();
    return name.substr(0, kMax - ext.size()) + ext;
}

uint32_t announcedPictureSize(const std::string& path) {
    std::ifstream f(path, std::ios::binary | std::ios::ate);
    if (!f) return 0;
    const std::streamoff size = f.tellg();
    if (size <= 0 || uint64_t(size) > kPictureSizeLimit) return 0;
    return uint32_t(size);
}

std::string safePictureName(std::string_view hostPath) {
    const size_t cut = hostPath.find_last_of("/\\");
    std::string name(cut == std::string_view::npos ? hostPath : hostPath.substr(cut + 1));
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '_';
    const std::string ext = lowerExt(name);
    const bool known = pictureExtension(ext);
    if (name.empty() || name[0] == '.' || name.find("..") != std::string::npos || !known || name.size() > 120)
        return "download." + (known ? ext : std::string("jpg"));
    return name;
}

std::string downloadQuestion(uint32_t size, uint32_t rateBits) {
    const uint32_t bytesPerSecond = rateBits / 10;
    if (bytesPerSecond == 0) return kDownloadQuestion;
    const uint32_t seconds = size / bytesPerSecond;
    const uint32_t minutes = seconds / 60;
    if (minutes == 0 && seconds % 60 == 0) return kDownloadQuestion;
    if (minutes == 0) return format(kDownloadQuestionSeconds, int(seconds));
    return format(kDownloadQuestionMinutes, int(minutes), int(seconds % 60));
}

bool DownloadProgressView::update(uint32_t received, uint32_t size, uint32_t elapsedMs) {
    const bool due = !shown_ || received < *shown_ || received - *shown_ >= 2048 ||
                     (received == size && *shown_ != received);
    if (!due) return false;
    shown_ = received;
    received_ = format(kReceivedBytesFormat, int(received), int(size));
    percent_ = size == 0 ? 0 : int(std::min<uint64_t>(100, uint64_t(received) * 100 / size));
    if (received == 0 || elapsedMs == 0 || received > size) {
        remaining_.clear();
    } else {
        // The average so far, received / elapsed bytes a millisecond.
        const uint64_t ms = uint64_t(size - received) * elapsedMs / received;
        const uint64_t s = ms / 1000;
        remaining_ = format(kTimeRemainingFormat, int(s / 60), int(s % 60));
    }
    return true;
}

// ---------------------------------------------------------------- assembly

bool PictureAssembly::reset(uint32_t size) {
    clear();
    if (size == 0 || size > kPictureSizeLimit) return false;
    size_ = size;
    bytes_.assign(size, 0);
    flags_.assign(blockCountOf(size), 0);
    return true;
}

void PictureAssembly::clear() {
    size_ = 0;
    bytes_ = {};
    flags_ = {};
    receivedBlocks_ = receivedBytes_ = 0;
}

bool PictureAssembly::store(int32_t index, std::span<const uint8_t> data) {
    if (index < 0 || uint32_t(index) >= flags_.size()) return false;
    const uint32_t i = uint32_t(index);
    if (data.size() != blockBytesOf(size_, i)) return false;
    std::copy(data.begin(), data.end(), bytes_.begin() + std::ptrdiff_t(i * kImageBlockBytes));
    if (!flags_[i]) {
        flags_[i] = 1;
        ++receivedBlocks_;
        receivedBytes_ += uint32_t(data.size());
    }
    return true;
}

// ---------------------------------------------------------------- host

PictureService::PictureService(NetLayer& layer) : layer_(layer) {}

PictureService::~PictureService() { stop(); }

void PictureService::stop() {
    {
        // No sender starts after this; the running ones end their waits.
        std::lock_guard lock(m_);
        stop_ = true;
        for (Slot& s : slots_) s.done.set();
    }
    for (Slot& s : slots_)
        if (s.thread.joinable()) s.thread.join();
}

void PictureService::setPicture(const std::string& path) {
    std::lock_guard lock(m_);
    path_ = path;
    picture_.reset();
}

GameMessage PictureService::imageName() const {
    std::string path;
    {
        std::lock_guard lock(m_);
        path = path_;
    }
    GameMessage m;
    m.id = kMsgImageName;
    m.text = imageNamePath(path);
    m.fileSize = path.empty() ? 0 : announcedPictureSize(path);
    return m;
}

bool PictureService::handle(const GameMessage& message, uint32_t from) {
    switch (message.id) {
        case kMsgRequestImageBlock:
            if (message.block < 0)
                startSender(from);
            else
                sendOne(from, message.block);
            return true;
        case kMsgFinishedReceivingImage:
            layer_.sendHeaderOnly(kServerPlayer, from, kMsgFinishedReceivingImageAck);
            {
                std::lock_guard lock(m_);
                for (Slot& s : slots_)
                    if (s.active && s.player == from) s.done.set();
            }
            return true;
        case kMsgFinishedSendingImageAck: return true;
        default: return false;
    }
}

int PictureService::activeSenders() const {
    std::lock_guard lock(m_);
    return int(std::count_if(slots_.begin(), slots_.end(), [](const Slot& s) { return s.active.load(); }));
}

bool PictureService::pictureLoaded() const {
    std::lock_guard lock(m_);
    return picture_ != nullptr;
}

std::shared_ptr<const std::vector<uint8_t>> PictureService::loadedPicture() {
    std::lock_guard lock(m_);
    if (!picture_ && !path_.empty()) {
        auto bytes = std::make_shared<std::vector<uint8_t>>();
        std::string error;
        if (readWholeFile(path_, *bytes, error, kPictureSizeLimit) && !bytes->empty()) picture_ = std::move(bytes);
    }
    return picture_;
}

bool PictureService::stillThere(uint32_t player) const {
    return layer_.sessionOpen() && layer_.playerTable().slotOf(player, false) >= 0;
}

bool PictureService::sendBlock(const std::vector<uint8_t>& picture, uint32_t index, uint32_t to) {
    const uint32_t size = uint32_t(picture.size());
    const uint32_t n = blockBytesOf(size, index);
    if (n == 0) return false;
    GameMessage m;
    m.id = kMsgImageBlock;
    m.block = int32_t(index);
    const auto first = picture.begin() + std::ptrdiff_t(index * kImageBlockBytes);
    m.data.assign(first, first + n);
    const std::vector<uint8_t> bytes = encodeMessage(m);
    if (!layer_.send(kServerPlayer, to, 0, bytes)) return false;
    ++blocksSent_;
    return true;
}

void PictureService::sendOne(uint32_t player, int32_t index) {
    const auto picture = loadedPicture();
    if (!picture || uint32_t(index) >= blockCountOf(uint32_t(picture->size()))) return;
    sendBlock(*picture, uint32_t(index), player);
}

void PictureService::startSender(uint32_t player) {
    std::lock_guard lock(m_);
    if (stop_) return;
    for (Slot& s : slots_) {
        if (!s.active || s.player != player) continue;
        // A repeat of the request this slot is serving.
        if (s.streaming) return;
        // The receiver asks for everything again after its stream ended
        // (it started over): the old slot stops waiting for it.
        s.done.set();
    }
    auto free = std::find_if(slots_.begin(), slots_.end(), [](const Slot& s) { return !s.active.load(); });
    if (free == slots_.end()) return;  // all 16 busy: the requester asks again
    Slot& s = *free;
    // Its thread cleared the flag under this lock as its last step.
    if (s.thread.joinable()) s.thread.join();
    s.player = player;
    s.done.reset();
    s.streaming = true;
    s.active = true;
    s.thread = std::thread(&PictureService::senderThread, this, int(free - slots_.begin()), player);
}

void PictureService::senderThread(int index, uint32_t player) {
    Slot& slot = slots_[size_t(index)];
    if (auto picture = loadedPicture()) {
        const uint32_t count = blockCountOf(uint32_t(picture->size()));
        const uint32_t rate = assumedRate_ ? assumedRate_.load() : transferRateBits(layer_, player);
        const auto step = std::chrono::microseconds(pacingMicros(kImageBlockBytes, rate));
        const auto start = Clock::now();
        bool sent = true;
        for (uint32_t i = 0; i < count && sent && !stop_; ++i) {
            waitForRoomToSend(layer_, stop_);
            sent = sendBlock(*picture, i, player);
            // One block a pause, kept to the schedule rather than to each
            // sleep so that short pauses do not add up to a slower rate.
            if (i + 1 < count) sleepUntil(start + step * (i + 1), stop_);
        }
        if (sent && !stop_) layer_.sendHeaderOnly(kServerPlayer, player, kMsgFinishedSendingImage);
        slot.streaming = false;
        // The receiver says when it has everything; a receiver that left
        // never will.
        while (!stop_ && !slot.done.wait(100))
            if (!stillThere(player)) break;
    }
    std::lock_guard lock(m_);
    slot.streaming = false;
    slot.active = false;
    if (std::none_of(slots_.begin(), slots_.end(), [](const Slot& s) { return s.active.load(); })) picture_.reset();
}

// ---------------------------------------------------------------- player

PictureReceiver::PictureReceiver(NetLayer& layer) : layer_(layer) {}

PictureReceiver::~PictureReceiver() { abort(); }

void PictureReceiver::setProgressHook(std::function<void()> hook) {
    std::lock_guard lock(m_);
    hook_ = std::move(hook);
}

bool PictureReceiver::start(const std::string& path, uint32_t size) {
    abort();
    std::lock_guard lock(m_);
    error_.clear();
    if (!picture_.reset(size)) {
        phase_ = Phase::Failed;
        error_ = "The picture's size is not one that can be received.";
        return false;
    }
    phase_ = Phase::Requesting;
    finishedSending_ = false;
    startMs_ = layer_.clockMs();
    endMs_ = 0;
    const uint64_t generation = ++generation_;
    thread_ = std::thread(&PictureReceiver::run, this, path, generation);
    return true;
}

void PictureReceiver::abort() {
    bool underWay = false;
    {
        std::lock_guard lock(m_);
        ++generation_;
        underWay = phase_ == Phase::Requesting || phase_ == Phase::Streaming || phase_ == Phase::Filling;
        if (phase_ != Phase::Done && phase_ != Phase::Failed && phase_ != Phase::Idle) phase_ = Phase::Aborted;
        picture_.clear();
    }
    cv_.notify_all();
    if (thread_.joinable()) thread_.join();
    // The host's sender would otherwise wait for this player's end for as
    // long as the player stays, keeping one of its sixteen slots.
    if (underWay && layer_.sessionOpen())
        layer_.sendHeaderOnly(layer_.localPlayerId(), kServerPlayer, kMsgFinishedReceivingImage);
}

bool PictureReceiver::finished() const {
    std::lock_guard lock(m_);
    return phase_ == Phase::Done || phase_ == Phase::Failed || phase_ == Phase::Aborted;
}

PictureReceiver::Status PictureReceiver::status() const {
    std::lock_guard lock(m_);
    Status s;
    s.phase = phase_;
    s.received = picture_.receivedBytes();
    s.size = picture_.size();
    s.elapsedMs = (endMs_ ? endMs_ : layer_.clockMs()) - startMs_;
    s.error = error_;
    return s;
}

bool PictureReceiver::handle(const GameMessage& message, uint32_t from) {
    switch (message.id) {
        case kMsgImageBlock: {
            std::function<void()> hook;
            {
                std::lock_guard lock(m_);
                const bool expected = from == host_ && (phase_ == Phase::Requesting || phase_ == Phase::Streaming ||
                                                        phase_ == Phase::Filling);
                if (!expected || !picture_.store(message.block, message.data)) {
                    ++refused_;
                    return true;
                }
                if (phase_ == Phase::Requesting) phase_ = Phase::Streaming;
                hook = hook_;
            }
            cv_.notify_all();
            if (hook) hook();
            return true;
        }
        case kMsgFinishedSendingImage:
            layer_.sendHeaderOnly(layer_.localPlayerId(), from, kMsgFinishedSendingImageAck);
            {
                std::lock_guard lock(m_);
                if (from == host_) finishedSending_ = true;
            }
            cv_.notify_all();
            return true;
        case kMsgFinishedReceivingImageAck: return true;
        default: return false;
    }
}

// Waits until `done` holds or `ms` passed (0: no limit); false when this
// thread's download was aborted or replaced, or the session ended.
bool PictureReceiver::waitUntil(const std::function<bool()>& done, uint32_t ms, uint64_t generation) {
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    std::unique_lock lock(m_);
    for (;;) {
        if (generation != generation_) return false;
        if (done()) return true;
        if (!layer_.sessionOpen()) return false;
        const auto now = Clock::now();
        if (ms != 0 && now >= until) return true;
        const auto step = ms == 0 ? std::chrono::milliseconds(100)
                                  : std::min<Clock::duration>(until - now, std::chrono::milliseconds(100));
        cv_.wait_for(lock, step);
    }
}

void PictureReceiver::end(Phase phase, std::string error) {
    std::lock_guard lock(m_);
    phase_ = phase;
    error_ = std::move(error);
    endMs_ = layer_.clockMs();
    if (phase != Phase::Done) picture_.clear();
}

void PictureReceiver::run(std::string path, uint64_t generation) {
    auto sendRequest = [this](int32_t block) {
        GameMessage request;
        request.id = kMsgRequestImageBlock;
        request.block = block;
        ++requests_;
        return layer_.send(layer_.localPlayerId(), kServerPlayer, 0, encodeMessage(request)) != 0;
    };
    auto current = [&] {
        std::lock_guard lock(m_);
        return generation == generation_;
    };
    auto lost = [&] {
        if (current()) end(Phase::Failed, "The connection to the game's host was lost.");
    };

    // The whole picture, asked for again every 500 ms until it starts.
    for (;;) {
        if (!sendRequest(-1)) return lost();
        bool started = false;
        if (!waitUntil(
                [&] {
                    started = phase_ != Phase::Requesting || finishedSending_;
                    return started;
                },
                kRequestResendMs, generation))
            return lost();
        if (started) break;
    }
    // The stream's end, or a stream that stopped coming: its end may have
    // been lost (or sent before this start, by a sender still busy with an
    // earlier request of this player), and the gaps are filled either way.
    for (uint32_t seen = std::numeric_limits<uint32_t>::max();;) {
        if (!waitUntil([&] { return finishedSending_ || picture_.complete(); }, 2 * kRequestResendMs, generation))
            return lost();
        std::lock_guard lock(m_);
        const uint32_t now = picture_.receivedBytes();
        if (finishedSending_ || picture_.complete() || now == seen) break;
        seen = now;
    }
    {
        std::lock_guard lock(m_);
        phase_ = Phase::Filling;
    }
    // What got lost, one block at a time.
    for (uint32_t i = 0;; ++i) {
        uint32_t count = 0;
        bool missing = false;
        {
            std::lock_guard lock(m_);
            if (generation != generation_) return;
            count = picture_.blockCount();
            missing = i < count && !picture_.has(i);
        }
        if (i >= count) break;
        while (missing) {
            if (!sendRequest(int32_t(i))) return lost();
            if (!waitUntil([&] { return picture_.has(i); }, kRequestResendMs, generation)) return lost();
            std::lock_guard lock(m_);
            missing = !picture_.has(i);
        }
    }
    layer_.sendHeaderOnly(layer_.localPlayerId(), kServerPlayer, kMsgFinishedReceivingImage);

    std::vector<uint8_t> bytes;
    {
        std::lock_guard lock(m_);
        if (generation != generation_) return;
        phase_ = Phase::Writing;
        bytes = picture_.bytes();
    }
    std::string error;
    const bool written = writeFileAtomically(path, bytes, error);
    const bool sound = written && soundPicture(path, bytes);
    if (written && (!sound || !current())) {
        std::error_code ec;
        std::filesystem::remove(path, ec);
    }
    if (!current()) return;
    if (!written) return end(Phase::Failed, kFailedToWriteImage);
    if (!sound) return end(Phase::Failed, kDamagedDownload);
    end(Phase::Done);
}

// ---------------------------------------------------------------- offer

std::optional<std::string> offerDownload(Platform& platform, NetLayer& layer, PictureReceiver& receiver,
                                         const std::string& hostPath, uint32_t size, const std::string& dataFolder,
                                         const DownloadDialogRunner& runDialog) {
    const uint32_t rate = layer.sessionOpen() && layer.session() ? transferRateBits(layer, layer.localPlayerId()) : 0;
    if (platform.messageBox(downloadQuestion(size, rate), {}, MessageButtons::YesNo) != MessageResult::Yes)
        return std::nullopt;
    if (size == 0 || size > kPictureSizeLimit) {
        platform.messageBox("The game's host cannot send its picture.");
        return std::nullopt;
    }
    PlayerData data = layer.localPlayerData();
    data.state = uint32_t(PlayerState::Downloading);
    layer.setLocalPlayerData(data);

    const std::filesystem::path folder = std::filesystem::path(dataFolder) / kDownloadsFolder;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const std::optional<std::string> chosen =
        platform.pickSaveFile(kSaveDownloadTitle, "Pictures|*.jpg;*.jpeg;*.bmp;*.png;*.webp|All Files|*.*",
                              folder.string(), safePictureName(hostPath));
    if (!chosen) return std::nullopt;
    if (!receiver.start(*chosen, size)) return std::nullopt;
    runDialog(receiver);
    if (!receiver.finished()) receiver.abort();
    const PictureReceiver::Status status = receiver.status();
    if (status.phase == PictureReceiver::Phase::Failed) {
        platform.messageBox(status.error);
        return std::nullopt;
    }
    if (status.phase != PictureReceiver::Phase::Done) return std::nullopt;

    const std::filesystem::path library = std::filesystem::path(dataFolder) / kDownloadsLibrary;
    std::filesystem::create_directories(library.parent_path(), ec);
    addImageToLibrary(platform, library.string(), *chosen);
    return chosen;
}

}  // namespace pavalo::net
