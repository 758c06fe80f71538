# Build-time configuration shared with deployments (see docs/configuration.md).
# Each part of the system adds its cache variables here.

# --- Site lock: host patterns of the allowed-site table -----------------------
# Nine patterns fill the 18 entries (entries 7-13 repeat 0-6 for https, 15 and
# 17 repeat 14 and 16). "*." patterns allow every proper subdomain; plain hosts
# allow the host and its subdomains. See docs/configuration.md.
set(CORVO_SITELOCK_B2B_SUBDOMAINS "*.b2b.corvo.example" CACHE STRING
    "Site lock entries 0/7: every subdomain of the business-to-business site's main domain")
set(CORVO_SITELOCK_B2B_LOGIN "login.b2b.corvo.example" CACHE STRING
    "Site lock entries 1/8: the business-to-business production login host")
set(CORVO_SITELOCK_B2B_LOGIN_TEST "login-test.b2b.corvo.example" CACHE STRING
    "Site lock entries 2/9: the business-to-business test login host")
set(CORVO_SITELOCK_B2B_LOGIN_DEV "login-dev.b2b.corvo.example" CACHE STRING
    "Site lock entries 3/10: the business-to-business development login host")
set(CORVO_SITELOCK_REGION2_SUBDOMAINS "*.region2.corvo.example" CACHE STRING
    "Site lock entries 4/11: every subdomain of the second regional domain")
set(CORVO_SITELOCK_SHOP_SUBDOMAINS "*.shop.corvo.example" CACHE STRING
    "Site lock entries 5/12: every subdomain of the shop pages' domain")
set(CORVO_SITELOCK_B2B_SLD_SUBDOMAINS "*.b2b-corvo.example" CACHE STRING
    "Site lock entries 6/13: every subdomain of the business-to-business site's own domain")
set(CORVO_SITELOCK_MARKET_LOGIN "login.market.example" CACHE STRING
    "Site lock entries 14/15: the consumer marketplace's production login host")
set(CORVO_SITELOCK_MARKET_LOGIN_DAILY "login-daily.market.example" CACHE STRING
    "Site lock entries 16/17: the consumer marketplace's daily (staging) login host")

# A "*." pattern: "*." and at least one lower-case LDH label. A plain host:
# lower-case LDH labels only. Host names reach the table in lower case (browsers
# and the IDN conversion produce lower case) and the comparison is exact, so an
# upper-case or otherwise unusual pattern could never match: refuse it here.
set(_corvo_label "[a-z0-9]([a-z0-9-]*[a-z0-9])?")
set(_corvo_host "^${_corvo_label}(\\.${_corvo_label})*$")
foreach(_var IN ITEMS CORVO_SITELOCK_B2B_SUBDOMAINS CORVO_SITELOCK_REGION2_SUBDOMAINS
                      CORVO_SITELOCK_SHOP_SUBDOMAINS CORVO_SITELOCK_B2B_SLD_SUBDOMAINS
                      CORVO_SITELOCK_B2B_LOGIN CORVO_SITELOCK_B2B_LOGIN_TEST
                      CORVO_SITELOCK_B2B_LOGIN_DEV CORVO_SITELOCK_MARKET_LOGIN
                      CORVO_SITELOCK_MARKET_LOGIN_DAILY)
  set(_value "${${_var}}")
  if(_value STREQUAL "")
    message(FATAL_ERROR "${_var} is empty: every site lock entry needs a host pattern")
  endif()
  if(_var MATCHES "_SUBDOMAINS$")
    string(REGEX REPLACE "^\\*\\." "" _suffix "${_value}")
    if(_suffix STREQUAL _value OR NOT _suffix MATCHES "${_corvo_host}")
      message(FATAL_ERROR "${_var} = \"${_value}\": expected \"*.\" followed by a lower-case host name")
    endif()
  elseif(NOT _value MATCHES "${_corvo_host}")
    message(FATAL_ERROR "${_var} = \"${_value}\": expected a lower-case host name (letters, digits, hyphens, dots)")
  endif()
endforeach()
# The nine patterns as one list, for what else is built from the table (the
# browser extension's host permissions and content-script matches).
set(CORVO_SITELOCK_HOST_PATTERNS
    "${CORVO_SITELOCK_B2B_SUBDOMAINS}" "${CORVO_SITELOCK_B2B_LOGIN}" "${CORVO_SITELOCK_B2B_LOGIN_TEST}"
    "${CORVO_SITELOCK_B2B_LOGIN_DEV}" "${CORVO_SITELOCK_REGION2_SUBDOMAINS}"
    "${CORVO_SITELOCK_SHOP_SUBDOMAINS}" "${CORVO_SITELOCK_B2B_SLD_SUBDOMAINS}"
    "${CORVO_SITELOCK_MARKET_LOGIN}" "${CORVO_SITELOCK_MARKET_LOGIN_DAILY}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/site_table.h.in
               ${PROJECT_BINARY_DIR}/generated/site_table_config.h @ONLY)

# --- Exchange block: the two 5-byte payload key suffixes -----------------------
# Shared with the IM client, which must be built with the same values. Each is
# 10 hexadecimal digits (5 bytes, first byte first) and must contain a 00 byte.
# See docs/configuration.md.
set(CORVO_BLOCK_XOR_SUFFIX "5AC3007E19" CACHE STRING
    "Exchange block: 5-byte suffix of the XOR key (10 hex digits, one byte must be 00)")
set(CORVO_BLOCK_DES_SUFFIX "A5006B3CD2" CACHE STRING
    "Exchange block: 5-byte suffix of the DES key (10 hex digits, one byte must be 00)")
foreach(_var IN ITEMS CORVO_BLOCK_XOR_SUFFIX CORVO_BLOCK_DES_SUFFIX)
  set(_value "${${_var}}")
  if(NOT _value MATCHES "^[0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f]$")
    message(FATAL_ERROR "${_var} = \"${_value}\": expected exactly 10 hexadecimal digits (5 bytes)")
  endif()
  set(_bytes "")
  set(_has_zero FALSE)
  foreach(_pos 0 2 4 6 8)
    string(SUBSTRING "${_value}" ${_pos} 2 _byte)
    if(_byte STREQUAL "00")
      set(_has_zero TRUE)
    endif()
    list(APPEND _bytes "0x${_byte}")
  endforeach()
  if(NOT _has_zero)
    message(FATAL_ERROR "${_var} = \"${_value}\": one of its 5 bytes must be 00")
  endif()
  string(TOLOWER "${_var}" _name)
  string(REPLACE "corvo_block_" "_corvo_" _name "${_name}")
  string(REPLACE ";" ", " "${_name}_bytes" "${_bytes}")
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/exchange_key_config.h.in
               ${PROJECT_BINARY_DIR}/generated/exchange_key_config.h @ONLY)
