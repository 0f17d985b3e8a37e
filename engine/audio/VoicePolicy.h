#ifndef ENGINE_AUDIO_VOICEPOLICY_H
#define ENGINE_AUDIO_VOICEPOLICY_H

// What a play does when its sound or its category already plays as many copies as its voice budget
// allows: the game chooses per sound and per category.
enum class EVoicePolicy {
    StopOldest,  // the copy that started first is stopped and the new one plays
    RefuseNew    // the new play is refused: it yields a handle that refers to nothing
};

#endif
