#include "camera/platform/virtual/DescriptionParser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <charconv>
#include <cmath>
#include <limits>

#include "camera/platform/graph/GraphErrors.h"
#include "camera/platform/virtual/PropertyNames.h"
#include "camera/platform/virtual/VirtualPlatform.h"

namespace varnholt::platform::virtualcam {
namespace {

constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kUInt32Max = std::numeric_limits<std::uint32_t>::max();

// A name as it appears in a message: quoted, control characters escaped, cut.
std::string Quote(const std::string& text) {
  constexpr std::size_t kMaxShown = 60;
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size() && i < kMaxShown; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == '"' || c == '\\') {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  if (text.size() > kMaxShown)
    out += "...";
  return out + "\"";
}

std::string Key(const char* key) {
  return std::string("\"") + key + "\"";
}

struct DefaultDepth {
  const char* compression;
  std::uint16_t bits;
};
constexpr DefaultDepth kDefaultDepths[] = {
    {"YUY2", 16}, {"UYVY", 16}, {"MJPG", 24}, {"NV12", 12}, {"I420", 12},
};

struct FlagWord {
  const char* name;
  std::int32_t bit;
};
constexpr FlagWord kFlagWords[] = {
    {"auto", kPropertyFlagsAuto},
    {"manual", kPropertyFlagsManual},
};

struct PinCategoryName {
  const char* name;
  PinCategory category;
};
constexpr PinCategoryName kPinCategories[] = {
    {"capture", PinCategory::Capture},
    {"preview", PinCategory::Preview},
    {"still", PinCategory::Still},
};

struct InterfaceKey {
  const char* key;
  bool InterfaceSwitches::*member;
};
constexpr InterfaceKey kInterfaceKeys[] = {
    {"videoProcAmp", &InterfaceSwitches::videoProcAmp},
    {"cameraControl", &InterfaceSwitches::cameraControl},
    {"ksPropertySet", &InterfaceSwitches::ksPropertySet},
    {"videoControl", &InterfaceSwitches::videoControl},
    {"propertyPages", &InterfaceSwitches::propertyPages},
};

class Parser {
 public:
  explicit Parser(std::string source) : source_(std::move(source)) {}

  CameraSetDescription Parse(const QByteArray& json) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
      Fail("", "not valid JSON at offset " + std::to_string(error.offset) + ": " +
                   error.errorString().toStdString());
    if (!doc.isObject())
      Fail("", "the top level must be a JSON object");
    const QJsonObject top = doc.object();

    CameraSetDescription set;
    if (!top.contains("cameras"))
      Fail("", Key("cameras") + " is missing");
    const QJsonArray cameras = Array(top, "", "cameras");
    for (qsizetype i = 0; i < cameras.size(); ++i)
      set.cameras.push_back(ParseCamera(cameras[i], "cameras[" + std::to_string(i) + "]", set));

    const QJsonArray audio = Array(top, "", "audioInputs");
    for (qsizetype i = 0; i < audio.size(); ++i)
      set.audioInputs.push_back(
          ParseAudioInput(audio[i], "audioInputs[" + std::to_string(i) + "]", i));
    set.videoCompressors = Names(top, "videoCompressors");
    set.audioCompressors = Names(top, "audioCompressors");
    if (top.contains("fail"))
      SeamFaults(Object(top["fail"], Key("fail")), Key("fail"), std::string());
    set.faultTexts = std::move(faultTexts_);
    set.faults = std::move(faults_);
    return set;
  }

 private:
  [[noreturn]] void Fail(const std::string& where, const std::string& what) const {
    std::string message = source_ + ": ";
    if (!where.empty())
      message += where + ": ";
    throw VirtualCameraError(message + what);
  }

  static std::string Within(const std::string& where, const std::string& more) {
    return where.empty() ? more : where + ": " + more;
  }

  QJsonObject Object(const QJsonValue& value, const std::string& where) const {
    if (!value.isObject())
      Fail(where, "must be a JSON object");
    return value.toObject();
  }

  // An optional array member; absent gives an empty one.
  QJsonArray Array(const QJsonObject& obj, const std::string& where, const char* key) const {
    if (!obj.contains(key))
      return {};
    if (!obj[key].isArray())
      Fail(where, Key(key) + " must be an array");
    return obj[key].toArray();
  }

