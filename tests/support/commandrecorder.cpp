#include "commandrecorder.h"

#include "platform/platform.h"

#include <cstdlib>

CommandRecorder::CommandRecorder(int result) : result(result)
{
    platform::setCommandRunner([this](const std::string &command) {
        std::unique_lock<std::mutex> lock(mutex);
        recorded.push_back(command);
        if (!held.empty() && command.find(held) != std::string::npos
            && std::this_thread::get_id() != holder)
            released.wait(lock, [this] { return held.empty(); });
        for (const auto &rule : rules) {
            if (command.find(rule.first) != std::string::npos)
                return rule.second;
        }
        if (!passThrough)
            return this->result;
        lock.unlock();
        return std::system(command.c_str());
    });
}

CommandRecorder::~CommandRecorder()
{
    release();
    platform::setCommandRunner({});
    // The last command a joined device thread ran happened before this.
    const std::lock_guard<std::mutex> lock(mutex);
}
