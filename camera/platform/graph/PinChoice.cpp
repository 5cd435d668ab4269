#include "camera/platform/graph/PinChoice.h"

#include <array>

namespace varnholt::platform::graph {

PinChoice ChoosePins(const std::vector<SourcePin>& pins, const Guid* category) {
  PinChoice choice;
  for (const auto& p : pins)
    if (!category || p.category == *category)
      choice.pins.push_back(p);
  if (choice.pins.empty() && category && *category == guids::PinCategoryPreview) {
    for (const auto& p : pins)
      if (p.category == guids::PinCategoryCapture)
        choice.pins.push_back(p);
    choice.throughTee = !choice.pins.empty();
  }
  return choice;
}

std::vector<SourcePin> OutputPinsOf(IBaseFilter& filter) {
  std::vector<SourcePin> found;
  std::shared_ptr<IEnumPins> pins;
  if (filter.EnumPins(pins) != hr::Ok || !pins)
    return found;
  std::shared_ptr<IPin> pin;
  while (pins->Next(pin) == hr::Ok && pin) {
    PinDirection direction{};
    if (pin->QueryDirection(direction) != hr::Ok || direction != PinDirection::Output)
      continue;
    const auto properties = Query<IKsPropertySet>(pin);
    std::array<std::uint8_t, 16> bytes{};
    std::uint32_t returned = 0;
    if (properties && properties->Get(guids::AmPropSetIdPin, 0, {}, bytes, returned) == hr::Ok &&
        returned == bytes.size())
      found.push_back({pin, Guid::FromBytes(bytes.data())});
  }
  return found;
}

bool OffersMajorType(IPin& pin, const Guid* majorType) {
  if (!majorType)
    return true;
  std::shared_ptr<IEnumMediaTypes> types;
  if (pin.EnumMediaTypes(types) != hr::Ok || !types)
    return false;
  std::unique_ptr<AmMediaType> type;
  while (types->Next(type) == hr::Ok && type)
    if (type->majortype == *majorType)
      return true;
  return false;
}

}  // namespace varnholt::platform::graph
