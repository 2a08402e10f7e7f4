#pragma once

#include <QGroupBox>

#include <array>

class QLabel;

// The "Ads:" panel: twelve stacked banner slots, one shown at a time. Every 5 seconds the next
// slot shows, and every other turn the fixed slot 11; slots 4 and 5 are empty. After the last
// slot the stepping starts again at slot 0. The banners are the program's own: nothing is fetched.
class AdsPanel final : public QGroupBox
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AdsPanel)

public:
    explicit AdsPanel(QWidget *parent = nullptr);

    // One step of the stepping: what the timer does every 5 seconds.
    void AddsTimerTimer();

private:
    static constexpr int kSlots = 12;
    static constexpr int kFixedSlot = 11;
    static constexpr int kInterval = 5000; // ms

    std::array<QLabel *, kSlots> m_AddImage{};
    int m_adIndex = 0;         // the slot the stepping showed last
    bool m_adAlternate = false; // the next step shows the fixed slot
};
