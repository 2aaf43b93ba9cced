#include "usb/sim/SimChannel.h"

#include "oskit/Fd.h"
#include "oskit/Folders.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace ftsim {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<std::string> FromHex(std::string_view hex) {
    if (hex.size() % 2 != 0)
        return std::nullopt;
    std::string bytes;
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int high = HexValue(hex[i]);
        const int low = HexValue(hex[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.push_back(static_cast<char>(high * 16 + low));
    }
    return bytes;
}

} // namespace

std::filesystem::path ChannelPath() {
    const std::filesystem::path folder = oskit::RuntimeFolder();
    return folder.empty() ? folder : folder / "ftd2xx-sim";
}

std::optional<TCommand> ParseCommand(std::string_view line) {
    const size_t space = line.find(' ');
    const std::string_view word = line.substr(0, space);
    const std::string_view rest = space == std::string_view::npos ? "" : line.substr(space + 1);
    TCommand command;
    if (word == "unplug" || word == "plug") {
        command.Kind = word == "plug" ? TCommand::TKind::Plug : TCommand::TKind::Unplug;
        return rest.empty() ? std::optional(command) : std::nullopt;
    }
    if (word == "line") {
        command.Bytes = std::string(rest) + "\r\n";
        return command;
    }
    if (word == "feed") {
        auto bytes = FromHex(rest);
        if (!bytes)
            return std::nullopt;
        command.Bytes = std::move(*bytes);
        return command;
    }
    if (word == "fail") {
        const size_t gap = rest.find(' ');
        if (gap == std::string_view::npos)
            return std::nullopt;
        command.Kind = TCommand::TKind::Fail;
        command.Entry = rest.substr(0, gap);
        const std::string_view number = rest.substr(gap + 1);
        const auto [end, error] =
            std::from_chars(number.data(), number.data() + number.size(), command.Status);
        if (error != std::errc() || end != number.data() + number.size())
            return std::nullopt;
        return command;
    }
    return std::nullopt;
}

std::string FeedLine(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string line = "feed ";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        line.push_back(kDigits[byte >> 4]);
        line.push_back(kDigits[byte & 0xF]);
    }
    line.push_back('\n');
    return line;
}

bool SendLine(const std::string& line, std::string& error) {
    const std::filesystem::path path = ChannelPath();
    if (path.empty()) {
        error = "no private runtime folder";
        return false;
    }
    // Not blocking: with no converter listening the open fails at once.
    const oskit::TFd fd(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid()) {
        error = path.string() + ": " + std::strerror(errno);
        return false;
    }
    const ssize_t written = ::write(fd.Get(), line.data(), line.size());
    if (written != static_cast<ssize_t>(line.size())) {
        error = path.string() + ": " + (written < 0 ? std::strerror(errno) : "short write");
        return false;
    }
    return true;
}

} // namespace ftsim
