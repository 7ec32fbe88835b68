#include "platform/win32/worker_call.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

namespace volnor::win32 {

namespace {

using Clock = std::chrono::steady_clock;

// Shared by the work's thread and the caller.
class Shared : public WorkerCall::Context {
public:
    void step(const char* name, std::chrono::milliseconds limit) override {
        const std::lock_guard lock(mutex);
        stepName = name;
        stepLimit = limit;
        stepSince = Clock::now();
    }

    bool handOver(std::string& data) override {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return !blockReady || left; });
        if (left) return false;
        block.swap(data);
        data.clear();
        blockReady = true;
        // The wait for the caller was no wait for the server.
        stepSince = Clock::now();
        changed.notify_all();
        return true;
    }

    void finish(std::string text) {
        const std::lock_guard lock(mutex);
        error = std::move(text);
        done = true;
        changed.notify_all();
    }

    void leave() {
        {
            const std::lock_guard lock(mutex);
            left = true;
        }
        changed.notify_all();
    }

    std::mutex mutex;
    std::condition_variable changed;
    const char* stepName = "starting";
    std::chrono::milliseconds stepLimit{0};
    Clock::time_point stepSince = Clock::now();
    std::string block;
    bool blockReady = false;
    bool done = false;
    bool left = false;
    std::string error;
};

}  // namespace

WorkerCall::Result WorkerCall::run(Work work, const OnBlock& onBlock, const Pump& pump) {
    auto shared = std::make_shared<Shared>();
    std::thread([shared, work = std::move(work)] {
        std::string error;
        try {
            error = work(*shared);
        } catch (const std::exception& e) {
            error = e.what();
        }
        shared->finish(std::move(error));
    }).detach();
    // However the caller leaves, the work hands nothing more over.
    struct Leave {
        Shared& shared;
        ~Leave() { shared.leave(); }
    } leave{*shared};

    Clock::time_point lastPump = Clock::now();
    for (;;) {
        std::unique_lock lock(shared->mutex);
        shared->changed.wait_for(lock, kPumpInterval,
                                 [&] { return shared->blockReady || shared->done; });
        if (shared->blockReady) {
            std::string block;
            block.swap(shared->block);
            shared->blockReady = false;
            lock.unlock();
            shared->changed.notify_all();
            onBlock(block);
        } else if (shared->done) {
            return {shared->error, false};
        } else if (shared->stepLimit.count() > 0 &&
                   Clock::now() - shared->stepSince > shared->stepLimit) {
            return {"Timeout: nothing within " + std::to_string(shared->stepLimit.count()) +
                        " ms while " + shared->stepName,
                    true};
        } else {
            lock.unlock();
        }
        if (Clock::now() - lastPump >= kPumpInterval) {
            if (pump) pump();
            lastPump = Clock::now();
        }
    }
}

}  // namespace volnor::win32
