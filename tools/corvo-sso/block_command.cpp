#include "tools/corvo-sso/block_command.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "control/control_version.h"
#include "control/exchange_block.h"
#include "control/payload_scrambler.h"
#include "data/xparam_sl_helper.h"
#include "tools/corvo-sso/cli_common.h"
#include "tools/corvo-sso/json_text.h"

namespace corvo::cli {
namespace {

using control::BlockStatus;
using control::KeySuffixes;

// ---------------------------------------------------------------------------
// Arguments.

// A key suffix written as 10 hexadecimal digits, first byte first, of which at
// least one byte is 00 (the rule the configure step applies to the configured
// values). Returns what is wrong with `hex`, or "" when `bytes` holds it.
std::string ParseKeySuffix(std::string_view hex, std::array<uint8_t, 5>& bytes) {
    if (hex.size() != 2 * bytes.size()) return "a key suffix is exactly 10 hexadecimal digits";
    bool hasZero = false;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const int high = HexDigitValue(char32_t(uint8_t(hex[2 * i])));
        const int low = HexDigitValue(char32_t(uint8_t(hex[2 * i + 1])));
        if (high < 0 || low < 0) return "a key suffix is exactly 10 hexadecimal digits";
        bytes[i] = uint8_t(high << 4 | low);
        hasZero = hasZero || bytes[i] == 0;
    }
    if (!hasZero) return "a key suffix must contain a 00 byte";
    return {};
}

const CLI::Validator kKeySuffixValidator(
    [](std::string& value) {
        std::array<uint8_t, 5> bytes;
        return ParseKeySuffix(value, bytes);
    },
    "HEX10", "KeySuffix");

std::u16string Utf16Argument(const std::string& value, const char* what) {
    std::u16string out;
    if (!Utf8ToUtf16Strict(value, out)) Usage(std::string(what) + " is not valid UTF-8");
    return out;
}

struct BlockOptions {
    std::string user;
    std::string xorSuffix;  // empty: the configured one
    std::string desSuffix;
    std::string file;  // empty or "-": standard input
    std::string name;
    std::string record;  // empty, "login" or "user"

