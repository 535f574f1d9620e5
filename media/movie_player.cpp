// Movie decoding on FFmpeg and the threaded player around it.
#include "media/movie_player.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <optional>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace pavalo {

namespace {

constexpr int32_t kLargestSide = 8192;
// Packets read in a row without a frame coming out before the stream counts
// as broken (a damaged file must not keep the decoder thread busy forever).
constexpr int32_t kPacketsWithoutFrame = 4096;
// A frame this late (in microseconds) moves the clock instead of making the
// movie race to catch up.
constexpr int64_t kResyncLateUs = 500000;

// The decoder's full-range YUV formats have plain twins; the range goes to
// swscale separately (the full-range formats draw a warning every frame).
AVPixelFormat plainFormat(AVPixelFormat format, bool& fullRange) {
    switch (format) {
        case AV_PIX_FMT_YUVJ420P: fullRange = true; return AV_PIX_FMT_YUV420P;
        case AV_PIX_FMT_YUVJ422P: fullRange = true; return AV_PIX_FMT_YUV422P;
        case AV_PIX_FMT_YUVJ444P: fullRange = true; return AV_PIX_FMT_YUV444P;
        case AV_PIX_FMT_YUVJ440P: fullRange = true; return AV_PIX_FMT_YUV440P;
        case AV_PIX_FMT_YUVJ411P: fullRange = true; return AV_PIX_FMT_YUV411P;
        default: return format;
    }
}

// The FFmpeg pixel format whose memory layout equals a surface's at `depth`.
std::optional<AVPixelFormat> surfacePixelFormat(int32_t depth) {
    const std::optional<PixelFormat> format = pixelFormatForDepth(depth);
    if (!format) return std::nullopt;
    switch (format->depth) {
        case 16: return format->redMask == 0x7C00 ? AV_PIX_FMT_RGB555 : AV_PIX_FMT_RGB565;
        case 24: return AV_PIX_FMT_BGR24;
        case 32: return AV_PIX_FMT_BGR0;
        default: return std::nullopt;
    }
}

// Frame into picture: whole rows when both have the same size and format
// (the usual case, and several times quicker than the general copy).
void copyFrame(const DrawSurface& frame, DrawSurface& picture) {
    if (picture.width() == frame.width() && picture.height() == frame.height() && picture.format() == frame.format()) {
        const size_t rowBytes = size_t(frame.width()) * size_t(frame.depth() / 8);
        for (int32_t y = 0; y < frame.height(); ++y) std::memcpy(picture.row(y), frame.row(y), rowBytes);
        return;
    }
    picture.copyBitmap(frame, 0, 0);
}

}  // namespace

const char* movieErrorText(MovieError error) {
    switch (error) {
        case MovieError::None: return "";
        case MovieError::NotFound: return "The movie file could not be found or read.";
        case MovieError::NotAMovie: return "The file is not a movie that can be played.";
        case MovieError::NoVideo: return "The movie has no picture to play.";
        case MovieError::NoDecoder: return "The movie's picture is in a format that cannot be decoded.";
        case MovieError::BadSize: return "The movie's frame size is not usable.";
        case MovieError::BadDepth: return "The movie cannot be shown at this colour depth.";
        case MovieError::NoFrame: return "No frame of the movie could be decoded.";
        case MovieError::NoSurface: return "There is not enough memory for the movie's frames.";
    }
    return "";
}

// ------------------------------------------------------------ MovieDecoder

struct MovieDecoder::State {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    SwsContext* scaler = nullptr;
    int videoIndex = -1;
    AVRational timeBase{1, 1};
    AVPixelFormat target = AV_PIX_FMT_NONE;
    AVPixelFormat scalerSource = AV_PIX_FMT_NONE;
    bool scalerFullRange = false;
    bool byteSeekLoop = false;
    bool draining = false;
    int64_t frameDurationUs = 40000;
    int64_t passBaseUs = 0;       // loop clock at the start of this pass
    int64_t passStartPts = AV_NOPTS_VALUE;
    int64_t lastTimeUs = -1;
    int64_t lastPts = AV_NOPTS_VALUE;
    int64_t framesThisPass = 0;

