#include "tests/camera/FakePlatform.h"

#include <algorithm>

namespace varnholt::test {
namespace {

std::string NameOf(const std::shared_ptr<Unknown>& object) {
  auto filter = Query<IBaseFilter>(object);
  if (!filter)
    return "-";
  FilterInfo info;
  filter->QueryFilterInfo(info);
  return info.achName;
}

std::string Short(const Guid* g) {
  if (!g)
    return "any";
  if (*g == guids::PinCategoryPreview)
    return "preview";
  if (*g == guids::PinCategoryCapture)
    return "capture";
  if (*g == guids::MediaTypeVideo)
    return "video";
  if (*g == guids::MediaTypeAudio)
    return "audio";
  if (*g == guids::MediaSubtypeAsf)
    return "asf";
  if (*g == guids::MediaSubtypeAvi)
    return "avi";
  return g->ToString();
}

// Logs its release; every fake object is one.
class Logged {
 public:
  Logged(FakePlatform* platform, std::string name) : platform_(platform), name_(std::move(name)) {}
  virtual ~Logged() { platform_->log.push_back("release " + name_); }

 protected:
  void Log(const std::string& entry) { platform_->log.push_back(entry); }
  FakePlatform* platform_;
  std::string name_;
};

template <class I>
class FakeFamily : public I, public Logged, public std::enable_shared_from_this<FakeFamily<I>> {
 public:
  FakeFamily(FakePlatform* p, std::shared_ptr<FakeDevice> d, std::string tag,
             std::map<std::int32_t, FakeProperty>& props)
      : Logged(p, tag), device_(std::move(d)), tag_(std::move(tag)), props_(props) {}
  std::shared_ptr<void> QueryInterface(Iid iid) override {
    if (iid == I::kIid)
      return InterfaceOf<I>(this->shared_from_this());
    return nullptr;
  }
  HResult GetRange(std::int32_t id, std::int32_t& min, std::int32_t& max, std::int32_t& step,
                   std::int32_t& def, std::int32_t& caps) override {
    Log("range " + tag_ + " " + std::to_string(id));
    auto* p = Find(id);
    if (!p)
      return hr::PropIdUnsupported;
    if (Failed(p->getResult))
      return p->getResult;
    min = p->min, max = p->max, step = p->step, def = p->def, caps = p->caps;
    return hr::Ok;
  }
  HResult Set(std::int32_t id, std::int32_t value, std::int32_t flags) override {
    Log("set " + tag_ + " " + std::to_string(id) + " " + std::to_string(value) + " " +
        std::to_string(flags));
    auto* p = Find(id);
    if (!p)
      return hr::PropIdUnsupported;
    if (Failed(p->getResult))
      return p->getResult;
    if (Failed(p->setResult))
      return p->setResult;
    p->value = value;
    p->flags = flags;
    return hr::Ok;
  }
  HResult Get(std::int32_t id, std::int32_t& value, std::int32_t& flags) override {
    Log("get " + tag_ + " " + std::to_string(id));
    auto* p = Find(id);
    if (!p)
      return hr::PropIdUnsupported;
    if (Failed(p->getResult))
      return p->getResult;
    value = p->value;
    flags = p->flags;
    return hr::Ok;
  }

