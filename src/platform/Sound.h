#pragma once

class Sound
{
public:
    virtual ~Sound() = default;
    // Announces news without waiting for the sound to end; silent where there is no sound.
    virtual void playNewMessage() = 0;
};
