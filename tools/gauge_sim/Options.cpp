#include "Options.h"

#include <charconv>
#include <string_view>

namespace {

template <typename T> bool ParseNumber(std::string_view text, T& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

bool ParseSeconds(std::string_view text, double& value) {
    return ParseNumber(text, value) && value > 0 && value < 1e6;
}

// Applies one option that takes a value; false when the value is bad.
bool ApplyValue(std::string_view name, std::string_view value, TSimOptions& options) {
    if (name == "--port")
        return ParseNumber(value, options.Port) && options.Port >= 1 && options.Port <= 99;
    if (name == "--every")
        return ParseSeconds(value, options.Every);
    if (name == "--count")
        return ParseNumber(value, options.Count) && options.Count > 0;
    if (name == "--unplug-after")
        return ParseSeconds(value, options.UnplugAfter);
    if (name == "--ready-file") {
        options.ReadyFile = value;
        return !value.empty();
    }
    return false;
}

bool TakesValue(std::string_view name) {
    return name == "--port" || name == "--every" || name == "--count" || name == "--unplug-after" ||
           name == "--ready-file";
}

} // namespace

std::optional<TSimOptions> ParseOptions(int argc, char** argv, std::string& error) {
    TSimOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h")
            options.Help = true;
        else if (arg == "--no-answer")
            options.Answer = false;
        else if (arg == "--infrared")
            options.Infrared = true;
        else if (arg == "--verbose")
            options.Verbose = true;
        else if (arg == "--usb")
            options.Usb = true;
        else if (TakesValue(arg)) {
            if (i + 1 >= argc || !ApplyValue(arg, argv[i + 1], options)) {
                error = "bad or missing value for " + std::string(arg);
                return std::nullopt;
            }
            ++i;
        } else if (arg.starts_with("--")) {
            error = "unknown option " + std::string(arg);
            return std::nullopt;
        } else {
            options.Readings.emplace_back(arg);
        }
    }
    if (options.Count > 0 && options.Every == 0) {
        error = "--count needs --every";
        return std::nullopt;
    }
    return options;
}

const char* Usage() {
    return R"(Usage: brisquell_gauge [options] [reading...]

Simulates a gauge on a pseudo-terminal registered as COMn in Brisquell's
ports folder ($XDG_CONFIG_HOME/Brisquell/ports, else ~/.config/...).
Readings are sent ended by CR LF. Each prompt request (byte 0x05) is
answered with CR LF "> ".

  --port N            register as COMn (default: lowest free from 3)
  --every SECONDS     send a reading every SECONDS: the readings given on
                      the command line in turn, else a built-in list
  --count N           stop the timed readings after N
  --no-answer         a silent gauge: never answer a prompt request
  --unplug-after S    unplug S seconds after start
  --ready-file PATH   write "COMn /dev/pts/X" to PATH once registered
  --verbose           report traffic on standard error
  --infrared          a gauge with an infrared port: connect to Brisquell's
                      IrCOMM service ($XDG_RUNTIME_DIR/Brisquell/IrCOMM)
                      and send the readings there; "!unplug" and "!plug"
                      leave and come back, --ready-file and standard output
                      say "IrDA <socket>", "disconnected IrDA" when the
                      connection ends
  --usb               a gauge behind the simulated USB converter: readings go
                      to the converter library's channel in the runtime
                      folder ($XDG_RUNTIME_DIR/Brisquell/ftd2xx-sim), where a
                      Brisquell that loaded the simulated library (through
                      LD_LIBRARY_PATH) and has the converter open takes them;
                      !unplug and !plug pull and put back the converter

Without --every, readings given on the command line are sent once at start.
Standard input: each line is sent as a reading; "!unplug", "!plug" and
"!quit" are commands. SIGUSR1 unplugs, SIGUSR2 plugs in again, SIGINT and
SIGTERM end the simulator. Unplugging removes the COMn entry and closes the
pseudo-terminal; the entry is removed on exit too.
Standard output reports "ready COMn /dev/pts/X" and "unplugged COMn".
)";
}
