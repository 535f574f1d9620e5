// Movie writing through libavformat/libavcodec: one video stream converted
// from 24-bit rows by swscale and, when asked, one MP2 sound stream.
#include "media/movie_encoder.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

namespace pavalo {

namespace {
constexpr int32_t kSampleRate = 44100;

std::string lowerExtension(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}
}  // namespace

struct MovieEncoder::State {
    MovieEncodeOptions options;
    AVFormatContext* format = nullptr;
    AVCodecContext* video = nullptr;
    AVCodecContext* audio = nullptr;
    AVStream* videoStream = nullptr;
    AVStream* audioStream = nullptr;
    AVFrame* picture = nullptr;
    AVFrame* samples = nullptr;
    AVPacket* packet = nullptr;
    SwsContext* scaler = nullptr;
    int64_t frameIndex = 0;
    int64_t sampleIndex = 0;     // next sample the callback gives
    int64_t audioPts = 0;        // samples handed to the encoder
    std::vector<int16_t> pending;
    bool headerWritten = false;

    ~State() {
        sws_freeContext(scaler);
        av_packet_free(&packet);
        av_frame_free(&picture);
        av_frame_free(&samples);
        avcodec_free_context(&video);
        avcodec_free_context(&audio);
        if (format) {
            if (format->pb && !(format->oformat->flags & AVFMT_NOFILE)) avio_closep(&format->pb);
            avformat_free_context(format);
        }
    }

    bool drain(AVCodecContext* codec, AVStream* stream) {
        for (;;) {
            int r = avcodec_receive_packet(codec, packet);
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
            if (r < 0) return false;
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            if (av_interleaved_write_frame(format, packet) < 0) return false;
        }
    }

    bool sendAudio(bool flush) {
        const int frameSize = audio->frame_size > 0 ? audio->frame_size : 1152;
        while (int(pending.size()) >= frameSize || (flush && !pending.empty())) {
            if (int(pending.size()) < frameSize) pending.resize(size_t(frameSize), 0);
            if (av_frame_make_writable(samples) < 0) return false;
            std::copy_n(pending.begin(), frameSize, reinterpret_cast<int16_t*>(samples->data[0]));
            pending.erase(pending.begin(), pending.begin() + frameSize);
            samples->pts = audioPts;
            audioPts += frameSize;
            if (avcodec_send_frame(audio, samples) < 0 || !drain(audio, audioStream)) return false;
        }
        return true;
    }
};

MovieEncoder::MovieEncoder() = default;
MovieEncoder::~MovieEncoder() = default;

bool MovieEncoder::open(const std::string& path, const MovieEncodeOptions& options, std::string* error) {
    auto fail = [&](const char* why) {
        if (error) *error = why;
        s_.reset();
        return false;
    };
    // The program-stream muxer reports its buffer model on every large frame.
    av_log_set_level(AV_LOG_FATAL);
    s_ = std::make_unique<State>();
    State& s = *s_;
    s.options = options;
    if (options.width < 2 || options.height < 2 || options.width % 2 || options.height % 2 ||
        options.framesPerSecond < 1)
        return fail("bad movie size or frame rate");

    const std::string ext = lowerExtension(path);
    const bool avi = ext == ".avi";
    const char* container = avi ? "avi" : "mpeg";
    if (!avi && ext != ".mpg" && ext != ".mpeg") return fail("only .avi, .mpg and .mpeg movies are written");
    if (avformat_alloc_output_context2(&s.format, nullptr, container, path.c_str()) < 0 || !s.format)
        return fail("no output container");

    const AVCodec* videoCodec = avcodec_find_encoder(avi ? AV_CODEC_ID_MJPEG : AV_CODEC_ID_MPEG1VIDEO);
    if (!videoCodec) return fail("no video encoder");
    s.video = avcodec_alloc_context3(videoCodec);
    s.video->width = options.width;
    s.video->height = options.height;
    s.video->time_base = AVRational{1, options.framesPerSecond};
    s.video->framerate = AVRational{options.framesPerSecond, 1};
    s.video->pix_fmt = avi ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P;
    s.video->gop_size = 12;
    s.video->max_b_frames = avi ? 0 : 2;
    s.video->flags |= AV_CODEC_FLAG_QSCALE;
    s.video->global_quality = FF_QP2LAMBDA * std::clamp(options.quality, 2, 31);
    s.video->thread_count = 1;
    if (s.format->oformat->flags & AVFMT_GLOBALHEADER) s.video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(s.video, videoCodec, nullptr) < 0) return fail("the video encoder refused its settings");
    s.videoStream = avformat_new_stream(s.format, nullptr);
    if (!s.videoStream || avcodec_parameters_from_context(s.videoStream->codecpar, s.video) < 0)
        return fail("no video stream");
    s.videoStream->time_base = s.video->time_base;

