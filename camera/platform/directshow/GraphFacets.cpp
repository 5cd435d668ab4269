#include "camera/platform/directshow/GraphFacets.h"

#include <optional>

#include "camera/platform/directshow/ComObject.h"
#include "camera/platform/directshow/Identifiers.h"
#include "camera/platform/directshow/Utf8.h"

namespace varnholt::platform::directshow {
namespace {

// An object given to the system: none stays none (the system answers for
// it), one that is not ours cannot be handed over.
template <class Com, class Ours>
std::optional<ComPtr<Com>> Given(const std::shared_ptr<Ours>& object, REFIID iid) {
  if (!object)
    return ComPtr<Com>();
  ComPtr<Com> com = ComAs<Com>(object, iid);
  if (!com)
    return std::nullopt;
  return com;
}

// An optional GUID argument.
struct OptionalGuid {
  explicit OptionalGuid(const Guid* guid) : present(guid != nullptr) {
    if (guid)
      value = ToGuid(*guid);
  }
  const GUID* get() const { return present ? &value : nullptr; }
  bool present;
  GUID value{};
};

}  // namespace

HResult GraphFacet::AddFilter(const std::shared_ptr<IBaseFilter>& filter, const std::string& name) {
  const auto given = Given<::IBaseFilter>(filter, IID_IBaseFilter);
  if (!given)
    return hr::InvalidArg;
  const std::wstring wideName = ToUtf16(name);
  return com->AddFilter(given->get(), wideName.c_str());
}

HResult GraphFacet::RemoveFilter(const std::shared_ptr<IBaseFilter>& filter) {
  const auto given = Given<::IBaseFilter>(filter, IID_IBaseFilter);
  if (!given)
    return hr::InvalidArg;
  return com->RemoveFilter(given->get());
}

HResult MediaControlFacet::Run() {
  return com->Run();
}

HResult MediaControlFacet::Pause() {
  return com->Pause();
}

HResult MediaControlFacet::Stop() {
  return com->Stop();
}

HResult MediaControlFacet::StopWhenReady() {
  return com->StopWhenReady();
}

HResult MediaControlFacet::GetState(std::int32_t timeoutMs, std::int32_t& state) {
  OAFilterState current = -1;
  const HRESULT code = com->GetState(timeoutMs, &current);
  state = current;
  return code;
}

HResult MediaEventFacet::WaitForCompletion(std::int32_t timeoutMs, std::int32_t& eventCode) {
  LONG code = 0;
  const HRESULT result = com->WaitForCompletion(timeoutMs, &code);
  eventCode = code;
  return result;
}

HResult CaptureGraphBuilderFacet::SetFiltergraph(const std::shared_ptr<IGraphBuilder>& graph) {
  const auto given = Given<::IGraphBuilder>(graph, IID_IGraphBuilder);
  if (!given)
    return hr::InvalidArg;
  return com->SetFiltergraph(given->get());
}

HResult CaptureGraphBuilderFacet::RenderStream(const Guid* category, const Guid* type,
                                               const std::shared_ptr<Unknown>& source,
                                               const std::shared_ptr<IBaseFilter>& intermediate,
                                               const std::shared_ptr<IBaseFilter>& sink) {
  const auto from = Given<::IUnknown>(source, IID_IUnknown);
  const auto through = Given<::IBaseFilter>(intermediate, IID_IBaseFilter);
  const auto to = Given<::IBaseFilter>(sink, IID_IBaseFilter);
  if (!from || !through || !to)
    return hr::InvalidArg;
  const OptionalGuid systemCategory(category), systemType(type);
  return com->RenderStream(systemCategory.get(), systemType.get(), from->get(), through->get(),
                           to->get());
}

HResult CaptureGraphBuilderFacet::SetOutputFileName(const Guid& type, const std::string& fileName,
                                                    std::shared_ptr<IBaseFilter>& multiplexer,
                                                    std::shared_ptr<IFileSinkFilter>& sink) {
  multiplexer.reset();
  sink.reset();
  const GUID systemType = ToGuid(type);
  const std::wstring wideName = ToUtf16(fileName);
  ComPtr<::IBaseFilter> mux;
  ComPtr<::IFileSinkFilter> writer;
  const HRESULT code =
      com->SetOutputFileName(&systemType, wideName.c_str(), mux.Receive(), writer.Receive());
  if (FAILED(code))
    return code;
  if (mux)
    multiplexer = Wrap<IBaseFilter>(mux.get());
  if (writer)
    sink = Wrap<IFileSinkFilter>(writer.get());
  return code;
}

HResult CaptureGraphBuilderFacet::FindInterface(const Guid* category, const Guid* type,
                                                const std::shared_ptr<IBaseFilter>& filter, Iid iid,
                                                std::shared_ptr<Unknown>& found) {
  found.reset();
  const IID* systemIid = ComIid(iid);
  if (!systemIid)
    return hr::NoInterface;
  const auto given = Given<::IBaseFilter>(filter, IID_IBaseFilter);
  if (!given)
    return hr::InvalidArg;
  const OptionalGuid systemCategory(category), systemType(type);
  ComPtr<::IUnknown> object;
  const HRESULT code = com->FindInterface(systemCategory.get(), systemType.get(), given->get(),
                                          *systemIid, object.ReceiveVoid());
  if (SUCCEEDED(code) && object)
    found = WrapObject(object.get());
  return code;
}

}  // namespace varnholt::platform::directshow
