#include "platform/com_apartment.h"

namespace corvo::platform {

ComApartment::ComApartment() : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}

ComApartment::~ComApartment() {
    if (SUCCEEDED(result_)) ::CoUninitialize();
}

}  // namespace corvo::platform