    if (options.sound) {
        const AVCodec* audioCodec = avcodec_find_encoder(AV_CODEC_ID_MP2);
        if (!audioCodec) return fail("no sound encoder");
        s.audio = avcodec_alloc_context3(audioCodec);
        s.audio->sample_rate = kSampleRate;
        s.audio->sample_fmt = AV_SAMPLE_FMT_S16;
        s.audio->bit_rate = 96000;
        s.audio->time_base = AVRational{1, kSampleRate};
        AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
        av_channel_layout_copy(&s.audio->ch_layout, &mono);
        if (s.format->oformat->flags & AVFMT_GLOBALHEADER) s.audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (avcodec_open2(s.audio, audioCodec, nullptr) < 0) return fail("the sound encoder refused its settings");
        s.audioStream = avformat_new_stream(s.format, nullptr);
        if (!s.audioStream || avcodec_parameters_from_context(s.audioStream->codecpar, s.audio) < 0)
            return fail("no sound stream");
        s.audioStream->time_base = s.audio->time_base;
        s.samples = av_frame_alloc();
        s.samples->format = AV_SAMPLE_FMT_S16;
        s.samples->sample_rate = kSampleRate;
        av_channel_layout_copy(&s.samples->ch_layout, &mono);
        s.samples->nb_samples = s.audio->frame_size > 0 ? s.audio->frame_size : 1152;
        if (av_frame_get_buffer(s.samples, 0) < 0) return fail("out of memory");
    }

    s.picture = av_frame_alloc();
    s.packet = av_packet_alloc();
    s.picture->format = s.video->pix_fmt;
    s.picture->width = options.width;
    s.picture->height = options.height;
    if (!s.picture || !s.packet || av_frame_get_buffer(s.picture, 0) < 0) return fail("out of memory");
    s.scaler = sws_getContext(options.width, options.height, AV_PIX_FMT_BGR24, options.width, options.height,
                              s.video->pix_fmt, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!s.scaler) return fail("no colour converter");

    if (!(s.format->oformat->flags & AVFMT_NOFILE) && avio_open(&s.format->pb, path.c_str(), AVIO_FLAG_WRITE) < 0)
        return fail("cannot create the file");
    if (avformat_write_header(s.format, nullptr) < 0) return fail("cannot write the header");
    s.headerWritten = true;
    return true;
}

bool MovieEncoder::addFrame(const DrawSurface& frame) {
    if (!s_ || !s_->headerWritten) return false;
    State& s = *s_;
    if (frame.depth() != 24 || frame.width() != s.options.width || frame.height() != s.options.height) return false;
    if (av_frame_make_writable(s.picture) < 0) return false;
    const uint8_t* src[1] = {frame.pixels()};
    const int srcPitch[1] = {frame.pitch()};
    sws_scale(s.scaler, src, srcPitch, 0, frame.height(), s.picture->data, s.picture->linesize);
    s.picture->pts = s.frameIndex++;
    if (avcodec_send_frame(s.video, s.picture) < 0 || !s.drain(s.video, s.videoStream)) return false;
    if (s.audio) {
        const int64_t until = s.frameIndex * kSampleRate / s.options.framesPerSecond;
        for (; s.sampleIndex < until; ++s.sampleIndex) s.pending.push_back(s.options.sound(s.sampleIndex));
        if (!s.sendAudio(false)) return false;
    }
    return true;
}

bool MovieEncoder::finish() {
    if (!s_ || !s_->headerWritten) return false;
    State& s = *s_;
    bool ok = avcodec_send_frame(s.video, nullptr) >= 0 && s.drain(s.video, s.videoStream);
    if (s.audio) ok = s.sendAudio(true) && avcodec_send_frame(s.audio, nullptr) >= 0 && s.drain(s.audio, s.audioStream) && ok;
    ok = av_write_trailer(s.format) >= 0 && ok;
    s_.reset();
    return ok;
}

void drawSyntheticMovieFrame(DrawSurface& frame, int32_t index, int32_t frameCount) {
    const int32_t w = frame.width(), h = frame.height();
    if (frame.depth() != 24 || w < 1 || h < 1 || frameCount < 1) return;
    // The background walks round the colour wheel once per movie.
    const double angle = 2.0 * M_PI * double(index % frameCount) / double(frameCount);
    auto channel = [&](double phase) { return uint8_t(128.0 + 100.0 * std::cos(angle + phase)); };
    const uint8_t r = channel(0.0), g = channel(2.0 * M_PI / 3.0), b = channel(4.0 * M_PI / 3.0);
    const int32_t barWidth = std::max(2, w / 8);
    const int32_t barLeft = int32_t(int64_t(w - barWidth) * (index % frameCount) / std::max(1, frameCount - 1));
    for (int32_t y = 0; y < h; ++y) {
        uint8_t* p = frame.row(y);
        for (int32_t x = 0; x < w; ++x, p += 3) {
            const bool bar = x >= barLeft && x < barLeft + barWidth;
            p[0] = bar ? 255 : b;
            p[1] = bar ? 255 : g;
            p[2] = bar ? 255 : r;
        }
    }
}

}  // namespace pavalo