    // The sound track, while sound is wanted.
    MovieSoundQueue* sound = nullptr;
    int audioIndex = -1;
    AVCodecContext* audio = nullptr;
    AVFrame* audioFrame = nullptr;
    SwrContext* resampler = nullptr;
    // The sound frames the resampler was made for; a damaged stream can
    // change them mid-way, and the resampler is then made again.
    int resamplerFormat = -1, resamplerRate = 0, resamplerChannels = 0;
    AVRational audioTimeBase{1, 1};
    int64_t videoStartUs = 0;     // the video stream's first time: 0 on the loop clock
    int64_t nextAudioUs = -1;     // where the next block without a timestamp goes
    std::vector<int16_t> audioOut;

    ~State() {
        swr_free(&resampler);
        av_frame_free(&audioFrame);
        avcodec_free_context(&audio);
        sws_freeContext(scaler);
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
    }
};

MovieDecoder::MovieDecoder() = default;
MovieDecoder::~MovieDecoder() = default;

bool MovieDecoder::isOpen() const { return s_ != nullptr; }

void MovieDecoder::close() {
    s_.reset();
    info_ = {};
    depth_ = 0;
    ended_ = false;
    loops_ = 0;
}

MovieError MovieDecoder::open(const std::string& path, int32_t depth) {
    close();
    av_log_set_level(AV_LOG_FATAL);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return MovieError::NotFound;
    if (std::filesystem::file_size(path, ec) == 0 || ec) return ec ? MovieError::NotFound : MovieError::NotAMovie;
    const std::optional<AVPixelFormat> target = surfacePixelFormat(depth);
    if (!target) return MovieError::BadDepth;

    auto s = std::make_unique<State>();
    s->target = *target;
    if (avformat_open_input(&s->format, path.c_str(), nullptr, nullptr) < 0) return MovieError::NotAMovie;
    if (avformat_find_stream_info(s->format, nullptr) < 0) return MovieError::NotAMovie;

    const AVCodec* decoder = nullptr;
    const int video = av_find_best_stream(s->format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (video == AVERROR_DECODER_NOT_FOUND) return MovieError::NoDecoder;
    if (video < 0) return MovieError::NoVideo;
    AVStream* stream = s->format->streams[video];
    const AVCodecParameters* params = stream->codecpar;
    if (params->width < 1 || params->height < 1 || params->width > kLargestSide || params->height > kLargestSide)
        return MovieError::BadSize;
    if (!decoder) return MovieError::NoDecoder;
    s->codec = avcodec_alloc_context3(decoder);
    if (!s->codec || avcodec_parameters_to_context(s->codec, params) < 0) return MovieError::NoDecoder;
    s->codec->thread_count = 1;  // the decoder thread is the movie's one core
    if (avcodec_open2(s->codec, decoder, nullptr) < 0) return MovieError::NoDecoder;
    s->frame = av_frame_alloc();
    s->packet = av_packet_alloc();
    if (!s->frame || !s->packet) return MovieError::NoSurface;
    s->videoIndex = video;
    s->timeBase = stream->time_base;
    if (s->timeBase.num <= 0 || s->timeBase.den <= 0) s->timeBase = AVRational{1, 90000};
    // Program and transport streams restart their timestamps freely, and a
    // timestamp seek to 0 can land on the second group of pictures: their
    // loop goes back by byte position.
    s->byteSeekLoop = (s->format->iformat->flags & AVFMT_TS_DISCONT) != 0 &&
                      !(s->format->iformat->flags & AVFMT_NO_BYTE_SEEK);

    MovieInfo info;
    info.width = params->width;
    info.height = params->height;
    const AVRational rate = av_guess_frame_rate(s->format, stream, nullptr);
    const double fps = rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 0.0;
    info.framesPerSecond = fps >= 1.0 && fps <= 240.0 ? fps : 25.0;
    s->frameDurationUs = int64_t(1e6 / info.framesPerSecond);
    if (s->format->duration != AV_NOPTS_VALUE && s->format->duration > 0)
        info.durationSeconds = double(s->format->duration) / AV_TIME_BASE;
    info.container = s->format->iformat->name ? s->format->iformat->name : "";
    info.videoCodec = avcodec_get_name(params->codec_id);
    const int audio = av_find_best_stream(s->format, AVMEDIA_TYPE_AUDIO, -1, video, nullptr, 0);
    if (audio >= 0) {
        info.hasSound = true;
        info.audioCodec = avcodec_get_name(s->format->streams[audio]->codecpar->codec_id);
    }
    // Only the video stream's packets are wanted.
    for (unsigned i = 0; i < s->format->nb_streams; ++i)
        if (int(i) != video) s->format->streams[i]->discard = AVDISCARD_ALL;

    s_ = std::move(s);
    info_ = info;
    depth_ = depth;
    return MovieError::None;
}

bool MovieDecoder::enableSound(MovieSoundQueue* queue) {
    if (!s_ || !queue || !info_.hasSound) return false;
    State& s = *s_;
    const AVCodec* decoder = nullptr;
    const int audio = av_find_best_stream(s.format, AVMEDIA_TYPE_AUDIO, -1, s.videoIndex, &decoder, 0);
    if (audio < 0 || !decoder) return false;
    AVCodecContext* codec = avcodec_alloc_context3(decoder);
    if (!codec || avcodec_parameters_to_context(codec, s.format->streams[audio]->codecpar) < 0 ||
        avcodec_open2(codec, decoder, nullptr) < 0 || !(s.audioFrame = av_frame_alloc())) {
        avcodec_free_context(&codec);
        return false;
    }
    codec->thread_count = 1;
    s.audio = codec;
    s.audioIndex = audio;
    s.audioTimeBase = s.format->streams[audio]->time_base;
    if (s.audioTimeBase.num <= 0 || s.audioTimeBase.den <= 0) s.audioTimeBase = AVRational{1, 90000};
    const AVStream* video = s.format->streams[s.videoIndex];
    s.videoStartUs = video->start_time != AV_NOPTS_VALUE ? av_rescale_q(video->start_time, s.timeBase, AVRational{1, 1000000}) : 0;
    s.format->streams[audio]->discard = AVDISCARD_DEFAULT;
    s.sound = queue;
    return true;
}

void MovieDecoder::drainSound(bool flush) {
    State& s = *s_;
    if (flush) avcodec_send_packet(s.audio, nullptr);
    while (avcodec_receive_frame(s.audio, s.audioFrame) == 0) {
        pushSound();
        av_frame_unref(s.audioFrame);
    }
}

bool MovieDecoder::soundEnabled() const { return s_ && s_->sound; }

void MovieDecoder::pushSound() {
    State& s = *s_;
    const AVFrame* f = s.audioFrame;
    if (!s.sound || f->nb_samples <= 0 || f->sample_rate <= 0 || f->ch_layout.nb_channels <= 0 || !f->extended_data ||
        !f->extended_data[0])
        return;
    if (s.resampler && (f->format != s.resamplerFormat || f->sample_rate != s.resamplerRate ||
                        f->ch_layout.nb_channels != s.resamplerChannels))
        swr_free(&s.resampler);
    if (!s.resampler) {
        AVChannelLayout in{}, out{};
        if (f->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&in, f->ch_layout.nb_channels);
        else if (av_channel_layout_copy(&in, &f->ch_layout) < 0)
            return;
        av_channel_layout_default(&out, s.sound->channels());
        const int r = swr_alloc_set_opts2(&s.resampler, &out, AV_SAMPLE_FMT_S16, s.sound->rate(), &in,
                                          AVSampleFormat(f->format), f->sample_rate, 0, nullptr);
        av_channel_layout_uninit(&in);
        av_channel_layout_uninit(&out);
        if (r < 0 || swr_init(s.resampler) < 0) {
            // A track that cannot be converted is not heard.
            swr_free(&s.resampler);
            s.sound = nullptr;
            return;
        }
        s.resamplerFormat = f->format;
        s.resamplerRate = f->sample_rate;
        s.resamplerChannels = f->ch_layout.nb_channels;
    }
    const int capacity = swr_get_out_samples(s.resampler, f->nb_samples);
    if (capacity <= 0) return;
    s.audioOut.resize(size_t(capacity) * size_t(s.sound->channels()));
    uint8_t* out = reinterpret_cast<uint8_t*>(s.audioOut.data());
    const int frames = swr_convert(s.resampler, &out, capacity, const_cast<const uint8_t**>(f->extended_data), f->nb_samples);
    if (frames <= 0) return;
    int64_t t = s.nextAudioUs >= 0 ? s.nextAudioUs : s.passBaseUs;
    if (f->best_effort_timestamp != AV_NOPTS_VALUE)
        t = s.passBaseUs + av_rescale_q(f->best_effort_timestamp, s.audioTimeBase, AVRational{1, 1000000}) - s.videoStartUs;
    s.sound->push(s.audioOut.data(), frames, t);
    s.nextAudioUs = t + int64_t(frames) * 1000000 / s.sound->rate();
}

bool MovieDecoder::rewind() {
    State& s = *s_;
    int r = -1;
    if (s.byteSeekLoop) r = av_seek_frame(s.format, -1, 0, AVSEEK_FLAG_BYTE);
    if (r < 0) {
        AVStream* stream = s.format->streams[s.videoIndex];
        const int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
        r = av_seek_frame(s.format, s.videoIndex, start, AVSEEK_FLAG_BACKWARD);
    }
    if (r < 0 && !(s.format->iformat->flags & AVFMT_NO_BYTE_SEEK))
        r = av_seek_frame(s.format, -1, 0, AVSEEK_FLAG_BYTE);
    if (r < 0) return false;
    avcodec_flush_buffers(s.codec);
    s.draining = false;
    // The sound decoder gives what it still holds of this pass.
    if (s.sound) drainSound(true);
    // The next pass starts one frame after the last frame of this one.
    s.passBaseUs = s.lastTimeUs + s.frameDurationUs;
    if (s.sound) {
        // The sound goes round with the picture: what runs past the
        // picture's end is dropped and the track starts again with it.
        s.sound->cutFrom(s.passBaseUs);
        avcodec_flush_buffers(s.audio);
        s.nextAudioUs = s.passBaseUs;
    }
    s.passStartPts = AV_NOPTS_VALUE;
    s.lastPts = AV_NOPTS_VALUE;
    s.framesThisPass = 0;
    ++loops_;
    return true;
}

bool MovieDecoder::convert(DrawSurface& frame) {
    State& s = *s_;
    const int32_t w = info_.width, h = info_.height;
    const bool want555 = depth_ == kDepth16555 || (depth_ == 16 && s.target == AV_PIX_FMT_RGB555);
    const int32_t realDepth = depth_ == kDepth16555 ? 16 : depth_;
    if (!frame.hasPixels() || frame.width() != w || frame.height() != h || frame.depth() != realDepth ||
        (realDepth == 16 && frame.is555() != want555)) {
        if (!frame.create(w, h, depth_)) return false;
    }
    bool fullRange = s.frame->color_range == AVCOL_RANGE_JPEG;
    const AVPixelFormat source = plainFormat(AVPixelFormat(s.frame->format), fullRange);
    if (!s.scaler || source != s.scalerSource || fullRange != s.scalerFullRange) {
        sws_freeContext(s.scaler);
        s.scaler = sws_getContext(w, h, source, w, h, s.target, SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (!s.scaler) return false;
        const int* coefficients = sws_getCoefficients(SWS_CS_DEFAULT);
        sws_setColorspaceDetails(s.scaler, coefficients, fullRange ? 1 : 0, coefficients, 1, 0, 1 << 16, 1 << 16);
        s.scalerSource = source;
        s.scalerFullRange = fullRange;
    }
    uint8_t* dst[4] = {frame.row(0), nullptr, nullptr, nullptr};
    const int dstPitch[4] = {frame.pitch(), 0, 0, 0};
    return sws_scale(s.scaler, s.frame->data, s.frame->linesize, 0, h, dst, dstPitch) == h;
}

bool MovieDecoder::next(DrawSurface& frame, int64_t& timeMicroseconds) {
    if (!s_ || ended_) return false;
    State& s = *s_;
    int32_t packetsWithoutFrame = 0;
    for (;;) {
        int r = avcodec_receive_frame(s.codec, s.frame);
        if (r == 0) {
            if (s.frame->width != info_.width || s.frame->height != info_.height) {
                // A frame of another size: the movie ends on its last good frame.
                av_frame_unref(s.frame);
                ended_ = true;
                return false;
            }
            const int64_t pts = s.frame->best_effort_timestamp;
            int64_t t;
            if (pts == AV_NOPTS_VALUE || s.passStartPts == AV_NOPTS_VALUE) {
                t = s.framesThisPass == 0 ? s.passBaseUs : s.lastTimeUs + s.frameDurationUs;
                if (pts != AV_NOPTS_VALUE) s.passStartPts = pts;
            } else {
                t = s.passBaseUs + av_rescale_q(pts - s.passStartPts, s.timeBase, AVRational{1, 1000000});
            }
            // Frames go forward on the clock, whatever the stream says.
            if (s.lastTimeUs >= 0 && t <= s.lastTimeUs) t = s.lastTimeUs + s.frameDurationUs;
            const bool converted = convert(frame);
            av_frame_unref(s.frame);
            if (!converted) {
                ended_ = true;
                return false;
            }
            s.lastTimeUs = t;
            s.lastPts = pts;
            ++s.framesThisPass;
            timeMicroseconds = t;
            return true;
        }
        if (r == AVERROR_EOF || (r < 0 && r != AVERROR(EAGAIN))) {
            // End of this pass: back to the start, unless the pass gave
            // nothing (looping would then spin for ever).
            if (s.framesThisPass == 0 || !rewind()) {
                ended_ = true;
                return false;
            }
            continue;
        }
        // The decoder wants input.
        if (++packetsWithoutFrame > kPacketsWithoutFrame) {
            ended_ = true;
            return false;
        }
        if (s.draining) {
            // Drained without reaching the end: should not happen, but never spin.
            avcodec_send_packet(s.codec, nullptr);
            continue;
        }
        r = av_read_frame(s.format, s.packet);
        if (r < 0) {
            s.draining = true;
            avcodec_send_packet(s.codec, nullptr);
            continue;
        }
        if (s.packet->stream_index == s.videoIndex) {
            // A damaged packet is skipped; the decoder goes on with the next.
            avcodec_send_packet(s.codec, s.packet);
        } else if (s.sound && s.packet->stream_index == s.audioIndex) {
            if (avcodec_send_packet(s.audio, s.packet) >= 0) drainSound(false);
        }
        av_packet_unref(s.packet);
    }
}

bool loadMovieFirstFrame(const std::string& path, DrawSurface& frame) {
    MovieDecoder decoder;
    int64_t time = 0;
    return decoder.open(path, 24) == MovieError::None && decoder.next(frame, time);
}

// ------------------------------------------------------------- MoviePlayer

MovieError MoviePlayer::open(const std::string& path, int32_t depth, bool withSound) {
    close();
    MovieError error = decoder_.open(path, depth);
    if (error != MovieError::None) return error;
    std::string soundError;
    if (withSound && decoder_.info().hasSound && soundOutput_.open(soundError)) {
        // Without an output (or a track that decodes) the movie plays silent.
        sound_ = std::make_unique<MovieSoundQueue>(soundOutput_.rate(), soundOutput_.channels());
        if (!decoder_.enableSound(sound_.get())) {
            soundOutput_.close();
            sound_.reset();
        }
    }
    int64_t time = 0;
    if (!decoder_.next(first_, time)) {
        close();
        return MovieError::NoFrame;
    }
    // With sound the decoder reads further ahead, so the sound (often
    // stored after its pictures) is decoded before it is due.
    const int32_t slots = sound_ ? 2 * kQueuedFrames : kQueuedFrames;
    for (int32_t i = 0; i < slots; ++i) {
        auto slot = std::make_unique<Slot>();
        if (!slot->surface.createLike(first_)) {
            close();
            return MovieError::NoSurface;
        }
        free_.push_back(slot.get());
        slots_.push_back(std::move(slot));
    }
    return MovieError::None;
}

bool MoviePlayer::start(int64_t nowMs) {
    if (!decoder_.isOpen() || thread_.joinable()) return false;
    clockStartMs_ = nowMs;
    paused_ = false;
    stop_ = false;
    thread_ = std::thread([this] { decodeLoop(); });
    if (sound_) {
        sound_->setClock(0, true);
        soundOutput_.attach(sound_.get());
    }
    return true;
}

void MoviePlayer::decodeLoop() {
    for (;;) {
        Slot* slot = nullptr;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || !free_.empty(); });
            if (stop_) return;
            slot = free_.back();
            free_.pop_back();
        }
        // The slot is this thread's alone while it decodes.
        const bool ok = decoder_.next(slot->surface, slot->timeUs);
        std::lock_guard lock(mutex_);
        if (!ok) {
            free_.push_back(slot);
            decoderEnded_ = true;
            return;
        }
        ready_.push_back(slot);
    }
}