 private:
  FakeProperty* Find(std::int32_t id) {
    auto it = props_.find(id);
    return it == props_.end() ? nullptr : &it->second;
  }
  std::shared_ptr<FakeDevice> device_;  // keeps props_ alive
  std::string tag_;
  std::map<std::int32_t, FakeProperty>& props_;
};

class FakeBlocks : public IKsPropertySet,
                   public Logged,
                   public std::enable_shared_from_this<FakeBlocks> {
 public:
  FakeBlocks(FakePlatform* p, std::shared_ptr<FakeDevice> d)
      : Logged(p, "KsPropertySet"), device_(std::move(d)) {}
  std::shared_ptr<void> QueryInterface(Iid iid) override {
    if (iid == Iid::KsPropertySet)
      return InterfaceOf<IKsPropertySet>(shared_from_this());
    return nullptr;
  }
  HResult Set(const Guid& set, std::uint32_t, std::span<const std::uint8_t>,
              std::span<const std::uint8_t> data) override {
    std::array<std::uint32_t, 2> words{};
    for (std::size_t i = 0; i < 8 && i < data.size(); ++i)
      words[i / 4] |= static_cast<std::uint32_t>(data[i]) << (8 * (i % 4));
    Log("ksset " + set.ToString() + " " + std::to_string(words[0]) + " " +
        std::to_string(words[1]));
    if (Failed(device_->blockResult))
      return device_->blockResult;
    auto it = device_->blocks.find(set.ToString());
    if (it == device_->blocks.end())
      return hr::PropSetUnsupported;
    it->second = words;
    return hr::Ok;
  }
  HResult Get(const Guid& set, std::uint32_t, std::span<const std::uint8_t>,
              std::span<std::uint8_t> data, std::uint32_t& returned) override {
    Log("ksget " + set.ToString() + " " + std::to_string(data.size()));
    if (Failed(device_->blockResult))
      return device_->blockResult;
    auto it = device_->blocks.find(set.ToString());
    if (it == device_->blocks.end())
      return hr::PropSetUnsupported;
    returned = 8;
    if (data.size() < 8)
      return hr::MoreData;
    for (std::size_t i = 0; i < 8; ++i)
      data[i] = static_cast<std::uint8_t>(it->second[i / 4] >> (8 * (i % 4)));
    return hr::Ok;
  }
  HResult QuerySupported(const Guid&, std::uint32_t, std::uint32_t&) override {
    return hr::NotImpl;
  }

 private:
  std::shared_ptr<FakeDevice> device_;
};

class FakePinCategory : public IKsPropertySet,
                        public std::enable_shared_from_this<FakePinCategory> {
 public:
  explicit FakePinCategory(FakePin pin) : pin_(pin) {}
  std::shared_ptr<void> QueryInterface(Iid iid) override {
    if (iid == Iid::KsPropertySet)
      return InterfaceOf<IKsPropertySet>(shared_from_this());
    return nullptr;
  }
  HResult Set(const Guid&, std::uint32_t, std::span<const std::uint8_t>,
              std::span<const std::uint8_t>) override {
    return hr::NotImpl;
  }
  HResult Get(const Guid& set, std::uint32_t id, std::span<const std::uint8_t>,
              std::span<std::uint8_t> data, std::uint32_t& returned) override {
    if (set != guids::AmPropSetIdPin || id != 0)
      return hr::PropSetUnsupported;
    if (Failed(pin_.categoryResult))
      return pin_.categoryResult;
    const auto bytes = pin_.category->ToBytes();
    returned = pin_.categorySize;
    for (std::size_t i = 0; i < data.size() && i < bytes.size(); ++i)
      data[i] = bytes[i];
    return pin_.categoryResult;
  }
  HResult QuerySupported(const Guid&, std::uint32_t, std::uint32_t&) override {
    return hr::NotImpl;
  }

 private:
  FakePin pin_;
};

class FakeStreamConfig : public IAMStreamConfig,
                         public ISpecifyPropertyPages,
                         public Logged,
                         public std::enable_shared_from_this<FakeStreamConfig> {
 public:
  FakeStreamConfig(FakePlatform* p, std::shared_ptr<FakeDevice> d)
      : Logged(p, "StreamConfig"), device_(std::move(d)) {}
  std::shared_ptr<void> QueryInterface(Iid iid) override {
    if (iid == Iid::AMStreamConfig)
      return InterfaceOf<IAMStreamConfig>(shared_from_this());
    if (iid == Iid::SpecifyPropertyPages)
      return InterfaceOf<ISpecifyPropertyPages>(shared_from_this());
    return nullptr;
  }
  HResult GetFormat(std::unique_ptr<AmMediaType>& mediaType) override {
    if (Failed(device_->formatResult))
      return device_->formatResult;
    if (device_->currentFormat)
      mediaType = std::make_unique<AmMediaType>(*device_->currentFormat);
    return hr::Ok;
  }
  HResult SetFormat(const AmMediaType& mediaType) override {
    const auto info = VideoInfoHeader::FromBytes(mediaType.pbFormat);
    Log("setformat " + std::to_string(info->bmiHeader.biWidth) + "x" +
        std::to_string(info->bmiHeader.biHeight) + " " + std::to_string(info->AvgTimePerFrame) +
        " " + std::to_string(info->bmiHeader.biBitCount) + " " +
        std::string(reinterpret_cast<const char*>(&info->bmiHeader.biCompression), 4));
    if (Failed(device_->formatResult))
      return device_->formatResult;
    device_->currentFormat = mediaType;
    return hr::Ok;
  }
  HResult GetNumberOfCapabilities(std::int32_t&) override { return hr::NotImpl; }
  HResult GetStreamCaps(std::int32_t, std::unique_ptr<AmMediaType>&) override {
    return hr::NotImpl;
  }
  HResult GetPages(std::vector<Guid>& pages) override {
    pages = {guids::PageStreamFormat};
    return hr::Ok;
  }

 private:
  std::shared_ptr<FakeDevice> device_;
};

class FakeEnumMediaTypes : public IEnumMediaTypes,
                           public std::enable_shared_from_this<FakeEnumMediaTypes> {
 public:
  explicit FakeEnumMediaTypes(std::shared_ptr<FakeDevice> d) : d_(std::move(d)) {}
  std::shared_ptr<void> QueryInterface(Iid iid) override {
    if (iid == Iid::EnumMediaTypes)
      return InterfaceOf<IEnumMediaTypes>(shared_from_this());
    return nullptr;
  }
  HResult Next(std::unique_ptr<AmMediaType>& mediaType) override {
    if (next_ >= d_->mediaTypes.size())
      return hr::False;
    mediaType = std::make_unique<AmMediaType>(d_->mediaTypes[next_++]);
    return hr::Ok;
  }

 private:
  std::shared_ptr<FakeDevice> d_;
  std::size_t next_ = 0;
};

class FakePinObject : public IPin,
                      public Logged,
                      public std::enable_shared_from_this<FakePinObject> {
 public:
  FakePinObject(FakePlatform* p, std::shared_ptr<FakeDevice> d, FakePin pin, int index)
      : Logged(p, "pin " + std::to_string(index)), device_(std::move(d)), pin_(pin) {}
  std::shared_ptr<void> QueryInterface(Iid iid) override {
    if (iid == Iid::Pin)
      return InterfaceOf<IPin>(shared_from_this());
    if (iid == Iid::KsPropertySet && pin_.category)
      return InterfaceOf<IKsPropertySet>(std::make_shared<FakePinCategory>(pin_));
    if (iid == Iid::AMStreamConfig)
      return InterfaceOf<IAMStreamConfig>(std::make_shared<FakeStreamConfig>(platform_, device_));
    return nullptr;
  }
  HResult QueryDirection(PinDirection& d) override {
    d = PinDirection::Output;
    return hr::Ok;
  }
  HResult QueryId(std::string& id) override {
    id = name_;
    return hr::Ok;
  }
  HResult EnumMediaTypes(std::shared_ptr<IEnumMediaTypes>& types) override {
    if (Failed(device_->enumResult))
      return device_->enumResult;
    if (!device_->enumWithoutEnumerator)
      types = std::make_shared<FakeEnumMediaTypes>(device_);
    return hr::Ok;
  }

 private:
  std::shared_ptr<FakeDevice> device_;
  FakePin pin_;
};

class FakeEnumPins : public IEnumPins, public std::enable_shared_from_this<FakeEnumPins> {
 public:
  FakeEnumPins(FakePlatform* p, std::shared_ptr<FakeDevice> d) : p_(p), d_(std::move(d)) {}
  std::shared_ptr<void> QueryInterface(Iid iid) override {
    if (iid == Iid::EnumPins)
      return InterfaceOf<IEnumPins>(shared_from_this());
    return nullptr;
  }
  HResult Next(std::shared_ptr<IPin>& pin) override {
    if (next_ >= d_->pins.size())
      return hr::False;
    pin = std::make_shared<FakePinObject>(p_, d_, d_->pins[next_], static_cast<int>(next_));
    ++next_;
    return hr::Ok;
  }

