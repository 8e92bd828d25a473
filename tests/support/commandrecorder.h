#pragma once

#include <string>
#include <vector>

// Records the shell commands the code under test runs instead of running them.
// Installed for the recorder's lifetime; each command answers with `result`.
class CommandRecorder
{
public:
    explicit CommandRecorder(int result = 0);
    ~CommandRecorder();
    CommandRecorder(const CommandRecorder &) = delete;
    CommandRecorder &operator=(const CommandRecorder &) = delete;

    const std::vector<std::string> &commands() const { return recorded; }
    void setResult(int value) { result = value; }
    void clear() { recorded.clear(); }

private:
    std::vector<std::string> recorded;
    int result;
};
