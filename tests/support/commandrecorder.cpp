#include "commandrecorder.h"

#include "platform/platform.h"

CommandRecorder::CommandRecorder(int result) : result(result)
{
    platform::setCommandRunner([this](const std::string &command) {
        recorded.push_back(command);
        return this->result;
    });
}

CommandRecorder::~CommandRecorder()
{
    platform::setCommandRunner({});
}