 private:
  FakePlatform* p_;
  std::shared_ptr<FakeDevice> d_;
  std::size_t next_ = 0;
};

class FakeVideoControl : public IAMVideoControl,
                         public Logged,
                         public std::enable_shared_from_this<FakeVideoControl> {
 public:
  explicit FakeVideoControl(FakePlatform* p) : Logged(p, "VideoControl") {}
  std::shared_ptr<void> QueryInterface(Iid iid) override {
    if (iid == Iid::AMVideoControl)
      return InterfaceOf<IAMVideoControl>(shared_from_this());
    return nullptr;
  }
  HResult GetCaps(const std::shared_ptr<IPin>&, std::int32_t&) override { return hr::NotImpl; }
  HResult SetMode(const std::shared_ptr<IPin>&, std::int32_t) override { return hr::NotImpl; }
  HResult GetMode(const std::shared_ptr<IPin>&, std::int32_t&) override { return hr::NotImpl; }
};

// A filter: a device's, or one of the graph's renderers and grabber.
class FakeFilter : public IBaseFilter,
                   public ISpecifyPropertyPages,
                   public Logged,
                   public std::enable_shared_from_this<FakeFilter> {
 public:
  FakeFilter(FakePlatform* p, std::string name, std::shared_ptr<FakeDevice> device)
      : Logged(p, std::move(name)), device_(std::move(device)) {}
  std::shared_ptr<void> QueryInterface(Iid iid) override;
  HResult EnumPins(std::shared_ptr<IEnumPins>& pins) override {
    if (!device_)
      return hr::NotImpl;
    pins = std::make_shared<FakeEnumPins>(platform_, device_);
    return hr::Ok;
  }
  HResult QueryFilterInfo(FilterInfo& info) override {
    info.achName = device_ ? device_->friendlyName.value_or("?") : name_;
    return hr::Ok;
  }
  HResult GetPages(std::vector<Guid>& pages) override {
    pages = device_->pages;
    return hr::Ok;
  }

 private:
  std::shared_ptr<FakeDevice> device_;
};

class FakeSampleGrabber : public ISampleGrabber,
                          public Logged,
                          public std::enable_shared_from_this<FakeSampleGrabber> {
 public:
  explicit FakeSampleGrabber(FakePlatform* p) : Logged(p, "SampleGrabber") {}
  std::shared_ptr<void> QueryInterface(Iid iid) override {
    if (iid == Iid::SampleGrabber)
      return InterfaceOf<ISampleGrabber>(shared_from_this());
    return nullptr;
  }
  HResult SetBufferSamples(bool buffer) override {
    Log("buffersamples " + std::to_string(buffer));
    return hr::Ok;
  }
  HResult SetCallback(const std::shared_ptr<ISampleGrabberCB>& cb, std::int32_t method) override {
    Log(std::string("setcallback ") + (cb ? "object " : "none ") + std::to_string(method));
    return hr::Ok;
  }
  HResult GetConnectedMediaType(AmMediaType& mediaType) override {
    if (!platform_->grabberType)
      return MakeHResult(0x80040209);  // not connected
    mediaType = *platform_->grabberType;
    return hr::Ok;
  }
  HResult GetCurrentBuffer(std::int32_t& size, std::uint8_t* buffer) override {
    if (!platform_->grabberBuffer)
      return MakeHResult(0x80040227);  // wrong state: no sample
    const auto& sample = *platform_->grabberBuffer;
    if (!buffer) {
      size = static_cast<std::int32_t>(sample.size());
      return hr::Ok;
    }
    const std::size_t n = std::min(sample.size(), static_cast<std::size_t>(std::max(size, 0)));
    std::copy_n(sample.begin(), n, buffer);
    size = static_cast<std::int32_t>(n);
    return hr::Ok;
  }
};

class FakeVmrConfig : public IVMRFilterConfig9,
                      public Logged,
                      public std::enable_shared_from_this<FakeVmrConfig> {
 public:
  explicit FakeVmrConfig(FakePlatform* p) : Logged(p, "VMRFilterConfig9") {}
  std::shared_ptr<void> QueryInterface(Iid iid) override {
    if (iid == Iid::VMRFilterConfig9)
      return InterfaceOf<IVMRFilterConfig9>(shared_from_this());
    return nullptr;
  }
  HResult SetRenderingMode(std::uint32_t mode) override {
    Log("renderingmode " + std::to_string(mode));
    return hr::Ok;
  }
};

class FakeVmrControl : public IVMRWindowlessControl9,
                       public Logged,
                       public std::enable_shared_from_this<FakeVmrControl> {
 public:
  explicit FakeVmrControl(FakePlatform* p) : Logged(p, "VMRWindowlessControl9") {}
  std::shared_ptr<void> QueryInterface(Iid iid) override {
    if (iid == Iid::VMRWindowlessControl9)
      return InterfaceOf<IVMRWindowlessControl9>(shared_from_this());
    return nullptr;
  }
  HResult SetVideoClippingWindow(WindowHandle window) override {
    Log(window ? "clippingwindow set" : "clippingwindow none");
    return hr::Ok;
  }
  HResult SetVideoPosition(const Rect32* source, const Rect32* target) override {
    if (source)
      source_ = *source;
    if (target)
      target_ = *target;
    Log("position " + Text(source) + " " + Text(target));
    return hr::Ok;
  }
  HResult GetVideoPosition(Rect32& source, Rect32& target) override {
    source = source_;
    target = target_;
    return hr::Ok;
  }
  HResult SetAspectRatioMode(std::uint32_t mode) override {
    Log("aspectmode " + std::to_string(mode));
    mode_ = mode;
    return hr::Fail;  // a renderer that cannot letterbox must not stop the preview
  }
  HResult GetAspectRatioMode(std::uint32_t& mode) override {
    mode = mode_;
    return hr::Ok;
  }
  HResult SetBorderColor(std::uint32_t color) override {
    Log("bordercolor " + std::to_string(color));
    color_ = color;
    return hr::Fail;
  }
  HResult GetBorderColor(std::uint32_t& color) override {
    color = color_;
    return hr::Ok;
  }
  HResult GetNativeVideoSize(std::int32_t& w, std::int32_t& h, std::int32_t& ax,
                             std::int32_t& ay) override {
    w = 640, h = 480, ax = 4, ay = 3;
    return hr::Ok;
  }
  HResult GetMinIdealVideoSize(std::int32_t& w, std::int32_t& h) override {
    w = 160, h = 120;
    return hr::Ok;
  }
  HResult GetMaxIdealVideoSize(std::int32_t& w, std::int32_t& h) override {
    w = 1920, h = 1080;
    return hr::Ok;
  }
  HResult GetCurrentImage(std::vector<std::uint8_t>& image) override {
    image = platform_->rendererImage;
    return platform_->rendererImageResult;
  }

 private:
  static std::string Text(const Rect32* r) {
    if (!r)
      return "none";
    return "(" + std::to_string(r->left) + "," + std::to_string(r->top) + "," +
           std::to_string(r->right) + "," + std::to_string(r->bottom) + ")";
  }
  Rect32 source_, target_;
  std::uint32_t mode_ = 0, color_ = 0;
};

std::shared_ptr<void> FakeFilter::QueryInterface(Iid iid) {
  if (iid == Iid::BaseFilter)
    return InterfaceOf<IBaseFilter>(shared_from_this());
  if (name_ == "SampleGrabberFilter" && iid == Iid::SampleGrabber)
    return InterfaceOf<ISampleGrabber>(std::make_shared<FakeSampleGrabber>(platform_));
  if (name_ == "VMR9Filter" && iid == Iid::VMRFilterConfig9)
    return InterfaceOf<IVMRFilterConfig9>(std::make_shared<FakeVmrConfig>(platform_));
  if (name_ == "VMR9Filter" && iid == Iid::VMRWindowlessControl9)
    return InterfaceOf<IVMRWindowlessControl9>(std::make_shared<FakeVmrControl>(platform_));
  if (!device_)
    return nullptr;
  if (iid == Iid::SpecifyPropertyPages && device_->hasPages)
    return InterfaceOf<ISpecifyPropertyPages>(shared_from_this());
  if (iid == Iid::AMVideoProcAmp && device_->hasVideoProcAmp)
    return InterfaceOf<IAMVideoProcAmp>(std::make_shared<FakeFamily<IAMVideoProcAmp>>(
        platform_, device_, "VideoProcAmp", device_->videoProcAmp));
  if (iid == Iid::AMCameraControl && device_->hasCameraControl)
    return InterfaceOf<IAMCameraControl>(std::make_shared<FakeFamily<IAMCameraControl>>(
        platform_, device_, "CameraControl", device_->cameraControl));
  if (iid == Iid::KsPropertySet && device_->hasKsPropertySet)
    return InterfaceOf<IKsPropertySet>(std::make_shared<FakeBlocks>(platform_, device_));
  if (iid == Iid::AMVideoControl)
    return InterfaceOf<IAMVideoControl>(std::make_shared<FakeVideoControl>(platform_));
  return nullptr;
}

class FakeBag : public IPropertyBag, public std::enable_shared_from_this<FakeBag> {
 public:
  explicit FakeBag(std::shared_ptr<FakeDevice> d) : d_(std::move(d)) {}
  std::shared_ptr<void> QueryInterface(Iid iid) override {
    if (iid == Iid::PropertyBag)
      return InterfaceOf<IPropertyBag>(shared_from_this());
    return nullptr;
  }
  HResult Read(const std::string& name, PropVariant& value) override {
    const std::optional<std::string>* text = nullptr;
    if (name == "FriendlyName")
      text = &d_->friendlyName;
    if (name == "DevicePath")
      text = &d_->devicePath;
    if (name == "Description")
      text = &d_->description;
    if (text && *text) {
      value = **text;
      return hr::Ok;
    }
    if (name == "WaveInID" && d_->waveInId) {
      value = *d_->waveInId;
      return hr::Ok;
    }
    return hr::InvalidArg;
  }

