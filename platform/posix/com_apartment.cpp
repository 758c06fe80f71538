#include "platform/com_apartment.h"

namespace corvo::platform {

ComApartment::ComApartment() : result_(S_OK) {}

ComApartment::~ComApartment() = default;

}  // namespace corvo::platform
