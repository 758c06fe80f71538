// `corvo-sso xml`: the XParam XML reader and writer from the command line.
//   xml parse [--as bytes|utf16|file|codepage=N] FILE     the tree as JSON
//   xml write [--indent T] [--newline T] [--save FILE [--encoding NAME]] [--utf16] TREE.json
//   xml get FILE PATH --as TYPE [--as-input bytes|utf16|file|codepage=N]
// None of them needs the login control or any registration.
#pragma once

#include <CLI/CLI.hpp>

namespace corvo::cli {

// Adds the `xml` subcommand and its three subcommands to `app`; each sets
// `exitCode` (0 ok, 1 the operation failed, 2 usage) when it runs.
void AddXmlCommand(CLI::App& app, int& exitCode);

}  // namespace corvo::cli