  std::int64_t Integer(const QJsonValue& value, const std::string& where, const char* key,
                       std::int64_t lo, std::int64_t hi) const {
    const double d = value.toDouble();
    if (!value.isDouble() || !std::isfinite(d) || d != std::trunc(d))
      Fail(where, Key(key) + " must be an integer");
    if (d < static_cast<double>(lo) || d > static_cast<double>(hi))
      Fail(where, Key(key) + " must be an integer from " + std::to_string(lo) + " to " +
                      std::to_string(hi));
    return static_cast<std::int64_t>(d);
  }

  std::int64_t Integer(const QJsonObject& obj, const std::string& where, const char* key,
                       std::int64_t lo, std::int64_t hi, std::int64_t fallback) const {
    return obj.contains(key) ? Integer(obj[key], where, key, lo, hi) : fallback;
  }

  std::int32_t Int32(const QJsonObject& obj, const std::string& where, const char* key,
                     std::int32_t fallback) const {
    return static_cast<std::int32_t>(Integer(obj, where, key, kInt32Min, kInt32Max, fallback));
  }

  std::int32_t RequiredInt32(const QJsonObject& obj, const std::string& where,
                             const char* key) const {
    if (!obj.contains(key))
      Fail(where, Key(key) + " is missing");
    return static_cast<std::int32_t>(Integer(obj[key], where, key, kInt32Min, kInt32Max));
  }

  bool Bool(const QJsonObject& obj, const std::string& where, const char* key,
            bool fallback) const {
    if (!obj.contains(key))
      return fallback;
    if (!obj[key].isBool())
      Fail(where, Key(key) + " must be true or false");
    return obj[key].toBool();
  }

  std::string String(const QJsonValue& value, const std::string& where,
                     const std::string& what) const {
    if (!value.isString() || value.toString().isEmpty())
      Fail(where, what + " must be a non-empty string");
    return value.toString().toStdString();
  }

  std::string RequiredString(const QJsonObject& obj, const std::string& where,
                             const char* key) const {
    if (!obj.contains(key))
      Fail(where, Key(key) + " is missing");
    return String(obj[key], where, Key(key));
  }

  std::optional<std::string> OptionalString(const QJsonObject& obj, const std::string& where,
                                            const char* key) const {
    if (!obj.contains(key))
      return std::nullopt;
    return String(obj[key], where, Key(key));
  }

  // A result code: a number (signed or the unsigned bit pattern), a string
  // "0x80004005" or "-2147467259", or {"code": ..., "text": "..."}.
  HResult Code(const QJsonValue& value, const std::string& where, const char* key) {
    if (value.isObject()) {
      const QJsonObject obj = value.toObject();
      if (!obj.contains("code"))
        Fail(where, Key(key) + " needs a \"code\"");
      const HResult code = Code(obj["code"], where, key);
      if (const auto text = OptionalString(obj, where, "text"))
        faultTexts_.try_emplace(code, *text);
      return code;
    }
    std::int64_t n = 0;
    if (value.isString()) {
      const std::string text = value.toString().toStdString();
      const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
      const char* first = text.data() + (hex ? 2 : 0);
      const char* last = text.data() + text.size();
      const auto [end, ec] = std::from_chars(first, last, n, hex ? 16 : 10);
      if (ec != std::errc() || end != last || n < kInt32Min || n > kUInt32Max)
        Fail(where, Key(key) + " must be a result code such as \"0x80004005\"");
    } else {
      n = Integer(value, where, key, kInt32Min, kUInt32Max);
    }
    return static_cast<HResult>(static_cast<std::uint32_t>(n));
  }

  template <class Target>
  void Faults(const QJsonObject& obj, const std::string& where,
              std::initializer_list<std::pair<const char*, Fault Target::*>> keys, Target& target) {
    if (!obj.contains("fail"))
      return;
    const QJsonObject fail = Object(obj["fail"], Within(where, Key("fail")));
    for (const auto& [key, member] : keys)
      if (fail.contains(key))
        target.*member = Code(fail[key], where, key);
  }

