#include "camera/platform/directshow/MediaTypes.h"

#include <cstring>

#include "camera/platform/directshow/ComObject.h"
#include "camera/platform/directshow/Identifiers.h"

namespace varnholt::platform::directshow {

AmMediaType FromComMediaType(const AM_MEDIA_TYPE& type) {
  AmMediaType out;
  out.majortype = FromGuid(type.majortype);
  out.subtype = FromGuid(type.subtype);
  out.bFixedSizeSamples = type.bFixedSizeSamples != FALSE;
  out.bTemporalCompression = type.bTemporalCompression != FALSE;
  out.lSampleSize = type.lSampleSize;
  out.formattype = FromGuid(type.formattype);
  if (type.pUnk)
    out.pUnk = WrapObject(type.pUnk);
  if (type.pbFormat && type.cbFormat > 0)
    out.pbFormat.assign(type.pbFormat, type.pbFormat + type.cbFormat);
  return out;
}

AM_MEDIA_TYPE BorrowComMediaType(const AmMediaType& type) {
  AM_MEDIA_TYPE out{};
  out.majortype = ToGuid(type.majortype);
  out.subtype = ToGuid(type.subtype);
  out.bFixedSizeSamples = type.bFixedSizeSamples ? TRUE : FALSE;
  out.bTemporalCompression = type.bTemporalCompression ? TRUE : FALSE;
  out.lSampleSize = type.lSampleSize;
  out.formattype = ToGuid(type.formattype);
  out.pUnk = ComOf(type.pUnk);
  out.cbFormat = static_cast<ULONG>(type.pbFormat.size());
  out.pbFormat = type.pbFormat.empty() ? nullptr : const_cast<BYTE*>(type.pbFormat.data());
  return out;
}

AM_MEDIA_TYPE* NewComMediaType(const AmMediaType& type) {
  auto* out = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (!out)
    return nullptr;
  *out = BorrowComMediaType(type);
  if (out->cbFormat > 0) {
    out->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(out->cbFormat));
    if (!out->pbFormat) {
      CoTaskMemFree(out);
      return nullptr;
    }
    std::memcpy(out->pbFormat, type.pbFormat.data(), out->cbFormat);
  }
  if (out->pUnk)
    out->pUnk->AddRef();
  return out;
}

}  // namespace varnholt::platform::directshow
