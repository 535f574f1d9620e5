// Sending the host's picture file to a player who does not have it, block
// by block over the session: the host's PictureService (the picture name,
// sixteen sender slots each streaming the picture paced by its receiver's
// speed, single blocks on request) and the player's PictureReceiver (the
// receive thread that asks for the whole picture, fills the gaps block by
// block and writes the file through a temporary name).
//
// Blocks are 256 bytes, block i covering bytes 256 i .. 256 i + 255; the
// last one carries the rest of the size (256 when the size is a multiple
// of 256). Blocks travel without guarantee; what is lost is asked for again
// one block at a time, every 500 ms until it arrives.
//
// Bad input: a size of 0 or over kPictureSizeLimit is refused before any
// memory is taken; a block whose index lies outside the picture or whose
// byte count is not that block's is dropped; the host's path is cut to its
// file name and made safe before it is proposed as a name.
//
// Threads: handle() runs on the dispatching thread (the server thread on the
// host, the user-interface thread on a player); each sender slot and the
// receive thread are threads of their own. Everything shared is guarded by
// the object's mutex; no lock is held while sending.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "net/event.h"
#include "net/messages.h"
#include "net/net_layer.h"

namespace pavalo {
class Platform;
}

namespace pavalo::net {

inline constexpr uint32_t kPictureSizeLimit = 256u << 20;  // 256 MB
inline constexpr int kTransferSlots = 16;
inline constexpr uint32_t kDefaultRateBits = 500000;  // a speed reported as 0
inline constexpr uint32_t kRequestResendMs = 500;

// Texts of the download.
inline constexpr const char* kDownloadQuestion =
    "You don't have the image being used. Would you like to download it?";
inline constexpr const char* kDownloadQuestionSeconds =
    "You don't have the image being used. Would you like to download it?\n(Download time will be approximately %d "
    "seconds)";
inline constexpr const char* kDownloadQuestionMinutes =
    "You don't have the image being used. Would you like to download it?\n(Download time will be approximately %d "
    "minutes and %d seconds)";
inline constexpr const char* kDownloadCaption = "Downloading Image";
inline constexpr const char* kSaveDownloadTitle = "Save Download Image";
inline constexpr const char* kRequestingImage = "Requesting Image";
inline constexpr const char* kReceivedBytesFormat = "Received %d of %d bytes";
inline constexpr const char* kTimeRemainingFormat = "Time remaining: %d m %d s";
inline constexpr const char* kFailedToWriteImage = "Failed to write Image to disk";
inline constexpr const char* kDamagedDownload = "The received picture is damaged and was not kept.";
inline constexpr const char* kDownloadsFolder = "downloads";
inline constexpr const char* kDownloadsLibrary = "Libraries/Downloads.gvl";

// ---- sizes, speeds and names ----

inline uint32_t blockCountOf(uint32_t size) { return uint32_t((uint64_t(size) + kImageBlockBytes - 1) / kImageBlockBytes); }
// Bytes block `index` carries (0 outside the picture).
uint32_t blockBytesOf(uint32_t size, uint32_t index);

// A connection's speed in bits per second as the session's caps give it
// (ten bits a byte on the line), kDefaultRateBits when it reports none.
uint32_t transferRateBits(const Caps& caps);
// The speed of the link to `player` as this machine sees it.
uint32_t transferRateBits(NetLayer& layer, uint32_t player);
// Microseconds between two messages of `bytes` at `rateBits`.
uint64_t pacingMicros(size_t bytes, uint32_t rateBits);
// Waits while the session has many frames still to send (or until `stop`),
// so that a bulk sender never fills the queue the game's own answers use.
void waitForRoomToSend(NetLayer& layer, const std::atomic<bool>& stop);

// The path IMAGENAME carries: the picture's path when it fits the field
// (127 characters), otherwise only its file name (all the receiver uses),
// itself shortened at the front of its stem if still too long.
std::string imageNamePath(const std::string& path);
// The size the host announces: the file's length, 0 when it cannot be
// opened or is over the limit.
uint32_t announcedPictureSize(const std::string& path);
// A file name safe to propose in the player's folder: the last component
// of the host's path (either separator), with control characters replaced;
// a name that is empty, holds "..", starts with a dot or has no picture
// extension becomes "download" with the extension (".jpg" without one).
std::string safePictureName(std::string_view hostPath);

// The download question for a picture of `size` bytes over a link of
// `rateBits` (0: no estimate).
std::string downloadQuestion(uint32_t size, uint32_t rateBits);

// ---- the download dialog's lines ----

// What the download dialog shows; update() says whether the lines changed:
// at the first call, after 2048 more bytes, when the total went down, or at
// the end of the picture.
class DownloadProgressView {
public:
    bool update(uint32_t received, uint32_t size, uint32_t elapsedMs);
    const std::string& receivedLine() const { return received_; }
    const std::string& remainingLine() const { return remaining_; }
    int percent() const { return percent_; }

private:
    std::optional<uint32_t> shown_;
    std::string received_, remaining_;
    int percent_ = 0;
};

// ---- the player's buffer ----

// The picture being received: the bytes and one flag per block.
class PictureAssembly {
public:
    // Takes memory for a picture of `size` bytes; false (nothing taken) for 0
    // or a size over the limit.
    bool reset(uint32_t size);
    void clear();
    // Copies a block in; false (nothing changed) when the index lies outside
    // the picture or the byte count is not that block's. A block already
    // there is copied again but not counted twice.
    bool store(int32_t index, std::span<const uint8_t> data);
    bool has(uint32_t index) const { return index < flags_.size() && flags_[index]; }
    bool complete() const { return receivedBlocks_ == flags_.size() && !flags_.empty(); }
    uint32_t size() const { return size_; }
    uint32_t blockCount() const { return uint32_t(flags_.size()); }
    uint32_t receivedBytes() const { return receivedBytes_; }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    uint32_t size_ = 0;
    std::vector<uint8_t> bytes_;
    std::vector<uint8_t> flags_;
    uint32_t receivedBlocks_ = 0, receivedBytes_ = 0;
};

// ---- host ----

class PictureService {
public:
    explicit PictureService(NetLayer& layer);
    // Ends every sender.
    ~PictureService();
    // Ends every sender and takes no more requests; before the session closes.
    void stop();
    PictureService(const PictureService&) = delete;
    PictureService& operator=(const PictureService&) = delete;

