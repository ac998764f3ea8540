#pragma once
// One program per user session.
//
// Supports: the first start of a program owns a mutex named for the program in the
// session's namespace ("Local\Tolvane.tolv", "Local\Tolvane.tolv-dryrun": the two
// programs are separate, each with its own instance) for as long as it runs, and keeps a
// message-only window of the same name. A later start in that session finds the mutex
// owned, lets the first one take the foreground, posts it the registered message
// "Tolvane.ShowMainWindow" and ends without touching the settings. The first one runs
// its request handler (showing its main window) on its own GUI thread, from its message
// loop; a request that comes while it is still starting waits for the end of the start.
// Not supported: one instance across sessions (another user, or the same user logged on
// twice, runs a program of their own, as the settings stores in use allow).
// Windows headers stay out of this header (handles travel as void*).
#include <functional>
#include <string>

namespace tolvane::win32 {

class SingleInstance {
public:
    // Owns the session's instance of `program` unless another process does; the first
    // start also opens the window that later starts hand over to.
    SingleInstance(const std::string& program, void* instance);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    bool first() const { return first_; }
    // The first start: `request` runs for each later start, at once for one that came
    // before this call.
    void onRequest(std::function<void()> request);
    // A later start: tells the first one, waiting up to `waitMs` for its window (it may
    // be starting at this moment); false when no window answered.
    bool handOver(int waitMs) const;

    // Window procedure entry point (public for the C callback in the .cpp).
    void received();

private:
    std::string name_;
    void* mutex_ = nullptr;
    void* window_ = nullptr;
    bool first_ = false;
    bool pending_ = false;
    std::function<void()> request_;
};

}  // namespace tolvane::win32
