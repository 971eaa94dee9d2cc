#include "player/PlayerStreams.h"

#include <algorithm>

void ReleasedStreams::Add(StreamPtr stream) {
    if (stream) m_streams.push_back(std::move(stream));
}

void ReleasedStreams::StopFilling() {
    for (auto& s : m_streams) s->StopFilling();
}

void ReleasedStreams::CloseAll() {
    for (auto& s : m_streams) s->Close();
    m_streams.clear();
}

HTTPBufferedStream* PlayerStreams::AddPending(StreamPtr stream) {
    if (m_cancelled) stream->Cancel();
    m_pending.push_back(std::move(stream));
    return m_pending.back().get();
}

void PlayerStreams::DropPending(ReleasedStreams& released) {
    for (auto& s : m_pending) released.Add(std::move(s));
    m_pending.clear();
}

PlayerStreams::StreamPtr PlayerStreams::TakeFirstOpen(ReleasedStreams& released) {
    const auto open = std::find_if(m_pending.begin(), m_pending.end(), [](const StreamPtr& s) { return s->IsOpen(); });
    StreamPtr found;
    if (open != m_pending.end()) found = std::move(*open);
    const auto end = open != m_pending.end() ? open + 1 : open;
    for (auto it = m_pending.begin(); it != end; ++it) released.Add(std::move(*it));
    m_pending.erase(m_pending.begin(), end);
    return found;
}

void PlayerStreams::MakeCurrent(StreamPtr stream, const StillRead& stillRead, ReleasedStreams& released) {
    if (m_current) m_retired.push_back(std::move(m_current));
    m_current = std::move(stream);
    const auto done = std::stable_partition(m_retired.begin(), m_retired.end(),
                                            [&](const StreamPtr& s) { return stillRead(s.get()); });
    for (auto it = done; it != m_retired.end(); ++it) released.Add(std::move(*it));
    m_retired.erase(done, m_retired.end());
}

void PlayerStreams::ReleaseAll(ReleasedStreams& released) {
    released.Add(std::move(m_current));
    for (auto& s : m_retired) released.Add(std::move(s));
    m_retired.clear();
    DropPending(released);
}

void PlayerStreams::CancelAll() {
    m_cancelled = true;
    if (m_current) m_current->Cancel();
    for (auto& s : m_pending) s->Cancel();
    for (auto& s : m_retired) s->Cancel();
}

bool PlayerStreams::Owns(const HTTPBufferedStream* stream) const {
    if (!stream) return false;
    const auto is = [stream](const StreamPtr& s) { return s.get() == stream; };
    return m_current.get() == stream || std::any_of(m_pending.begin(), m_pending.end(), is) ||
           std::any_of(m_retired.begin(), m_retired.end(), is);
}
