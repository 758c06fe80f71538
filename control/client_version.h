// The installed IM client's version, read from the client's static
// configuration file. The control is installed in the client's directory, so
// the file lies beside the control's own module (the shared library or
// program that holds this code, not the host process):
//
//   <module directory>configurations/staticconfig.xml
//
// The file is an item list document; the version is the text of its first
// "item" whose "id" is exactly "VersionString". The file is read anew on
// every lookup and nothing is cached. Every failure (no module path, no file,
// a file that does not parse, no such item) gives the empty version.
#pragma once

#include <string>
#include <string_view>

#include "control/module_directory.h"
#include "data/xparam_sl_helper.h"

namespace corvo::control {

// The configuration file, relative to the module directory ("/" as separator
// on POSIX; the Windows client writes it with "\").
inline constexpr std::u16string_view kStaticConfigRelativePath = u"configurations/staticconfig.xml";
// The item that holds the version; case counts.
inline constexpr std::u16string_view kVersionItemId = u"VersionString";

// The version read from the configuration file at `configPath`.
std::u16string ReadClientVersion(const srlz::XParamSLHelper& helper,
                                 std::u16string_view configPath);

// The version read from the configuration file beside the control's module.
std::u16string LookUpClientVersion(const srlz::XParamSLHelper& helper);

}  // namespace corvo::control
