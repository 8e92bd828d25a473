#include "commandrecorder.h"

#include "platform/platform.h"

#include <cstdlib>

CommandRecorder::CommandRecorder(int result) : result(result)
{
    platform::setCommandRunner([this](const std::string &command) {
        recorded.push_back(command);
        for (const auto &rule : rules) {
            if (command.find(rule.first) != std::string::npos)
                return rule.second;
        }
        return passThrough ? std::system(command.c_str()) : this->result;
    });
}

CommandRecorder::~CommandRecorder()
{
    platform::setCommandRunner({});
}
