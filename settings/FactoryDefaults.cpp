#include "settings/FactoryDefaults.h"

#include <exception>

#include "camera/CameraErrors.h"
#include "camera/FCamera.h"
#include "camera/PropertyKeys.h"

std::vector<TDefaultRefusal> ResetToFactoryDefaults(TFCamera& camera) {
  std::vector<TDefaultRefusal> refusals;
  for (std::size_t key = 0; key < kPropertyKeys.size(); ++key) {
    const TFPropertyKey& property = kPropertyKeys[key];
    try {
      if ((camera.*property.Supported)())
        (camera.*property.SetValue)((camera.*property.Range)().Default);
    } catch (const EOleSysError& e) {
      refusals.push_back({key, QString::fromStdString(e.Message()), e.ErrorCode()});
    } catch (const std::exception& e) {
      refusals.push_back({key, QString::fromStdString(e.what())});
    } catch (...) {
      refusals.push_back({key, QStringLiteral("unknown failure")});
    }
  }
  return refusals;
}
