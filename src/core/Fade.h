#pragma once

// The period of the fade timers. The steps were tuned for a desktop that delivers timer ticks
// about every 15 ms, so a fade takes about a tenth of a second; a shorter period would make the
// fade too quick to see.
inline constexpr int kFadeTickMs = 15;

// The opacity steps of a fading window: from 0 up to full opacity and back down, one step per
// tick of the window's fade timer. The window applies alpha() to itself after every tick.
class Fade
{
public:
    enum class Direction
    {
        In,
        Out
    };
    enum class Outcome
    {
        Stepped,  // alpha changed; keep ticking
        FadedIn,  // full opacity reached earlier: the timer stops
        FadedOut, // transparent: the timer stops and the window goes away
    };

    // Most windows fade to 245 in steps of 35, seven ticks either way.
    explicit Fade(int full = 245, int step = 35) : m_full(full), m_step(step) {}

    void startIn();
    // A fade-out always starts from full opacity, even in the middle of a fade-in.
    void startOut();
    Outcome tick();
    void stop() { m_running = false; }

    int alpha() const { return m_alpha; }
    // Opacity for the windowing system, 0.0 to 1.0.
    double opacity() const { return m_alpha / 255.0; }
    Direction direction() const { return m_direction; }
    bool running() const { return m_running; }
    int full() const { return m_full; }

private:
    int m_full;
    int m_step;
    int m_alpha = 0;
    Direction m_direction = Direction::In;
    bool m_running = false;
};
