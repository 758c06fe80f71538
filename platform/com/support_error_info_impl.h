// SupportErrorInfoImpl<Interface>: ISupportErrorInfo answering S_OK for the
// object's own automation interface and S_FALSE for every other IID.
#pragma once

#include "platform/com/dispatch_description.h"

namespace corvo::com {

template <class Interface>
class SupportErrorInfoImpl : public ISupportErrorInfo {
  public:
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override {
        return IsEqualIID(riid, *InterfaceTraits<Interface>::description.iid) ? S_OK : S_FALSE;
    }

  protected:
    ~SupportErrorInfoImpl() = default;
};

}  // namespace corvo::com
