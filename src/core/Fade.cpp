#include "core/Fade.h"

#include <algorithm>

void Fade::startIn()
{
    m_alpha = 0;
    m_direction = Direction::In;
    m_running = true;
}

void Fade::startOut()
{
    m_alpha = m_full;
    m_direction = Direction::Out;
    m_running = true;
}

Fade::Outcome Fade::tick()
{
    if (m_direction == Direction::In) {
        if (m_alpha >= m_full) {
            m_alpha = m_full;
            m_running = false;
            return Outcome::FadedIn;
        }
        m_alpha = std::min(m_full, m_alpha + m_step);
        return Outcome::Stepped;
    }
    if (m_alpha <= 0) {
        m_alpha = 0;
        m_running = false;
        return Outcome::FadedOut;
    }
    m_alpha = std::max(0, m_alpha - m_step);
    return Outcome::Stepped;
}
