#include "camera/platform/directshow/vcam/PropertyValues.h"

#include <dshow.h>

#include <map>
#include <mutex>
#include <tuple>

namespace varnholt::vcam {
namespace {

struct Current {
  long value, flags;
};

using Key = std::tuple<std::size_t, Family, long>;

std::mutex& Guard() {
  static std::mutex guard;
  return guard;
}

std::map<Key, Current>& Values() {
  static std::map<Key, Current> values;
  return values;
}

HRESULT Find(std::size_t camera, Family family, long id, const PropertyRow*& row) {
  const CameraRow& c = Cameras()[camera];
  if (!c.hasFamily[static_cast<int>(family)])
    return E_PROP_SET_UNSUPPORTED;
  for (const PropertyRow& p : c.properties)
    if (p.family == family && p.id == id) {
      row = &p;
      return p.unsupported ? E_PROP_ID_UNSUPPORTED : S_OK;
    }
  return E_PROP_ID_UNSUPPORTED;
}

}  // namespace

HRESULT GetPropertyRange(std::size_t camera, Family family, long id, Range& range) {
  const PropertyRow* p = nullptr;
  if (const HRESULT hr = Find(camera, family, id, p); FAILED(hr))
    return hr;
  range = Range{p->min, p->max, p->step, p->defaultValue, p->caps};
  return S_OK;
}

HRESULT GetProperty(std::size_t camera, Family family, long id, long& value, long& flags) {
  const PropertyRow* p = nullptr;
  if (const HRESULT hr = Find(camera, family, id, p); FAILED(hr))
    return hr;
  std::lock_guard lock(Guard());
  const auto it = Values().find({camera, family, id});
  const Current current = it != Values().end() ? it->second : Current{p->value, p->flags};
  value = current.value;
  flags = current.flags;
  return S_OK;
}

HRESULT SetProperty(std::size_t camera, Family family, long id, long value, long flags) {
  const PropertyRow* p = nullptr;
  if (const HRESULT hr = Find(camera, family, id, p); FAILED(hr))
    return hr;
  if ((flags != 1 && flags != 2) || (p->caps & flags) == 0)
    return E_INVALIDARG;
  if (value < p->min || value > p->max)
    return E_INVALIDARG;
  std::lock_guard lock(Guard());
  Values()[{camera, family, id}] = Current{value, flags};
  return S_OK;
}

}  // namespace varnholt::vcam