  // Flags as 1/2 (any integer is kept) or "auto"/"manual".
  std::int32_t Flags(const QJsonObject& obj, const std::string& where, const char* key,
                     std::int32_t fallback) const {
    if (!obj.contains(key))
      return fallback;
    const QJsonValue value = obj[key];
    if (value.isString()) {
      for (const auto& word : kFlagWords)
        if (value.toString() == word.name)
          return word.bit;
      Fail(where, Key(key) + " must be \"auto\", \"manual\" or an integer");
    }
    return static_cast<std::int32_t>(Integer(value, where, key, kInt32Min, kInt32Max));
  }

  // Capability flags as ["auto", "manual"] or an integer.
  std::int32_t Caps(const QJsonObject& obj, const std::string& where) const {
    if (!obj.contains("caps"))
      return kPropertyFlagsManual;
    const QJsonValue value = obj["caps"];
    if (!value.isArray())
      return Int32(obj, where, "caps", 0);
    std::int32_t caps = 0;
    for (const auto& item : value.toArray()) {
      const auto* word = std::find_if(std::begin(kFlagWords), std::end(kFlagWords),
                                      [&](const FlagWord& w) { return item.toString() == w.name; });
      if (!item.isString() || word == std::end(kFlagWords))
        Fail(where, "\"caps\" may only list \"auto\" and \"manual\"");
      caps |= word->bit;
    }
    return caps;
  }

  CameraDescription ParseCamera(const QJsonValue& value, std::string where,
                                const CameraSetDescription& earlier) {
    const QJsonObject obj = Object(value, where);
    CameraDescription camera;
    camera.friendlyName = RequiredString(obj, where, "friendlyName");
    where += " " + Quote(camera.friendlyName);
    camera.devicePath = RequiredString(obj, where, "devicePath");
    for (std::size_t i = 0; i < earlier.cameras.size(); ++i)
      if (earlier.cameras[i].devicePath == camera.devicePath)
        Fail(where, "\"devicePath\" is the same as that of cameras[" + std::to_string(i) + "]");
    camera.description = OptionalString(obj, where, "description");

    for (const PropertyFamilyKind family :
         {PropertyFamilyKind::VideoProcAmp, PropertyFamilyKind::CameraControl}) {
      const QString key = QString::fromUtf8(FamilyKey(family));
      if (obj.contains(key))
        camera.families[static_cast<std::size_t>(family)] = ParseFamily(obj[key], family, where);
    }
    for (const Block block : {Block::Flash, Block::Stabilization}) {
      const QString key = QString::fromUtf8(InfoOf(block).key);
      if (obj.contains(key))
        camera.blocks[static_cast<std::size_t>(block)] =
            ParseBlock(obj[key], Within(where, Quote(key.toStdString())));
    }

    if (obj.contains("pins")) {
      const QJsonArray pins = Array(obj, where, "pins");
      for (qsizetype i = 0; i < pins.size(); ++i)
        camera.pins.push_back(ParsePin(pins[i], Within(where, "pins[" + std::to_string(i) + "]")));
    } else {
      camera.pins.push_back(PinDescription{});
    }
    const QJsonArray formats = Array(obj, where, "formats");
    for (qsizetype i = 0; i < formats.size(); ++i)
      camera.formats.push_back(
          ParseFormat(formats[i], Within(where, "formats[" + std::to_string(i) + "]")));

    if (obj.contains("interfaces")) {
      const std::string at = Within(where, Key("interfaces"));
      const QJsonObject interfaces = Object(obj["interfaces"], at);
      for (const auto& entry : kInterfaceKeys)
        camera.interfaces.*entry.member = Bool(interfaces, at, entry.key, true);
    }
    Faults<CameraDescription>(obj, where,
                              {{"bindFilter", &CameraDescription::failBindFilter},
                               {"bindStorage", &CameraDescription::failBindStorage}},
                              camera);
    if (obj.contains("fail")) {
      const QJsonObject fail = obj["fail"].toObject();
      camera.failBusy = SwitchOrCode(fail, where, "busy", hr::Busy);
      camera.failRenderPreview =
          SwitchOrCode(fail, where, "renderPreview", graph::vfw::CannotConnect);
      SeamFaults(fail, Within(where, Key("fail")), camera.devicePath);
    }
    return camera;
  }

