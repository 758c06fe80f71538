// A control on a page: created through its creation function and given a
// fake site that shows `page`.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "control/sso_login_ctrl.h"
#include "platform/com/com_ptr.h"
#include "platform/com/module_lock.h"
#include "tests/control/fake_site.h"

namespace corvo::test {

inline ComPtr<ISSOLoginCtrl> NewControl() {
    ComPtr<ISSOLoginCtrl> ctrl;
    EXPECT_EQ(CSSOLoginCtrl::CreateInstance(nullptr, IID_ISSOLoginCtrl, ctrl.OutVoid()), S_OK);
    return ctrl;
}

template <class T>
ComPtr<T> Query(IUnknown* object, REFIID iid) {
    ComPtr<T> out;
    EXPECT_EQ(object->QueryInterface(iid, out.OutVoid()), S_OK);
    return out;
}

struct HostedControl {
    explicit HostedControl(std::u16string page, DWORD zone = 3) {
        FakeSiteConfig config;
        config.address = std::move(page);
        config.zone = zone;
        site = FakeSite::Create(std::move(config));
        ctrl = NewControl();
        Query<IObjectWithSite>(ctrl.Get(), IID_IObjectWithSite)->SetSite(site->Unknown());
    }
    ComPtr<FakeSite> site;
    ComPtr<ISSOLoginCtrl> ctrl;
};

// Every test checks that the objects it made are gone at its end.
class ControlTest : public ::testing::Test {
  protected:
    void SetUp() override { locks_ = com::ModuleLock::Count(); }
    void TearDown() override { EXPECT_EQ(com::ModuleLock::Count(), locks_) << "leaked object"; }

  private:
    LONG locks_ = 0;
};

}  // namespace corvo::test
