#ifndef ENGINE_CORE_UTILS_H
#define ENGINE_CORE_UTILS_H

// Frame-rate counter, debug shapes and BMP loading.
// Not yet: the frame-rate counter, the shapes and the loader arrive with the text subsystem, which
// prints the frame rate. Main thread only.
class CUtils {
public:
    CUtils();
    ~CUtils();
};

#endif
