#include "platform/deferred_release.h"

#include <utility>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

void returnFreedMemory()
{
#if defined(__GLIBC__)
    ::malloc_trim(0);
#endif
}

DeferredRelease::DeferredRelease(QObject *parent)
    : QObject(parent)
{
    m_next.setSingleShot(true);
    m_next.setInterval(0);
    connect(&m_next, &QTimer::timeout, this, &DeferredRelease::step);
}

DeferredRelease::~DeferredRelease() = default;

void DeferredRelease::schedule()
{
    if (!m_next.isActive())
        m_next.start();
}

void DeferredRelease::step()
{
    // Giving memory back walks the whole heap: worth it after a big list, not after a few nodes.
    constexpr int kBigRelease = 4;
    if (!m_steps.empty() && m_steps.front()())
        m_steps.pop_front();
    ++m_turns;
    if (!m_steps.empty()) {
        schedule();
    } else if (std::exchange(m_turns, 0) > kBigRelease) {
        returnFreedMemory();
    }
}
