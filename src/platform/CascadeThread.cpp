#include "platform/CascadeThread.h"

#include <pthread.h>

#include <chrono>

CascadeThread::~CascadeThread() { WaitUntilFinished(); }

bool CascadeThread::Start(const char* name) {
    if (m_running.load()) return false;
    if (m_thread.joinable()) m_thread.join();
    m_name = name ? name : "worker";
    if (m_name.size() > 15) m_name.resize(15);
    m_running = true;
    m_thread = std::thread([this] {
        pthread_setname_np(pthread_self(), m_name.c_str());
        ThreadProc();
        m_running = false;
    });
    return true;
}

void CascadeThread::WaitUntilFinished() {
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) m_thread.join();
}

void CascadeThread::Sleep(unsigned long milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
