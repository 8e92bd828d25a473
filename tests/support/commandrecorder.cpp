#include "commandrecorder.h"

#include "platform/platform.h"

#include <cstdlib>

CommandRecorder::CommandRecorder(int result) : result(result)
{
    platform::setCommandRunner([this](const std::string &command) {
        std::unique_lock<std::mutex> lock(mutex);
        recorded.push_back(command);
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
    platform::setCommandRunner({});
    // The last command a joined device thread ran happened before this.
    const std::lock_guard<std::mutex> lock(mutex);
}