  // The "Interface.Method" keys of a fail object: a code, or {"code",
  // "text"?, "count"?}; the other keys are the named faults above.
  void SeamFaults(const QJsonObject& fail, const std::string& where, const std::string& device) {
    for (auto it = fail.begin(); it != fail.end(); ++it) {
      const std::string point = it.key().toStdString();
      if (point.find('.') == std::string::npos) {
        if (device.empty())
          Fail(where, Quote(point) + " is not an \"Interface.Method\" name");
        continue;
      }
      FaultEntry entry{point, device, Code(it.value(), where, point.c_str()), -1};
      if (it.value().isObject() && it.value().toObject().contains("count"))
        entry.count = static_cast<int>(Integer(
            it.value().toObject()["count"], Within(where, Quote(point)), "count", 1, 1000000000));
      faults_.push_back(std::move(entry));
    }
  }

  // true: the code such a device answers; false: none; else a code.
  Fault SwitchOrCode(const QJsonObject& fail, const std::string& where, const char* key,
                     HResult byDefault) {
    if (!fail.contains(key))
      return std::nullopt;
    if (fail[key].isBool())
      return fail[key].toBool() ? Fault(byDefault) : std::nullopt;
    return Code(fail[key], where, key);
  }

  // A property key: a published name of this family or a numeric id.
  std::int32_t PropertyId(const std::string& key, PropertyFamilyKind family,
                          const std::string& where) const {
    std::int32_t id = 0;
    const auto [end, ec] = std::from_chars(key.data(), key.data() + key.size(), id);
    if (ec == std::errc() && end == key.data() + key.size() && id >= 0)
      return id;
    if (const auto named = PropertyIdByName(family, key))
      return *named;
    if (const auto other = FindPropertyName(key))
      Fail(where, Quote(key) + " is a " + std::string(FamilyKey(other->family)) + " property");
    Fail(where, "unknown property " + Quote(key));
  }

  std::vector<PropertyDescription> ParseFamily(const QJsonValue& value, PropertyFamilyKind family,
                                               const std::string& camera) {
    const std::string where = Within(camera, std::string(FamilyKey(family)));
    const QJsonObject obj = Object(value, where);
    std::vector<PropertyDescription> properties;
    for (auto it = obj.begin(); it != obj.end(); ++it) {
      const std::string key = it.key().toStdString();
      const std::int32_t id = PropertyId(key, family, where);
      for (const auto& earlier : properties)
        if (earlier.id == id)
          Fail(where, Quote(earlier.key) + " and " + Quote(key) + " name the same property");
      properties.push_back(ParseProperty(it.value(), id, key, where + " " + Quote(key)));
    }
    return properties;
  }

  PropertyDescription ParseProperty(const QJsonValue& value, std::int32_t id,
                                    const std::string& key, const std::string& where) {
    const QJsonObject obj = Object(value, where);
    PropertyDescription p;
    p.id = id;
    p.key = key;
    p.unsupported = Bool(obj, where, "unsupported", false);
    if (p.unsupported)
      return p;
    p.min = RequiredInt32(obj, where, "min");
    p.max = RequiredInt32(obj, where, "max");
    p.step = Int32(obj, where, "step", 1);
    p.defaultValue = Int32(obj, where, "default", p.min);
    p.value = Int32(obj, where, "value", p.defaultValue);
    p.flags = Flags(obj, where, "flags", kPropertyFlagsManual);
    p.caps = Caps(obj, where);
    p.setMs = static_cast<std::int32_t>(Integer(obj, where, "setMs", 0, 10000, 0));
    Faults<PropertyDescription>(obj, where,
                                {{"get", &PropertyDescription::failGet},
                                 {"set", &PropertyDescription::failSet},
                                 {"range", &PropertyDescription::failRange}},
                                p);
    return p;
  }

  BlockDescription ParseBlock(const QJsonValue& value, const std::string& where) {
    const QJsonObject obj = Object(value, where);
    BlockDescription block;
    block.words.mode = static_cast<std::uint32_t>(Integer(obj, where, "mode", 0, kUInt32Max, 0));
    const std::int32_t flags = Flags(obj, where, "flags", kPropertyFlagsManual);
    block.words.flags = static_cast<std::uint32_t>(flags);
    Faults<BlockDescription>(
        obj, where, {{"get", &BlockDescription::failGet}, {"set", &BlockDescription::failSet}},
        block);
    return block;
  }