 private:
  std::shared_ptr<FakeDevice> d_;
};

class FakeMoniker : public IMoniker, public std::enable_shared_from_this<FakeMoniker> {
 public:
  FakeMoniker(FakePlatform* p, std::shared_ptr<FakeDevice> d) : p_(p), d_(std::move(d)) {}
  std::shared_ptr<void> QueryInterface(Iid iid) override {
    if (iid == Iid::Moniker)
      return InterfaceOf<IMoniker>(shared_from_this());
    return nullptr;
  }
  HResult BindToStorage(std::shared_ptr<IPropertyBag>& storage) override {
    if (Failed(d_->bindStorage))
      return d_->bindStorage;
    storage = std::make_shared<FakeBag>(d_);
    return hr::Ok;
  }
  HResult BindToObject(std::shared_ptr<IBaseFilter>& filter) override {
    ++d_->binds;
    if (Failed(d_->bindObject))
      return d_->bindObject;
    filter = std::make_shared<FakeFilter>(p_, "filter " + d_->friendlyName.value_or("?"), d_);
    return hr::Ok;
  }

 private:
  FakePlatform* p_;
  std::shared_ptr<FakeDevice> d_;
};

class FakeEnumMoniker : public IEnumMoniker, public std::enable_shared_from_this<FakeEnumMoniker> {
 public:
  FakeEnumMoniker(FakePlatform* p, std::vector<std::shared_ptr<FakeDevice>> devices)
      : p_(p), devices_(std::move(devices)) {}
  std::shared_ptr<void> QueryInterface(Iid iid) override {
    if (iid == Iid::EnumMoniker)
      return InterfaceOf<IEnumMoniker>(shared_from_this());
    return nullptr;
  }
  HResult Next(std::shared_ptr<IMoniker>& moniker) override {
    if (next_ >= devices_.size())
      return hr::False;
    moniker = std::make_shared<FakeMoniker>(p_, devices_[next_++]);
    return hr::Ok;
  }