    KeySuffixes Suffixes() const {
        KeySuffixes suffixes = control::ConfiguredKeySuffixes();
        // Both were checked by kKeySuffixValidator.
        if (!xorSuffix.empty()) ParseKeySuffix(xorSuffix, suffixes.xorSuffix);
        if (!desSuffix.empty()) ParseKeySuffix(desSuffix, suffixes.desSuffix);
        return suffixes;
    }
    std::u16string UserId() const { return Utf16Argument(user, "the user ID"); }
};

// ---------------------------------------------------------------------------
// Input and output.

std::string ReadAllInput(const std::string& path) {
    std::ifstream file;
    std::istream* in = &std::cin;
    if (!path.empty() && path != "-") {
        file.open(path, std::ios::binary);
        if (!file) Fail("cannot open " + path + ": " + std::strerror(errno));
        in = &file;
    }
    std::string data{std::istreambuf_iterator<char>(*in), std::istreambuf_iterator<char>()};
    if (in->bad()) Fail("cannot read " + (in == &file ? path : std::string("standard input")));
    return data;
}

void WriteOutput(std::string_view bytes) {
    std::cout.write(bytes.data(), std::streamsize(bytes.size()));
    std::cout.flush();
    if (!std::cout) Fail("cannot write to standard output");
}

void WriteText(std::u16string_view text) {
    WriteOutput(Utf16ToUtf8Lenient(text));
}

// ---------------------------------------------------------------------------
// JSON of the records, fields in declaration order.

std::string RecordJson(const srlz::SSOLoginRecord& r) {
    return JsonObjectLine({{"bBase64Encoded", r.bBase64Encoded},
                           {"version", r.version},
                           {"ctrlversion", r.ctrlversion},
                           {"fulluserid", r.fulluserid},
                           {"result", r.result},
                           {"srcUrl", r.srcUrl},
                           {"realSSOUrl", r.realSSOUrl}});
}

std::string RecordJson(const srlz::SSOUserRecord& r) {
    return JsonObjectLine({{"bBase64Encoded", r.bBase64Encoded},
                           {"version", r.version},
                           {"shortUserID", r.shortUserID},
                           {"fullUserID", r.fullUserID},
                           {"siteID", r.siteID},
                           {"siteDescript", r.siteDescript}});
}

// ---------------------------------------------------------------------------
// The subcommands.

void RunEncode(const BlockOptions& options) {
    const KeySuffixes suffixes = options.Suffixes();
    const std::u16string userId = options.UserId();
    std::u16string text;
    if (!Utf8ToUtf16Strict(ReadAllInput(options.file), text))
        Fail("the document text is not valid UTF-8");
    std::array<uint8_t, control::kBlockSize> image{};  // a new block holds zeros
    const BlockStatus status = control::EncodeBlockImage(image, text, userId, suffixes);
    if (status != BlockStatus::kOk) Fail(control::BlockStatusText(status));
    WriteOutput(std::string_view(reinterpret_cast<const char*>(image.data()), image.size()));
}

// Which header check `image` fails, with the header's values.
std::string HeaderFault(std::span<const uint8_t> image) {
    const control::BlockHeader h =
        control::LoadBlockHeader(image.first<control::kBlockHeaderSize>());
    const control::BlockHeaderCheck check = control::CheckBlockHeader(h, image.size());
    return std::string("bad block header: ") + control::BlockHeaderCheckText(check) +
           " (headerSize " + std::to_string(h.headerSize) + ", capacity " +
           std::to_string(h.capacity) + ", documentLength " + std::to_string(h.documentLength) +
           ", image of " + std::to_string(image.size()) + " bytes)";
}

void RunDecode(const BlockOptions& options) {
    const KeySuffixes suffixes = options.Suffixes();
    const std::u16string userId = options.UserId();
    const std::string input = ReadAllInput(options.file);
    const std::span<const uint8_t> image(reinterpret_cast<const uint8_t*>(input.data()),
                                         input.size());
    std::u16string text;
    const BlockStatus status = control::DecodeBlockImage(image, userId, suffixes, &text);
    if (status == BlockStatus::kBadHeader) Fail(HeaderFault(image));
    if (status == BlockStatus::kTooSmall)
        Fail("the image holds " + std::to_string(input.size()) +
             " bytes, fewer than the 16-byte block header");
    if (status != BlockStatus::kOk) Fail(control::BlockStatusText(status));
    WriteText(text);
}

void RunRead(const BlockOptions& options) {
    const std::u16string name = Utf16Argument(options.name, "the block name");
    const std::u16string userId = options.UserId();
    std::u16string text;
    const BlockStatus status = control::ReadBlockDocument(name, userId, &text);
    if (status != BlockStatus::kOk)
        Fail("cannot read block \"" + options.name + "\": " + control::BlockStatusText(status));
    const srlz::XParamSLHelper helper;
    if (options.record == "login")
        WriteOutput(RecordJson(helper.ReadLoginAnswer(text)));
    else if (options.record == "user")
        WriteOutput(RecordJson(helper.ReadUserEntry(text)));
    else
        WriteText(text);
}

void RunDocLogin(const BlockOptions& options) {
    const std::u16string userId = options.UserId();
    // A quick login refuses an empty user ID before it writes anything.
    if (userId.empty()) Usage("the user ID is empty; a quick login never writes a request for it");
    std::u16string text;
    if (!srlz::XParamSLHelper().BuildLoginRequestText(userId, kSSOLoginCtrlVersion, text))
        Fail("no request document could be produced");
    WriteText(text);
}

// Runs one subcommand; its failure becomes a message and an exit code.
template <class Run>
std::function<void()> Guarded(Run run, std::shared_ptr<BlockOptions> options, int& exitCode) {
    return [run, options, &exitCode] {
        exitCode = RunGuarded([&] {
            run(*options);
            return kExitOk;
        });
    };
}

void AddUser(CLI::App* command, BlockOptions& options) {
    command->add_option("--user", options.user, "Full user ID of the account (UTF-8)")->required();
}

void AddScramblingOptions(CLI::App* command, BlockOptions& options) {
    AddUser(command, options);
    command
        ->add_option("--xor-suffix", options.xorSuffix,
                     "XOR key suffix instead of the configured one: 10 hexadecimal digits with "
                     "a 00 byte")
        ->check(kKeySuffixValidator);
    command
        ->add_option("--des-suffix", options.desSuffix,
                     "DES key suffix instead of the configured one: 10 hexadecimal digits with "
                     "a 00 byte")
        ->check(kKeySuffixValidator);
}

}  // namespace

void AddBlockCommands(CLI::App& app, int& exitCode) {
    auto options = std::make_shared<BlockOptions>();

    auto* block = app.add_subcommand("block", "Exchange block images and live blocks");
    block->require_subcommand(1);

    auto* encode = block->add_subcommand(
        "encode", "Put a document's text (UTF-8) into a scrambled 8208-byte block image");
    AddScramblingOptions(encode, *options);
    encode->add_option("FILE", options->file, "The document text (default: standard input)");
    encode->callback(Guarded(RunEncode, options, exitCode));

    auto* decode = block->add_subcommand(
        "decode", "Print the document text (UTF-8) of a block image, honouring its header");
    AddScramblingOptions(decode, *options);
    decode->add_option("FILE", options->file, "The block image (default: standard input)");
    decode->callback(Guarded(RunDecode, options, exitCode));

    auto* read = block->add_subcommand(
        "read", "Read a live named block as the control does and print its text or its record");
    read->add_option("--name", options->name, "Name of the block (UTF-8)")->required();
    AddUser(read, *options);
    read->add_option("--record", options->record,
                     "Print the record read from the text as one JSON object, decoded as the "
                     "control decodes it")
        ->check(CLI::IsMember({"login", "user"}));
    read->callback(Guarded(RunRead, options, exitCode));

    auto* doc = app.add_subcommand("doc", "Documents as the control writes them");
    doc->require_subcommand(1);
    auto* login = doc->add_subcommand(
        "login",
        "Print the request document a quick login writes for a user (before code page "
        "936)");
    AddUser(login, *options);
    login->callback(Guarded(RunDocLogin, options, exitCode));
}

}  // namespace corvo::cli