    // The picture of the game being hosted; a loaded copy of an earlier one
    // is let go when no sender uses it.
    void setPicture(const std::string& path);
    // The answer to REQUEST_IMAGENAME.
    GameMessage imageName() const;
    // REQUESTIMAGEBLOCK, FINISHEDRECEIVINGIMAGE and FINISHEDSENDINGIMAGE_ACK
    // addressed to the server player; false for other messages.
    bool handle(const GameMessage& message, uint32_t from);

    // Slots whose thread is still running (streaming or waiting for the
    // receiver's end).
    int activeSenders() const;
    bool pictureLoaded() const;
    uint64_t blocksSent() const { return blocksSent_.load(); }
    // Test aid: paces every sender as if its receiver reported this speed
    // (bits per second; 0: the reported speed).
    void setAssumedRate(uint32_t bitsPerSecond) { assumedRate_ = bitsPerSecond; }

private:
    struct Slot {
        std::thread thread;
        uint32_t player = 0;
        std::atomic<bool> active{false};
        std::atomic<bool> streaming{false};
        Event done{true, false};
    };
    void startSender(uint32_t player);
    void sendOne(uint32_t player, int32_t index);
    void senderThread(int slot, uint32_t player);
    std::shared_ptr<const std::vector<uint8_t>> loadedPicture();
    bool sendBlock(const std::vector<uint8_t>& picture, uint32_t index, uint32_t to);
    bool stillThere(uint32_t player) const;

    NetLayer& layer_;
    mutable std::mutex m_;
    std::string path_;
    std::shared_ptr<const std::vector<uint8_t>> picture_;
    std::array<Slot, kTransferSlots> slots_;
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> blocksSent_{0};
    std::atomic<uint32_t> assumedRate_{0};
};

// ---- player ----

class PictureReceiver {
public:
    enum class Phase { Idle, Requesting, Streaming, Filling, Writing, Done, Failed, Aborted };
    struct Status {
        Phase phase = Phase::Idle;
        uint32_t received = 0, size = 0;
        uint32_t elapsedMs = 0;
        std::string error;  // Failed: what to show
    };

    explicit PictureReceiver(NetLayer& layer);
    // Aborts a download under way.
    ~PictureReceiver();
    PictureReceiver(const PictureReceiver&) = delete;
    PictureReceiver& operator=(const PictureReceiver&) = delete;

    // Called for every block that arrived, from the dispatching thread.
    void setProgressHook(std::function<void()> hook);
    // Starts the receive thread for a picture of `size` bytes saved at
    // `path` (an earlier download is aborted first). False when the size is
    // 0 or over the limit.
    bool start(const std::string& path, uint32_t size);
    // Ends the receive thread, frees the buffers; nothing is left on disk.
    void abort();
    // IMAGEBLOCK, FINISHEDSENDINGIMAGE and FINISHEDRECEIVINGIMAGE_ACK
    // addressed to this player; false for other messages.
    bool handle(const GameMessage& message, uint32_t from);

    Status status() const;
    bool finished() const;
    // Blocks that were refused (outside the picture, wrong size, none expected).
    uint64_t refusedBlocks() const { return refused_.load(); }
    uint64_t requestsSent() const { return requests_.load(); }

private:
    void run(std::string path, uint64_t generation);
    bool waitUntil(const std::function<bool()>& done, uint32_t ms, uint64_t generation);
    void end(Phase phase, std::string error = {});

    NetLayer& layer_;
    mutable std::mutex m_;
    std::condition_variable cv_;
    PictureAssembly picture_;
    Phase phase_ = Phase::Idle;
    std::string error_;
    bool finishedSending_ = false;
    uint32_t host_ = kServerPlayer;
    uint32_t startMs_ = 0, endMs_ = 0;
    uint64_t generation_ = 0;  // a new start or an abort ends older threads
    std::thread thread_;
    std::function<void()> hook_;
    std::atomic<uint64_t> refused_{0}, requests_{0};
};

// ---- the offer on a joining player ----

// What the front end supplies to the offer: the progress dialog, which
// shows the receiver until it has finished and calls abort() on "Abort".
using DownloadDialogRunner = std::function<void(PictureReceiver&)>;

// OfferDownload: asks whether to download the host's picture (`hostPath`,
// `size` from IMAGENAME), then publishes PlayerState 6, proposes a safe
// name in the data folder's downloads folder with the save dialog, receives
// the picture, checks it as a picture and adds it to the data folder's
// Downloads library (made when missing). The saved path when the picture
// arrived; nothing when the player declined, cancelled or aborted, or the
// transfer failed (the failure's message shown).
std::optional<std::string> offerDownload(Platform& platform, NetLayer& layer, PictureReceiver& receiver,
                                         const std::string& hostPath, uint32_t size, const std::string& dataFolder,
                                         const DownloadDialogRunner& runDialog);

}  // namespace pavalo::net
