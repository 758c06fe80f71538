// The REGEDIT4 text form of the registry tree, the format the Windows registry
// editor reads and writes:
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\Classes\CorvoSSOLoginM.SSOLoginCtrl]
//   @="SSOLoginCtrl Class"
//   "Name"="C:\\path with \"quotes\""
//
// Written: the header line, a blank line, then every key below the hive in
// depth-first order (parents before children, siblings sorted
// case-insensitively), each as its section line, its default value ("@"), its
// named values sorted case-insensitively, and a blank line. Lines end in LF;
// text is UTF-8. The hive's own section appears only when it holds values.
// The same tree therefore always gives the same bytes.
//
// Read: the header must be the first line (a UTF-8 byte-order mark before it
// is skipped); CR LF line ends, blank lines, leading and trailing blanks and
// ';' comment lines are accepted; a section names a key below the file's hive
// (HKEY_CURRENT_USER for a user's file, HKEY_LOCAL_MACHINE for the machine's;
// matched case-insensitively) and creates the keys above it
// as needed; a repeated section or value merges into the first (a later value
// replaces an earlier one). Only string values are kept: other value types,
// key deletions ("[-...]"), escapes other than \\ and \" and control
// characters in names or data are errors, reported with their line number.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/posix/registry_tree.h"

namespace corvo::platform {

inline constexpr std::string_view kRegFileHeader = "REGEDIT4";
inline constexpr std::string_view kRegFileHive = "HKEY_CURRENT_USER";
inline constexpr std::string_view kRegFileMachineHive = "HKEY_LOCAL_MACHINE";

struct RegFileError {
    size_t line = 0;  // 1-based
    std::string message;
};

// Fills `tree` (which should be empty) from `text`. On failure returns false,
// fills `error` and leaves `tree` partly filled.
bool ParseRegFile(std::string_view text, RegistryTree* tree, RegFileError* error,
                  std::string_view hive = kRegFileHive);

std::string FormatRegFile(const RegistryTree& tree, std::string_view hive = kRegFileHive);

}  // namespace corvo::platform