bool MoviePlayer::takeFrame(int64_t nowMs, DrawSurface& picture) {
    if (!thread_.joinable() || paused_) return false;
    const int64_t movieUs = (nowMs - clockStartMs_) * 1000;
    Slot* chosen = nullptr;
    {
        std::unique_lock lock(mutex_, std::try_to_lock);
        if (!lock.owns_lock()) return false;
        while (!ready_.empty() && ready_.front()->timeUs <= movieUs) {
            if (chosen) free_.push_back(chosen);
            chosen = ready_.front();
            ready_.pop_front();
        }
    }
    if (!chosen) return false;
    // Far behind (a long stall of the caller): move the clock rather than
    // racing through the frames in between.
    if (movieUs - chosen->timeUs > kResyncLateUs) clockStartMs_ += (movieUs - chosen->timeUs) / 1000;
    // The sound follows the clock the picture keeps.
    if (sound_) sound_->setClock((nowMs - clockStartMs_) * 1000, true);
    copyFrame(chosen->surface, picture);
    {
        std::lock_guard lock(mutex_);
        free_.push_back(chosen);
    }
    wake_.notify_one();
    ++framesShown_;
    return true;
}

void MoviePlayer::pause(int64_t nowMs) {
    if (paused_) return;
    paused_ = true;
    pausedAtMs_ = nowMs;
    if (sound_) sound_->setClock((nowMs - clockStartMs_) * 1000, false);
}

void MoviePlayer::resume(int64_t nowMs) {
    if (!paused_) return;
    paused_ = false;
    clockStartMs_ += nowMs - pausedAtMs_;
    if (sound_) sound_->setClock((nowMs - clockStartMs_) * 1000, true);
}

void MoviePlayer::close() {
    // The mixer lets go of the queue before it goes.
    soundOutput_.close();
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    decoder_.close();
    sound_.reset();
    ready_.clear();
    free_.clear();
    slots_.clear();
    first_.releasePixels();
    decoderEnded_ = false;
    paused_ = false;
    framesShown_ = 0;
    stop_ = false;
}

}  // namespace pavalo
