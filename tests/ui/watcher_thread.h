// Window tests: the watcher thread that drives the windows of the test thread.
#pragma once

#include <windows.h>

#include <functional>

namespace tandemere::uitest {

// Runs `task` on the process's one watcher thread, started at construction; Join (or the
// destructor) waits for it to finish. One task at a time.
//
// The thread is made once and lives as long as the process: Wine 8 can crash a process that ends
// while one of its threads is still ending (seen in core dumps: the ending thread takes the
// termination signal and its handler writes into the thread's freed context), and a watcher of
// its own would end just before each test program does.
class CWatcherTask {
public:
    explicit CWatcherTask(std::function<void()> task);
    ~CWatcherTask();
    CWatcherTask(const CWatcherTask&) = delete;
    CWatcherTask& operator=(const CWatcherTask&) = delete;

    void Join();

private:
    std::function<void()> m_fnTask;
    HANDLE m_hDone = nullptr;
};

}  // namespace tandemere::uitest
