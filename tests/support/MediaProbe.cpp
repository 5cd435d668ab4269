#include "tests/support/MediaProbe.h"

#include <cmath>
#include <stdexcept>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace varnholt::test {
namespace {

// Feeds the stream's packets to its decoder and hands each frame to look.
template <class Look>
void Decode(AVFormatContext* ic, int index, const std::vector<AVPacket*>& packets, Look&& look) {
  const AVStream* st = ic->streams[index];
  const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
  if (codec == nullptr)
    throw std::runtime_error(std::string("no decoder for ") +
                             avcodec_get_name(st->codecpar->codec_id));
  AVCodecContext* dec = avcodec_alloc_context3(codec);
  avcodec_parameters_to_context(dec, st->codecpar);
  dec->pkt_timebase = st->time_base;
  avcodec_open2(dec, codec, nullptr);
  AVFrame* frame = av_frame_alloc();
  auto drain = [&] {
    while (avcodec_receive_frame(dec, frame) == 0)
      look(*frame, st->time_base);
  };
  for (AVPacket* p : packets) {
    if (p->stream_index == index) {
      avcodec_send_packet(dec, p);
      drain();
    }
  }
  avcodec_send_packet(dec, nullptr);
  drain();
  av_frame_free(&frame);
  avcodec_free_context(&dec);
}

// The sound's first loud sample and its length.
void Listen(AVFormatContext* ic, int index, const std::vector<AVPacket*>& packets, StreamInfo& s) {
  std::int64_t decodedSamples = 0;
  Decode(ic, index, packets, [&](const AVFrame& frame, AVRational timeBase) {
    const auto format = static_cast<AVSampleFormat>(frame.format);
    const int step = av_sample_fmt_is_planar(format) ? 1 : frame.ch_layout.nb_channels;
    for (int i = 0; i < frame.nb_samples && s.beep < 0; ++i) {
      double v = 0;
      switch (av_get_packed_sample_fmt(format)) {
        case AV_SAMPLE_FMT_S16:
          v = reinterpret_cast<const std::int16_t*>(frame.data[0])[i * step] / 32768.0;
          break;
        case AV_SAMPLE_FMT_FLT:
          v = reinterpret_cast<const float*>(frame.data[0])[i * step];
          break;
        default:
          throw std::runtime_error("unexpected decoded sample layout");
      }
      if (std::abs(v) > 0.2) {
        // The container's time where it has one, else the count of samples.
        const double start = frame.best_effort_timestamp != AV_NOPTS_VALUE
                                 ? frame.best_effort_timestamp * av_q2d(timeBase)
                                 : decodedSamples / double(frame.sample_rate);
        s.beep = start + i / double(frame.sample_rate);
      }
    }
    decodedSamples += frame.nb_samples;
  });
  s.seconds = decodedSamples / double(ic->streams[index]->codecpar->sample_rate);
}

// The first picture whose top-right square is bright.
void Look(AVFormatContext* ic, int index, const std::vector<AVPacket*>& packets, int side,
          StreamInfo& s) {
  Decode(ic, index, packets, [&](const AVFrame& frame, AVRational timeBase) {
    ++s.decoded;
    if (s.mark >= 0)
      return;
    const int x = frame.width - side / 2, y = side / 2;
    // Luma is the first plane, or every other byte of packed 4:2:2.
    const bool packed = frame.format == AV_PIX_FMT_YUYV422;
    const std::uint8_t luma = frame.data[0][y * frame.linesize[0] + (packed ? 2 * x : x)];
    if (luma > 128)
      s.mark = frame.best_effort_timestamp * av_q2d(timeBase);
  });
}

}  // namespace

const StreamInfo& FileInfo::Stream(AVMediaType type) const {
  for (const auto& s : streams)
    if (s.type == type)
      return s;
  throw std::runtime_error(std::string("no ") + av_get_media_type_string(type) + " stream");
}

bool FileInfo::Has(AVMediaType type) const {
  for (const auto& s : streams)
    if (s.type == type)
      return true;
  return false;
}

FileInfo Probe(const std::filesystem::path& path, int markSide) {
  AVFormatContext* ic = nullptr;
  if (avformat_open_input(&ic, path.c_str(), nullptr, nullptr) < 0 ||
      avformat_find_stream_info(ic, nullptr) < 0) {
    avformat_close_input(&ic);
    throw std::runtime_error("cannot read " + path.string());
  }
  FileInfo info{ic->iformat->name, ic->duration / double(AV_TIME_BASE), {}};
  for (unsigned i = 0; i < ic->nb_streams; ++i) {
    const AVCodecParameters* par = ic->streams[i]->codecpar;
    StreamInfo& s = info.streams.emplace_back();
    s.type = par->codec_type;
    s.codec = avcodec_get_name(par->codec_id);
    s.tag = par->codec_tag;
    s.width = par->width;
    s.height = par->height;
    s.sampleRate = par->sample_rate;
    s.channels = par->ch_layout.nb_channels;
  }
  std::vector<AVPacket*> packets;
  for (;;) {
    AVPacket* p = av_packet_alloc();
    if (av_read_frame(ic, p) < 0) {
      av_packet_free(&p);
      break;
    }
    packets.push_back(p);
    StreamInfo& s = info.streams[p->stream_index];
    if (p->size > 0) {
      s.packets.emplace_back(p->data, p->data + p->size);
      s.times.push_back(p->pts * av_q2d(ic->streams[p->stream_index]->time_base));
    }
  }
  for (unsigned i = 0; i < ic->nb_streams; ++i) {
    if (info.streams[i].type == AVMEDIA_TYPE_AUDIO)
      Listen(ic, static_cast<int>(i), packets, info.streams[i]);
    if (info.streams[i].type == AVMEDIA_TYPE_VIDEO && markSide > 0)
      Look(ic, static_cast<int>(i), packets, markSide, info.streams[i]);
  }
  for (AVPacket* p : packets)
    av_packet_free(&p);
  avformat_close_input(&ic);
  return info;
}

}  // namespace varnholt::test