 private:
  FakePlatform* p_;
  std::vector<std::shared_ptr<FakeDevice>> devices_;
  std::size_t next_ = 0;
};

class FakeDevEnum : public ICreateDevEnum, public std::enable_shared_from_this<FakeDevEnum> {
 public:
  explicit FakeDevEnum(FakePlatform* p) : p_(p) {}
  std::shared_ptr<void> QueryInterface(Iid iid) override {
    if (iid == Iid::CreateDevEnum)
      return InterfaceOf<ICreateDevEnum>(shared_from_this());
    return nullptr;
  }
  HResult CreateClassEnumerator(DeviceCategory category, std::shared_ptr<IEnumMoniker>& e,
                                std::uint32_t) override {
    ++p_->enumerations;
    const auto& list = category == DeviceCategory::VideoInput        ? p_->video
                       : category == DeviceCategory::AudioInput      ? p_->audio
                       : category == DeviceCategory::VideoCompressor ? p_->videoCompressors
                                                                     : p_->audioCompressors;
    if (list.empty())
      return hr::False;
    e = std::make_shared<FakeEnumMoniker>(p_, list);
    return hr::Ok;
  }

 private:
  FakePlatform* p_;
};

class FakeMediaControl : public IMediaControl,
                         public IMediaEvent,
                         public Logged,
                         public std::enable_shared_from_this<FakeMediaControl> {
 public:
  FakeMediaControl(FakePlatform* p, std::string name) : Logged(p, std::move(name)) {}
  std::shared_ptr<void> QueryInterface(Iid iid) override {
    if (iid == Iid::MediaControl)
      return InterfaceOf<IMediaControl>(shared_from_this());
    if (iid == Iid::MediaEvent)
      return InterfaceOf<IMediaEvent>(shared_from_this());
    return nullptr;
  }
  HResult Run() override { return Note("run"); }
  HResult Pause() override { return Note("pause"); }
  HResult Stop() override { return Note("stop"); }
  HResult StopWhenReady() override { return Note("stopwhenready"); }
  HResult GetState(std::int32_t timeout, std::int32_t& state) override {
    Log("getstate " + std::to_string(timeout));
    state = platform_->graphStateValue;
    return platform_->graphState;
  }
  HResult WaitForCompletion(std::int32_t, std::int32_t&) override { return hr::NotImpl; }

 private:
  HResult Note(const std::string& what) {
    Log(what);
    return hr::Ok;
  }
};

class FakeGraph : public IGraphBuilder,
                  public Logged,
                  public std::enable_shared_from_this<FakeGraph> {
 public:
  explicit FakeGraph(FakePlatform* p) : Logged(p, "GraphBuilder") {}
  std::shared_ptr<void> QueryInterface(Iid iid) override {
    if (iid == Iid::GraphBuilder)
      return InterfaceOf<IGraphBuilder>(shared_from_this());
    if (iid == Iid::MediaControl)
      return InterfaceOf<IMediaControl>(
          std::make_shared<FakeMediaControl>(platform_, "MediaControl"));
    if (iid == Iid::MediaEvent)
      return InterfaceOf<IMediaEvent>(std::make_shared<FakeMediaControl>(platform_, "MediaEvent"));
    return nullptr;
  }
  HResult AddFilter(const std::shared_ptr<IBaseFilter>&, const std::string& name) override {
    Log("addfilter " + name);
    return hr::Ok;
  }
  HResult RemoveFilter(const std::shared_ptr<IBaseFilter>& filter) override {
    Log("removefilter " + NameOf(filter));
    return hr::Ok;
  }
};

class FakeCaptureGraphBuilder : public ICaptureGraphBuilder2,
                                public Logged,
                                public std::enable_shared_from_this<FakeCaptureGraphBuilder> {
 public:
  explicit FakeCaptureGraphBuilder(FakePlatform* p) : Logged(p, "CaptureGraphBuilder2") {}
  std::shared_ptr<void> QueryInterface(Iid iid) override {
    if (iid == Iid::CaptureGraphBuilder2)
      return InterfaceOf<ICaptureGraphBuilder2>(shared_from_this());
    return nullptr;
  }
  HResult SetFiltergraph(const std::shared_ptr<IGraphBuilder>&) override {
    Log("setfiltergraph");
    return hr::Ok;
  }
  HResult RenderStream(const Guid* category, const Guid* type,
                       const std::shared_ptr<Unknown>& source,
                       const std::shared_ptr<IBaseFilter>& intermediate,
                       const std::shared_ptr<IBaseFilter>& sink) override {
    const std::string sinkName = NameOf(sink);
    Log("render " + Short(category) + " " + Short(type) + " " + NameOf(source) + " " +
        NameOf(intermediate) + " " + sinkName);
    auto it = platform_->renderResults.find(sinkName);
    return it == platform_->renderResults.end() ? hr::Ok : it->second;
  }
  HResult SetOutputFileName(const Guid& type, const std::string& fileName,
                            std::shared_ptr<IBaseFilter>& multiplexer,
                            std::shared_ptr<IFileSinkFilter>&) override {
    Log("outputfile " + Short(&type) + " " + fileName);
    if (Succeeded(platform_->outputFileResult) && !platform_->outputFileWithoutMux)
      multiplexer = std::make_shared<FakeFilter>(platform_, "Mux", nullptr);
    return platform_->outputFileResult;
  }
  HResult FindInterface(const Guid* category, const Guid* type,
                        const std::shared_ptr<IBaseFilter>& filter, Iid iid,
                        std::shared_ptr<Unknown>& found) override {
    Log("findinterface " + Short(category) + " " + Short(type) + " " +
        NameOf(std::static_pointer_cast<Unknown>(filter)));
    std::shared_ptr<IEnumPins> pins;
    if (!filter || Failed(filter->EnumPins(pins)))
      return hr::Fail;
    std::shared_ptr<IPin> pin;
    while (pins->Next(pin) == hr::Ok) {
      if (iid != Iid::AMStreamConfig)
        break;
      if (auto config = Query<IAMStreamConfig>(pin)) {
        found = config;
        return hr::Ok;
      }
    }
    return hr::NoInterface;
  }
};

}  // namespace

std::shared_ptr<FakeDevice> FakePlatform::AddCamera(const std::string& name,
                                                    const std::string& path,
                                                    std::optional<std::string> description) {
  auto d = std::make_shared<FakeDevice>();
  d->friendlyName = name;
  d->devicePath = path;
  d->description = std::move(description);
  video.push_back(d);
  return d;
}

HResult FakePlatform::CreateInstance(ClassId classId, std::shared_ptr<Unknown>& object) {
  ++createCalls;
  switch (classId) {
    case ClassId::SystemDeviceEnum:
      if (!hasDeviceEnumerator)
        return hr::ClassNotRegistered;
      object = std::make_shared<FakeDevEnum>(this);
      return hr::Ok;
    default:
      break;
  }
  if (!hasGraph)
    return hr::ClassNotRegistered;
  switch (classId) {
    case ClassId::FilterGraph:
      object = std::make_shared<FakeGraph>(this);
      break;
    case ClassId::CaptureGraphBuilder2:
      object = std::make_shared<FakeCaptureGraphBuilder>(this);
      break;
    case ClassId::SampleGrabber:
      object = std::make_shared<FakeFilter>(this, "SampleGrabberFilter", nullptr);
      break;
    case ClassId::NullRenderer:
      object = std::make_shared<FakeFilter>(this, "NullRenderer", nullptr);
      break;
    case ClassId::VideoMixingRenderer9:
      object = std::make_shared<FakeFilter>(this, "VMR9Filter", nullptr);
      break;
    default:
      return hr::ClassNotRegistered;
  }
  return hr::Ok;
}

HResult FakePlatform::ShowPropertyFrame(WindowHandle owner, int x, int y,
                                        const std::string& caption,
                                        const std::vector<std::shared_ptr<Unknown>>& objects,
                                        const std::vector<Guid>& pages, std::uint32_t locale) {
  std::string kinds;
  for (const auto& object : objects)
    kinds += Query<IAMStreamConfig>(object) ? " streamconfig"
             : Query<IBaseFilter>(object)   ? " filter"
                                            : " other";
  log.push_back("frame " + std::to_string(owner) + " " + std::to_string(x) + " " +
                std::to_string(y) + " '" + caption + "' pages " + std::to_string(pages.size()) +
                kinds + " " + std::to_string(locale));
  return frameResult;
}

AmMediaType VideoType(int width, int height, std::int64_t frameTime, int bits, std::uint32_t fourcc,
                      const Guid& formatType, std::size_t blockSize) {
  AmMediaType type;
  type.majortype = guids::MediaTypeVideo;
  type.subtype = FourCCSubtype(fourcc);
  type.formattype = formatType;
  type.bFixedSizeSamples = fourcc == kFourCCYUY2;
  const std::int64_t pictureBits = std::int64_t{width} * height * bits;
  type.lSampleSize = static_cast<std::uint32_t>(pictureBits / 8);
  VideoInfoHeader info;
  info.rcSource = {0, 0, width, height};
  info.rcTarget = {0, 0, width, height};
  info.dwBitRate = static_cast<std::uint32_t>(pictureBits * 30);
  info.AvgTimePerFrame = frameTime;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biBitCount = static_cast<std::uint16_t>(bits);
  info.bmiHeader.biCompression = fourcc;
  info.bmiHeader.biSizeImage = type.lSampleSize;
  type.pbFormat = info.ToBytes();
  type.pbFormat.resize(blockSize);
  return type;
}

std::vector<std::string> FakePlatform::LogOf(const std::string& prefix) const {
  std::vector<std::string> out;
  for (const auto& e : log)
    if (e.rfind(prefix, 0) == 0)
      out.push_back(e);
  return out;
}

}  // namespace varnholt::test
