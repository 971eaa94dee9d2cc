#include "app/base/AppActivity.h"

#include <mutex>

namespace {

// The installed handler; the one piece of process state this hook needs.
struct Slot {
    std::mutex lock;
    AppActivity::Handler handler;
};

Slot& TheSlot() {
    static Slot s_slot;
    return s_slot;
}

}  // namespace

void AppActivity::SetHandler(Handler handler) {
    Slot& slot = TheSlot();
    std::lock_guard guard(slot.lock);
    slot.handler = std::move(handler);
}

void AppActivity::NotifyActivity(unsigned long key) {
    Handler handler;
    {
        Slot& slot = TheSlot();
        std::lock_guard guard(slot.lock);
        handler = slot.handler;
    }
    if (handler) handler(key);
}
