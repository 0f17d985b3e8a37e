#ifndef ENGINE_MATH_VECTOR3_H
#define ENGINE_MATH_VECTOR3_H

// A plain value type, copied and passed by value. The operators return a new vector and leave
// both operands unchanged.
class CVector3 {
public:
    float x;
    float y;
    float z;

    CVector3()
        : x(0.0f),
          y(0.0f),
          z(0.0f)
    {
    }
    CVector3(float xValue, float yValue, float zValue)
        : x(xValue),
          y(yValue),
          z(zValue)
    {
    }

    CVector3 operator+(const CVector3& other) const
    {
        return CVector3(x + other.x, y + other.y, z + other.z);
    }
    CVector3 operator-(const CVector3& other) const
    {
        return CVector3(x - other.x, y - other.y, z - other.z);
    }
    CVector3 operator*(float scale) const
    {
        return CVector3(x * scale, y * scale, z * scale);
    }
};

#endif
