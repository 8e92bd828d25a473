#pragma once

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
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
    // Whether exactly `command` was run, by any thread.
    bool ran(const std::string &command) const
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return std::find(recorded.begin(), recorded.end(), command) != recorded.end();
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
    // Commands containing `fragment`, run by any thread but the caller's, wait until release():
    // a worker is held in the middle of its work while the test acts. Release before the
    // worker's thread is joined.
    void hold(const std::string &fragment)
    {
        const std::lock_guard<std::mutex> lock(mutex);
        held = fragment;
        holder = std::this_thread::get_id();
    }
    void release()
    {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            held.clear();
        }
        released.notify_all();
    }

private:
    mutable std::mutex mutex;
    std::vector<std::string> recorded;
    int result;
    bool passThrough = false;
    std::vector<std::pair<std::string, int>> rules;
    std::string held;
    std::thread::id holder;
    std::condition_variable released;
};
