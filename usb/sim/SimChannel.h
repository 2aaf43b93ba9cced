#pragma once

// The control channel of the simulated converter: a FIFO in the user's
// runtime folder through which a tool (the gauge simulator, a shell) feeds
// readings, unplugs and plugs the converter, or makes a call fail. One
// command per line, each written in one piece:
//
//   feed <hex bytes>      bytes arrive at the converter
//   line <text>           the text and CR LF arrive
//   unplug | plug
//   fail <entry point> <status>
//
// Standard library and POSIX only.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ftsim {

// The FIFO in the user's private runtime folder (oskit::RuntimeFolder);
// empty when that folder is refused, so nobody else can reach the channel.
std::filesystem::path ChannelPath();

struct TCommand {
    enum class TKind { Feed, Unplug, Plug, Fail };
    TKind Kind = TKind::Feed;
    std::string Bytes; // Feed
    std::string Entry; // Fail
    unsigned Status = 0;
};

std::optional<TCommand> ParseCommand(std::string_view line);
// The "feed" line for bytes, ended by a line feed.
std::string FeedLine(std::string_view bytes);

// Writes one command line to the channel; false (with the reason) when no
// converter listens there.
bool SendLine(const std::string& line, std::string& error);

} // namespace ftsim
