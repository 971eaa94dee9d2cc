#pragma once

#include <functional>

// The hook through which key handlers below the application object report
// user activity: every key handler calls NotifyActivity(key) first, and the
// application installs the handler that restarts its idle timer. Without a
// handler the call does nothing.
class AppActivity {
public:
    using Handler = std::function<void(unsigned long key)>;

    // UI thread, at start-up and shutdown (an empty handler removes it).
    static void SetHandler(Handler handler);
    // Any thread; the handler runs on the calling thread.
    static void NotifyActivity(unsigned long key);
};
