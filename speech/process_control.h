// What the parts that may end the process on their own (the watchdogs, the session
// failure report) need: the output writer and the exit.
#pragma once

#include <functional>

#include "speech/protocol_output.h"

namespace quorvantel::speech {

struct ProcessControl {
    ProtocolOutput& output;
    // Ends the process with the status; only tests pass one that returns.
    std::function<void(int)> exitProcess;
};

}  // namespace quorvantel::speech
