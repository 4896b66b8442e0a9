// Window tests: the process's one watcher thread and its queue of tasks.
#include "tests/ui/watcher_thread.h"

#include <gtest/gtest.h>

#include <deque>
#include <mutex>
#include <utility>

namespace tandemere::uitest {
namespace {

struct WatcherQueue {
    std::mutex m_mutex;
    std::deque<std::pair<std::function<void()>*, HANDLE>> m_lstTasks;
    HANDLE m_hQueued = ::CreateSemaphoreW(nullptr, 0, MAXLONG, nullptr);
};

DWORD WINAPI RunTasks(void* parameter) {
    auto& queue = *static_cast<WatcherQueue*>(parameter);
    for (;;) {
        ::WaitForSingleObject(queue.m_hQueued, INFINITE);
        std::pair<std::function<void()>*, HANDLE> next;
        {
            std::lock_guard<std::mutex> lock(queue.m_mutex);
            next = queue.m_lstTasks.front();
            queue.m_lstTasks.pop_front();
        }
        (*next.first)();
        ::SetEvent(next.second);
    }
}

// Made on first use and never destroyed, like the thread that serves it.
WatcherQueue& Queue() {
    static WatcherQueue* const s_pQueue = [] {
        auto* queue = new WatcherQueue;
        const HANDLE thread = ::CreateThread(nullptr, 0, &RunTasks, queue, 0, nullptr);
        if (thread) ::CloseHandle(thread);
        return queue;
    }();
    return *s_pQueue;
}

}  // namespace

CWatcherTask::CWatcherTask(std::function<void()> task)
    : m_fnTask(std::move(task)), m_hDone(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    WatcherQueue& queue = Queue();
    {
        std::lock_guard<std::mutex> lock(queue.m_mutex);
        queue.m_lstTasks.emplace_back(&m_fnTask, m_hDone);
    }
    ::ReleaseSemaphore(queue.m_hQueued, 1, nullptr);
}

CWatcherTask::~CWatcherTask() {
    Join();
    ::CloseHandle(m_hDone);
}

void CWatcherTask::Join() {
    ::WaitForSingleObject(m_hDone, INFINITE);
}

}  // namespace tandemere::uitest
