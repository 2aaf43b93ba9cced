#pragma once

#include <optional>
#include <string>
#include <vector>

// What the simulator is asked to do.
struct TSimOptions {
    int Port = 0;           // COMn to register; 0: the lowest free from 3
    double Every = 0;       // seconds between timed readings; 0: none
    long Count = 0;         // timed readings to send; 0: no limit
    bool Answer = true;     // answer each prompt request 0x05 with "\r\n> "
    double UnplugAfter = 0; // seconds after start to unplug; 0: never
    std::string ReadyFile;  // written once the port is registered
    bool Verbose = false;   // report traffic on standard error
    bool Help = false;
    bool Infrared = false;             // connect to the IrCOMM service instead of a port
    std::vector<std::string> Readings; // from the command line
};

// Parses the command line; on a mistake returns nothing and sets error.
std::optional<TSimOptions> ParseOptions(int argc, char** argv, std::string& error);

const char* Usage();
