#pragma once

#include <mutex>
#include <string>
#include <utility>
#include <vector>

// Records the shell commands the code under test runs instead of running them.
// Installed for the recorder's lifetime; each command answers with `result`, or, passed
// through, is also run by the shell and answers with its status.
class CommandRecorder
{
public:
    explicit CommandRecorder(int result = 0);
    ~CommandRecorder();
    CommandRecorder(const CommandRecorder &) = delete;
    CommandRecorder &operator=(const CommandRecorder &) = delete;

    // A copy: device threads may run commands while the test reads them.
    std::vector<std::string> commands() const
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return recorded;
    }
    void setResult(int value)
    {
        const std::lock_guard<std::mutex> lock(mutex);
        result = value;
    }
    // Commands containing `fragment` answer `value` instead (the first matching rule wins).
    void setResultFor(const std::string &fragment, int value)
    {
        const std::lock_guard<std::mutex> lock(mutex);
        rules.emplace_back(fragment, value);
    }
    void setPassThrough(bool on)
    {
        const std::lock_guard<std::mutex> lock(mutex);
        passThrough = on;
    }
    void clear()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        recorded.clear();
    }

private:
    mutable std::mutex mutex;
    std::vector<std::string> recorded;
    int result;
    bool passThrough = false;
    std::vector<std::pair<std::string, int>> rules;
};
