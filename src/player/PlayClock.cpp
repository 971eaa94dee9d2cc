#include "player/PlayClock.h"

void PlayClock::Begin(uint64_t now) {
    m_baseSeconds = 0;
    m_runStart = now;
}

void PlayClock::Run(uint64_t now) {
    if (!m_runStart) m_runStart = now;
}

void PlayClock::Hold(uint64_t now) {
    m_baseSeconds += RunSeconds(now);
    m_runStart.reset();
}

void PlayClock::Reset() {
    m_baseSeconds = 0;
    m_runStart.reset();
}

uint32_t PlayClock::ElapsedSeconds(uint64_t now) const { return m_baseSeconds + RunSeconds(now); }

uint32_t PlayClock::RunSeconds(uint64_t now) const {
    if (!m_runStart || now < *m_runStart) return 0;
    return uint32_t((now - *m_runStart) / 1000);
}
