#pragma once
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "platform/progress.h"

namespace volnor::win32 {

// A blocking piece of network work (WinHTTP's and WinINet's calls block) on a thread of its own,
// while the calling thread takes the data it hands over, calls the pump and watches the time.
// The calling thread may leave before the work ends: on an error of its own (a refused write, an
// error of the pump) or when a step of the work overruns its limit. The work then runs on until
// its current call returns, hands nothing more over and ends; so it must own (share) everything
// it touches.
class WorkerCall {
public:
    // What the work sees of the call.
    class Context {
    public:
        virtual ~Context() = default;
        // The step the work is in now and how long it may block in it; zero: no limit.
        virtual void step(const char* name, std::chrono::milliseconds limit) = 0;
        // Hands a block to the caller and waits until it is taken (the block is left empty);
        // false when the caller has left.
        virtual bool handOver(std::string& block) = 0;
    };
    // Returns an error text, empty on success.
    using Work = std::function<std::string(Context&)>;
    // Takes a block on the calling thread; it may throw.
    using OnBlock = std::function<void(std::string& block)>;

    struct Result {
        std::string error;      // the work's, or the overrun step's "Timeout: ..." text
        bool timedOut = false;  // the work still runs
    };

    // The longest wait between two calls of the pump.
    static constexpr std::chrono::milliseconds kPumpInterval{50};

    static Result run(Work work, const OnBlock& onBlock, const Pump& pump);
};

}  // namespace volnor::win32
