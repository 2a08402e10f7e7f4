#pragma once

#include <QObject>
#include <QTimer>

#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

// Gives the pages of memory freed since to the system, where the allocator keeps them otherwise
// (glibc keeps what a big file or list left behind in the middle of its heap).
void returnFreedMemory();

// Frees what a big list held a piece per turn of the event loop: emptying a million results at
// once holds the window for a tenth of a second, in frees alone. What is handed over is no longer
// reachable by anyone; whatever is left when this object goes is freed then. Once something big
// is freed the memory goes back to the system.
class DeferredRelease final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DeferredRelease)

public:
    // Elements freed per turn.
    static constexpr std::size_t kPiece = 2048;

    explicit DeferredRelease(QObject *parent = nullptr);
    ~DeferredRelease() override;

    // `piece` elements freed per turn.
    template<typename T>
    void release(std::vector<T> &&items, std::size_t piece = kPiece)
    {
        if (items.empty())
            return;
        auto held = std::make_shared<std::vector<T>>(std::move(items));
        m_steps.push_back([held, piece] {
            held->resize(held->size() - std::min(held->size(), piece));
            return held->empty();
        });
        schedule();
    }
    // Something freed whole, after the vectors handed over before it.
    template<typename T>
    void releaseWhole(T item)
    {
        auto held = std::make_shared<T>(std::move(item));
        m_steps.push_back([held]() mutable {
            held.reset();
            return true;
        });
        schedule();
    }

private:
    void schedule();
    void step();

    // Each frees a piece and says whether it is done.
    std::deque<std::function<bool()>> m_steps;
    int m_turns = 0; // taken since the queue was last empty
    QTimer m_next;
};
