#include "camera/platform/graph/FileMux.h"
#include "camera/platform/FaultProbe.h"

#ifdef _WIN32
#include <filesystem>
#include <system_error>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <optional>
#include <vector>

#include "camera/platform/graph/FilterParts.h"
#include "camera/platform/graph/GraphErrors.h"
#include "camera/platform/graph/StreamInterfaces.h"
#include "camera/platform/graph/VideoFormat.h"
#include "camera/platform/kit/ListEnumerator.h"
#include "camera/platform/kit/SingleInterface.h"
#include "media/MediaModule.h"

namespace varnholt::platform::graph {
namespace {

HResult CodeOfErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
      return hr::PathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return hr::AccessDenied;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
      return hr::DiskFull;
    default:
      return hr::WriteFault;
  }
}

// Whether a file can be made at path, found out without making one, so that
// a graph whose build fails further on leaves nothing behind.
#ifdef _WIN32
HResult CheckWritable(const std::string& path) {
  namespace fs = std::filesystem;
  const fs::path target(std::u8string(path.begin(), path.end()));
  std::error_code error;
  const fs::file_status status = fs::status(target, error);
  if (fs::exists(status)) {
    if (fs::is_directory(status))
      return hr::AccessDenied;
    // A read-only file shows as one without write permission.
    return (status.permissions() & fs::perms::owner_write) != fs::perms::none ? hr::Ok
                                                                              : hr::AccessDenied;
  }
  if (error && error != std::errc::no_such_file_or_directory)
    return CodeOfErrno(error.default_error_condition().value());
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  const fs::file_status folderStatus = fs::status(folder, error);
  if (!fs::exists(folderStatus))
    return hr::PathNotFound;
  return fs::is_directory(folderStatus) ? hr::Ok : hr::PathNotFound;
}
#else
HResult CheckWritable(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode))
      return hr::AccessDenied;
    return ::access(path.c_str(), W_OK) == 0 ? hr::Ok : CodeOfErrno(errno);
  }
  if (errno != ENOENT)
    return CodeOfErrno(errno);
  const auto slash = path.rfind('/');
  const std::string folder =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  if (::stat(folder.c_str(), &st) != 0)
    return CodeOfErrno(errno);
  if (!S_ISDIR(st.st_mode))
    return hr::PathNotFound;
  return ::access(folder.c_str(), W_OK | X_OK) == 0 ? hr::Ok : CodeOfErrno(errno);
}

#endif

