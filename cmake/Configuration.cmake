# Build-time configuration shared with deployments (see docs/configuration.md).
# Each part of the system adds its cache variables here.

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
