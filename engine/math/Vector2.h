#ifndef ENGINE_MATH_VECTOR2_H
#define ENGINE_MATH_VECTOR2_H

// A position or size in the plane: sprites, textures and GUI widgets keep theirs in one.
class CVector2 {
public:
    float x;
    float y;

    CVector2()
        : x(0.0f),
          y(0.0f)
    {
    }
    CVector2(float xValue, float yValue)
        : x(xValue),
          y(yValue)
    {
    }
};

#endif