// The writer reports in text; a full disk is the failure users can act on.
HResult CodeOfWriteError(const media::MediaError& error) {
  return std::strstr(error.what(), std::strerror(ENOSPC)) != nullptr ? hr::DiskFull
                                                                     : hr::WriteFault;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// The writer and what it was told, shared by the filter and its two
// inputs: a source's thread keeps the input it delivers to alive, so the
// state must outlive the filter.
class MuxCore {
 public:
  MuxCore(media::Container container, std::string path)
      : container_(container), path_(std::move(path)) {}

  const std::string& Path() const { return path_; }

  HResult Connect(bool audio, const AmMediaType& type) {
    std::lock_guard lock(mutex_);
    if (writer_)
      return vfw::WrongState;  // a file keeps the format it began with
    if (audio) {
      const auto wave = WaveFormatEx::FromBytes(type.pbFormat);
      if (type.majortype != guids::MediaTypeAudio || type.subtype != guids::MediaSubtypePcm ||
          !wave || wave->wFormatTag != 1 || wave->wBitsPerSample != 16 || wave->nChannels == 0 ||
          wave->nSamplesPerSec == 0)
        return vfw::TypeNotAccepted;
      audio_ =
          media::AudioInput{static_cast<int>(wave->nSamplesPerSec), wave->nChannels, audioEncoder_};
      return hr::Ok;
    }
    const auto format = VideoFormat::From(type);
    if (!format || format->width <= 0 || format->height <= 0 ||
        (format->fourcc != kFourCCYUY2 && format->fourcc != kFourCCMJPG))
      return vfw::TypeNotAccepted;
    media::VideoInput input;
    input.width = format->width;
    input.height = format->height;
    input.format =
        format->fourcc == kFourCCMJPG ? media::VideoFormat::MJPG : media::VideoFormat::YUY2;
    input.frameInterval =
        format->frameTime > 0 ? static_cast<double>(format->frameTime) / 1e7 : 1.0 / 30;
    input.encoder = videoEncoder_;
    video_ = input;
    return hr::Ok;
  }

  void Disconnect(bool audio) {
    std::lock_guard lock(mutex_);
    if (!writer_) {
      if (audio)
        audio_.reset();
      else
        video_.reset();
    }
  }

  HResult UseEncoder(bool audio, const std::string& encoder) {
    std::lock_guard lock(mutex_);
    if (writer_)
      return vfw::WrongState;
    if (!encoder.empty() && !Contains(EncodersOf(audio), encoder))
      return vfw::TypeNotAccepted;
    (audio ? audioEncoder_ : videoEncoder_) = encoder;
    if (audio && audio_)
      audio_->encoder = encoder;
    if (!audio && video_)
      video_->encoder = encoder;
    return hr::Ok;
  }

  HResult Running(const std::shared_ptr<IStreamEvents>& events) {
    std::lock_guard lock(mutex_);
    events_ = events;
    if (Failed(failure_))
      return failure_;
    if (!video_)
      return vfw::NotConnected;  // a file needs the picture stream
    try {
      if (!writer_) {
        auto writer = media::Media().NewWriter();
        writer->Open(path_, container_, *video_, audio_);
        writer_ = std::move(writer);
      } else if (finished_) {
        writer_->Resume();
        // Stream time begins again at a run after a stop: this run follows
        // the end of what the file holds.
        offset_ = end_;
      }
    } catch (const media::MediaError& error) {
      failure_ = CodeOfWriteError(error);
      return failure_;
    }
    finished_ = false;
    return hr::Ok;
  }

  HResult Stopped() {
    std::lock_guard lock(mutex_);
    if (writer_ && !finished_ && Succeeded(failure_)) {
      try {
        writer_->Finish();
      } catch (const media::MediaError& error) {
        failure_ = CodeOfWriteError(error);
      }
    }
    finished_ = true;
    return failure_;
  }

  // A frame the input could not take ends the file as a failed write does:
  // what it holds is finished, the graph hears of it now, the component at
  // its next stop. A recording that goes on without its frames would end
  // as an empty file that nobody was told of.
  HResult Fail(HResult code) {
    std::lock_guard lock(mutex_);
    if (!writer_ || finished_ || Failed(failure_))
      return code;
    try {
      writer_->Finish();
    } catch (const media::MediaError&) {
      // The failure to report is the input's.
    }
    failure_ = code;
    if (events_)
      events_->Notify(kEventErrorAbort);
    return code;
  }

  HResult Write(bool audio, const IMediaSample& sample, double time) {
    std::lock_guard lock(mutex_);
    if (!writer_ || finished_ || Failed(failure_))
      return hr::Ok;  // not recording: the frame is not for the file
    const double at = time + offset_;
    const auto bytes = sample.Data();
    try {
      if (audio) {
        std::vector<std::int16_t> samples(bytes.size() / 2);
        std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
        writer_->WriteAudio(samples, at);
        end_ = std::max(
            end_, at + static_cast<double>(samples.size()) / audio_->channels / audio_->sampleRate);
      } else {
        writer_->WriteVideo(bytes, at);
        end_ = std::max(end_, at + video_->frameInterval);
      }
    } catch (const media::MediaError& error) {
      if (writer_->IsOpen())
        return hr::Ok;  // one bad frame; the file goes on
      // The writer finished what it had; the graph hears of it now, the
      // component at its next stop.
      failure_ = CodeOfWriteError(error);
      if (events_)
        events_->Notify(kEventErrorAbort);
      return failure_;
    }
    return hr::Ok;
  }

 private:
  // None when recording is not available: no encoder is then accepted.
  std::vector<std::string> EncodersOf(bool audio) const {
    try {
      return audio ? media::Media().AudioEncoders(container_)
                   : media::Media().VideoEncoders(container_);
    } catch (const media::MediaError&) {
      return {};
    }
  }

  std::mutex mutex_;
  const media::Container container_;
  const std::string path_;
  std::optional<media::VideoInput> video_;
  std::optional<media::AudioInput> audio_;
  std::string videoEncoder_, audioEncoder_;
  std::unique_ptr<media::FileWriter> writer_;
  bool finished_ = false;  // finished at a stop; the next run continues it
  HResult failure_ = hr::Ok;
  double offset_ = 0.0;  // file time minus stream time
  double end_ = 0.0;     // file time at the end of what was written
  std::shared_ptr<IStreamEvents> events_;
};

class MuxInput final : public IFrameReceiver, public IEncodingInput {
 public:
  MuxInput(std::shared_ptr<MuxCore> core, bool audio, std::shared_ptr<ConnectionFormat> format)
      : core_(std::move(core)), audio_(audio), format_(std::move(format)) {}

  HResult ReceiveConnection(const AmMediaType& mediaType) override {
    if (const auto fault = ProbeFault("IFrameReceiver.ReceiveConnection"))
      return *fault;
    if (const HResult code = core_->Connect(audio_, mediaType); Failed(code))
      return code;
    format_->Set(mediaType);
    return hr::Ok;
  }
  void BreakConnection() override {
    core_->Disconnect(audio_);
    format_->Clear();
  }
  HResult Receive(const std::shared_ptr<IMediaSample>& sample, double sampleTime) override {
    if (const auto fault = ProbeFault("IFrameReceiver.Receive"))
      return core_->Fail(*fault);
    return sample ? core_->Write(audio_, *sample, sampleTime) : hr::Pointer;
  }
  HResult UseEncoder(const std::string& encoder) override {
    if (const auto fault = ProbeFault("IEncodingInput.UseEncoder"))
      return *fault;
    return core_->UseEncoder(audio_, encoder);
  }

 private:
  const std::shared_ptr<MuxCore> core_;
  const bool audio_;
  const std::shared_ptr<ConnectionFormat> format_;
};

class FileMux final : public IBaseFilter,
                      public IFileSinkFilter,
                      public IGraphMember,
                      public IStreamInputs,
                      public IRunListener,
                      public std::enable_shared_from_this<FileMux> {
 public:
  FileMux(media::Container container, std::string path)
      : core_(std::make_shared<MuxCore>(container, std::move(path))),
        membership_(container == media::Container::Avi ? "AVI Mux" : "ASF Writer") {
    for (const bool audio : {false, true}) {
      auto format = std::make_shared<ConnectionFormat>();
      pins_.push_back(MakeFilterPin(PinDirection::Input, audio ? "Audio" : "Video", format));
      (audio ? audioInput_ : videoInput_) = std::make_shared<MuxInput>(core_, audio, format);
    }
  }

  std::shared_ptr<void> QueryInterface(Iid iid) override {
    return kit::AnswerFor<IBaseFilter, IFileSinkFilter>(iid, shared_from_this());
  }

  HResult EnumPins(std::shared_ptr<IEnumPins>& enumerator) override {
    if (const auto fault = ProbeFault("IBaseFilter.EnumPins"))
      return *fault;
    enumerator = std::make_shared<kit::PinList>(pins_);
    return hr::Ok;
  }
  HResult QueryFilterInfo(FilterInfo& info) override {
    if (const auto fault = ProbeFault("IBaseFilter.QueryFilterInfo"))
      return *fault;
    membership_.Describe(info);
    return hr::Ok;
  }
  HResult JoinFilterGraph(const std::weak_ptr<IGraphBuilder>& graph,
                          const std::string& name) override {
    if (const auto fault = ProbeFault("IGraphMember.JoinFilterGraph"))
      return *fault;
    return membership_.Join(graph, name);
  }

  HResult GetCurFile(std::string& fileName) override {
    if (const auto fault = ProbeFault("IFileSinkFilter.GetCurFile"))
      return *fault;
    fileName = core_->Path();
    return hr::Ok;
  }

  std::shared_ptr<IFrameReceiver> InputFor(const Guid& majorType) override {
    if (majorType == guids::MediaTypeVideo)
      return videoInput_;
    if (majorType == guids::MediaTypeAudio)
      return audioInput_;
    return nullptr;
  }

  HResult Running(const std::shared_ptr<IStreamEvents>& events) override {
    if (const auto fault = ProbeFault("IRunListener.Running"))
      return *fault;
    return core_->Running(events);
  }
  HResult Stopped() override {
    if (const auto fault = ProbeFault("IRunListener.Stopped"))
      return *fault;
    return core_->Stopped();
  }

 private:
  const std::shared_ptr<MuxCore> core_;
  std::vector<std::shared_ptr<IPin>> pins_;
  std::shared_ptr<MuxInput> videoInput_, audioInput_;
  GraphMembership membership_;
};

}  // namespace

HResult MakeFileMux(const Guid& subtype, const std::string& fileName,
                    std::shared_ptr<IBaseFilter>& mux) {
  mux.reset();
  if (fileName.empty() || (subtype != guids::MediaSubtypeAsf && subtype != guids::MediaSubtypeAvi))
    return hr::InvalidArg;
  if (const HResult code = CheckWritable(fileName); Failed(code))
    return code;
  mux = std::make_shared<FileMux>(
      subtype == guids::MediaSubtypeAvi ? media::Container::Avi : media::Container::Asf, fileName);
  return hr::Ok;
}

}  // namespace varnholt::platform::graph
