// `corvo-sso block` and `corvo-sso doc`: the exchange block and the login
// request from the command line, through the control's own code.
//   block encode --user U [--xor-suffix HEX10] [--des-suffix HEX10] [FILE]
//       UTF-8 document text in, the scrambled 8208-byte block image out
//   block decode --user U [--xor-suffix HEX10] [--des-suffix HEX10] [FILE]
//       a block image in (its header honoured), the document text out (UTF-8)
//   block read --name NAME --user U [--record login|user]
//       a live named block read as the control reads it: the text, or the
//       decoded record as one JSON object
//   doc login --user U
//       the request document a quick login for U puts into its block, before
//       the conversion to code page 936
// FILE absent or "-" means standard input. None of them needs the login
// control's registration.
#pragma once

#include <CLI/CLI.hpp>

namespace corvo::cli {

// Adds the `block` and `doc` subcommands to `app`; each sets `exitCode`
// (0 ok, 1 the operation failed, 2 usage) when it runs.
void AddBlockCommands(CLI::App& app, int& exitCode);

}  // namespace corvo::cli