  PinDescription ParsePin(const QJsonValue& value, const std::string& where) const {
    const QJsonObject obj = Object(value, where);
    PinDescription pin;
    const std::string category = RequiredString(obj, where, "category");
    const auto* found =
        std::find_if(std::begin(kPinCategories), std::end(kPinCategories),
                     [&](const PinCategoryName& entry) { return category == entry.name; });
    if (found == std::end(kPinCategories))
      Fail(where, "\"category\" must be \"capture\", \"preview\" or \"still\"");
    pin.category = found->category;
    pin.ksPropertySet = Bool(obj, where, "ksPropertySet", true);
    return pin;
  }

  FormatDescription ParseFormat(const QJsonValue& value, const std::string& where) const {
    constexpr std::int64_t kMaxSide = 16384;
    const QJsonObject obj = Object(value, where);
    FormatDescription format;
    if (!obj.contains("width"))
      Fail(where, Key("width") + " is missing");
    if (!obj.contains("height"))
      Fail(where, Key("height") + " is missing");
    format.width = static_cast<std::int32_t>(Integer(obj["width"], where, "width", 1, kMaxSide));
    format.height = static_cast<std::int32_t>(Integer(obj["height"], where, "height", 1, kMaxSide));

    const std::string compression = RequiredString(obj, where, "compression");
    if (compression.size() != 4 || std::any_of(compression.begin(), compression.end(),
                                               [](char c) { return c < 0x20 || c > 0x7E; }))
      Fail(where, "\"compression\" must be a four-character code such as \"YUY2\"");
    format.fourcc = MakeFourCC(compression[0], compression[1], compression[2], compression[3]);

    std::int64_t bits = 0;
    for (const auto& entry : kDefaultDepths)
      if (compression == entry.compression)
        bits = entry.bits;
    if (!obj.contains("bitsPerPixel") && bits == 0)
      Fail(where, Key("bitsPerPixel") + " is missing");
    format.bitsPerPixel =
        static_cast<std::uint16_t>(Integer(obj, where, "bitsPerPixel", 1, 64, bits));

    constexpr std::int64_t kMaxFrameTime = 1'000'000'000;  // 100 s
    if (obj.contains("frameTime")) {
      format.frameTime = Integer(obj["frameTime"], where, "frameTime", 1, kMaxFrameTime);
    } else {
      const double fps = obj.contains("fps") ? obj["fps"].toDouble() : 30.0;
      if (!(fps >= 0.1 && fps <= 1000.0))
        Fail(where, "\"fps\" must be a number from 0.1 to 1000");
      format.frameTime = std::llround(1e7 / fps);
    }

    const QString type = obj.contains("formatType") ? obj["formatType"].toString() : "VideoInfo";
    if (type == "VideoInfo")
      format.type = FormatType::VideoInfo;
    else if (type == "VideoInfo2")
      format.type = FormatType::VideoInfo2;
    else
      Fail(where, "\"formatType\" must be \"VideoInfo\" or \"VideoInfo2\"");
    return format;
  }

  AudioInputDescription ParseAudioInput(const QJsonValue& value, std::string where,
                                        qsizetype index) const {
    const QJsonObject obj = Object(value, where);
    AudioInputDescription input;
    input.friendlyName = RequiredString(obj, where, "friendlyName");
    where += " " + Quote(input.friendlyName);
    input.description = OptionalString(obj, where, "description");
    input.waveInId = Int32(obj, where, "waveInId", static_cast<std::int32_t>(index));
    return input;
  }

  std::vector<std::string> Names(const QJsonObject& top, const char* key) const {
    std::vector<std::string> names;
    const QJsonArray array = Array(top, "", key);
    for (qsizetype i = 0; i < array.size(); ++i)
      names.push_back(String(array[i], std::string(key) + "[" + std::to_string(i) + "]", "it"));
    return names;
  }

  std::string source_;
  std::map<HResult, std::string> faultTexts_;
  std::vector<FaultEntry> faults_;
};

}  // namespace

CameraSetDescription ParseCameraSet(const QByteArray& json, const QString& sourceName) {
  Parser parser(sourceName.isEmpty() ? std::string("camera descriptions")
                                     : sourceName.toStdString());
  return parser.Parse(json);
}

}  // namespace varnholt::platform::virtualcam
