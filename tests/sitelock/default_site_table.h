// The allowed-site table with the default (example) host patterns, fixed here
// so that the tests do not depend on how a deployment configures the build.
#pragma once

#include "control/site_lock.h"

namespace corvo::testing {

inline constexpr SiteLockEntry kDefaultSiteTable[CSiteLock::kEntryCount] = {
    {0, u"http", u"*.b2b.corvo.example"},          {0, u"http", u"login.b2b.corvo.example"},
    {0, u"http", u"login-test.b2b.corvo.example"}, {0, u"http", u"login-dev.b2b.corvo.example"},
    {0, u"http", u"*.region2.corvo.example"},      {0, u"http", u"*.shop.corvo.example"},
    {0, u"http", u"*.b2b-corvo.example"},          {0, u"https", u"*.b2b.corvo.example"},
    {0, u"https", u"login.b2b.corvo.example"},     {0, u"https", u"login-test.b2b.corvo.example"},
    {0, u"https", u"login-dev.b2b.corvo.example"}, {0, u"https", u"*.region2.corvo.example"},
    {0, u"https", u"*.shop.corvo.example"},        {0, u"https", u"*.b2b-corvo.example"},
    {0, u"http", u"login.market.example"},         {0, u"https", u"login.market.example"},
    {0, u"http", u"login-daily.market.example"},   {0, u"https", u"login-daily.market.example"},
};

}  // namespace corvo::testing
